#include "app/ThumbnailController.h"

#include "list/CropPreviewDrawing.h"

#include <QThread>
#include <algorithm>

namespace trimlark {

namespace {

// About 700 thumbnails of 3:2 photos at 160 pixels are kept drawn, and 500 decoded; a handful of subject samples.
constexpr int kDrawnKilobytes = 48 * 1024;
constexpr std::size_t kDecodedPictures = 1000;
constexpr std::size_t kDecodedBytes = 32u << 20;
constexpr std::size_t kSamples = 48;
constexpr std::size_t kSampleBytes = 32u << 20;

int CostOf(const QImage& image)
{
    return 1 + static_cast<int>(image.sizeInBytes() / 1024);
}

} // namespace

ThumbnailController::ThumbnailController(int side, QObject* parent)
    : QObject(parent), side_(side), pictures_(kDecodedPictures, kDecodedBytes), samples_(kSamples, kSampleBytes)
{
    entries_.setMaxCost(kDrawnKilobytes);
    // A core stays free for the window: on two cores, threads decoding beside it delay its painting by tens of
    // milliseconds (the decoder runs threads of its own too).
    pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 4));
}

ThumbnailController::~ThumbnailController()
{
    Stop();
}

void ThumbnailController::SetCropOf(CropOf cropOf)
{
    cropOf_ = std::move(cropOf);
    CropsChanged();
}

void ThumbnailController::CropsChanged()
{
    ++cropGeneration_;
    ++settingsGeneration_;
}

void ThumbnailController::CropChanged(const std::string& path)
{
    if (Entry* entry = entries_.object(QString::fromStdString(path))) {
        ++entry->ownCrop;
        entry->cropGeneration = 0;
    }
}

void ThumbnailController::ListReloaded()
{
    ++listGeneration_;
    ++cropGeneration_;
}

ThumbnailController::Entry* ThumbnailController::EntryOf(const QString& path)
{
    if (Entry* entry = entries_.object(path))
        return entry;
    entries_.insert(path, new Entry, 1);
    return entries_.object(path);
}

void ThumbnailController::Store(const QString& path, Entry* entry)
{
    // Taken out and put back, so that the cache counts the entry's new image.
    entries_.take(path);
    entries_.insert(path, entry, CostOf(entry->image));
}

ThumbnailController::Thumbnail ThumbnailController::Get(const std::string& path, int row)
{
    Entry* entry = EntryOf(QString::fromStdString(path));
    if (entry->unreadable && entry->listGeneration == listGeneration_)
        return {{}, true};
    if (entry->listGeneration != listGeneration_ || !entry->probe) {
        if (!entry->probing) {
            Push({path, row, listGeneration_, std::nullopt, {}, {}});
            entry->probing = true;
        }
        return {entry->image, false};
    }
    if (entry->cropGeneration != cropGeneration_) {
        entry->cropGeneration = cropGeneration_;
        ShownCropRequest crop = cropOf_ ? cropOf_(path, *entry->probe) : ShownCropRequest{};
        const bool placed = static_cast<bool>(crop.placeOnPicture);
        CropKey key{crop.plan, placed ? settingsGeneration_ : 0, placed ? entry->ownCrop : 0};
        if (key != entry->drawn && key != entry->wanted) {
            Push({path, row, listGeneration_, entry->probe, std::move(crop), key});
            entry->wanted = std::move(key);
        }
    }
    return {entry->image, false};
}

bool ThumbnailController::IsCurrent(const std::string& path) const
{
    const Entry* entry = entries_.object(QString::fromStdString(path));
    if (entry == nullptr || entry->listGeneration != listGeneration_)
        return false;
    return entry->unreadable ||
           (!entry->image.isNull() && !entry->probing && !entry->wanted && entry->cropGeneration == cropGeneration_);
}

void ThumbnailController::Push(Job job)
{
    std::lock_guard lock(mutex_);
    // One request per image: the newer takes the place of the older.
    const auto same = std::find_if(waiting_.begin(), waiting_.end(), [&](const Job& w) { return w.path == job.path; });
    if (same != waiting_.end()) {
        Abandon(*same);
        waiting_.erase(same);
    }
    waiting_.push_back(std::move(job));
    if (waiting_.size() > kMaxWaiting) {
        Abandon(waiting_.front());
        waiting_.erase(waiting_.begin());
    }
    if (working_ < pool_.maxThreadCount()) {
        ++working_;
        pool_.start([this] { Work(); });
    }
}

