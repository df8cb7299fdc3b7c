#include "cli/CommandLine.h"

#include "base/PathText.h"
#include "cli/CropOptionParser.h"
#include "cli/ProgressReporter.h"
#include "cli/RunReport.h"
#include "cli/SourceCollector.h"
#include "cli/TerminalText.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"
#include "profile/ProfileFile.h"
#include "run/CropJob.h"
#include "run/OutputFolder.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <sstream>
#include <unistd.h>

namespace trimlark {

namespace {

constexpr int kUsageError = 2;

// What the command line asked for; an optional value is absent when its option was not given.
struct Arguments
{
    std::vector<std::string> inputs;
    SourceOptions sources;
    std::string output;
    std::string profile;
    std::optional<std::string> crop;
    std::optional<std::string> corner;
    std::optional<std::string> position;
    std::optional<bool> widthAlongLonger;
    std::optional<std::string> format;
    std::optional<float> quality;
    std::optional<std::string> name;
    std::optional<bool> keepMetadata;
    bool losslessJpeg = false;
    // The size step: the option given (--size, --fit, --long-side or --print) and its value.
    std::optional<std::pair<std::string, std::string>> size;
    std::optional<std::string> fill;
    bool noEnlarge = false;
    std::string overwrite;
    bool replaceSources = false;
    double memoryBudget = 0; // megabytes; 0: the run's default
    std::string saveProfile;
    unsigned jobs = 0;
    std::int64_t firstIndex = 1;
    bool dryRun = false;
    std::string report; // "-": standard output
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "%s\n", EscapeControlCharacters(message).c_str());
    return kUsageError;
}

// Text of several lines (help, a parse error echoing an argument), each line escaped.
void PrintLines(std::FILE* stream, const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        std::fprintf(stream, "%s\n", EscapeControlCharacters(line).c_str());
}

// The same answer for every file, without asking.
OverwriteQuestion AnswerAll(OverwriteAnswer answer)
{
    return [answer](const std::string&) { return answer; };
}

// Asks on standard error, reads the answer from standard input. The end of input answers "No to All".
OverwriteAnswer AskOnTerminal(const std::string& outputPath)
{
    for (;;) {
        std::fprintf(stderr, "%s [Y]es, Yes to [A]ll, [N]o, N[o] to All: ",
                     EscapeControlCharacters(OverwriteQuestionText(outputPath)).c_str());
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line)) {
            std::fputc('\n', stderr);
            return OverwriteAnswer::NoToAll;
        }
        line = LowerAscii(line);
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

// One line, whatever the names and the library's message hold.
std::string FailureLine(const ImageOutcome& outcome)
{
    if (outcome.kind == ImageOutcome::Kind::LoadFailed)
        return EscapeControlCharacters(outcome.sourcePath + ": could not be loaded: " + outcome.reason);
    return EscapeControlCharacters(outcome.sourcePath + ": could not be saved as " + outcome.outputPath + ": " +
                                   outcome.reason);
}

// What a run does with no option but the output folder, from the settings' own defaults.
std::string DefaultsText()
{
    const CropSettings defaults;
    const std::string ratio = AutoCropFormatTitles().at(static_cast<std::size_t>(defaults.comboAutoCropFormat));
    return "Without options each image is cropped to the largest centred " + ratio +
           " rectangle (--crop auto:" + ratio + "), written as " + AvailableFormats().TitleAt(defaults.comboFormat) +
           " at quality " + std::to_string(static_cast<int>(defaults.sliderQuality)) + " and named \"" +
           defaults.textFieldName +
           "\" with the format's extension, its metadata and date kept. A ratio's first term goes along each "
           "picture's longer side (auto:4:3 crops a portrait photo 3:4); so does a custom W:H unless "
           "--width-as-given (auto:4:5 crops a landscape photo 4:5 and a portrait one 5:4; with --width-as-given "
           "both 4:5). --crop trim cuts each picture's border away: the colour most of its edges share, with a "
           "tolerance from 0 to 100 (default 10) and a margin in pixels kept around what is found (default 0); a "
           "picture without a border is written whole. The environment variable TRIMLARK_IMAGE_MEMORY sets the "
           "megabytes one image may take "
           "(default: half the physical memory); a larger image is refused, with that reason.";
}

// Fills args from the command line; an exit status when the tool ends here (help, version, a usage error).
std::optional<int> ParseArguments(int argc, char** argv, Arguments& args)
{
    CLI::App app{"Crops a batch of images in one run: every FILE, and the images of every FOLDER (sorted by name, "
                 "not recursively unless -r), are cropped, encoded and written to the output folder.",
                 "trimlark-cli"};
    std::string crop, corner, position, format, name;
    float quality = 0;
    app.set_version_flag("--version", std::string("trimlark-cli ") + TRIMLARK_VERSION);
    app.footer(DefaultsText());
    // Wide enough that each option's description stands two spaces or more apart from it (or on the next
    // line), where the man page generator looks for it.
    app.get_formatter()->column_width(40);
    app.add_option("paths", args.inputs, "Image files and folders of images")->type_name("FILE|FOLDER");
    app.add_option("--files-from", args.sources.filesFrom,
                   "Read more paths from LIST, one per line (\"-\": standard input); after the FILEs and FOLDERs")
        ->type_name("LIST");
    app.add_flag("-0,--null", args.sources.nulSeparated, "The paths of --files-from end in NUL bytes (find -print0)");
    app.add_option("--list", args.sources.listFile,
                   "Add the images of a list file (JSON Lines, one {\"path\": ...} per image, as --report writes), "
                   "each with the crop adjusted for it; after the FILEs, FOLDERs and --files-from")
        ->type_name("FILE");
    app.add_option("--crops", args.sources.cropsFile,
                   "Crop the images of the run that a list file names (however spelled) as adjusted there")
        ->type_name("FILE");
    app.add_flag("-r,--recursive", args.sources.recursive,
                 "Folders give the images of their sub-folders too, sorted by path");
    app.add_option("-o,--output", args.output, "Output folder (required)")->type_name("DIR");
    app.add_option("-p,--profile", args.profile, "Start from a profile's settings (default: the defaults)")
        ->type_name("FILE");
    auto* cropOption = app.add_option("--crop", crop,
                                      "auto:RATIO (1:1, 4:3, 3:2, 16:9, 16:10, or W:H for a custom ratio), "
                                      "pixels:X,Y,W,H, percents:X,Y,W,H, trim[:TOLERANCE[,MARGIN]] or none")
                           ->type_name("CROP");
    auto* cornerOption = app.add_option("--corner", corner,
                                        "Corner the custom crop is measured from: bottom-left, bottom-right, "
                                        "top-left or top-right")
                             ->type_name("CORNER");
    auto* positionOption =
        app.add_option("--position", position,
                       "Where an automatic crop sits: centre (default), or subject (on the picture's most "
                       "interesting region, at the same size)")
            ->type_name("centre|subject")
            ->check(CLI::IsMember({"centre", "subject"}));
    auto* longer =
        app.add_flag("--width-along-longer")->description("Custom W:H: W along the image's longer side (default)");
    auto* given = app.add_flag("--width-as-given")->description("Custom W:H: the crop's width : height is W : H");
    longer->excludes(given);
    auto* formatOption = app.add_option("-f,--format", format,
                                        "Output format, any case: JPG JPEG JPE JP2 JPX PNG TIFF TIF GIF BMP "
                                        "HEIF HEIC Original WEBP AVIF (HEIF, HEIC, WEBP and AVIF where this "
                                        "system can write them)")
                             ->type_name("NAME");
    auto* qualityOption =
        app.add_option("-q,--quality", quality, "Quality 1-100 (JPEG, JPEG 2000, WebP, HEIF/HEIC, AVIF)")
            ->type_name("N")
            ->check(CLI::Range(1.0f, 100.0f));
    auto* nameOption =
        app.add_option("-n,--name", name, "File-name pattern with [FileName] and [FileIndex]")->type_name("PATTERN");
    auto* keep = app.add_flag("--keep-metadata")->description("Carry metadata and creation date over (default)");
    auto* strip = app.add_flag("--strip-metadata")->description("Write no metadata");
    keep->excludes(strip);
    app.add_flag("--lossless-jpeg", args.losslessJpeg,
                 "Crop JPEG to JPEG without re-encoding: the crop grows up and left to the block grid (quality does "
                 "not apply); other images are re-encoded");
    std::string exactly, fit, longSide, print, fill;
    const std::vector<CLI::Option*> sizeOptions{
        app.add_option("--size", exactly,
                       "Scale each crop to exactly W x H pixels (an automatic crop takes W:H as its ratio; another "
                       "crop is cut to W:H around its centre first)")
            ->type_name("WxH"),
        app.add_option("--fit", fit, "Scale each crop to fit within W x H pixels, keeping its shape")->type_name("WxH"),
        app.add_option("--long-side", longSide, "Scale each crop so that its longer side is N pixels")->type_name("N"),
        app.add_option("--print", print,
                       "Scale each crop to a print size at a resolution, e.g. 10x15cm@300 or 4x6in@300 (units mm, "
                       "cm, in); the longer side goes along the crop's longer side, and the output says the "
                       "resolution")
            ->type_name("WxHUNIT@PPI"),
    };
    for (CLI::Option* one : sizeOptions) {
        for (CLI::Option* other : sizeOptions) {
            if (one != other)
                one->excludes(other);
        }
    }
    auto* fillOption = app.add_option("--fill", fill,
                                      "With --fit: fill the rest of the W x H box with COLOUR (#rrggbb, a name "
                                      "such as white, or transparent), so the output is exactly W x H")
                           ->type_name("COLOUR")
                           ->needs(sizeOptions[1]);
    app.add_flag("--no-enlarge", args.noEnlarge,
                 "A crop smaller than the size keeps its own size (centred on the --fill box)");
    app.add_option("--overwrite", args.overwrite,
                   "For existing output files: ask, yes or no (default: ask when standard input is a terminal "
                   "that does not give the --files-from list, otherwise no)")
        ->type_name("ask|yes|no")
        ->check(CLI::IsMember({"ask", "yes", "no"}));
    app.add_flag("--replace-sources", args.replaceSources,
                 "Replace an output file that is one of the images being cropped (whatever --overwrite says; "
                 "otherwise that image is skipped)");
    app.add_option("--save-profile", args.saveProfile, "Write the resulting settings as a profile and exit")
        ->type_name("FILE");
    app.add_option("-j,--jobs", args.jobs, "Images worked on at once (default: one more than the cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 64u));
    app.add_option("--first-index", args.firstIndex,
                   "[FileIndex] of the first image (default 1): a part of a longer list, given its first image's "
                   "place in it, is named as the whole list would be")
        ->type_name("N")
        ->check(CLI::Range(std::int64_t{1}, std::numeric_limits<std::int64_t>::max() / 2));
    app.add_flag("--dry-run", args.dryRun,
                 "Say for each image its output and whether it would be written, replaced, skipped, asked about "
                 "or refused; write nothing");
    app.add_option("--report", args.report,
                   "Write a JSON object per image and line to FILE (\"-\": standard output, the summary then goes "
                   "to standard error): source, output, outcome, reason, milliseconds")
        ->type_name("FILE");
    app.add_option("--memory-budget", args.memoryBudget,
                   "Megabytes the images in flight may hold together; an image larger than that runs alone "
                   "(default: a quarter of the physical memory; one image's limit: TRIMLARK_IMAGE_MEMORY)")
        ->type_name("MB")
        ->check(CLI::PositiveNumber);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        const int status = app.exit(e, out, err);
        PrintLines(stdout, out.str());
        PrintLines(stderr, err.str());
        return status == 0 ? 0 : kUsageError;
    }
    auto givenValue = [](const CLI::Option* option, auto value) {
        return option->count() > 0 ? std::optional(std::move(value)) : std::nullopt;
    };
    args.crop = givenValue(cropOption, crop);
    args.corner = givenValue(cornerOption, corner);
    args.position = givenValue(positionOption, position);
    args.format = givenValue(formatOption, format);
    args.quality = givenValue(qualityOption, quality);
    args.name = givenValue(nameOption, name);
    args.fill = givenValue(fillOption, fill);
    const std::string* sizeValues[] = {&exactly, &fit, &longSide, &print};
    for (std::size_t i = 0; i < sizeOptions.size(); ++i) {
        if (sizeOptions[i]->count() > 0)
            args.size.emplace(sizeOptions[i]->get_name(), *sizeValues[i]);
    }
    if (longer->count() > 0 || given->count() > 0)
        args.widthAlongLonger = longer->count() > 0;
    if (keep->count() > 0 || strip->count() > 0)
        args.keepMetadata = keep->count() > 0;
    return std::nullopt;
}

// The options over the profile's settings (or the defaults); false, with the message of the first refused value.
bool ApplyArguments(const Arguments& args, ProfileContent& content, std::string* reason)
{
    CropSettings& settings = content.settings;
    if (args.crop && !CropOptionParser::ApplyCrop(*args.crop, settings, content.customRatio, reason))
        return false;
    if (args.corner && !CropOptionParser::ApplyCorner(*args.corner, settings, reason))
        return false;
    if (args.position)
        settings.comboAutoCropPosition =
            static_cast<int>(*args.position == "subject" ? CropPosition::Subject : CropPosition::Centred);
    if (args.widthAlongLonger)
        content.customRatio.customWidthLargestDimension = *args.widthAlongLonger;
    if (args.format && !CropOptionParser::ApplyFormat(*args.format, AvailableFormats(), settings, reason))
        return false;
    if (args.quality)
        settings.sliderQuality = *args.quality;
    if (args.name)
        settings.textFieldName = *args.name;
    if (args.keepMetadata)
        settings.checkKeepEXIFInformationAndCreationDate = *args.keepMetadata;
    if (args.losslessJpeg)
        settings.checkLosslessJpeg = true;
    if (args.size && !CropOptionParser::ApplySize(args.size->first, args.size->second, settings, reason))
        return false;
    if (args.fill && !CropOptionParser::ApplyFill(*args.fill, settings, reason))
        return false;
    if (args.noEnlarge)
        settings.checkDoNotEnlarge = true;
    if (args.losslessJpeg && settings.comboSize != 0) {
        *reason = "--lossless-jpeg copies the kept blocks and cannot scale them: it cannot be used with a size "
                  "(--size, --fit, --long-side, --print or a profile's size).";
        return false;
    }
    settings.textFieldOutputFolder = args.output;
    return true;
}

// What to do with an existing file: "ask", "yes" or "no", as given or by default. Standard input that
// holds the list of paths holds no answers.
std::string OverwritePolicy(const Arguments& args)
{
    if (!args.overwrite.empty())
        return args.overwrite;
    return isatty(STDIN_FILENO) && args.sources.filesFrom != "-" ? "ask" : "no";
}

// Writes the profile; an existing file is replaced only under the answer that replaces existing images.
int SaveProfile(const Arguments& args, const ProfileContent& content)
{
    const std::string& path = args.saveProfile;
    std::error_code ec;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
    if (exists) {
        const std::string policy = OverwritePolicy(args);
        const OverwriteAnswer answer = policy == "ask"   ? AskOnTerminal(path)
                                       : policy == "yes" ? OverwriteAnswer::Yes
                                                         : OverwriteAnswer::No;
        if (answer != OverwriteAnswer::Yes && answer != OverwriteAnswer::YesToAll) {
            std::fprintf(stderr, "%s\n",
                         EscapeControlCharacters("The profile " + path + " already exists and is kept.").c_str());
            return 1;
        }
    }
    std::string reason;
    if (!SaveProfileFile(path, content, AvailableFormats(), &reason, exists))
        return UsageError("Could not save profile. " + reason);
    return 0;
}

// Says what a run would do with the output folder and each image, touching nothing: 0, 1 when some image would
// fail, 2 when the folder refuses the whole run.
int DryRun(const CropJob& job, const OutputFolderCheck& folder, bool asking, std::optional<RunReport>& report,
           std::FILE* human)
{
    if (folder.state == OutputFolderCheck::State::Missing)
        std::fprintf(human, "%s\n", EscapeControlCharacters("create: " + job.settings.textFieldOutputFolder).c_str());
    std::size_t counts[5] = {};
    constexpr std::string_view words[5] = {"write", "replace", "skip", "ask", "refuse"};
    for (const CropJobImage& image : job.images) {
        const PlannedOutcome planned = folder.state == OutputFolderCheck::State::Unusable
                                           ? PlannedOutcome{"refuse", folder.reason}
                                           : PlanOutcome(image, asking);
        ++counts[std::find(std::begin(words), std::end(words), planned.word) - std::begin(words)];
        std::string line = std::string(planned.word) + ": " + image.sourcePath + " -> " + image.outputPath;
        if (!planned.reason.empty())
            line += " (" + planned.reason + ")";
        std::fprintf(human, "%s\n", EscapeControlCharacters(line).c_str());
        if (report)
            report->Add(image.sourcePath, image.outputPath, planned.word, planned.reason, 0, image.adjustment);
    }
    std::fprintf(human, "Dry run, nothing written. (%zu write, %zu replace, %zu skip, %zu ask, %zu refuse)\n",
                 counts[0], counts[1], counts[2], counts[3], counts[4]);
    if (folder.state == OutputFolderCheck::State::Unusable)
        return kUsageError;
    return counts[4] == 0 ? 0 : 1;
}

// Plans, runs and reports the crop of the listed images, each with its adjusted crop (the list moves into the plan).
int CropImages(std::vector<std::string> sources, const std::vector<std::optional<CropAdjustment>>& adjustments,
               const ProfileContent& content, const Arguments& args)
{
    std::string reason;
    // The folder is settled before any image, so that a folder the run cannot use gives one message, not a
    // failure per image; it is made only once nothing else can refuse the run.
    const OutputFolderCheck folder = CheckOutputFolder(args.output);
    if (folder.state == OutputFolderCheck::State::Unusable && !args.dryRun)
        return UsageError(folder.reason);
    std::optional<RunReport> report;
    if (!args.report.empty() && !(report = RunReport::Open(args.report, &reason)))
        return UsageError(reason);
    if (folder.state == OutputFolderCheck::State::Missing && !args.dryRun && !CreateOutputFolder(args.output, &reason))
        return UsageError(reason);
    std::FILE* human = args.report == "-" ? stderr : stdout; // standard output then holds the report alone

    ImageTools::Initialize();
    const std::string overwrite = OverwritePolicy(args);
    const OverwriteQuestion ask =
        overwrite == "ask" && !args.dryRun
            ? AskOnTerminal
            : AnswerAll(overwrite == "yes" ? OverwriteAnswer::YesToAll : OverwriteAnswer::NoToAll);
    const OverwriteQuestion askSource =
        AnswerAll(args.replaceSources ? OverwriteAnswer::YesToAll : OverwriteAnswer::NoToAll);
    const std::size_t count = sources.size();
    CropJob job =
        BuildCropJob(std::move(sources), content.settings, content.customRatio, ask, askSource, args.firstIndex);
    for (std::size_t i = 0; i < job.images.size(); ++i)
        job.images[i].adjustment = adjustments[i];
    job.replaceLateFiles = job.replaceLateFiles || overwrite == "yes";
    job.memoryBudget = args.memoryBudget * 1048576.0;

    int status = 0;
    if (args.dryRun) {
        status = DryRun(job, folder, overwrite == "ask", report, human);
    } else {
        ProgressReporter reporter(stderr, isatty(STDERR_FILENO) != 0, count);
        RunCounts counts;
        std::vector<std::string> failures;
        CropRunCallbacks callbacks;
        callbacks.keepOutcomes = false; // counted and reported here, as they come
        callbacks.imageDone = [&](const ImageOutcome& outcome) {
            reporter.ReportImage(outcome);
            counts.Add(outcome);
            if (outcome.kind == ImageOutcome::Kind::LoadFailed || outcome.kind == ImageOutcome::Kind::SaveFailed)
                failures.push_back(FailureLine(outcome));
            if (report)
                report->Add(outcome.sourcePath, outcome.outputPath, OutcomeWord(outcome.kind), ReportReason(outcome),
                            outcome.milliseconds, job.images.at(outcome.index).adjustment);
        };
        const CropRunResult result = CropImagesWork(job, callbacks, args.jobs);
        reporter.Finish();

        const std::string_view message = result.allImagesCropped ? kRunSucceededMessage : kRunFailedMessage;
        std::fprintf(human, "%s (%s)\n", std::string(message).c_str(), RunCountsText(counts).c_str());
        std::fflush(human);
        for (const std::string& failure : failures)
            std::fprintf(stderr, "%s\n", failure.c_str());
        status = result.allImagesCropped ? 0 : 1;
    }
    if (report && !report->Close(&reason)) {
        std::fprintf(stderr, "%s\n", EscapeControlCharacters(reason).c_str());
        status = std::max(status, 1);
    }
    return status;
}

} // namespace

