#pragma once

#include "app/PreviewPictureCache.h"
#include "app/ShownCrop.h"
#include "imaging/CropPlan.h"
#include "imaging/ImageTools.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace trimlark {

// The grid's thumbnails, made off the GUI thread: each image's picture within a square of `side` device pixels,
// with everything its crop cuts away veiled as in the preview. A thumbnail is asked for when it is painted, and
// the newest asked are made first (those on screen); at most kMaxWaiting wait, older ones are dropped and asked
// for again when painted. Decoded pictures are kept in a cache bounded in bytes, so a changed crop is drawn again
// without decoding, and so are the thumbnails drawn. A file whose header or pixels cannot be read is unreadable
// until the list is reloaded.
class ThumbnailController : public QObject
{
    Q_OBJECT

public:
    // How the crop of an image is found; called on the GUI thread only.
    using CropOf = std::function<ShownCropRequest(const std::string& path, const ImageProbe& probe)>;

    struct Thumbnail
    {
        QImage image; // the latest drawn (perhaps of an earlier crop); null while none is
        bool unreadable = false;
    };

    static constexpr std::size_t kMaxWaiting = 256;

    explicit ThumbnailController(int side, QObject* parent = nullptr);
    ~ThumbnailController() override;

    void SetCropOf(CropOf cropOf);
    // The thumbnail of the image (listed at row) to draw now. Asks for it, or for a new drawing when the crop
    // changed since it was drawn; thumbnailReady follows.
    Thumbnail Get(const std::string& path, int row);
    // The settings changed: each thumbnail's crop is found again when it is next painted, and drawn again where it
    // changed (always where it is placed on the picture, which the plan made at once does not tell).
    void CropsChanged();
    // The image's own crop changed (its adjustment): the same for its thumbnail alone.
    void CropChanged(const std::string& path);
    // The list was reloaded: each file's header is read again when its thumbnail is next painted (the file may
    // have changed); the thumbnail drawn stays shown meanwhile.
    void ListReloaded();
    // Whether the image's thumbnail is up to date: drawn (or found unreadable) since the list was reloaded, for
    // the crop found at its latest paint since the crops changed, with nothing more asked for it.
    bool IsCurrent(const std::string& path) const;
    int Side() const { return side_; }
    // Drops the waiting requests and waits for those being made.
    void Stop();

Q_SIGNALS:
    // A thumbnail was made (or found unreadable) for the image of path, last seen at row.
    void thumbnailReady(const QString& path, int row);

private:
    struct CropKey
    {
        CropPlan plan;
        // For a crop placed on the picture: the settings and the image's own crop it was asked under; 0 for others.
        quint64 settings = 0;
        quint64 own = 0;
        bool operator==(const CropKey&) const = default;
    };
    struct Entry
    {
        std::optional<ImageProbe> probe;
        bool unreadable = false;
        quint64 listGeneration = 0; // of the probe
        bool probing = false;
        quint64 cropGeneration = 0;    // when the crop was last found
        quint64 ownCrop = 1;           // counts the changes of the image's own crop
        std::optional<CropKey> wanted; // waiting or being drawn
        std::optional<CropKey> drawn;
        QImage image;
    };
    struct Job
    {
        std::string path;
        int row = -1;
        quint64 listGeneration = 0;
        std::optional<ImageProbe> probe; // nothing: read the header (and decode the picture) first
        ShownCropRequest crop;
        CropKey key; // of a drawing
    };

    void Push(Job job);
    // A job that will not run: its entry asks again when painted.
    void Abandon(const Job& job);
    void Work();
    void Probe(const Job& job);
    void Draw(const Job& job);
    void Probed(const Job& job, const std::optional<ImageProbe>& probe);
    void Drawn(const Job& job, const CropKey& key, const QImage& image);
    Entry* EntryOf(const QString& path);
    void Store(const QString& path, Entry* entry);

    const int side_;
    CropOf cropOf_;
    quint64 cropGeneration_ = 1;
    quint64 settingsGeneration_ = 1;
    quint64 listGeneration_ = 1;
    QCache<QString, Entry> entries_; // cost: kilobytes drawn

    PreviewPictureCache pictures_;
    PreviewPictureCache samples_; // for crops placed on the subject
    std::mutex mutex_;
    std::vector<Job> waiting_; // newest last
    int working_ = 0;
    bool stopping_ = false;
    QThreadPool pool_; // declared last: destroyed first
};

} // namespace trimlark
