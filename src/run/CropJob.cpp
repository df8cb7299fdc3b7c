#include "run/CropJob.h"

#include "base/PathText.h"
#include "base/Reason.h"
#include "imaging/Codecs.h"
#include "imaging/CropPlan.h"
#include "imaging/decode/DecoderWarnings.h"
#include "run/OutputNaming.h"
#include "settings/CropGeometry.h"
#include "settings/SettingsRules.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace trimlark {

namespace {

namespace fs = std::filesystem;

// Whether an entry (a dangling link and a folder included) is at the path. A status that cannot be read is
// neither: it gives the reason, and the image fails with it rather than be kept or written unseen.
bool PathIsTaken(const std::string& path, std::string* unreadable)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        *unreadable = "cannot check for an existing file: " + ec.message();
    return !ec && fs::exists(status);
}

// The same file for different spellings of its path ("a//b", "./b", links), as far as the file system tells:
// the canonical path, relative to the working folder when inside it; empty when that is the path as written.
std::string FileIdentity(const std::string& path, const fs::path& folder)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    if (ec)
        p = fs::path(path).lexically_normal();
    if (!folder.empty() && p.is_absolute()) {
        fs::path inside = p.lexically_relative(folder);
        if (!inside.empty() && *inside.begin() != "..")
            p = std::move(inside);
    }
    std::string identity = std::move(p).string();
    return identity == path ? std::string() : identity;
}

// For each image, the earlier images it must wait for so that running several at once writes what the
// images would write one after another.
std::vector<std::vector<std::size_t>> OrderDependencies(const std::vector<CropJobImage>& images)
{
    const std::size_t n = images.size();
    std::vector<std::vector<std::size_t>> dependencies(n);
    // Keyed by views of the images' own strings: no second copy of each path.
    std::unordered_map<std::string_view, std::size_t> lastWriter;
    std::unordered_map<std::string_view, std::vector<std::size_t>> readers;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view source = images[i].SourceIdentity();
        const std::string_view output = images[i].OutputIdentity();
        auto& deps = dependencies[i];
        // Earlier writers form a chain, so the last one stands for all of them.
        if (auto it = lastWriter.find(output); it != lastWriter.end())
            deps.push_back(it->second);
        if (auto it = lastWriter.find(source); it != lastWriter.end())
            deps.push_back(it->second);
        if (auto it = readers.find(output); it != readers.end())
            deps.insert(deps.end(), it->second.begin(), it->second.end());
        lastWriter[output] = i;
        readers[source].push_back(i);
    }
    return dependencies;
}

ImageOutcome Failure(ImageOutcome outcome, ImageOutcome::Kind kind, std::string reason, const char* fallback)
{
    outcome.kind = kind;
    outcome.reason = reason.empty() ? fallback : std::move(reason);
    return outcome;
}

ImageOutcome StartOutcome(const CropJob& job, std::size_t index)
{
    ImageOutcome outcome;
    outcome.index = index;
    outcome.sourcePath = job.images[index].sourcePath;
    outcome.outputPath = job.images[index].outputPath;
    return outcome;
}

// Why an image has no format to be written in.
std::string NoFormatReason(const CropJob& job, const CropJobImage& image)
{
    const int index = job.settings.comboFormat;
    if (AvailableFormats().TitleAt(index).empty())
        return "No output format at index " + std::to_string(index);
    return "Cannot write this file type: " + image.outputPath;
}

// Writes the cropped image: where asked, JPEG to JPEG without re-encoding; otherwise, and when that cannot be done
// (note says why), encoded.
SaveResult SaveCropped(const CropJob& job, const CropJobImage& image, const WorkingImage& loaded, const CropPlan& plan,
                       const WorkingImage& cropped, bool replace, const CropSteps& steps, std::string* reason,
                       std::string* note)
{
    const CropSettings& settings = job.settings;
    const bool keepMetadata = settings.checkKeepEXIFInformationAndCreationDate;
    if (settings.checkLosslessJpeg && plan.size) {
        *note = "re-encoded: a lossless crop cannot change the size";
    } else if (settings.checkLosslessJpeg && *image.format != OutputFormat::Jpeg) {
        *note = "re-encoded: the output is not a JPEG";
    } else if (settings.checkLosslessJpeg) {
        const SaveResult lossless = steps.saveLossless(ImageTools::CropToLosslessRegion(loaded, plan), image.outputPath,
                                                       keepMetadata, replace, reason);
        if (lossless != SaveResult::Refused)
            return lossless;
        *note = "re-encoded: " + *reason;
    }
    return steps.save(cropped, image.outputPath, *image.format, QualityFraction(settings.sliderQuality), keepMetadata,
                      replace, reason);
}

