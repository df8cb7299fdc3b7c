#include "app/PreviewPictureCache.h"

#include <sys/stat.h>

namespace trimlark {

namespace {

std::size_t BytesOf(const RgbaBitmap& picture)
{
    return picture.pixels.size();
}

} // namespace

PreviewPictureCache::PreviewPictureCache(std::size_t maxPictures, std::size_t maxBytes)
    : maxPictures_(maxPictures), maxBytes_(maxBytes)
{}

PreviewPictureCache::Key PreviewPictureCache::KeyOf(const std::string& path, QSize target)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0)
        status = {};
    const long long modified = static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
    return {path, static_cast<long long>(status.st_size), modified, target.width(), target.height()};
}

const std::list<PreviewPictureCache::Entry>::iterator PreviewPictureCache::Find(const Key& key) const
{
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry)
        if (entry->key == key)
            return entry;
    return entries_.end();
}

std::shared_ptr<const RgbaBitmap> PreviewPictureCache::Get(const std::string& path, QSize target)
{
    const Key key = KeyOf(path, target);
    {
        std::unique_lock lock(mutex_);
        decoded_.wait(lock, [&] { return !decoding_.contains(key); });
        if (const auto found = Find(key); found != entries_.end()) {
            entries_.splice(entries_.begin(), entries_, found);
            return found->picture;
        }
        decoding_.insert(key);
    }
    std::shared_ptr<const RgbaBitmap> picture;
    try {
        if (auto bitmap = ImageTools::LoadPreviewBitmap(path, target.width(), target.height()))
            picture = std::make_shared<const RgbaBitmap>(std::move(*bitmap));
    } catch (...) { // a failed allocation only costs this preview
    }
    std::lock_guard lock(mutex_);
    decoding_.erase(key);
    decoded_.notify_all();
    if (!picture)
        return picture;
    entries_.push_front({key, picture});
    std::size_t bytes = 0;
    std::size_t kept = 0;
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        const std::size_t entryBytes = BytesOf(*entry->picture);
        // The newest picture stays even when it alone is over the bound: it is the one asked for.
        if (kept > 0 && (kept == maxPictures_ || bytes + entryBytes > maxBytes_)) {
            entry = entries_.erase(entry);
            continue;
        }
        bytes += entryBytes;
        ++kept;
        ++entry;
    }
    return picture;
}

bool PreviewPictureCache::Contains(const std::string& path, QSize target) const
{
    const Key key = KeyOf(path, target);
    std::lock_guard lock(mutex_);
    return Find(key) != entries_.end();
}

void PreviewPictureCache::Clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace trimlark
