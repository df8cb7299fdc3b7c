#pragma once

#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The size step after the crop: what size a crop of a given size is written at. Pure arithmetic, in whole
// pixels.
namespace trimlark {

// The size list's entries, in its order.
enum class SizeMode
{
    Keep = 0,      // the crop's own size
    Exactly = 1,   // exactly width x height: the crop is cut to that shape first
    FitWithin = 2, // inside width x height, keeping the crop's shape; optionally filled up to the size
    LongSide = 3,  // the crop's longer side becomes the width field's value
    PrintSize = 4, // a print's size in a unit at a resolution, laid along the crop's orientation; else Exactly
};

enum class PrintUnit
{
    Millimetres = 0,
    Centimetres = 1,
    Inches = 2,
};

// "Keep the cropped size", "Exactly", "Fit within", "Long side", "Print size".
const std::vector<std::string>& SizeModeTitles();
// "mm", "cm", "in".
const std::vector<std::string>& PrintUnitTitles();

// The largest output side the size step makes.
inline constexpr double kMaxOutputSide = 65535;

struct FillColour
{
    std::uint8_t red = 255;
    std::uint8_t green = 255;
    std::uint8_t blue = 255;
    std::uint8_t alpha = 255;

    bool operator==(const FillColour&) const = default;
};

// A colour as CSS writes it: "#rrggbb", "#rgb", "transparent" or one of the common names ("white", "black",
// "grey"/"gray", "red"...), in any letter case; nothing for anything else.
std::optional<FillColour> ParseFillColour(std::string_view text);
// "#rrggbb", or "transparent" for a colour without opacity.
std::string FillColourText(const FillColour& colour);

// The size step the settings ask for, read and checked.
struct SizeRequest
{
    SizeMode mode = SizeMode::Keep;
    double width = 0; // whole pixels, 1 to kMaxOutputSide; LongSide uses width alone
    double height = 0;
    double ppi = 0; // PrintSize only
    bool noEnlarge = false;
    std::optional<FillColour> fill; // FitWithin with the fill on only

    bool operator==(const SizeRequest&) const = default;
};

// Nothing for "Keep the cropped size" (problem left empty) and for settings that ask for no size a run can make
// (problem says why: "the width is not a whole number of pixels from 1 to 65535", "the resolution is not a
// number above 0"...). A print size becomes pixels at the resolution, each side rounded to the nearest pixel.
std::optional<SizeRequest> ReadSizeRequest(const CropSettings& settings, std::string* problem = nullptr);

// The shape an automatic crop takes under Exactly and PrintSize, laid for a picture of W x H (Exactly keeps its
// width across; a print lays its longer side along the picture's); nothing for the other modes.
std::optional<AspectRatio> SizeCropRatio(const SizeRequest& request, double W, double H);

// What the size step makes of a crop of cw x ch whole pixels.
struct SizedOutput
{
    double width = 0; // the crop's pixels once scaled
    double height = 0;
    double canvasWidth = 0; // the output: the scaled crop, or the fill's size around it
    double canvasHeight = 0;
    bool notEnlarged = false; // the size asked for is larger than the crop, which keeps its own size
    double ppi = 0;           // the output's resolution (PrintSize only; the print's own where not enlarged)
    double printPpi = 0;      // PrintSize: the resolution the crop's own pixels give at the print's size

    bool operator==(const SizedOutput&) const = default;
};

// The crop's size at the request: Exactly and PrintSize give the size (the crop is expected in its shape: see
// CutToShape), laid along the crop's orientation for a print; FitWithin the largest size of the crop's shape
// inside the box (one side exact, the other rounded to the nearest pixel, at least 1), with the fill the box;
// LongSide the crop's longer side at the width, the other rounded. With noEnlarge a size larger than the crop
// (on either side) keeps the crop's own, still centred on a fill.
SizedOutput SizeOutput(const SizeRequest& request, double cw, double ch);

// The whole-pixel region (left, bottom, width, height in image coordinates) of the largest part of the region of
// the request's shape (Exactly, PrintSize) centred in it; the region itself for the other modes.
Rect CutToShape(const SizeRequest& request, const Rect& region);

// The report's words for a sized output that is not what was asked ("not enlarged: the crop is 800 x 600",
// "only 212 ppi at 10 x 15 cm"); empty when it is.
std::string SizeRemark(const SizeRequest& request, const SizedOutput& output, const CropSettings& settings);

} // namespace trimlark
