#include "run/CropSteps.h"

namespace trimlark {

CropSteps CropSteps::Default()
{
    CropSteps steps;
    steps.load = [](const std::string& path, std::string* reason) {
        return ImageTools::LoadImageAtPixelSize(path, reason);
    };
    steps.save = [](const WorkingImage& image, const std::string& path, OutputFormat format, double quality,
                    bool keepMetadata, bool replaceExisting, std::string* reason) {
        return ImageTools::WriteImage(image, path, format, quality, keepMetadata, replaceExisting, reason);
    };
    steps.copyCreationDate = [](const WorkingImage& source, const std::string& outputPath, std::string* reason) {
        return ImageTools::CopyCreationDate(source, outputPath, reason);
    };
    steps.saveLossless = [](const WorkingImage& image, const std::string& path, bool keepMetadata, bool replaceExisting,
                            std::string* reason) {
        return ImageTools::SaveLosslessJpeg(image, path, keepMetadata, replaceExisting, reason);
    };
    steps.cost = [](const WorkingImage& image, OutputFormat format, bool lossless) {
        return ImageTools::MemoryCost(image, format, lossless);
    };
    return steps;
}

} // namespace trimlark
