#pragma once

#include "imaging/ImageTools.h"
#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <optional>
#include <string>

namespace trimlark {

// The crop the window shows for the selected image: what the run will write.
struct ShownCrop
{
    Rect rect; // in source pixels, measured from corner
    std::optional<OriginCorner> corner;
    bool refused = false;              // the crop cuts nothing out: the whole image is written
    std::optional<PixelRect> lossless; // the region a lossless JPEG crop writes, grown to the block grid
};

// For the image at path of the pixel size: the settings' rectangle; the whole image when the run would refuse the
// crop; with the lossless box on, a JPEG source (jpeg, its layout read when it was selected) and JPEG output, the
// region grown to the file's block grid (then measured from the top left). Reads no file.
ShownCrop GetShownCrop(const std::string& path, PixelSize size, const std::optional<LosslessJpegLayout>& jpeg,
                       const CropSettings& settings, const CustomRatio& ratio);

} // namespace trimlark