ImageOutcome CropAndSaveImageUnguarded(const CropJob& job, std::size_t index, const CropSteps& steps,
                                       MemoryBudget* budget)
{
    const CropJobImage& image = job.images[index];
    ImageOutcome outcome = StartOutcome(job, index);

    std::string reason;
    std::optional<WorkingImage> loaded = steps.load(image.sourcePath, &reason);
    if (!loaded)
        return Failure(std::move(outcome), ImageOutcome::Kind::LoadFailed, std::move(reason), "cannot be read");
    if (!image.outputUnreadable.empty())
        return Failure(std::move(outcome), ImageOutcome::Kind::SaveFailed, image.outputUnreadable, "");
    if (image.action == OverwriteAction::Skip) {
        outcome.kind = ImageOutcome::Kind::Skipped;
        outcome.sourceKept = image.outputIsSource;
        if (image.outputIsSource)
            outcome.reason =
                "its output " + image.outputPath + " is one of the images being cropped; the original is kept";
        return outcome;
    }

    const CropSettings& settings = job.settings;
    const CropPlan plan = PlanImageCrop(job, index, *loaded);
    const WorkingImage cropped = ImageTools::CropImage(*loaded, plan);

    if (!image.format)
        return Failure(std::move(outcome), ImageOutcome::Kind::SaveFailed, NoFormatReason(job, image), "");
    // No removal before the save: the save replaces the old file only once the new one is complete.
    const bool keepMetadata = settings.checkKeepEXIFInformationAndCreationDate;
    // A path that was free when the run was planned is named only if it still is, unless the user said to
    // replace every existing file.
    const bool replace = image.action == OverwriteAction::Overwrite || job.replaceLateFiles;
    std::optional<MemoryBudget::Hold> memory;
    if (budget)
        memory.emplace(budget->Take(steps.cost ? steps.cost(cropped, *image.format, settings.checkLosslessJpeg) : 0));
    std::string note;
    const SaveResult saved = SaveCropped(job, image, *loaded, plan, cropped, replace, steps, &reason, &note);
    if (saved == SaveResult::PathTaken) {
        outcome.kind = ImageOutcome::Kind::Skipped;
        outcome.reason = "a file appeared at " + image.outputPath + " while the run worked; it is kept";
        return outcome;
    }
    if (saved == SaveResult::SourceFailed) // the decoder met the damage only as the pixels were read
        return Failure(std::move(outcome), ImageOutcome::Kind::LoadFailed, std::move(reason), "cannot be read");
    if (saved != SaveResult::Saved)
        return Failure(std::move(outcome), ImageOutcome::Kind::SaveFailed, std::move(reason), "cannot be written");
    std::string undated;
    if (keepMetadata)
        steps.copyCreationDate(cropped, image.outputPath, &undated);
    outcome.kind =
        image.action == OverwriteAction::Overwrite ? ImageOutcome::Kind::Replaced : ImageOutcome::Kind::Written;
    outcome.wholeImage = plan.refused && GetCropMode(settings) != CropMode::TrimBorders; // the remark says why
    outcome.adjusted = plan.source == CropSource::Adjusted;
    // What the output lacks of its source, if anything, and a size that is not the one asked for.
    outcome.reason = JoinRemarks(JoinRemarks(JoinRemarks(plan.remark, note), reason), undated);
    return outcome;
}

bool IsFailure(const ImageOutcome& outcome)
{
    return outcome.kind == ImageOutcome::Kind::LoadFailed || outcome.kind == ImageOutcome::Kind::SaveFailed;
}

