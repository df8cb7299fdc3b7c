#pragma once

#include "imaging/CropPlan.h"
#include "run/CropSteps.h"
#include "run/RunMemory.h"
#include "settings/CropAdjustment.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"
#include "settings/FileTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trimlark {

// What the run does at an image's output path, decided before any image is processed.
enum class OverwriteAction
{
    Write,     // the path did not exist when the run was planned, and no earlier image writes it
    Overwrite, // it existed and the user agreed to replace it
    Skip,      // it existed and the user declined
};

// The answers to "replace this existing file?", in the order the question offers them.
enum class OverwriteAnswer
{
    Yes,
    YesToAll,
    No,
    NoToAll,
};

// One image of a run, planned before the run starts.
struct CropJobImage
{
    std::string sourcePath;
    std::string outputPath;
    // The same file for different spellings of its path, as far as the file system tells when the run is planned;
    // empty when that is the path as written (a long list then holds each path once).
    std::string sourceIdentity;
    std::string outputIdentity;
    std::optional<OutputFormat> format; // nothing when this system cannot write the chosen type
    OverwriteAction action = OverwriteAction::Write;
    std::string outputUnreadable; // why the output path's status could not be read; the image then fails with it
    bool outputIsSource = false;  // the output path is one of the run's images, so replacing it loses an original
    std::optional<CropAdjustment> adjustment; // the crop adjusted by hand for this image, if any

    std::string_view SourceIdentity() const { return sourceIdentity.empty() ? sourcePath : sourceIdentity; }
    std::string_view OutputIdentity() const { return outputIdentity.empty() ? outputPath : outputIdentity; }
};

// The snapshot a run works on. Built once, never changed: the caller may go on editing its own settings,
// list and custom ratio while the run works.
struct CropJob
{
    std::vector<CropJobImage> images; // in list order
    CropSettings settings;
    CustomRatio customRatio;
    // A file that appears at a free output path while the run works is replaced (the user answered "Yes to All"
    // for existing files); otherwise the image is skipped and that file kept.
    bool replaceLateFiles = false;
    // Bytes the images in flight may hold together (see MemoryBudget); 0: DefaultRunMemoryBudget().
    double memoryBudget = 0;
};

inline constexpr std::string_view kNoImagesMessage = "There are no images to crop.";
inline constexpr std::string_view kNoOutputFolderMessage = "Please select an output folder.";
inline constexpr std::string_view kNameWithFolderMessage =
    "The file-name pattern cannot contain \"/\": output files are written in the output folder only.";
inline constexpr std::string_view kTrimValuesMessage =
    "The border trim's tolerance is a whole number from 0 to 100, and its margin a whole number of pixels.";
inline constexpr std::string_view kRunSucceededMessage = "Images cropped successfully.";
inline constexpr std::string_view kRunFailedMessage = "Some images could not be cropped.";

// The checks before a run, list first: false, with the message that refuses the run. Only an empty folder
// text is refused (spaces are a name); the folder is not tested for existence. A name pattern holding "/"
// would write outside the output folder and is refused, and so are size settings no run can make ("Cannot make the
// output size: the width is not ...").
bool CheckCropRun(const std::vector<std::string>& sourcePaths, const CropSettings& settings, std::string* refusal);

// "The file <path> already exists. Do you want to overwrite it?"
std::string OverwriteQuestionText(const std::string& outputPath);

// "The file <path> is one of the images being cropped. Replace the original?"
std::string ReplaceSourceQuestionText(const std::string& outputPath);

// Asked once per existing output path (in list order) until an "...to All" answer is remembered.
using OverwriteQuestion = std::function<OverwriteAnswer(const std::string& outputPath)>;

// Plans the run: every output path is tested for existence first, then existing ones are decided in list order.
// An existing output path that is one of the run's images (however it is spelled) is decided by askSource, all of
// those before any other, with their own "...to All" answers; without askSource (empty) they are skipped, whatever
// ask would say. An output path that an earlier image of the run writes too (however spelled) counts as existing.
// Any entry at the path (a folder, a dangling link) counts as existing; a path whose status cannot be read
// (no search permission, a link loop, a name too long) is not asked about and its image fails. Without a question
// (empty ask), an existing path is skipped. The first image's "[FileIndex]" is firstIndex, so a list split in
// parts, each given the index its first image has in the whole, is named as the whole list would be.
CropJob BuildCropJob(std::vector<std::string> sourcePaths, const CropSettings& settings, const CustomRatio& customRatio,
                     const OverwriteQuestion& ask, const OverwriteQuestion& askSource = {},
                     std::int64_t firstIndex = 1);

