#include "settings/CropGeometry.h"

#include "base/Numbers.h"
#include "settings/ChoiceLists.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trimlark {

namespace {

bool IsLeftCorner(OriginCorner corner)
{
    return corner == OriginCorner::BottomLeft || corner == OriginCorner::TopLeft;
}
bool IsBottomCorner(OriginCorner corner)
{
    return corner == OriginCorner::BottomLeft || corner == OriginCorner::BottomRight;
}

// std::min/max propagate NaN from one side only; the clipped size must be NaN whenever an input is.
double Min(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? std::nan("") : std::min(a, b);
}
double Max(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? std::nan("") : std::max(a, b);
}

std::string WidthLabel(double value)
{
    return "Width: " + std::to_string(TruncateToInt64(value));
}
std::string HeightLabel(double value)
{
    return "Height: " + std::to_string(TruncateToInt64(value));
}

} // namespace

CropMode GetCropMode(const CropSettings& settings)
{
    if (settings.radioAutoCrop)
        return CropMode::Auto;
    if (settings.radioCustomCrop && settings.radioCustomCropPixels)
        return CropMode::CustomPixels;
    if (settings.radioCustomCrop && settings.radioCustomCropPercents)
        return CropMode::CustomPercents;
    return CropMode::None;
}

float GetAutoCropRatio(int index, const CustomRatio& ratio, double W, double H)
{
    switch (index) {
    case 0:
        return 1.0f;
    case 1:
        return 4.0f / 3.0f;
    case 2:
        return 1.5f;
    case 3:
        return 16.0f / 9.0f;
    case 4:
        return 1.6f;
    case kCustomAutoCropFormatIndex: {
        if (ratio.customWidth <= 0 || ratio.customHeight <= 0)
            return std::numeric_limits<float>::quiet_NaN();
        const auto cw0 = static_cast<float>(ratio.customWidth);
        const auto ch0 = static_cast<float>(ratio.customHeight);
        if (ratio.customWidthLargestDimension)
            return cw0 / ch0;
        const auto a = static_cast<float>(W / H);
        return a >= 1.0f ? cw0 / ch0 : ch0 / cw0;
    }
    default:
        return 1.0f;
    }
}

Rect GetAutoCropRect(float r, double W, double H)
{
    if (!(r > 0.0f) || !std::isfinite(r))
        return {};
    const auto a = static_cast<float>(W / H);
    const auto rd = static_cast<double>(r);
    if (a >= 1.0f) {
        // The width test is single precision, as the label arithmetic has always been.
        if (static_cast<float>(W) >= static_cast<float>(H) * r)
            return {W * 0.5 - H * rd * 0.5, 0.0, H * rd, H};
        return {0.0, H * 0.5 - (W / rd) * 0.5, W, W / rd};
    }
    if (W >= H / rd)
        return {W * 0.5 - (H / rd) * 0.5, 0.0, H / rd, H};
    return {0.0, H * 0.5 - W * rd * 0.5, W, W * rd};
}

Rect GetCustomCropRect(CropMode mode, const CropSettings& settings, double W, double H, Precision precision)
{
    if (mode == CropMode::CustomPixels) {
        return {ReadFloatValue(settings.textFieldCustomCropPixelsOriginX),
                ReadFloatValue(settings.textFieldCustomCropPixelsOriginY),
                ReadFloatValue(settings.textFieldCustomCropPixelsWidth),
                ReadFloatValue(settings.textFieldCustomCropPixelsHeight)};
    }
    if (mode != CropMode::CustomPercents)
        return {};
    const float px = ReadFloatValue(settings.textFieldCustomCropPercentsOriginX);
    const float py = ReadFloatValue(settings.textFieldCustomCropPercentsOriginY);
    const float pw = ReadFloatValue(settings.textFieldCustomCropPercentsWidth);
    const float ph = ReadFloatValue(settings.textFieldCustomCropPercentsHeight);
    if (precision == Precision::Single) {
        const auto w = static_cast<float>(W);
        const auto h = static_cast<float>(H);
        return {w * px / 100.0f, h * py / 100.0f, w * pw / 100.0f, h * ph / 100.0f};
    }
    return {W * px / 100.0, H * py / 100.0, W * pw / 100.0, H * ph / 100.0};
}

