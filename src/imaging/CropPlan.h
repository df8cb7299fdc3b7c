#pragma once

#include "imaging/ImageTools.h"
#include "settings/CropAdjustment.h"
#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"
#include "settings/FileTypes.h"
#include "settings/OutputSize.h"

#include <optional>

namespace trimlark {

// Where a plan's rectangle came from.
enum class CropSource
{
    Settings, // the crop settings as they stand
    Subject,  // the settings' rectangle, moved onto the picture's most interesting region
    Adjusted, // the image's own adjustment (a centre for the settings' rectangle, or a rectangle)
};

// What is cut out of one picture, decided once from the settings and the picture's upright size. The labels, the
// preview and the run all take it; none of them decides again.
struct CropPlan
{
    Rect rect; // in upright pixels, measured from corner; the whole picture when the crop is refused
    std::optional<OriginCorner> corner;
    bool cropping = true; // false in the None mode: the picture is written whole, and no crop is refused
    bool refused = false; // the crop cuts nothing out of the picture: it is written whole
    // The region a lossless JPEG crop writes, top-left based and grown to the file's block grid.
    std::optional<PixelRect> lossless;
    CropSource source = CropSource::Settings;
    PixelSize output; // the output's size (a custom crop's clipped size may hold a fraction, which is cut)
    // The size step after the cut, where the settings ask for one: the cut's pixels are scaled to its size and,
    // with a fill, placed in the middle of its canvas.
    std::optional<SizedOutput> size;
    std::optional<FillColour> fill;
    // What the report says of the plan: a border trim that found no border, a size that is not what was asked; or
    // empty.
    std::string remark;

    // The rectangle the output holds and the corner it is measured from: the lossless region (from the top left)
    // where there is one, else rect and corner.
    Rect WrittenRect() const;
    std::optional<OriginCorner> WrittenCorner() const;
    // The cut in the picture of W x H, top-left origin (the written rectangle's clipped region; its size truncated
    // to whole pixels); nothing where the whole picture is written as it is (a refused crop, the None mode).
    std::optional<Rect> CutRegion(double W, double H) const;
    // Where a filled output's canvas lies over the picture of W x H: the cut grown by the fill on each side, in
    // the picture's pixels, top-left origin (it may reach past the picture); nothing without a fill around the cut.
    std::optional<Rect> FillFrame(double W, double H) const;

    bool operator==(const CropPlan&) const = default;
};

// The facts of a picture a plan is made from besides the settings, each read once.
struct CropPlanPicture
{
    PixelSize upright;                          // the picture's size, upright
    std::optional<LosslessJpegLayout> jpeg;     // a JPEG's layout, for the lossless crop
    const RgbaBitmap* subjectSample = nullptr;  // where a "Subject" crop looks (LoadSubjectSample); none: centred
    std::optional<OutputFormat> format;         // the output's format; the lossless crop writes JPEG only
    const CropAdjustment* adjustment = nullptr; // the crop adjusted by hand for this picture, if any
    // The border trim's finding (FindBorderTrim): the rectangle left, or nothing where no border was found; null
    // while it is not known (the whole picture is shown meanwhile).
    const std::optional<PixelRect>* trimmed = nullptr;
};

// The plan of one picture: the settings' rectangle (percents in double precision), moved onto the subject where
// asked and a sample is given, refused when it cuts nothing out (GetCropRegionAtCorner), and with the lossless
// box on, a JPEG source and JPEG output, grown to the block grid (LosslessJpegRegion). With a size step (settings
// that ReadSizeRequest refuses ask for none) an automatic crop takes the size's shape where it has one, any other
// cut (the whole picture too) is cut to that shape around its centre, and no crop is lossless. An adjustment takes
// the place of the position: an automatic crop keeps the settings' size around the adjustment's centre (a
// rectangle's centre for a rectangle), a pixel or percent crop becomes the adjustment's rectangle (the settings'
// size around a centre); either is moved inside the picture, on whole pixels, and is written from the bottom-left
// corner. A border trim cuts what was found, and writes the whole picture when no border was found, saying so.
CropPlan MakeCropPlan(const CropSettings& settings, const CustomRatio& ratio, const CropPlanPicture& picture);

// The four dimension labels for the plan of a picture of the size (0 x 0 when none is selected). In mode None the
// output labels keep the previous text.
DimensionLabels MakeDimensionLabels(const CropPlan& plan, PixelSize size, const DimensionLabels& previous);

} // namespace trimlark