int RunCommandLine(int argc, char** argv)
{
    Arguments args;
    if (const auto status = ParseArguments(argc, argv, args))
        return *status;

    ProfileContent content;
    if (!args.profile.empty()) {
        std::string why;
        auto loaded = LoadProfileFile(args.profile, content, AvailableFormats(), &why);
        if (!loaded)
            return UsageError("Could not load profile. " + ProfileRefusalSentence(why));
        content = std::move(*loaded);
    }
    std::string reason;
    if (!ApplyArguments(args, content, &reason))
        return UsageError(reason);

    if (!args.saveProfile.empty() && args.dryRun) {
        std::printf("%s\n", EscapeControlCharacters("save: " + args.saveProfile).c_str());
        std::printf("Dry run, nothing written.\n");
        return 0;
    }
    if (!args.saveProfile.empty())
        return SaveProfile(args, content);

    std::vector<std::string> notes;
    auto sources = SourceCollector::CollectSources(args.inputs, args.sources, &reason, &notes);
    if (!sources)
        return UsageError(reason);
    std::vector<std::string> paths;
    std::vector<std::optional<CropAdjustment>> adjustments;
    paths.reserve(sources->size());
    adjustments.reserve(sources->size());
    for (ListEntry& source : *sources) {
        paths.push_back(std::move(source.path));
        adjustments.push_back(source.adjustment);
    }
    if (!CheckCropRun(paths, content.settings, &reason))
        return UsageError(reason);
    for (const std::string& note : notes)
        std::fprintf(stderr, "%s\n", EscapeControlCharacters(note).c_str());
    return CropImages(std::move(paths), adjustments, content, args);
}

} // namespace trimlark
