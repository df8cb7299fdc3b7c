#pragma once

#include "imaging/ImageTools.h"

#include <functional>
#include <optional>
#include <string>

namespace trimlark {

// The image operations a run performs for each image. The defaults are ImageTools'; a caller may replace
// any of them (to observe or slow a step) without changing what the run decides.
struct CropSteps
{
    std::function<std::optional<WorkingImage>(const std::string& path, std::string* reason)> load;
    // ImageTools::WriteImage.
    std::function<SaveResult(const WorkingImage& image, const std::string& path, OutputFormat format, double quality,
                             bool keepMetadata, bool replaceExisting, std::string* reason)>
        save;
    // ImageTools::CopyCreationDate.
    std::function<bool(const WorkingImage& source, const std::string& outputPath, std::string* reason)>
        copyCreationDate;
    // ImageTools::SaveLosslessJpeg.
    std::function<SaveResult(const WorkingImage& image, const std::string& path, bool keepMetadata,
                             bool replaceExisting, std::string* reason)>
        saveLossless;
    // The memory a save of the image in the format would hold at once (ImageTools::MemoryCost).
    std::function<double(const WorkingImage& image, OutputFormat format, bool lossless)> cost;

    // Every step done by ImageTools.
    static CropSteps Default();
};

} // namespace trimlark
