#pragma once

#include "imaging/ImageTools.h"

#include <QSize>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

namespace trimlark {

// Pictures of recently shown and neighbouring images, decoded at the size they are drawn, for any thread. The
// cache holds at most a handful of them and a bounded number of bytes, dropping the least recently used first.
// A picture is known by its file's path, size and modification time as well as the drawing size, so a file that
// changed is decoded anew. One decode per picture at a time: a caller asking for a picture that another thread
// is decoding waits for that decode instead of starting its own.
class PreviewPictureCache
{
public:
    explicit PreviewPictureCache(std::size_t maxPictures = 8, std::size_t maxBytes = 64u << 20);

    // The picture of path drawn within target, decoded by this call if no thread has it yet; null when the file
    // cannot be decoded (not kept: the next call tries again).
    std::shared_ptr<const RgbaBitmap> Get(const std::string& path, QSize target);
    // Whether Get would answer without decoding.
    bool Contains(const std::string& path, QSize target) const;
    void Clear();

private:
    using Key = std::tuple<std::string, long long, long long, int, int>; // path, size, mtime (ns), target
    static Key KeyOf(const std::string& path, QSize target);

    struct Entry
    {
        Key key;
        std::shared_ptr<const RgbaBitmap> picture;
    };
    const std::list<Entry>::iterator Find(const Key& key) const;

    const std::size_t maxPictures_;
    const std::size_t maxBytes_;
    mutable std::mutex mutex_;
    std::condition_variable decoded_;
    mutable std::list<Entry> entries_; // most recently used first
    std::set<Key> decoding_;
};

} // namespace trimlark
