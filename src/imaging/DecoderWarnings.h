#pragma once

#include <memory>
#include <string>

namespace vips {
class VImage;
}

namespace trimlark {

// Takes over libvips' warnings (its "VIPS" log domain) for the rest of the process, so that none reach standard
// error on their own. Called once, after the library starts.
void CollectDecoderWarnings();

// The warnings libvips raises while one image is worked on. A warning belongs to the scope open on the thread
// that raised it, or to the scope of the pixels a worker thread computes (see Attributed). One raised on any
// other thread (an encoder's writer, a codec's own threads) belongs to the only scope open; with several open
// it goes to each of them, marked as perhaps another image's. Outside every scope, the first few are printed
// on standard error and the rest dropped.
class WarningScope
{
public:
    WarningScope();
    ~WarningScope();
    WarningScope(const WarningScope&) = delete;
    WarningScope& operator=(const WarningScope&) = delete;

    // One line, empty when nothing was raised: the first two different messages and the count.
    std::string Summary() const;

    // The same pixels, each region computed with its warnings counted here; the image keeps what it needs.
    vips::VImage Attributed(const vips::VImage& pixels) const;

    struct Log;

private:
    std::shared_ptr<Log> log_;
    Log* outer_ = nullptr; // the scope this one interrupts on its thread
};

// "first; second", either of them when the other is empty.
std::string JoinRemarks(const std::string& first, const std::string& second);

} // namespace trimlark
