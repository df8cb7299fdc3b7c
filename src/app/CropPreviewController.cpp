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
    prefetchPool_.setMaxThreadCount(1); // a thread stays free for the picture asked for
    resizeTimer_.setSingleShot(true);
    resizeTimer_.setInterval(120);
    connect(&resizeTimer_, &QTimer::timeout, this, &CropPreviewController::refreshDue);
}

CropPreviewController::~CropPreviewController()
{
    Stop();
}

void CropPreviewController::Request(const std::string& path, PixelSize size, QSize target, const CropPlan& plan,
                                    std::function<CropPlan(const RgbaBitmap& sample)> placeOnSubject)
{
    const quint64 request = ++request_;
    // Requests still waiting for a thread are out of date now, and so are neighbours of an earlier image.
    pool_.clear();
    prefetchPool_.clear();
    pool_.start([this, request, target, path, size, plan, placeOnSubject = std::move(placeOnSubject)] {
        // Decoding at the displayed size looks the same as drawing at full size and scaling down, and lets the
        // decoder skip most of the work (JPEG scales while it decodes).
        const std::shared_ptr<const RgbaBitmap> source = cache_.Get(path, target);
        QImage image;
        CropPlan shown = plan;
        if (placeOnSubject && source) {
            // The subject's sample is a picture like the others, kept in the same cache.
            constexpr int side = ImageTools::kSubjectSampleSide;
            if (const auto sample = cache_.Get(path, QSize(side, side)))
                shown = placeOnSubject(*sample);
        }
        if (source) {
            const Rect clear = shown.WrittenRect();
            image = ToQImage(DrawCropPreview(clear.x, clear.y, clear.w, clear.h, *source, size, shown.WrittenCorner()));
        }
        const bool decoded = source != nullptr;
        const std::optional<CropPlan> placed = placeOnSubject ? std::optional(shown) : std::nullopt;
        QMetaObject::invokeMethod(
            this, [this, request, image, decoded, target, placed] { Show(request, image, decoded, target, placed); },
            Qt::QueuedConnection);
    });
}

void CropPreviewController::Show(quint64 request, const QImage& image, bool decoded, QSize target,
                                 const std::optional<CropPlan>& placed)
{
    // A newer request (or a clear) has taken over: this result is out of date.
    if (request != request_)
        return;
    shownRequest_ = request;
    if (placed)
        Q_EMIT planPlaced(*placed);
    Q_EMIT previewReady(image);
    if (!decoded)
        Q_EMIT pictureUnreadable();
    else
        Prefetch(target);
}

void CropPreviewController::Prefetch(QSize target)
{
    prefetchPool_.start([this, request = request_.load(), target, paths = neighbours_] {
        for (const std::string& path : paths) {
            if (request_ != request || stopping_) // the user has moved on
                return;
            cache_.Get(path, target);
        }
    });
}

void CropPreviewController::Clear()
{
    shownRequest_ = ++request_;
    Q_EMIT previewReady({});
}

void CropPreviewController::ForgetPicture()
{
    cache_.Clear();
}

void CropPreviewController::Stop()
{
    stopping_ = true; // a prefetch in flight stops after its current picture
    prefetchPool_.clear();
    pool_.clear();
    prefetchPool_.waitForDone();
    pool_.waitForDone();
    stopping_ = false;
}

void CropPreviewController::ViewResized()
{
    resizeTimer_.start();
}

} // namespace trimlark
