#pragma once

#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace trimlark {

// What the run does at an image's output path, decided before any image is processed.
enum class OverwriteAction
{
    Write,     // the path did not exist when the run was planned
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

// The snapshot a run works on. Built once, never changed: the caller may go on editing its own settings,
// list and custom ratio while the run works.
struct CropJob
{
    std::vector<std::string> sourcePaths;
    CropSettings settings;
    std::string formatName; // lower-cased title of the chosen format
    CustomRatio customRatio;
    std::vector<OverwriteAction> actions; // one per source, in list order
};

// Asked once per existing output path (in list order) until an "...to All" answer is remembered.
using OverwriteQuestion = std::function<OverwriteAnswer(const std::string& outputPath)>;

// Plans the run: every output path is tested for existence first, then existing ones are decided in list order.
CropJob BuildCropJob(const std::vector<std::string>& sourcePaths, const CropSettings& settings,
                     const CustomRatio& customRatio, const OverwriteQuestion& ask);

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
    };
    std::size_t index = 0;
    Kind kind = Kind::Written;
    std::string sourcePath;
    std::string outputPath;
    std::string reason; // empty unless it failed
};

struct CropRunResult
{
    bool allImagesCropped = true;
    std::vector<ImageOutcome> outcomes; // in list order
};

struct CropRunCallbacks
{
    // index / n after each image, counting up in steps of 1/n (0 first), called from the working thread.
    std::function<void(double)> progress;
    // Each image's outcome, in list order, called from the working thread.
    std::function<void(const ImageOutcome&)> imageDone;
};

// Processes every image of the job and returns when the last is done; call it off the GUI thread.
// Up to maxInFlight images are worked on at once (0: one per core); what is written is the same as one
// after another.
CropRunResult CropImagesWork(const CropJob& job, const CropRunCallbacks& callbacks, unsigned maxInFlight = 0);

} // namespace trimlark
