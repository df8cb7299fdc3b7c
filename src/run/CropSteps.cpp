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
        if (!replaceExisting)
            return ImageTools::SaveImageAsNewFile(image, path, format, quality, keepMetadata, reason);
        return ImageTools::SaveImage(image, path, format, quality, keepMetadata, reason) ? SaveResult::Saved
                                                                                         : SaveResult::Failed;
    };
    steps.copyMetadata = [](const WorkingImage& source, const std::string& outputPath) {
        ImageTools::CopyEXIFInformationAndCreationDate(source, outputPath);
    };
    steps.saveLossless = [](const WorkingImage& image, const std::string& path, bool keepMetadata,
                            bool replaceExisting, std::string* reason) {
        return ImageTools::SaveLosslessJpeg(image, path, keepMetadata, replaceExisting, reason);
    };
    steps.cost = [](const WorkingImage& image, OutputFormat format, bool lossless) {
        return ImageTools::MemoryCost(image, format, lossless);
    };
    return steps;
}

} // namespace trimlark
