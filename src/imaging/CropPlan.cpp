#include "imaging/CropPlan.h"

#include "base/Reason.h"
#include "settings/SettingsRules.h"

#include <algorithm>
#include <cmath>

namespace trimlark {

namespace {

// The plan's cut taken to the size: cut to the size's shape (a cut that has it already stays as it is), then
// sized.
CropPlan Sized(CropPlan plan, const SizeRequest& size, const CropSettings& settings, double W, double H)
{
    const auto region = GetCropRegionAtCorner(plan.corner, W, H, plan.rect.x, plan.rect.y, plan.rect.w, plan.rect.h);
    if (!region)
        return plan; // a picture of no pixels, which nothing writes
    const Rect cut = CutToShape(size, *region);
    if (cut != *region) {
        plan.rect = cut;
        plan.corner = OriginCorner::BottomLeft;
    }
    plan.size = SizeOutput(size, std::trunc(cut.w), std::trunc(cut.h));
    plan.fill = size.fill;
    plan.remark = JoinRemarks(plan.remark, SizeRemark(size, *plan.size, settings));
    plan.output = {plan.size->canvasWidth, plan.size->canvasHeight};
    return plan;
}

// The adjusted rectangle in image coordinates (from the bottom-left corner): the settings' rectangle (corner-
// relative, shared) moved to the adjustment's centre, or the adjustment's own rectangle where the crop takes one;
// kept inside the picture of W x H.
Rect AdjustedRect(const CropAdjustment& adjustment, const Rect& shared, bool automatic, double W, double H)
{
    const bool ownRectangle = adjustment.kind == CropAdjustment::Kind::Rectangle;
    double w = !automatic && ownRectangle ? adjustment.w : shared.w;
    double h = !automatic && ownRectangle ? adjustment.h : shared.h;
    w = std::min(std::trunc(w), W);
    h = std::min(std::trunc(h), H);
    const double cx = ownRectangle ? adjustment.x + adjustment.w / 2 : adjustment.x;
    const double cy = ownRectangle ? adjustment.y + adjustment.h / 2 : adjustment.y;
    const double left = std::clamp(std::round(cx - w / 2), 0.0, std::max(0.0, std::floor(W) - w));
    const double top = std::clamp(std::round(cy - h / 2), 0.0, std::max(0.0, std::floor(H) - h));
    return {left, H - top - h, w, h};
}

} // namespace

CropPlan MakeCropPlan(const CropSettings& settings, const CustomRatio& ratio, const CropPlanPicture& picture)
{
    const auto [W, H] = picture.upright;
    CropPlan plan;
    plan.corner = OriginCornerAt(settings.comboOriginCorner);
    plan.output = picture.upright;
    plan.cropping = GetCropMode(settings) != CropMode::None;
    const std::optional<SizeRequest> size = ReadSizeRequest(settings);
    const bool lossless = picture.jpeg && settings.checkLosslessJpeg && picture.format == OutputFormat::Jpeg && !size;
    // The whole picture: a lossless crop copies every block.
    auto whole = [&] {
        plan.rect = {0, 0, W, H};
        if (lossless)
            plan.lossless = PixelRect{0, 0, static_cast<int>(W), static_cast<int>(H)};
        return size ? Sized(std::move(plan), *size, settings, W, H) : plan;
    };
    if (!plan.cropping)
        return whole();
    const CropMode mode = GetCropMode(settings);
    const auto shape = size ? SizeCropRatio(*size, W, H) : std::nullopt;
    if (mode == CropMode::TrimBorders) {
        if (!picture.trimmed || !*picture.trimmed) {
            plan.refused = picture.trimmed != nullptr;
            if (plan.refused)
                plan.remark = "no border found: the whole image is written";
            return whole();
        }
        const PixelRect& found = **picture.trimmed;
        plan.rect = {static_cast<double>(found.left), H - found.top - found.height, static_cast<double>(found.width),
                     static_cast<double>(found.height)};
        plan.corner = OriginCorner::BottomLeft;
    } else if (shape && mode == CropMode::Auto) {
        plan.rect = GetAutoCropRect(*shape, W, H);
    } else {
        plan.rect = GetRunCropRect(settings, ratio, W, H);
    }
    if (picture.adjustment) {
        plan.rect = AdjustedRect(*picture.adjustment, plan.rect, mode == CropMode::Auto, W, H);
        plan.corner = OriginCorner::BottomLeft;
        plan.source = CropSource::Adjusted;
    } else if (PlacesOnSubject(settings) && picture.subjectSample) {
        plan.rect = ImageTools::PlaceCropOnSubject(*picture.subjectSample, W, H, plan.rect, plan.corner);
        plan.source = CropSource::Subject;
    }
    const auto region = GetCropRegionAtCorner(plan.corner, W, H, plan.rect.x, plan.rect.y, plan.rect.w, plan.rect.h);
    if (!region) {
        plan.refused = true;
        return whole();
    }
    plan.output = {region->w, region->h};
    if (size)
        return Sized(std::move(plan), *size, settings, W, H);
    if (lossless) {
        plan.lossless = ImageTools::LosslessJpegRegion(*picture.jpeg, plan.rect.x, plan.rect.y, plan.rect.w,
                                                       plan.rect.h, plan.corner);
        plan.output = {static_cast<double>(plan.lossless->width), static_cast<double>(plan.lossless->height)};
    }
    return plan;
}

Rect CropPlan::WrittenRect() const
{
    if (!lossless)
        return rect;
    return {static_cast<double>(lossless->left), static_cast<double>(lossless->top),
            static_cast<double>(lossless->width), static_cast<double>(lossless->height)};
}

std::optional<OriginCorner> CropPlan::WrittenCorner() const
{
    return lossless ? std::optional(OriginCorner::TopLeft) : corner;
}

std::optional<Rect> CropPlan::CutRegion(double W, double H) const
{
    if ((!cropping || refused) && !size)
        return std::nullopt;
    const Rect written = WrittenRect();
    const auto region = GetCropRegionAtCorner(WrittenCorner(), W, H, written.x, written.y, written.w, written.h);
    if (!region)
        return std::nullopt;
    const double cw = std::trunc(region->w), ch = std::trunc(region->h);
    return Rect{region->x, H - region->y - region->h, cw, ch};
}

std::optional<Rect> CropPlan::FillFrame(double W, double H) const
{
    if (!size || !fill || (size->canvasWidth == size->width && size->canvasHeight == size->height))
        return std::nullopt;
    const auto cut = CutRegion(W, H);
    if (!cut)
        return std::nullopt;
    // Output pixels per picture pixel, and the fill on each side in picture pixels.
    const double scale = size->width / cut->w;
    const double sideX = (size->canvasWidth - size->width) / 2 / scale;
    const double sideY = (size->canvasHeight - size->height) / 2 / scale;
    return Rect{cut->x - sideX, cut->y - sideY, cut->w + 2 * sideX, cut->h + 2 * sideY};
}

DimensionLabels MakeDimensionLabels(const CropPlan& plan, PixelSize size, const DimensionLabels& previous)
{
    if (!(size.width > 0.0) || !(size.height > 0.0))
        return {};
    DimensionLabels labels = previous;
    labels.originalWidth = WidthLabel(size.width);
    labels.originalHeight = HeightLabel(size.height);
    if (plan.cropping) {
        labels.outputWidth = WidthLabel(plan.output.width);
        labels.outputHeight = HeightLabel(plan.output.height);
    }
    return labels;
}

} // namespace trimlark
