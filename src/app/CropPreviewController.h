#pragma once

#include "app/PreviewPictureCache.h"
#include "imaging/CropPlan.h"
#include "imaging/ImageTools.h"
#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trimlark {

// Draws the crop preview off the GUI thread and reports the picture to show. Only the latest request is
// reported; decoded pictures are kept in a small cache, and the neighbours of a shown image are decoded ahead.
class CropPreviewController : public QObject
{
    Q_OBJECT

public:
    explicit CropPreviewController(QObject* parent = nullptr);
    ~CropPreviewController() override;

    // Asks for the preview of the image at path (of pixel size size) drawn at target device pixels, with the
    // plan's written rectangle left clear. placeOnSubject, when given, makes the plan again with the subject's
    // sample once it is decoded, as the run makes it. Requests still waiting for a thread are dropped.
    void Request(const std::string& path, PixelSize size, QSize target, const CropPlan& plan,
                 std::function<CropPlan(const RgbaBitmap& sample)> placeOnSubject = {});
    // The images next to the requested one, most likely next first: once the latest request is shown, they are
    // decoded in the background (one at a time, until a newer request comes) so that moving to them is instant.
    void SetNeighbours(std::vector<std::string> paths) { neighbours_ = std::move(paths); }
    // Drops the requests in flight and reports an empty preview at once.
    void Clear();
    // Forgets the decoded pictures (the list changed): the next request decodes its file anew.
    void ForgetPicture();
    // Whether the picture of path at target is decoded (shown or decoded ahead).
    bool HasPicture(const std::string& path, QSize target) const { return cache_.Contains(path, target); }
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
    // The latest request's plan as placeOnSubject made it, just before its picture: where the crop was moved, a
    // lossless crop's growth to the block grid (and so the output's size) may differ from the centred plan's.
    void planPlaced(const trimlark::CropPlan& plan);
    // The view's size has settled: a preview at the new size is due.
    void refreshDue();
    // The latest request's file could not be decoded (its header read, its pixels did not).
    void pictureUnreadable();

private:
    void Show(quint64 request, const QImage& image, bool decoded, QSize target, const std::optional<CropPlan>& placed);
    void Prefetch(QSize target);

    PreviewPictureCache cache_;
    std::vector<std::string> neighbours_;
    std::atomic<quint64> request_ = 0; // read by the prefetch to notice a newer request
    std::atomic<bool> stopping_ = false;
    quint64 shownRequest_ = 0;
    QTimer resizeTimer_;
    // Declared last so that they are destroyed first: their destructors wait for work that posts back here.
    QThreadPool prefetchPool_;
    QThreadPool pool_;
};

} // namespace trimlark
