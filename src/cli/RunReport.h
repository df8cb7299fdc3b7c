#pragma once

#include "run/CropJob.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace trimlark {

// What a dry run says of one planned image: "write", "replace", "skip", "ask" (an existing file, under
// --overwrite ask) or "refuse" (the image would fail: its source is no file, its output's status cannot be read,
// its type cannot be written), with the reason for any but a write or a replacement.
struct PlannedOutcome
{
    std::string_view word;
    std::string reason;
};
PlannedOutcome PlanOutcome(const CropJobImage& image, bool asking);

// What an image whose crop was refused is told: it was written whole.
inline constexpr std::string_view kWholeImageText =
    "the crop is refused (it cuts nothing out of this image); the whole image is written";

// The reason the report gives for an image: its outcome's reason, after the refused crop for an image written
// whole; for an output kept without a word, that it exists.
std::string ReportReason(const ImageOutcome& outcome);

// "written", "replaced", "skipped", "load-failed", "save-failed" or "not-started".
std::string_view OutcomeWord(ImageOutcome::Kind kind);

// A report for pipelines: one JSON object per line and image, with its source, output, outcome, reason,
// milliseconds and adjusted crop, in list order. Its lines read as a list file's (see list/ListFile.h): a report
// written to a file gives paths relative to its folder when they lie in or below it, else absolute (on standard
// output, as the run names them); a name that is no UTF-8 is written with U+FFFD for each stray byte, and byte for
// byte in base64 under "source_base64" or "output_base64".
class RunReport
{
public:
    // Creates (or empties) the file; "-" writes to standard output. Nothing, with the reason, when it cannot.
    static std::optional<RunReport> Open(const std::string& path, std::string* reason);

    void Add(const std::string& source, const std::string& output, std::string_view outcome, const std::string& reason,
             double milliseconds, const std::optional<CropAdjustment>& adjustment);
    // Flushes; false, with the reason, when a line could not be written (a full disk).
    bool Close(std::string* reason);

private:
    using Closer = int (*)(std::FILE*);
    RunReport(std::FILE* file, Closer close, std::optional<std::string> folder)
        : file_(file, close), folder_(std::move(folder))
    {}

    std::unique_ptr<std::FILE, Closer> file_;
    std::optional<std::string> folder_; // the folder paths are written relative to; none: as given
};

} // namespace trimlark