void ThumbnailController::Abandon(const Job& job)
{
    if (Entry* entry = entries_.object(QString::fromStdString(job.path))) {
        if (!job.probe)
            entry->probing = false;
        else {
            entry->wanted.reset();
            entry->cropGeneration = 0;
        }
    }
}

void ThumbnailController::Work()
{
    for (;;) {
        Job job;
        {
            std::lock_guard lock(mutex_);
            if (waiting_.empty() || stopping_) {
                --working_;
                return;
            }
            job = std::move(waiting_.back());
            waiting_.pop_back();
        }
        job.probe ? Draw(job) : Probe(job);
    }
}

void ThumbnailController::Probe(const Job& job)
{
    // The header gives the size the crop is planned on; the picture is decoded now too, so that drawing it next
    // finds it in the cache, and a file whose pixels cannot be read is known as unreadable.
    std::optional<ImageProbe> probe = ImageTools::ProbeImage(job.path);
    if (probe && (probe->size.width <= 0 || probe->size.height <= 0 || !pictures_.Get(job.path, QSize(side_, side_))))
        probe.reset();
    QMetaObject::invokeMethod(
        this, [this, job, probe] { Probed(job, probe); }, Qt::QueuedConnection);
}

void ThumbnailController::Draw(const Job& job)
{
    QImage image;
    try {
        if (const auto picture = pictures_.Get(job.path, QSize(side_, side_))) {
            CropPlan shown = job.crop.plan;
            if (job.crop.placeOnPicture) {
                constexpr int side = ImageTools::kSubjectSampleSide;
                if (const auto sample = samples_.Get(job.path, QSize(side, side)))
                    shown = job.crop.placeOnPicture(*sample);
            }
            const Rect clear = shown.WrittenRect();
            const RgbaBitmap drawn =
                DrawCropPreview(clear.x, clear.y, clear.w, clear.h, *picture, job.probe->size, shown.WrittenCorner());
            image = QImage(drawn.pixels.data(), drawn.width, drawn.height, drawn.width * 4, QImage::Format_RGBA8888)
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    } catch (...) { // a failed allocation only costs this thumbnail
        image = {};
    }
    QMetaObject::invokeMethod(
        this, [this, job, image] { Drawn(job, job.key, image); }, Qt::QueuedConnection);
}

void ThumbnailController::Probed(const Job& job, const std::optional<ImageProbe>& probe)
{
    const QString path = QString::fromStdString(job.path);
    Entry* entry = EntryOf(path);
    entry->probing = false;
    entry->probe = probe;
    entry->unreadable = !probe;
    entry->listGeneration = job.listGeneration;
    entry->cropGeneration = 0; // the crop is found on the new header
    entry->drawn.reset();      // and drawn on the picture as it is now, whatever the crop
    Q_EMIT thumbnailReady(path, job.row);
}

void ThumbnailController::Drawn(const Job& job, const CropKey& key, const QImage& image)
{
    const QString path = QString::fromStdString(job.path);
    Entry* entry = entries_.object(path);
    if (entry == nullptr) // dropped from the cache meanwhile: it is asked for again when painted
        return;
    if (entry->wanted == key)
        entry->wanted.reset();
    // The crop may have changed back and forth meanwhile: it is compared again at the next paint.
    entry->cropGeneration = 0;
    if (image.isNull()) {
        entry->unreadable = true;
        entry->listGeneration = job.listGeneration;
    } else {
        entry->image = image;
        entry->drawn = key;
        Store(path, entry);
    }
    Q_EMIT thumbnailReady(path, job.row);
}

void ThumbnailController::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const Job& job : waiting_)
            Abandon(job);
        waiting_.clear();
    }
    pool_.waitForDone();
    std::lock_guard lock(mutex_);
    stopping_ = false;
}

} // namespace trimlark