// Hands results to the caller in list order, however the images finish.
class RunLedger
{
public:
    RunLedger(std::size_t count, const CropRunCallbacks& callbacks) : count_(count), done_(count), callbacks_(callbacks)
    {
        if (callbacks.keepOutcomes)
            result_.outcomes.reserve(count);
    }

    void WaitFor(const std::vector<std::size_t>& earlier)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(
            lock, [&] { return std::all_of(earlier.begin(), earlier.end(), [&](std::size_t j) { return done_[j]; }); });
    }

    void Finish(ImageOutcome outcome)
    {
        std::lock_guard lock(mutex_);
        const std::size_t index = outcome.index;
        waiting_.emplace(index, std::move(outcome));
        done_[index] = true;
        while (nextToReport_ < count_ && done_[nextToReport_])
            Report(nextToReport_++);
        changed_.notify_all();
    }

    CropRunResult TakeResult(bool stopped)
    {
        std::lock_guard lock(mutex_);
        result_.stopped = stopped;
        return std::move(result_);
    }

private:
    void Report(std::size_t index)
    {
        auto node = waiting_.extract(index);
        ImageOutcome& outcome = node.mapped();
        if (IsFailure(outcome))
            result_.allImagesCropped = false;
        // A caller's callback that throws must not take the run down with it.
        try {
            if (callbacks_.imageDone)
                callbacks_.imageDone(outcome);
            if (callbacks_.progress && outcome.kind != ImageOutcome::Kind::NotStarted)
                callbacks_.progress(static_cast<double>(index) / static_cast<double>(count_));
        } catch (...) {
        }
        if (callbacks_.keepOutcomes)
            result_.outcomes.push_back(std::move(outcome));
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::size_t count_;
    std::unordered_map<std::size_t, ImageOutcome> waiting_; // done, not yet reported: a few images in flight
    std::vector<bool> done_;
    std::size_t nextToReport_ = 0;
    CropRunResult result_;
    const CropRunCallbacks& callbacks_;
};

} // namespace

CropPlan PlanImageCrop(const CropJob& job, std::size_t index, const WorkingImage& loaded)
{
    const CropJobImage& image = job.images[index];
    // The sample the preview looked in, so the run cuts what the preview showed; without one, the centre.
    std::optional<RgbaBitmap> sample;
    if (PlacesOnSubject(job.settings) && !image.adjustment)
        sample = ImageTools::LoadSubjectSample(image.sourcePath);
    std::optional<LosslessJpegLayout> jpeg;
    if (job.settings.checkLosslessJpeg && image.format == OutputFormat::Jpeg)
        jpeg = ImageTools::LosslessJpegLayoutOf(loaded);
    // The border is looked for unless the image's own rectangle replaces what it would find.
    std::optional<std::optional<PixelRect>> trimmed;
    const auto trim = ReadTrimRequest(job.settings);
    if (GetCropMode(job.settings) == CropMode::TrimBorders && trim &&
        !(image.adjustment && image.adjustment->kind == CropAdjustment::Kind::Rectangle))
        trimmed = ImageTools::FindBorderTrim(image.sourcePath, trim->tolerance, trim->margin);
    return MakeCropPlan(job.settings, job.customRatio,
                        {{loaded.Width(), loaded.Height()},
                         jpeg,
                         sample ? &*sample : nullptr,
                         image.format,
                         image.adjustment ? &*image.adjustment : nullptr,
                         trimmed ? &*trimmed : nullptr});
}

bool CheckCropRun(const std::vector<std::string>& sourcePaths, const CropSettings& settings, std::string* refusal)
{
    std::string_view message;
    if (sourcePaths.empty())
        message = kNoImagesMessage;
    else if (settings.textFieldOutputFolder.empty())
        message = kNoOutputFolderMessage;
    else if (settings.textFieldName.find('/') != std::string::npos)
        message = kNameWithFolderMessage;
    else if (GetCropMode(settings) == CropMode::TrimBorders && !ReadTrimRequest(settings))
        message = kTrimValuesMessage;
    std::string sizeProblem;
    if (message.empty() && !ReadSizeRequest(settings, &sizeProblem) && !sizeProblem.empty()) {
        if (refusal)
            *refusal = "Cannot make the output size: " + sizeProblem + ".";
        return false;
    }
    if (message.empty())
        return true;
    if (refusal)
        *refusal = message;
    return false;
}

