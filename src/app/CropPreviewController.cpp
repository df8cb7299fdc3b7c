#include "app/CropPreviewController.h"

#include "list/CropPreviewDrawing.h"

namespace trimlark {

namespace {

QImage ToQImage(const RgbaBitmap& bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return {};
    return QImage(bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.width * 4, QImage::Format_RGBA8888).copy();
}

} // namespace

CropPreviewController::CropPreviewController(QObject* parent) : QObject(parent)
{
    pool_.setMaxThreadCount(2);
    resizeTimer_.setSingleShot(true);
    resizeTimer_.setInterval(120);
    connect(&resizeTimer_, &QTimer::timeout, this, &CropPreviewController::refreshDue);
}

CropPreviewController::~CropPreviewController()
{
    Stop();
}

void CropPreviewController::Request(const std::string& path, PixelSize size, QSize target, const Rect& rect,
                                    std::optional<OriginCorner> originCorner)
{
    const quint64 request = ++request_;
    currentPath_ = path;
    std::shared_ptr<const RgbaBitmap> cached;
    if (picture_.bitmap && picture_.path == path && picture_.target == target)
        cached = picture_.bitmap;
    // Requests still waiting for a thread are out of date now.
    pool_.clear();
    pool_.start([this, request, target, path, size, cached, rect, originCorner] {
        std::shared_ptr<const RgbaBitmap> source = cached;
        if (!source) {
            // Decoding at the displayed size looks the same as drawing at full size and scaling down, and
            // lets the decoder skip most of the work (JPEG scales while it decodes).
            if (auto bitmap = ImageTools::LoadPreviewBitmap(path, target.width(), target.height()))
                source = std::make_shared<const RgbaBitmap>(std::move(*bitmap));
        }
        QImage image;
        if (source)
            image = ToQImage(DrawCropPreview(rect.x, rect.y, rect.w, rect.h, *source, size, originCorner));
        QMetaObject::invokeMethod(
            this, [this, request, image, path, target, source] { Show(request, image, path, target, source); },
            Qt::QueuedConnection);
    });
}

void CropPreviewController::Show(quint64 request, const QImage& image, const std::string& path, QSize target,
                                 const std::shared_ptr<const RgbaBitmap>& source)
{
    if (source && path == currentPath_)
        picture_ = {path, target, source};
    // A newer request (or a clear) has taken over: this result is out of date.
    if (request != request_)
        return;
    shownRequest_ = request;
    Q_EMIT previewReady(image);
    if (!source)
        Q_EMIT pictureUnreadable();
}

void CropPreviewController::Clear()
{
    currentPath_.clear();
    shownRequest_ = ++request_;
    Q_EMIT previewReady({});
}

void CropPreviewController::ForgetPicture()
{
    picture_ = {};
}

void CropPreviewController::Stop()
{
    pool_.clear();
    pool_.waitForDone();
}

void CropPreviewController::ViewResized()
{
    resizeTimer_.start();
}

} // namespace trimlark
