#include "cli/CommandLine.h"

#include "cli/CropOptionParser.h"
#include "cli/ProgressReporter.h"
#include "cli/SourceCollector.h"
#include "imaging/ImageTools.h"
#include "profile/ProfileFormat.h"
#include "run/CropJob.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <unistd.h>

namespace trimlark {

namespace {

constexpr int kUsageError = 2;

struct Arguments
{
    std::vector<std::string> inputs;
    std::string output;
    std::string profile;
    std::string crop;
    std::string corner;
    std::string format;
    float quality = 0;
    std::string name;
    std::string overwrite;
    std::string saveProfile;
    unsigned jobs = 0;
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    return kUsageError;
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

// The new text replaces the file only once it is complete.
bool WriteFileAtomically(const std::string& path, const std::string& text)
{
    namespace fs = std::filesystem;
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::error_code ec;
            fs::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec)
        fs::remove(temporary, ec);
    return !ec;
}

// Asks on standard error, reads the answer from standard input. The end of input answers "No to All".
OverwriteAnswer AskOnTerminal(const std::string& outputPath)
{
    for (;;) {
        std::fprintf(stderr, "%s [Y]es, Yes to [A]ll, [N]o, N[o] to All: ", OverwriteQuestionText(outputPath).c_str());
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line)) {
            std::fputc('\n', stderr);
            return OverwriteAnswer::NoToAll;
        }
        for (char& c : line)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (line.empty() || line == "y" || line == "yes")
            return OverwriteAnswer::Yes;
        if (line == "a" || line == "yes to all")
            return OverwriteAnswer::YesToAll;
        if (line == "n" || line == "no")
            return OverwriteAnswer::No;
        if (line == "o" || line == "no to all")
            return OverwriteAnswer::NoToAll;
    }
}

std::string FailureLine(const ImageOutcome& outcome)
{
    if (outcome.kind == ImageOutcome::Kind::LoadFailed)
        return outcome.sourcePath + ": could not be loaded: " + outcome.reason;
    return outcome.sourcePath + ": could not be saved as " + outcome.outputPath + ": " + outcome.reason;
}

} // namespace

