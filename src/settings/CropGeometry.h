#pragma once

#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <cstdint>
#include <optional>
#include <string>

// Pure crop arithmetic. Lengths are pixels of the source image; the frame's origin is the image's
// bottom-left corner with y pointing up. Only the auto rectangle's size is rounded (down, to whole pixels).
namespace trimlark {

enum class CropMode
{
    Auto,
    CustomPixels,
    CustomPercents,
    TrimBorders,
    None,
};

struct Rect
{
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;

    bool operator==(const Rect&) const = default;
};

struct ClippedSize
{
    double cw = 0;
    double ch = 0;
};

// Auto first, then pixels, then percents (each custom sub-mode needs radioCustomCrop), then the border trim, else
// None.
CropMode GetCropMode(const CropSettings& settings);

// Whether a picture (or a crop) of W x H lays a ratio as a landscape one: a square does.
bool IsLandscapeOrSquare(double W, double H);

// An aspect ratio in whole terms, laid along the image's orientation: `along` goes with the image's longer
// side (its width when it is landscape or square), `across` with the other. A term below 1 is no ratio.
struct AspectRatio
{
    std::int64_t along = 1;
    std::int64_t across = 1;

    bool operator==(const AspectRatio&) const = default;
};

// The ratio of an auto crop format index. Index 5 reads the custom ratio (with the flag off, customWidth stays
// the crop's width whatever the image's orientation); an index outside the list gives 1:1.
AspectRatio GetAutoCropRatio(int index, const CustomRatio& ratio, double W, double H);

// The largest rectangle of the ratio with a whole-pixel size, centred in the image: a size that fits exactly
// is exact, a true fraction is truncated, and x or y may end in a half. Terms up to the 64-bit limit are
// exact. A ratio term below 1, or an image side below 1 or not below 2^63, gives (0, 0, 0, 0).
Rect GetAutoCropRect(AspectRatio ratio, double W, double H);

// The corner-relative rectangle of a custom crop: pixels as typed; percents of the image's size, in double
// precision (the labels, the preview and the run alike). Other modes give (0, 0, 0, 0).
Rect GetCustomCropRect(CropMode mode, const CropSettings& settings, double W, double H);

// Whether a corner measures from the image's right edge, and from its top edge. Without a corner the rectangle
// sits at the bottom-left.
bool IsRightCorner(std::optional<OriginCorner> corner);
bool IsTopCorner(std::optional<OriginCorner> corner);

// Width and height of the part of a corner-relative rectangle inside the image; 0 or less when it misses.
ClippedSize GetClippedCropSize(double W, double H, double x, double y, double w, double h);

// The corner-relative rectangle placed in image coordinates (x, y = its bottom-left corner), not clipped.
// Without a corner (none selected) it sits at the image's origin, whatever x and y say.
Rect GetCropRectInImage(std::optional<OriginCorner> corner, double W, double H, double x, double y, double w, double h);

// The clipped region (left, bottom, cw, ch) in image coordinates, or nothing when the crop is refused:
// width or height below 1, or a clipped size of 0 or less (NaN counts as refused). Without a corner the region
// is (0, 0, cw, ch).
std::optional<Rect> GetCropRegionAtCorner(std::optional<OriginCorner> corner, double W, double H, double x, double y,
                                          double w, double h);

// Whether the crop's rectangle is moved onto the picture's subject: an automatic crop with the position
// "Subject". The rectangles below are then the centred ones, whose size the moved one keeps.
bool PlacesOnSubject(const CropSettings& settings);

// The border trim's tolerance (0-100) and margin (pixels, 0 or more) as the fields give them: whole numbers, spaces
// around them aside; nothing when either is not.
struct TrimRequest
{
    int tolerance = 10;
    int margin = 0;

    bool operator==(const TrimRequest&) const = default;
};
std::optional<TrimRequest> ReadTrimRequest(const CropSettings& settings);

// The crop rectangle a run uses for one image: by mode, percents in double precision; None gives (0, 0, 0, 0).
Rect GetRunCropRect(const CropSettings& settings, const CustomRatio& ratio, double W, double H);

// The four dimension labels of the main window.
// "Width: 300" and "Height: 200" for a size (the whole part of it).
std::string WidthLabel(double value);
std::string HeightLabel(double value);

struct DimensionLabels
{
    std::string originalWidth = "Width: 0";
    std::string originalHeight = "Height: 0";
    std::string outputWidth = "Width: 0";
    std::string outputHeight = "Height: 0";

    bool operator==(const DimensionLabels&) const = default;
};

} // namespace trimlark
