#include "settings/ChoiceLists.h"
#include "settings/CropGeometry.h"
#include "settings/SettingsRules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trimlark {
namespace {

enum Ratio
{
    R1x1 = 0,
    R4x3 = 1,
    R3x2 = 2,
    R16x9 = 3,
    R16x10 = 4,
    RCustom = 5,
};

CropSettings AutoSettings(int ratioIndex)
{
    CropSettings s;
    s.comboAutoCropFormat = ratioIndex;
    return s;
}

CropSettings PixelSettings(const char* x, const char* y, const char* w, const char* h)
{
    CropSettings s;
    s.radioAutoCrop = false;
    s.radioCustomCrop = true;
    s.radioCustomCropPixels = true;
    s.radioCustomCropPercents = false;
    s.textFieldCustomCropPixelsOriginX = x;
    s.textFieldCustomCropPixelsOriginY = y;
    s.textFieldCustomCropPixelsWidth = w;
    s.textFieldCustomCropPixelsHeight = h;
    return s;
}

CropSettings PercentSettings(const char* x, const char* y, const char* w, const char* h)
{
    CropSettings s = PixelSettings("0", "0", "0", "0");
    s.radioCustomCropPixels = false;
    s.radioCustomCropPercents = true;
    s.textFieldCustomCropPercentsOriginX = x;
    s.textFieldCustomCropPercentsOriginY = y;
    s.textFieldCustomCropPercentsWidth = w;
    s.textFieldCustomCropPercentsHeight = h;
    return s;
}

struct LabelCase
{
    const char* name;
    CropSettings settings;
    CustomRatio ratio;
    double W, H;
    const char* outWidth;
    const char* outHeight;
};

TEST(DimensionLabels, ShowTheSizeTheCropWillProduce)
{
    const LabelCase cases[] = {
        {"square 1:1", AutoSettings(R1x1), {}, 1000, 1000, "Width: 1000", "Height: 1000"},
        // 4000 * 0.5 - 3000 * 1.3333334 * 0.5 = -0.0000596: the width 4000.000119 truncates to 4000
        {"landscape 4:3", AutoSettings(R4x3), {}, 4000, 3000, "Width: 4000", "Height: 3000"},
        // portrait: w = 4000 / 1.3333334 = 2999.99991 -> 2999
        {"portrait 4:3 truncates", AutoSettings(R4x3), {}, 3000, 4000, "Width: 2999", "Height: 4000"},
        // 1920 / 1.7777778 = 1079.99999 -> 1079
        {"1920x1200 16:9", AutoSettings(R16x9), {}, 1920, 1200, "Width: 1920", "Height: 1079"},
        {"1920x1080 16:9", AutoSettings(R16x9), {}, 1920, 1080, "Width: 1920", "Height: 1080"},
        {"1000x500 3:2", AutoSettings(R3x2), {}, 1000, 500, "Width: 750", "Height: 500"},
        {"custom 2:3 flag off landscape", AutoSettings(RCustom), {2, 3, false}, 3000, 2000, "Width: 1333",
         "Height: 2000"},
        {"custom 2:3 flag off portrait", AutoSettings(RCustom), {2, 3, false}, 2000, 3000, "Width: 2000",
         "Height: 3000"},
        {"custom 2:3 flag on portrait", AutoSettings(RCustom), {2, 3, true}, 2000, 3000, "Width: 2000",
         "Height: 1333"},
        {"custom width 0 is refused", AutoSettings(RCustom), {0, 3, true}, 2000, 3000, "Width: 2000",
         "Height: 3000"},
        {"custom negative height is refused", AutoSettings(RCustom), {4, -3, false}, 2000, 3000, "Width: 2000",
         "Height: 3000"},
        {"pixels clipped on the left", PixelSettings("-100", "50", "300", "200"), {}, 1000, 800, "Width: 200",
         "Height: 200"},
        {"pixels overhanging right", PixelSettings("900", "0", "300", "100"), {}, 1000, 800, "Width: 100",
         "Height: 100"},
        {"pixels beyond the image", PixelSettings("1000", "0", "300", "100"), {}, 1000, 800, "Width: 1000",
         "Height: 800"},
        {"pixels one pixel", PixelSettings("0", "0", "1", "1"), {}, 1000, 800, "Width: 1", "Height: 1"},
        {"pixels all zero", PixelSettings("0", "0", "0", "0"), {}, 1000, 800, "Width: 1000", "Height: 800"},
        {"pixels not numbers", PixelSettings("abc", "", "wide", "tall"), {}, 1000, 800, "Width: 1000",
         "Height: 800"},
        // -1e39 + 1e39 is NaN in single precision: no usable crop, the whole image is written
        {"pixels infinite both ways", PixelSettings("-1e39", "0", "1e39", "100"), {}, 1000, 800, "Width: 1000",
         "Height: 800"},
        {"pixels infinitely wide", PixelSettings("100", "0", "1e39", "100"), {}, 1000, 800, "Width: 900",
         "Height: 100"},
        {"percent defaults", PercentSettings("20", "20", "60", "60"), {}, 1000, 800, "Width: 600", "Height: 480"},
        {"percents overhanging", PercentSettings("50", "50", "80", "80"), {}, 1000, 800, "Width: 500",
         "Height: 400"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DimensionLabels labels = MakeDimensionLabels(c.settings, c.ratio, c.W, c.H, {});
        EXPECT_EQ(labels.originalWidth, "Width: " + std::to_string(static_cast<long long>(c.W)));
        EXPECT_EQ(labels.originalHeight, "Height: " + std::to_string(static_cast<long long>(c.H)));
        EXPECT_EQ(labels.outputWidth, c.outWidth);
        EXPECT_EQ(labels.outputHeight, c.outHeight);
    }
}

TEST(DimensionLabels, NoImageShowsZerosAndModeNoneKeepsThePreviousOutput)
{
    const DimensionLabels previous{"Width: 5", "Height: 6", "Width: 7", "Height: 8"};
    EXPECT_EQ(MakeDimensionLabels(CropSettings{}, {}, 0, 0, previous), DimensionLabels{});
    CropSettings none = PercentSettings("20", "20", "60", "60");
    none.radioCustomCrop = false;
    const DimensionLabels labels = MakeDimensionLabels(none, {}, 1000, 800, previous);
    EXPECT_EQ(labels, (DimensionLabels{"Width: 1000", "Height: 800", "Width: 7", "Height: 8"}));
}

struct RectCase
{
    const char* name;
    float r;
    double W, H;
    Rect expected;
};

TEST(AutoCropRect, IsCentredAlongTheImageOrientation)
{
    const RectCase cases[] = {
        {"square", 1.0f, 1000, 1000, {0, 0, 1000, 1000}},
        {"wide image, square crop", 1.0f, 4000, 3000, {500, 0, 3000, 3000}},
        {"landscape 3:2", 1.5f, 1000, 500, {125, 0, 750, 500}},
        {"portrait 3:2", 1.5f, 500, 1000, {0, 125, 500, 750}},
        // 1920 / 1.7777778 = 1079.99999, y = 600 - 539.999996 = 60.000004
        {"1920x1200 16:9", 16.0f / 9.0f, 1920, 1200, {0, 60.000004, 1920, 1079.99999}},
        {"ratio below 1 on a landscape image", 0.5f, 1000, 1000, {250, 0, 500, 1000}},
        {"zero ratio", 0.0f, 1000, 800, {0, 0, 0, 0}},
        {"infinite ratio", INFINITY, 1000, 800, {0, 0, 0, 0}},
        {"NaN ratio", NAN, 1000, 800, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Rect rect = GetAutoCropRect(c.r, c.W, c.H);
        EXPECT_NEAR(rect.x, c.expected.x, 1e-4);
        EXPECT_NEAR(rect.y, c.expected.y, 1e-4);
        EXPECT_NEAR(rect.w, c.expected.w, 1e-4);
        EXPECT_NEAR(rect.h, c.expected.h, 1e-4);
    }
}

TEST(AutoCropRatio, CustomFollowsTheLongerSideRule)
{
    struct Case
    {
        const char* name;
        int index;
        CustomRatio ratio;
        double W, H;
        float expected;
    } const cases[] = {
        {"index out of range", 9, {}, 100, 100, 1.0f},
        {"flag on, portrait", RCustom, {3, 2, true}, 200, 300, 1.5f},
        {"flag off, landscape", RCustom, {3, 2, false}, 300, 200, 1.5f},
        {"flag off, portrait inverts", RCustom, {3, 2, false}, 200, 300, 2.0f / 3.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FLOAT_EQ(GetAutoCropRatio(c.index, c.ratio, c.W, c.H), c.expected);
    }
    EXPECT_TRUE(std::isnan(GetAutoCropRatio(RCustom, {1, 0, true}, 100, 100)));
}

TEST(CropRegion, IsPlacedFromEachCorner)
{
    struct Case
    {
        const char* name;
        int cornerIndex;
        Rect request;
        Rect region;
    } const cases[] = {
        {"bottom left, clipped", 0, {-100, 50, 300, 200}, {0, 50, 200, 200}},
        {"bottom right, clipped", 1, {-100, 50, 300, 200}, {800, 50, 200, 200}},
        {"top left, clipped", 2, {-100, 50, 300, 200}, {0, 550, 200, 200}},
        {"top right, clipped", 3, {-100, 50, 300, 200}, {800, 550, 200, 200}},
        // top edge counted from the top is H - bottom - ch: 800 - 20 - 50 = 730
        {"bottom left inside", 0, {10, 20, 100, 50}, {10, 20, 100, 50}},
        {"top left inside", 2, {10, 20, 100, 50}, {10, 730, 100, 50}},
        {"bottom right inside", 1, {10, 20, 100, 50}, {890, 20, 100, 50}},
        {"top right inside", 3, {10, 20, 100, 50}, {890, 730, 100, 50}},
        {"no corner selected", -1, {10, 20, 100, 50}, {0, 0, 100, 50}},
        {"corner index past the list", 7, {10, 20, 100, 50}, {0, 0, 100, 50}},
        {"sub-pixel clipped width is accepted", 0, {999.5, 0, 10, 10}, {999.5, 0, 0.5, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto region =
            GetCropRegionAtCorner(OriginCornerAt(c.cornerIndex), 1000, 800, c.request.x, c.request.y, c.request.w,
                                  c.request.h);
        ASSERT_TRUE(region.has_value());
        EXPECT_EQ(*region, c.region);
    }
}

TEST(CropRegion, RefusesRectanglesThatCutNothing)
{
    const struct Case
    {
        const char* name;
        Rect request;
    } cases[] = {
        {"narrower than a pixel", {0, 0, 0.5, 100}},
        {"lower than a pixel", {0, 0, 100, 0.99}},
        {"starts beyond the right edge", {1200, 0, 100, 100}},
        {"starts exactly at the right edge", {1000, 0, 300, 100}},
        {"ends before the left edge", {-300, 0, 300, 100}},
        {"all zero", {0, 0, 0, 0}},
        {"NaN width", {0, 0, NAN, 100}},
        {"infinite both ways", {-INFINITY, 0, INFINITY, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int corner = 0; corner < 4; ++corner)
            EXPECT_FALSE(GetCropRegionAtCorner(OriginCornerAt(corner), 1000, 800, c.request.x, c.request.y, c.request.w,
                                               c.request.h));
    }
}

TEST(CustomCropRect, PercentsUseTheRequestedPrecision)
{
    const CropSettings s = PercentSettings("20", "20", "60", "60");
    const Rect single = GetCustomCropRect(CropMode::CustomPercents, s, 1000, 800, Precision::Single);
    EXPECT_EQ(single, (Rect{200, 160, 600, 480}));

    // 33.3 is not exact in binary: single and double arithmetic differ in the last digits.
    const CropSettings odd = PercentSettings("33.3", "0", "33.3", "100");
    const Rect s1 = GetCustomCropRect(CropMode::CustomPercents, odd, 3001, 2000, Precision::Single);
    const Rect d1 = GetCustomCropRect(CropMode::CustomPercents, odd, 3001, 2000, Precision::Double);
    EXPECT_EQ(s1.w, static_cast<double>(3001.0f * 33.3f / 100.0f));
    EXPECT_EQ(d1.w, 3001.0 * static_cast<double>(33.3f) / 100.0);
    EXPECT_NE(s1.w, d1.w);
}

TEST(CropMode, FollowsTheRadioPrecedence)
{
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
