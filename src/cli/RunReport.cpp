#include "cli/RunReport.h"

#include "base/PathText.h"
#include "list/ListFile.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace trimlark {

PlannedOutcome PlanOutcome(const CropJobImage& image, bool asking)
{
    std::error_code ec;
    const auto status = std::filesystem::status(image.sourcePath, ec);
    if (ec)
        return {"refuse", "cannot be loaded: " + ec.message()};
    if (!std::filesystem::is_regular_file(status))
        return {"refuse", "cannot be loaded: not a file"};
    if (!image.outputUnreadable.empty())
        return {"refuse", image.outputUnreadable};
    if (!image.format)
        return {"refuse", "cannot write this file type"};
    switch (image.action) {
    case OverwriteAction::Write:
        // An output an earlier image writes is no Write, so only a file that appears meanwhile meets this one.
        return {"write", {}};
    case OverwriteAction::Overwrite:
        return {"replace", {}};
    case OverwriteAction::Skip:
        break;
    }
    if (image.outputIsSource)
        return {"skip", "its output is one of the images being cropped; the original is kept"};
    if (asking)
        return {"ask", "the output exists"};
    return {"skip", "the output exists and is kept"};
}

std::string ReportReason(const ImageOutcome& outcome)
{
    if (outcome.kind == ImageOutcome::Kind::Skipped && outcome.reason.empty())
        return "the output exists and is kept";
    if (!outcome.wholeImage)
        return outcome.reason;
    return std::string(kWholeImageText) + (outcome.reason.empty() ? "" : "; ") + outcome.reason;
}

std::string_view OutcomeWord(ImageOutcome::Kind kind)
{
    switch (kind) {
    case ImageOutcome::Kind::Written:
        return "written";
    case ImageOutcome::Kind::Replaced:
        return "replaced";
    case ImageOutcome::Kind::Skipped:
        return "skipped";
    case ImageOutcome::Kind::LoadFailed:
        return "load-failed";
    case ImageOutcome::Kind::SaveFailed:
        return "save-failed";
    case ImageOutcome::Kind::NotStarted:
        return "not-started";
    }
    return "";
}

std::optional<RunReport> RunReport::Open(const std::string& path, std::string* reason)
{
    if (path == "-")
        return RunReport(
            stdout, [](std::FILE*) { return 0; }, std::nullopt);
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        if (reason)
            *reason = "Cannot write the report " + path + ": " + std::strerror(errno) + ".";
        return std::nullopt;
    }
    return RunReport(
        file, [](std::FILE* f) { return std::fclose(f); }, FolderOfPath(path));
}

void RunReport::Add(const std::string& source, const std::string& output, std::string_view outcome,
                    const std::string& reason, double milliseconds, const std::optional<CropAdjustment>& adjustment)
{
    auto shown = [this](const std::string& path) { return folder_ ? PathInList(path, *folder_) : path; };
    nlohmann::ordered_json line = nlohmann::ordered_json::object();
    AddPathFields(line, "source", shown(source));
    AddPathFields(line, "output", shown(output));
    line["outcome"] = outcome;
    line["reason"] = reason;
    line["milliseconds"] = std::round(milliseconds * 1000) / 1000;
    if (adjustment)
        AddAdjustmentField(line, *adjustment);
    const std::string text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
    std::fwrite(text.data(), 1, text.size(), file_.get());
}

bool RunReport::Close(std::string* reason)
{
    if (std::fflush(file_.get()) == 0 && !std::ferror(file_.get()))
        return true;
    if (reason)
        *reason = std::string("Cannot write the report: ") + std::strerror(errno) + ".";
    return false;
}

} // namespace trimlark
