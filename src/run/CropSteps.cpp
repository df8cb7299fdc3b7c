#include "run/CropSteps.h"

namespace trimlark {

CropSteps CropSteps::Default()
{
    CropSteps steps;
    steps.load = [](const std::string& path, std::string* reason) {
        return ImageTools::LoadImageAtPixelSize(path, reason);
    };
    steps.crop = [](const WorkingImage& image, double x, double y, double w, double h, int corner) {
        return ImageTools::CropImage(image, x, y, w, h, corner);
    };
    steps.save = [](const WorkingImage& image, const std::string& path, int formatIndex, double quality,
                    bool keepMetadata, std::string* reason) {
        return ImageTools::SaveImage(image, path, formatIndex, quality, keepMetadata, reason);
    };
    steps.copyMetadata = [](const std::string& sourcePath, const std::string& outputPath) {
        ImageTools::CopyEXIFInformationAndCreationDate(sourcePath, outputPath);
    };
    return steps;
}

} // namespace trimlark
