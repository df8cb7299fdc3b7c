#pragma once

#include "settings/CropSettings.h"

// Crop settings as a test table states them.
namespace trimlark::test {

// A custom crop in pixels (or percents) with the four fields as typed.
inline CropSettings CustomCrop(bool pixels, const char* x, const char* y, const char* w, const char* h)
{
    CropSettings s;
    s.radioAutoCrop = false;
    s.radioCustomCrop = true;
    s.radioCustomCropPixels = pixels;
    s.radioCustomCropPercents = !pixels;
    (pixels ? s.textFieldCustomCropPixelsOriginX : s.textFieldCustomCropPercentsOriginX) = x;
    (pixels ? s.textFieldCustomCropPixelsOriginY : s.textFieldCustomCropPercentsOriginY) = y;
    (pixels ? s.textFieldCustomCropPixelsWidth : s.textFieldCustomCropPercentsWidth) = w;
    (pixels ? s.textFieldCustomCropPixelsHeight : s.textFieldCustomCropPercentsHeight) = h;
    return s;
}

} // namespace trimlark::test
