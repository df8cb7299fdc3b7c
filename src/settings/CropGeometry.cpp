#include "settings/CropGeometry.h"

#include "base/Numbers.h"
#include "settings/ChoiceLists.h"

#include <algorithm>
#include <cmath>

namespace trimlark {

namespace {

// Wide enough for a side times a ratio term. Unsigned, as every value here is positive: a checked signed 128-bit
// product needs a runtime helper that libgcc lacks.
__extension__ typedef unsigned __int128 Wide;

// std::min/max propagate NaN from one side only; the clipped size must be NaN whenever an input is.
double Min(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? std::nan("") : std::min(a, b);
}
double Max(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? std::nan("") : std::max(a, b);
}

} // namespace

std::string WidthLabel(double value)
{
    return "Width: " + std::to_string(TruncateToInt64(value));
}

std::string HeightLabel(double value)
{
    return "Height: " + std::to_string(TruncateToInt64(value));
}

bool IsLandscapeOrSquare(double W, double H)
{
    return W >= H;
}

CropMode GetCropMode(const CropSettings& settings)
{
    if (settings.radioAutoCrop)
        return CropMode::Auto;
    if (settings.radioCustomCrop && settings.radioCustomCropPixels)
        return CropMode::CustomPixels;
    if (settings.radioCustomCrop && settings.radioCustomCropPercents)
        return CropMode::CustomPercents;
    if (settings.radioTrimBorders)
        return CropMode::TrimBorders;
    return CropMode::None;
}

std::optional<TrimRequest> ReadTrimRequest(const CropSettings& settings)
{
    const auto tolerance = ParseInteger(TrimSpaces(settings.textFieldTrimTolerance));
    const auto margin = ParseInteger(TrimSpaces(settings.textFieldTrimMargin));
    if (!tolerance || *tolerance < 0 || *tolerance > 100 || !margin || *margin < 0 || *margin > 65535)
        return std::nullopt;
    return TrimRequest{static_cast<int>(*tolerance), static_cast<int>(*margin)};
}

AspectRatio GetAutoCropRatio(int index, const CustomRatio& ratio, double W, double H)
{
    switch (index) {
    case 1:
        return {4, 3};
    case 2:
        return {3, 2};
    case 3:
        return {16, 9};
    case 4:
        return {16, 10};
    case kCustomAutoCropFormatIndex:
        if (ratio.customWidthLargestDimension || IsLandscapeOrSquare(W, H))
            return {ratio.customWidth, ratio.customHeight};
        return {ratio.customHeight, ratio.customWidth};
    default:
        return {1, 1};
    }
}

Rect GetAutoCropRect(AspectRatio ratio, double W, double H)
{
    constexpr double kSideLimit = 0x1p63;
    if (ratio.along < 1 || ratio.across < 1 || !(W >= 1.0 && W < kSideLimit) || !(H >= 1.0 && H < kSideLimit))
        return {};
    // Products of a side and a term stay below 2^126, so they and the floor of their quotient are exact.
    const bool landscape = IsLandscapeOrSquare(W, H);
    const Wide widthTerm = static_cast<std::uint64_t>(landscape ? ratio.along : ratio.across);
    const Wide heightTerm = static_cast<std::uint64_t>(landscape ? ratio.across : ratio.along);
    const Wide wholeW = static_cast<std::uint64_t>(W);
    const Wide wholeH = static_cast<std::uint64_t>(H);
    Wide w = wholeW;
    Wide h = wholeH;
    if (wholeW * heightTerm >= wholeH * widthTerm)
        w = wholeH * widthTerm / heightTerm;
    else
        h = wholeW * heightTerm / widthTerm;
    const auto width = static_cast<double>(static_cast<std::uint64_t>(w));
    const auto height = static_cast<double>(static_cast<std::uint64_t>(h));
    return {(W - width) * 0.5, (H - height) * 0.5, width, height};
}

Rect GetCustomCropRect(CropMode mode, const CropSettings& settings, double W, double H)
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
    return {W * px / 100.0, H * py / 100.0, W * pw / 100.0, H * ph / 100.0};
}

bool IsRightCorner(std::optional<OriginCorner> corner)
{
    return corner == OriginCorner::BottomRight || corner == OriginCorner::TopRight;
}

bool IsTopCorner(std::optional<OriginCorner> corner)
{
    return corner == OriginCorner::TopLeft || corner == OriginCorner::TopRight;
}

ClippedSize GetClippedCropSize(double W, double H, double x, double y, double w, double h)
{
    return {Min(x + w, W) - Max(x, 0.0), Min(y + h, H) - Max(y, 0.0)};
}

Rect GetCropRectInImage(std::optional<OriginCorner> corner, double W, double H, double x, double y, double w, double h)
{
    if (!corner)
        return {0.0, 0.0, w, h};
    const double left = IsRightCorner(corner) ? W - w - x : x;
    const double bottom = IsTopCorner(corner) ? H - h - y : y;
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
    const double left = IsRightCorner(corner) ? W - cw - std::max(x, 0.0) : std::max(x, 0.0);
    const double bottom = IsTopCorner(corner) ? H - ch - std::max(y, 0.0) : std::max(y, 0.0);
    return Rect{std::max(left, 0.0), std::max(bottom, 0.0), cw, ch};
}

bool PlacesOnSubject(const CropSettings& settings)
{
    return GetCropMode(settings) == CropMode::Auto &&
           settings.comboAutoCropPosition == static_cast<int>(CropPosition::Subject);
}

Rect GetRunCropRect(const CropSettings& settings, const CustomRatio& ratio, double W, double H)
{
    const CropMode mode = GetCropMode(settings);
    if (mode == CropMode::Auto)
        return GetAutoCropRect(GetAutoCropRatio(settings.comboAutoCropFormat, ratio, W, H), W, H);
    return GetCustomCropRect(mode, settings, W, H);
}

} // namespace trimlark