// What happened to one image.
struct ImageOutcome
{
    enum class Kind
    {
        Written,
        Replaced,
        Skipped,
        LoadFailed,
        SaveFailed,
        NotStarted, // a stop came before the image started; nothing was read or written for it
    };
    std::size_t index = 0;
    Kind kind = Kind::Written;
    std::string sourcePath;
    std::string outputPath;
    // Why it failed, or why a source was kept (Skipped); for a written image, what the output lacks of its source
    // (metadata that did not fit, a decoder's remark); empty otherwise.
    std::string reason;
    bool wholeImage = false; // the crop was refused for this image (it cuts nothing out): the whole image was written
    bool sourceKept = false; // skipped because its output is one of the run's images
    bool adjusted = false;   // written with the crop adjusted by hand for it
    double milliseconds = 0; // from the image's start to its outcome, waits for memory included
};

struct CropRunResult
{
    bool allImagesCropped = true;       // no image failed (images not started because of a stop are no failure)
    bool stopped = false;               // a stop was asked for before every image had started
    std::vector<ImageOutcome> outcomes; // in list order, one per image, not-started ones included (if kept)
};

struct CropRunCallbacks
{
    // index / n after each image that was started, in steps of 1/n (0 first), called from the working threads.
    std::function<void(double)> progress;
    // Each image's outcome, in list order, called from the working threads; images a stop kept from starting
    // come last, as NotStarted.
    std::function<void(const ImageOutcome&)> imageDone;
    // Asked before each image starts, from the working threads, one call at a time; true: no further image
    // starts, the images in flight finish and are written whole, the rest are reported NotStarted.
    std::function<bool()> stopRequested;
    // false: the result's outcomes stay empty, so a long list costs no memory per image done; imageDone still
    // sees each outcome.
    bool keepOutcomes = true;
};

// Counts of a run's outcomes; failed counts both load and save failures.
struct RunCounts
{
    std::size_t written = 0, replaced = 0, skipped = 0, failed = 0, notStarted = 0;
    std::size_t adjusted = 0; // written with the crop adjusted by hand

    void Add(const ImageOutcome& outcome);
    void Add(ImageOutcome::Kind kind);
    bool operator==(const RunCounts&) const = default;
};
RunCounts CountOutcomes(const std::vector<ImageOutcome>& outcomes);

// "3 written, 1 replaced, 2 skipped, 1 failed", with ", 4 not started" appended when there are any, and "; 2 crops
// adjusted by hand" when any were.
std::string RunCountsText(const RunCounts& counts);

// Processes every image of the job and returns when the last is done; call it off the GUI thread.
// Up to maxInFlight images are worked on at once (0: one more than the cores), as far as the job's memory budget lets
// them: an image whose save would not fit beside the others waits, one larger than the budget runs alone. What is
// written is the same as one
// after another: an image that writes a path an earlier image writes or reads, or reads a path an earlier
// image writes, starts only when that earlier image is done. Callbacks come one at a time, in list order.
// Images are started in list order; after a stop, those not started are reported without being touched.
CropRunResult CropImagesWork(const CropJob& job, const CropRunCallbacks& callbacks, unsigned maxInFlight = 0);
CropRunResult CropImagesWork(const CropJob& job, const CropRunCallbacks& callbacks, unsigned maxInFlight,
                             const CropSteps& steps);

// The crop plan of one loaded image of the job: its upright size and, where the settings ask, its JPEG layout and the
// subject's sample (read from its file again, as the preview reads it).
CropPlan PlanImageCrop(const CropJob& job, std::size_t index, const WorkingImage& loaded);

// One image of the job: load, crop by the job's mode, then write, replace or skip by its action, then the
// date when kept and saved. A skipped image is still loaded (an unreadable source fails the run).
// A crop the geometry refuses writes the whole image and says so (wholeImage); the None mode asks for no crop,
// so its images are written whole without that mark.
// An existing file is replaced only by a complete new one; a failed save leaves it as it was. With a budget, the
// save waits until its estimated memory fits in it.
ImageOutcome CropAndSaveImage(const CropJob& job, std::size_t index, const CropSteps& steps = CropSteps::Default(),
                              MemoryBudget* budget = nullptr);

} // namespace trimlark
