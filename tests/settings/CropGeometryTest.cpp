#include "settings/CropGeometry.h"
#include "settings/SettingsRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace trimlark {

void PrintTo(const Rect& r, std::ostream* os)
{
    *os << "(" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << ")";
}

namespace {

constexpr int R4x3 = 1, R3x2 = 2, R16x9 = 3, R16x10 = 4, RCustom = 5;

CropSettings Auto(int ratioIndex)
{
    CropSettings s;
    s.comboAutoCropFormat = ratioIndex;
    return s;
}

// A custom crop in pixels (or percents) with the four fields as typed.
CropSettings Custom(bool pixels, const char* x, const char* y, const char* w, const char* h)
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

CropSettings Pixels(const char* x, const char* y, const char* w, const char* h)
{
    return Custom(true, x, y, w, h);
}

TEST(DimensionLabels, ShowTheSizeTheCropWillProduce)
{
    const struct Case
    {
        const char* name;
        CropSettings settings;
        CustomRatio ratio;
        double W, H;
        const char* outWidth;
        const char* outHeight;
    } cases[] = {
        {"landscape 4:3", Auto(R4x3), {}, 4000, 3000, "Width: 4000", "Height: 3000"},
        // portrait: w = 4000 * 3 / 4 = 3000 exactly (a float ratio gives 2999.99991)
        {"portrait 4:3 is exact", Auto(R4x3), {}, 3000, 4000, "Width: 3000", "Height: 4000"},
        // 1920 * 9 / 16 = 1080 (a float ratio gives 1079.99999)
        {"1920x1200 16:9", Auto(R16x9), {}, 1920, 1200, "Width: 1920", "Height: 1080"},
        // 6000 * 9 / 16 = 3375 and 6000 * 10 / 16 = 3750 (float ratios give 3374.99998 and 3749.99994)
        {"6000x4000 16:9", Auto(R16x9), {}, 6000, 4000, "Width: 6000", "Height: 3375"},
        {"6000x4000 16:10", Auto(R16x10), {}, 6000, 4000, "Width: 6000", "Height: 3750"},
        {"1000x500 3:2", Auto(R3x2), {}, 1000, 500, "Width: 750", "Height: 500"},
        {"custom 2:3 as given", Auto(RCustom), {2, 3, false}, 3000, 2000, "Width: 1333", "Height: 2000"},
        {"custom 2:3 along the longer side", Auto(RCustom), {2, 3, true}, 2000, 3000, "Width: 2000", "Height: 1333"},
        {"custom width 0 is refused", Auto(RCustom), {0, 3, true}, 2000, 3000, "Width: 2000", "Height: 3000"},
        {"pixels clipped on the left", Pixels("-100", "50", "300", "200"), {}, 1000, 800, "Width: 200", "Height: 200"},
        {"pixels overhanging right", Pixels("900", "0", "300", "100"), {}, 1000, 800, "Width: 100", "Height: 100"},
        {"pixels beyond the image", Pixels("1000", "0", "300", "100"), {}, 1000, 800, "Width: 1000", "Height: 800"},
        {"pixels one pixel", Pixels("0", "0", "1", "1"), {}, 1000, 800, "Width: 1", "Height: 1"},
        {"pixels not numbers", Pixels("abc", "", "wide", "tall"), {}, 1000, 800, "Width: 1000", "Height: 800"},
        // -1e39 + 1e39 is NaN in single precision: no usable crop, the whole image is written
        {"pixels infinite both ways", Pixels("-1e39", "0", "1e39", "100"), {}, 1000, 800, "Width: 1000",
         "Height: 800"},
        {"pixels infinitely wide", Pixels("100", "0", "1e39", "100"), {}, 1000, 800, "Width: 900", "Height: 100"},
        {"percents", Custom(false, "20", "20", "60", "60"), {}, 1000, 800, "Width: 600", "Height: 480"},
        {"percents overhanging", Custom(false, "50", "50", "80", "80"), {}, 1000, 800, "Width: 500", "Height: 400"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DimensionLabels labels = MakeDimensionLabels(c.settings, c.ratio, c.W, c.H, {});
        EXPECT_EQ(labels.originalHeight, "Height: " + std::to_string(static_cast<long long>(c.H)));
        EXPECT_EQ(labels.outputWidth, c.outWidth);
        EXPECT_EQ(labels.outputHeight, c.outHeight);
    }
    // No image shows zeros; mode None keeps the previous output text.
    const DimensionLabels previous{"Width: 5", "Height: 6", "Width: 7", "Height: 8"};
    EXPECT_EQ(MakeDimensionLabels(CropSettings{}, {}, 0, 0, previous), DimensionLabels{});
    CropSettings none;
    none.radioAutoCrop = false;
    EXPECT_EQ(MakeDimensionLabels(none, {}, 1000, 800, previous),
              (DimensionLabels{"Width: 1000", "Height: 800", "Width: 7", "Height: 8"}));
}

TEST(AutoCropRect, IsCentredAlongTheImageOrientation)
{
    const struct Case
    {
        const char* name;
        AspectRatio ratio;
        double W, H;
        Rect expected;
    } cases[] = {
        {"wide image, square crop", {1, 1}, 4000, 3000, {500, 0, 3000, 3000}},
        {"landscape 3:2", {3, 2}, 1000, 500, {125, 0, 750, 500}},
        {"portrait 3:2", {3, 2}, 500, 1000, {0, 125, 500, 750}},
        // 3000 * 2 / 3 = 1333.33 -> 1333, x = (3000 - 1333) / 2 = 833.5
        {"true fraction truncated", {2, 3}, 3000, 2000, {833.5, 0, 1333, 2000}},
        {"ratio below 1 on a square image", {1, 2}, 1000, 1000, {250, 0, 500, 1000}},
        // 2000 * (2^63 - 2) overflows 64 bits; floor(2000 - 2000 / (2^63 - 1)) = 1999 (a double ratio gives 2000)
        {"terms at the 64-bit limit", {INT64_MAX - 1, INT64_MAX}, 3000, 2000, {500.5, 0, 1999, 2000}},
        {"zero term", {0, 1}, 1000, 800, {}},
        {"negative term", {16, -9}, 1000, 800, {}},
        {"infinite image", {1, 1}, INFINITY, 800, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetAutoCropRect(c.ratio, c.W, c.H), c.expected);
    }
    EXPECT_EQ(GetAutoCropRatio(9, {}, 100, 100), (AspectRatio{1, 1})); // an index past the list
    EXPECT_EQ(GetAutoCropRatio(RCustom, {3, 2, false}, 200, 300), (AspectRatio{2, 3}));
}

TEST(CropRegion, IsPlacedFromEachCornerAndRefusedWhenItCutsNothing)
{
    const struct Case
    {
        const char* name;
        int corner;
        Rect request;
        std::optional<Rect> region; // on a 1000 x 800 image
    } cases[] = {
        {"bottom left, clipped", 0, {-100, 50, 300, 200}, Rect{0, 50, 200, 200}},
        {"bottom right, clipped", 1, {-100, 50, 300, 200}, Rect{800, 50, 200, 200}},
        {"top left, clipped", 2, {-100, 50, 300, 200}, Rect{0, 550, 200, 200}},
        // 800 - 20 - 50 = 730
        {"top right inside", 3, {10, 20, 100, 50}, Rect{890, 730, 100, 50}},
        {"no corner selected", -1, {10, 20, 100, 50}, Rect{0, 0, 100, 50}},
        {"sub-pixel clipped width", 0, {999.5, 0, 10, 10}, Rect{999.5, 0, 0.5, 10}},
        {"narrower than a pixel", 0, {0, 0, 0.5, 100}, std::nullopt},
        {"lower than a pixel", 3, {0, 0, 100, 0.99}, std::nullopt},
        {"starts at the right edge", 0, {1000, 0, 300, 100}, std::nullopt},
        {"ends before the left edge", 1, {-300, 0, 300, 100}, std::nullopt},
        {"NaN width", 2, {0, 0, NAN, 100}, std::nullopt},
        {"infinite both ways", 0, {-INFINITY, 0, INFINITY, 100}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Rect& r = c.request;
        EXPECT_EQ(GetCropRegionAtCorner(OriginCornerAt(c.corner), 1000, 800, r.x, r.y, r.w, r.h), c.region);
    }
}

TEST(CropRect, ModeAndPrecisionFollowTheSettings)
{
    // 33.3 is not exact in binary: the preview's single and the run's double arithmetic differ in the last digits.
    const CropSettings odd = Custom(false, "33.3", "0", "33.3", "100");
    EXPECT_EQ(GetPreviewCropRect(odd, {}, 3001, 2000).w, static_cast<double>(3001.0f * 33.3f / 100.0f));
    EXPECT_EQ(GetRunCropRect(odd, {}, 3001, 2000).w, 3001.0 * static_cast<double>(33.3f) / 100.0);
    CropSettings s;
    EXPECT_EQ(GetCropMode(s), CropMode::Auto);
    s.radioAutoCrop = false;
    EXPECT_EQ(GetCropMode(s), CropMode::None); // custom off
    s.radioCustomCrop = true;
    EXPECT_EQ(GetCropMode(s), CropMode::CustomPercents);
    s.radioCustomCropPixels = true;
    EXPECT_EQ(GetCropMode(s), CropMode::CustomPixels);
    s.radioCustomCropPixels = s.radioCustomCropPercents = false;
    EXPECT_EQ(GetCropMode(s), CropMode::None);
    EXPECT_EQ(GetRunCropRect(s, {}, 1000, 800), Rect{});
}

} // namespace
} // namespace trimlark