ClippedSize GetClippedCropSize(double W, double H, double x, double y, double w, double h)
{
    return {Min(x + w, W) - Max(x, 0.0), Min(y + h, H) - Max(y, 0.0)};
}

Rect GetCropRectInImage(std::optional<OriginCorner> corner, double W, double H, double x, double y, double w, double h)
{
    if (!corner)
        return {0.0, 0.0, w, h};
    const double left = IsLeftCorner(*corner) ? x : W - w - x;
    const double bottom = IsBottomCorner(*corner) ? y : H - h - y;
    return {left, bottom, w, h};
}

std::optional<Rect> GetCropRegionAtCorner(std::optional<OriginCorner> corner, double W, double H, double x, double y,
                                          double w, double h)
{
    if (!(w >= 1.0) || !(h >= 1.0))
        return std::nullopt;
    const auto [cw, ch] = GetClippedCropSize(W, H, x, y, w, h);
    if (!(cw > 0.0) || !(ch > 0.0))
        return std::nullopt;
    if (!corner)
        return Rect{0.0, 0.0, cw, ch};
    double left = IsLeftCorner(*corner) ? std::max(x, 0.0) : W - cw - std::max(x, 0.0);
    double bottom = IsBottomCorner(*corner) ? std::max(y, 0.0) : H - ch - std::max(y, 0.0);
    return Rect{std::max(left, 0.0), std::max(bottom, 0.0), cw, ch};
}

Rect GetRunCropRect(const CropSettings& settings, const CustomRatio& ratio, double W, double H)
{
    const CropMode mode = GetCropMode(settings);
    if (mode == CropMode::Auto)
        return GetAutoCropRect(GetAutoCropRatio(settings.comboAutoCropFormat, ratio, W, H), W, H);
    return GetCustomCropRect(mode, settings, W, H, Precision::Double);
}

Rect GetPreviewCropRect(const CropSettings& settings, const CustomRatio& ratio, double W, double H)
{
    const CropMode mode = GetCropMode(settings);
    if (mode == CropMode::Auto)
        return GetAutoCropRect(GetAutoCropRatio(settings.comboAutoCropFormat, ratio, W, H), W, H);
    return GetCustomCropRect(mode, settings, W, H, Precision::Single);
}

DimensionLabels MakeDimensionLabels(const CropSettings& settings, const CustomRatio& ratio, double W, double H,
                                    const DimensionLabels& previous)
{
    if (!(W > 0.0) || !(H > 0.0))
        return {};
    DimensionLabels labels = previous;
    labels.originalWidth = WidthLabel(W);
    labels.originalHeight = HeightLabel(H);
    const CropMode mode = GetCropMode(settings);
    if (mode == CropMode::None)
        return labels;
    double outW = W;
    double outH = H;
    if (mode == CropMode::Auto) {
        const Rect rect = GetAutoCropRect(GetAutoCropRatio(settings.comboAutoCropFormat, ratio, W, H), W, H);
        // An unusable custom ratio gives an empty rectangle, which the run refuses: it writes the whole image.
        if (rect.w > 0.0 && rect.h > 0.0) {
            outW = rect.w;
            outH = rect.h;
        }
    } else {
        const Rect rect = GetCustomCropRect(mode, settings, W, H, Precision::Single);
        const auto [cw, ch] = GetClippedCropSize(W, H, rect.x, rect.y, rect.w, rect.h);
        if (cw >= 1.0 && ch >= 1.0) {
            outW = cw;
            outH = ch;
        }
    }
    labels.outputWidth = WidthLabel(outW);
    labels.outputHeight = HeightLabel(outH);
    return labels;
}

} // namespace trimlark