int RunCommandLine(int argc, char** argv)
{
    Arguments args;
    CLI::App app{"Crops a batch of images in one run: every FILE, and the images of every FOLDER (sorted by name, "
                 "not recursively), are cropped, encoded and written to the output folder.",
                 "trimlark-cli"};
    app.set_version_flag("--version", std::string("trimlark-cli ") + TRIMLARK_VERSION);
    app.add_option("paths", args.inputs, "Image files and folders of images")->type_name("FILE|FOLDER");
    app.add_option("-o,--output", args.output, "Output folder (required)")->type_name("DIR");
    app.add_option("-p,--profile", args.profile, "Start from a profile's settings (default: the defaults)")
        ->type_name("FILE");
    auto* crop = app.add_option("--crop", args.crop,
                                "auto:RATIO (1:1, 4:3, 3:2, 16:9, 16:10, or W:H for a custom ratio), pixels:X,Y,W,H, "
                                "percents:X,Y,W,H or none")
                     ->type_name("CROP");
    auto* corner = app.add_option("--corner", args.corner,
                                  "Corner the custom crop is measured from: bottom-left, bottom-right, "
                                  "top-left or top-right")
                       ->type_name("CORNER");
    auto* longer =
        app.add_flag("--width-along-longer")->description("Custom W:H: W along the image's longer side (default)");
    auto* given = app.add_flag("--width-as-given")->description("Custom W:H: the crop's width : height is W : H");
    longer->excludes(given);
    auto* format = app.add_option("-f,--format", args.format,
                                  "Output format, any case: JPG JPEG JPE JP2 JPX PNG TIFF TIF GIF BMP "
                                  "HEIF HEIC Original")
                       ->type_name("NAME");
    auto* quality = app.add_option("-q,--quality", args.quality, "Quality 1-100 (JPEG, JPEG 2000)")
                        ->type_name("N")
                        ->check(CLI::Range(1.0f, 100.0f));
    auto* name = app.add_option("-n,--name", args.name, "File-name pattern with [FileName] and [FileIndex]")
                     ->type_name("PATTERN");
    auto* keep = app.add_flag("--keep-metadata")->description("Carry metadata and creation date over (default)");
    auto* strip = app.add_flag("--strip-metadata")->description("Write no metadata");
    keep->excludes(strip);
    app.add_option("--overwrite", args.overwrite,
                   "For existing output files: ask, yes or no (default: ask when standard input is a terminal, "
                   "otherwise no)")
        ->type_name("ask|yes|no")
        ->check(CLI::IsMember({"ask", "yes", "no"}));
    app.add_option("--save-profile", args.saveProfile, "Write the resulting settings as a profile and exit")
        ->type_name("FILE");
    app.add_option("-j,--jobs", args.jobs, "Images worked on at once (default: one per core)")
        ->type_name("N")
        ->check(CLI::Range(1u, 64u));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kUsageError;
    }

    ProfileContent content;
    if (!args.profile.empty()) {
        const auto bytes = ReadWholeFile(args.profile);
        auto loaded = bytes ? ReadProfileText(*bytes, content) : std::nullopt;
        if (!loaded) {
            std::fprintf(stderr, "Could not load profile.\n");
            return kUsageError;
        }
        content = std::move(*loaded);
    }
    CropSettings& settings = content.settings;
    if (crop->count() > 0)
        if (auto error = CropOptionParser::ApplyCrop(args.crop, settings, content.customRatio))
            return UsageError(*error);
    if (corner->count() > 0)
        if (auto error = CropOptionParser::ApplyCorner(args.corner, settings))
            return UsageError(*error);
    if (longer->count() > 0 || given->count() > 0)
        content.customRatio.customWidthLargestDimension = longer->count() > 0;
    if (format->count() > 0)
        if (auto error = CropOptionParser::ApplyFormat(args.format, settings))
            return UsageError(*error);
    if (quality->count() > 0)
        settings.sliderQuality = args.quality;
    if (name->count() > 0)
        settings.textFieldName = args.name;
    if (keep->count() > 0 || strip->count() > 0)
        settings.checkKeepEXIFInformationAndCreationDate = keep->count() > 0;
    settings.textFieldOutputFolder = args.output;

    if (!args.saveProfile.empty()) {
        if (!WriteFileAtomically(args.saveProfile, WriteProfileText(settings, content.customRatio))) {
            std::fprintf(stderr, "Could not save profile.\n");
            return kUsageError;
        }
        return 0;
    }

    std::string error;
    const auto sources = SourceCollector::CollectSourcePaths(args.inputs, error);
    if (!sources)
        return UsageError(error);
    if (auto refusal = CheckCropRun(*sources, settings))
        return UsageError(*refusal);

    ImageTools::Initialize();
    std::string overwrite = args.overwrite;
    if (overwrite.empty())
        overwrite = isatty(STDIN_FILENO) ? "ask" : "no";
    OverwriteQuestion ask;
    if (overwrite == "ask")
        ask = AskOnTerminal;
    else
        ask = [answer = overwrite == "yes" ? OverwriteAnswer::YesToAll : OverwriteAnswer::NoToAll](const std::string&) {
            return answer;
        };
    const CropJob job = BuildCropJob(*sources, settings, content.customRatio, ask);

    ProgressReporter reporter(stderr, isatty(STDERR_FILENO) != 0, sources->size());
    CropRunCallbacks callbacks;
    callbacks.imageDone = [&](const ImageOutcome& outcome) { reporter.ReportImage(outcome); };
    const CropRunResult result = CropImagesWork(job, callbacks, args.jobs);
    reporter.Finish();

    if (result.allImagesCropped) {
        std::printf("%s\n", std::string(kRunSucceededMessage).c_str());
        return 0;
    }
    std::printf("%s\n", std::string(kRunFailedMessage).c_str());
    std::fflush(stdout);
    for (const ImageOutcome& outcome : result.outcomes)
        if (outcome.kind == ImageOutcome::Kind::LoadFailed || outcome.kind == ImageOutcome::Kind::SaveFailed)
            std::fprintf(stderr, "%s\n", FailureLine(outcome).c_str());
    return 1;
}

} // namespace trimlark