void RunCounts::Add(const ImageOutcome& outcome)
{
    if (outcome.adjusted)
        ++adjusted;
    Add(outcome.kind);
}

void RunCounts::Add(ImageOutcome::Kind kind)
{
    switch (kind) {
    case ImageOutcome::Kind::Written:
        ++written;
        break;
    case ImageOutcome::Kind::Replaced:
        ++replaced;
        break;
    case ImageOutcome::Kind::Skipped:
        ++skipped;
        break;
    case ImageOutcome::Kind::LoadFailed:
    case ImageOutcome::Kind::SaveFailed:
        ++failed;
        break;
    case ImageOutcome::Kind::NotStarted:
        ++notStarted;
        break;
    }
}

RunCounts CountOutcomes(const std::vector<ImageOutcome>& outcomes)
{
    RunCounts counts;
    for (const ImageOutcome& outcome : outcomes)
        counts.Add(outcome);
    return counts;
}

std::string RunCountsText(const RunCounts& counts)
{
    std::string text = std::to_string(counts.written) + " written, " + std::to_string(counts.replaced) + " replaced, " +
                       std::to_string(counts.skipped) + " skipped, " + std::to_string(counts.failed) + " failed";
    if (counts.notStarted > 0)
        text += ", " + std::to_string(counts.notStarted) + " not started";
    if (counts.adjusted > 0)
        text +=
            "; " + std::to_string(counts.adjusted) + (counts.adjusted == 1 ? " crop" : " crops") + " adjusted by hand";
    return text;
}

std::string OverwriteQuestionText(const std::string& outputPath)
{
    return "The file " + outputPath + " already exists. Do you want to overwrite it?";
}

std::string ReplaceSourceQuestionText(const std::string& outputPath)
{
    return "The file " + outputPath + " is one of the images being cropped. Replace the original?";
}

CropJob BuildCropJob(std::vector<std::string> sourcePaths, const CropSettings& settings, const CustomRatio& customRatio,
                     const OverwriteQuestion& ask, const OverwriteQuestion& askSource, std::int64_t firstIndex)
{
    CropJob job;
    job.settings = settings;
    job.customRatio = customRatio;
    const FormatList& formats = AvailableFormats();
    const std::string formatName = LowerAscii(formats.TitleAt(settings.comboFormat));
    job.images.reserve(sourcePaths.size());
    std::error_code ec;
    const fs::path folder = fs::current_path(ec);
    for (std::size_t i = 0; i < sourcePaths.size(); ++i) {
        CropJobImage image;
        image.sourcePath = std::move(sourcePaths[i]);
        image.outputPath = GetOutputFilePath(firstIndex - 1 + static_cast<std::int64_t>(i), image.sourcePath,
                                             settings.textFieldName, formatName, settings.textFieldOutputFolder);
        image.format = formats.OutputFormatAt(settings.comboFormat, image.sourcePath);
        image.sourceIdentity = FileIdentity(image.sourcePath, folder);
        image.outputIdentity = FileIdentity(image.outputPath, folder);
        job.images.push_back(std::move(image));
    }

    // Every output path is tested first, then the existing ones are decided in list order. An output an earlier
    // image of the run writes counts as existing, as it will by the time this image is saved.
    std::vector<bool> taken;
    taken.reserve(job.images.size());
    std::unordered_set<std::string_view> claimed; // views of the images' strings, which no longer move
    std::unordered_set<std::string_view> sources;
    for (const CropJobImage& image : job.images)
        sources.insert(image.SourceIdentity());
    for (CropJobImage& image : job.images) {
        const bool onDisk = PathIsTaken(image.outputPath, &image.outputUnreadable);
        const bool claimedEarlier = !claimed.insert(image.OutputIdentity()).second;
        image.outputIsSource = onDisk && sources.contains(image.OutputIdentity());
        taken.push_back(onDisk || claimedEarlier);
    }
    // The originals first: losing one is the graver risk, and its answers do not carry over to other files.
    for (const bool decidingSources : {true, false}) {
        const OverwriteQuestion& question = decidingSources ? askSource : ask;
        std::optional<OverwriteAction> remembered;
        for (std::size_t i = 0; i < job.images.size(); ++i) {
            if (!taken[i] || job.images[i].outputIsSource != decidingSources)
                continue;
            if (remembered) {
                job.images[i].action = *remembered;
                continue;
            }
            const OverwriteAnswer answer = question ? question(job.images[i].outputPath) : OverwriteAnswer::No;
            const bool replace = answer == OverwriteAnswer::Yes || answer == OverwriteAnswer::YesToAll;
            const OverwriteAction action = replace ? OverwriteAction::Overwrite : OverwriteAction::Skip;
            if (answer == OverwriteAnswer::YesToAll || answer == OverwriteAnswer::NoToAll)
                remembered = action;
            if (answer == OverwriteAnswer::YesToAll && !decidingSources)
                job.replaceLateFiles = true;
            job.images[i].action = action;
        }
    }
    return job;
}

