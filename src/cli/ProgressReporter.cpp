#include "cli/ProgressReporter.h"

#include "cli/RunReport.h"
#include "cli/TerminalText.h"

#include <string>

namespace trimlark {

namespace {

const char* KindText(ImageOutcome::Kind kind)
{
    switch (kind) {
    case ImageOutcome::Kind::Written:
        return "written";
    case ImageOutcome::Kind::Replaced:
        return "replaced";
    case ImageOutcome::Kind::Skipped:
        return "skipped, the existing file is kept";
    case ImageOutcome::Kind::LoadFailed:
        return "could not be loaded";
    case ImageOutcome::Kind::SaveFailed:
        return "could not be saved";
    case ImageOutcome::Kind::NotStarted:
        return "not started";
    }
    return "";
}

// A line for an image that is no failure but gives the user less than asked: a refused crop (the run writes the
// whole image), a kept original (nothing is written) or an output that lacks something of its source (metadata
// that did not fit); empty for any other.
std::string Warning(const ImageOutcome& outcome)
{
    const bool written = outcome.kind == ImageOutcome::Kind::Written || outcome.kind == ImageOutcome::Kind::Replaced;
    if (outcome.kind == ImageOutcome::Kind::Skipped && !outcome.reason.empty())
        return outcome.sourcePath + ": " + outcome.reason +
               (outcome.sourceKept ? " (--replace-sources replaces it)" : "");
    std::string text;
    if (outcome.wholeImage)
        text = kWholeImageText;
    if (written && !outcome.reason.empty())
        text += (text.empty() ? "" : "; ") + outcome.reason;
    return text.empty() ? text : outcome.sourcePath + ": " + text;
}

std::string Duration(double seconds)
{
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

} // namespace

ProgressReporter::ProgressReporter(std::FILE* stream, bool terminal, std::size_t count)
    : stream_(stream), terminal_(terminal), count_(count), start_(std::chrono::steady_clock::now())
{}

void ProgressReporter::ReportImage(const ImageOutcome& outcome)
{
    ++done_;
    if (!terminal_) {
        if (outcome.kind == ImageOutcome::Kind::Written || outcome.kind == ImageOutcome::Kind::Replaced)
            std::fprintf(stream_, "[%zu/%zu] %s -> %s (%s)\n", done_, count_,
                         EscapeControlCharacters(outcome.sourcePath).c_str(),
                         EscapeControlCharacters(outcome.outputPath).c_str(), KindText(outcome.kind));
        else
            std::fprintf(stream_, "[%zu/%zu] %s: %s\n", done_, count_,
                         EscapeControlCharacters(outcome.sourcePath).c_str(), KindText(outcome.kind));
        if (const std::string warning = Warning(outcome); !warning.empty())
            std::fprintf(stream_, "%s\n", EscapeControlCharacters(warning).c_str());
        std::fflush(stream_);
        return;
    }
    if (const std::string warning = Warning(outcome); !warning.empty()) // the bar's line, cleared for it
        std::fprintf(stream_, "\r\x1b[K%s\n", EscapeControlCharacters(warning).c_str());
    constexpr std::size_t barWidth = 30;
    const std::size_t filled = count_ == 0 ? barWidth : done_ * barWidth / count_;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double left = elapsed / static_cast<double>(done_) * static_cast<double>(count_ - done_);
    std::fprintf(stream_, "\r[%s%s] %zu/%zu  %s left ", std::string(filled, '#').c_str(),
                 std::string(barWidth - filled, '.').c_str(), done_, count_, Duration(left).c_str());
    std::fflush(stream_);
}

void ProgressReporter::Finish()
{
    if (terminal_ && done_ > 0)
        std::fputc('\n', stream_);
}

} // namespace trimlark
