#pragma once

#include "imaging/ImageTools.h"
#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>
#include <QTimer>
#include <memory>
#include <string>

namespace trimlark {

// Draws the crop preview off the GUI thread and reports the picture to show. Only the latest request is
// reported; the last decoded picture is reused while the image and the drawing size stay the same.
class CropPreviewController : public QObject
{
    Q_OBJECT

public:
    explicit CropPreviewController(QObject* parent = nullptr);
    ~CropPreviewController() override;

    // Asks for the preview of the image at path (of pixel size size) drawn at target device pixels, with rect
    // (corner-relative, in source pixels) left clear. Requests still waiting for a thread are dropped.
    void Request(const std::string& path, PixelSize size, QSize target, const Rect& rect,
                 std::optional<OriginCorner> originCorner);
    // Drops the requests in flight and reports an empty preview at once.
    void Clear();
    // Forgets the decoded picture (the list changed): the next request decodes its file anew.
    void ForgetPicture();
    // Whether the latest request has not been reported yet.
    bool IsPending() const { return shownRequest_ != request_; }
    // Drops the requests waiting for a thread and waits for those being drawn.
    void Stop();

public Q_SLOTS:
    // The view's size changed: refreshDue follows once resizing has settled.
    void ViewResized();

Q_SIGNALS:
    // The picture of the latest request; a null image when there is none to show.
    void previewReady(const QImage& image);
    // The view's size has settled: a preview at the new size is due.
    void refreshDue();
    // The latest request's file could not be decoded (its header read, its pixels did not).
    void pictureUnreadable();

private:
    void Show(quint64 request, const QImage& image, const std::string& path, QSize target,
              const std::shared_ptr<const RgbaBitmap>& source);

    // The last decoded picture, scaled for target.
    struct DecodedPicture
    {
        std::string path;
        QSize target;
        std::shared_ptr<const RgbaBitmap> bitmap;
    };
    DecodedPicture picture_;
    // The image of the latest request; empty once cleared.
    std::string currentPath_;
    quint64 request_ = 0;
    quint64 shownRequest_ = 0;
    QTimer resizeTimer_;
    // Declared last so that it is destroyed first: its destructor waits for work that posts back here.
    QThreadPool pool_;
};

} // namespace trimlark
