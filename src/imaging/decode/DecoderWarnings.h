#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vips {
class VImage;
}

namespace trimlark {

// Takes over libvips' warnings (its "VIPS" log domain) for the rest of the process, so that none reach standard
// error on their own. Called once, after the library starts.
void CollectDecoderWarnings();

// The warnings and errors libvips raises while one image is worked on. A message belongs to the scope open on the
// thread that raised it, or to the scope of the pixels a worker thread computes (see Attributed). A warning raised
// on any other thread (an encoder's writer, a codec's own threads) belongs to the only scope open; with several
// open, or none, it is dropped, as is such an error: no image is told what may have happened to another.
class WarningScope
{
public:
    WarningScope();
    ~WarningScope();
    WarningScope(const WarningScope&) = delete;
    WarningScope& operator=(const WarningScope&) = delete;

    // One line, empty when nothing was raised: the first two different messages and the count. Messages that
    // besides already holds (the failure the warnings come with) are left out.
    std::string Summary(const std::string& besides = {}) const;

    // The same pixels, each region computed with its warnings and errors counted here; the image keeps what it
    // needs.
    vips::VImage Attributed(const vips::VImage& pixels) const;

    // Whether the pixels that Attributed was given could not be computed (the source is damaged or cut short),
    // whichever stage of the save asked for them.
    bool SourceFailed() const;

    // Why the source cannot be read, from own (a failure this program's code saw) and the messages raised here:
    // "the file ends early" when any of them says so, else the first decoder sentence without the library's
    // inside (module names, descriptor paths); empty when nothing was said.
    std::string SourceFailure(const std::string& own = {}) const;

    // The errors raised here, each once, without the library's inside; empty when none was raised.
    std::string Errors() const;

    struct Log;

private:
    std::shared_ptr<Log> log_;
    Log* outer_ = nullptr; // the scope this one interrupts on its thread
};

// WarningScope::SourceFailure of the scope open on this thread, from its messages alone; empty outside every scope.
std::string CurrentSourceFailure();

// A library's message as one line: its different lines joined by "; ", each once, cut to at most limit characters.
std::string OneLine(const char* message, std::size_t limit = std::string::npos);

} // namespace trimlark
