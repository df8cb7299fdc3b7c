#pragma once

#include "imaging/ImageTools.h"
#include "settings/CropSettings.h"

#include <optional>

namespace trimlark {

// The crop preview: the image with everything the crop cuts away under a 60 % white veil, the crop area clear.
// (x, y, width, height) is the corner-relative rectangle in pixels of the source image of sourceSize, placed by
// originCorner as the crop places it (without a corner it sits at the bottom-left corner, whatever x and y say). image
// may be a copy of the source scaled to any size: the rectangle is scaled with it, and a pixel the rectangle's edge
// crosses is veiled in proportion to the part of it outside. A rectangle that misses the image, or holds a value that
// is not finite, leaves the whole preview veiled. Pure; runs on any thread.
RgbaBitmap DrawCropPreview(double x, double y, double width, double height, const RgbaBitmap& image,
                           PixelSize sourceSize, std::optional<OriginCorner> originCorner);

} // namespace trimlark