ImageOutcome CropAndSaveImage(const CropJob& job, std::size_t index, const CropSteps& steps, MemoryBudget* budget)
{
    const auto start = std::chrono::steady_clock::now();
    ImageOutcome outcome;
    try {
        outcome = CropAndSaveImageUnguarded(job, index, steps, budget);
    } catch (const std::bad_alloc&) {
        outcome = Failure(StartOutcome(job, index), ImageOutcome::Kind::LoadFailed, {}, "not enough memory");
    } catch (const std::exception& e) {
        outcome = Failure(StartOutcome(job, index), ImageOutcome::Kind::SaveFailed, e.what(), "unexpected error");
    }
    outcome.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

CropRunResult CropImagesWork(const CropJob& job, const CropRunCallbacks& callbacks, unsigned maxInFlight)
{
    return CropImagesWork(job, callbacks, maxInFlight, CropSteps::Default());
}

CropRunResult CropImagesWork(const CropJob& job, const CropRunCallbacks& callbacks, unsigned maxInFlight,
                             const CropSteps& steps)
{
    const std::size_t n = job.images.size();
    const auto dependencies = OrderDependencies(job.images);

    RunLedger ledger(n, callbacks);
    MemoryBudget budget(job.memoryBudget > 0 ? job.memoryBudget : DefaultRunMemoryBudget());
    std::mutex claimMutex;
    std::size_t nextToStart = 0;
    bool stopped = false;
    // Asked under the claim lock, so the caller's check is never run twice at once and no image is claimed
    // after it said stop.
    auto stopRequested = [&] {
        try {
            return callbacks.stopRequested && callbacks.stopRequested();
        } catch (...) {
            return false;
        }
    };
    // Images are claimed in list order, so whatever an image waits for is already claimed and cannot wait on it.
    auto work = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard lock(claimMutex);
                if (stopped || nextToStart >= n)
                    return;
                if (stopRequested()) {
                    stopped = true;
                    return;
                }
                index = nextToStart++;
            }
            ledger.WaitFor(dependencies[index]);
            ledger.Finish(CropAndSaveImage(job, index, steps, &budget));
        }
    };

    // One more than the cores by default: while an image waits on the disk (its read, the flush of its output)
    // another keeps the core busy. The memory budget still decides what starts.
    unsigned inFlight = maxInFlight != 0 ? maxInFlight : std::max(1u, std::thread::hardware_concurrency()) + 1;
    inFlight = static_cast<unsigned>(std::min<std::size_t>(inFlight, n));
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < inFlight; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // fewer images in flight; the calling thread still does the rest
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    for (std::size_t index = nextToStart; index < n; ++index) {
        ImageOutcome outcome = StartOutcome(job, index);
        outcome.kind = ImageOutcome::Kind::NotStarted;
        ledger.Finish(std::move(outcome));
    }
    return ledger.TakeResult(stopped);
}

} // namespace trimlark
