#include "imaging/CropPlan.h"

#include "SettingsCases.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

constexpr int R4x3 = 1, R16x9 = 3, RCustom = 5;

CropSettings Auto(int ratioIndex)
{
    CropSettings s;
    s.comboAutoCropFormat = ratioIndex;
    return s;
}

using test::CustomCrop;
using Corner = OriginCorner;

CropSettings Pixels(const char* x, const char* y, const char* w, const char* h)
{
    return CustomCrop(true, x, y, w, h);
}

TEST(CropPlan, LabelsShowTheSizeTheCropWillProduce)
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
        // portrait: w = 4000 * 3 / 4 = 3000 exactly (a float ratio gives 2999.99991)
        {"portrait 4:3 is exact", Auto(R4x3), {}, 3000, 4000, "Width: 3000", "Height: 4000"},
        // 6000 * 9 / 16 = 3375 (a float ratio gives 3374.99998)
        {"6000x4000 16:9", Auto(R16x9), {}, 6000, 4000, "Width: 6000", "Height: 3375"},
        {"custom 2:3 along the longer side", Auto(RCustom), {2, 3, true}, 2000, 3000, "Width: 2000", "Height: 1333"},
        {"custom width 0 is refused", Auto(RCustom), {0, 3, true}, 2000, 3000, "Width: 2000", "Height: 3000"},
        {"pixels overhanging right", Pixels("900", "0", "300", "100"), {}, 1000, 800, "Width: 100", "Height: 100"},
        {"pixels not numbers", Pixels("abc", "", "wide", "tall"), {}, 1000, 800, "Width: 1000", "Height: 800"},
        {"pixels infinitely wide", Pixels("100", "0", "1e39", "100"), {}, 1000, 800, "Width: 900", "Height: 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelSize size{c.W, c.H};
        const DimensionLabels labels =
            MakeDimensionLabels(MakeCropPlan(c.settings, c.ratio, {size, {}, nullptr, {}}), size, {});
        EXPECT_EQ(labels.originalHeight, "Height: " + std::to_string(static_cast<long long>(c.H)));
        EXPECT_EQ(labels.outputWidth, c.outWidth);
        EXPECT_EQ(labels.outputHeight, c.outHeight);
    }
    // No image shows zeros; mode None keeps the previous output text.
    const DimensionLabels previous{"Width: 5", "Height: 6", "Width: 7", "Height: 8"};
    EXPECT_EQ(MakeDimensionLabels(MakeCropPlan({}, {}, {}), {}, previous), DimensionLabels{});
    CropSettings none;
    none.radioAutoCrop = false;
    EXPECT_EQ(MakeDimensionLabels(MakeCropPlan(none, {}, {{1000, 800}, {}, nullptr, {}}), {1000, 800}, previous),
              (DimensionLabels{"Width: 1000", "Height: 800", "Width: 7", "Height: 8"}));
}

// A crop that cuts nothing writes the whole picture, as a lossless crop too; one that does cut is grown to the
// block grid in the picture as stored.
TEST(CropPlan, RefusedCropsWriteTheWholePictureAndLosslessOnesGrow)
{
    // A 4:2:0 JPEG of 100 x 80 stored upright: blocks of 16 pixels.
    const LosslessJpegLayout jpeg{{16, 16}, 1, 100, 80};
    const CropPlanPicture picture{{100, 80}, jpeg, nullptr, OutputFormat::Jpeg};
    CropSettings lossless = Pixels("20", "10", "30", "30");
    lossless.comboOriginCorner = 2; // top left: left 20 and top 10 grow out to 16 and 0
    lossless.checkLosslessJpeg = true;
    const CropPlan grown = MakeCropPlan(lossless, {}, picture);
    EXPECT_FALSE(grown.refused);
    EXPECT_EQ(grown.lossless, (PixelRect{16, 0, 34, 40}));
    EXPECT_EQ(grown.output, (PixelSize{34, 40}));
    EXPECT_EQ(grown.WrittenRect(), (Rect{16, 0, 34, 40}));

    CropSettings off = lossless;
    off.textFieldCustomCropPixelsOriginX = "200";
    const CropPlan refused = MakeCropPlan(off, {}, picture);
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.rect, (Rect{0, 0, 100, 80}));
    EXPECT_EQ(refused.lossless, (PixelRect{0, 0, 100, 80}));
    // Another output format re-encodes: nothing grows.
    EXPECT_FALSE(MakeCropPlan(lossless, {}, {{100, 80}, jpeg, nullptr, OutputFormat::Png}).lossless);
}

// A size shapes the cut where it has a shape (an automatic crop takes it, any other cut is cut to it around its
// centre), turns the lossless crop off, and the output is the size.
TEST(CropPlan, ASizeShapesTheCutAndGivesTheOutput)
{
    const auto sized = [](CropSettings s, const char* width, const char* height) {
        s.comboSize = 1; // Exactly
        s.textFieldSizeWidth = width;
        s.textFieldSizeHeight = height;
        return s;
    };
    CropSettings topRight = Pixels("0", "0", "400", "200");
    topRight.comboOriginCorner = 3;
    CropSettings lossless = sized(Pixels("16", "16", "400", "200"), "100", "100");
    lossless.checkLosslessJpeg = true;
    const struct Case
    {
        const char* name;
        CropSettings settings;
        Rect rect;
        std::optional<OriginCorner> corner;
        bool refused;
        PixelSize output;
    } cases[] = {
        {"an automatic crop takes the size's shape",
         sized(Auto(0), "1080", "1920"),
         {1875, 0, 2250, 4000},
         Corner::BottomLeft,
         false,
         {1080, 1920}},
        {"a pixel crop is cut around its centre",
         sized(topRight, "100", "100"),
         {5700, 3800, 200, 200},
         Corner::BottomLeft,
         false,
         {100, 100}},
        {"a refused crop cuts the whole picture",
         sized(Pixels("7000", "0", "10", "10"), "100", "100"),
         {1000, 0, 4000, 4000},
         Corner::BottomLeft,
         true,
         {100, 100}},
        {"a lossless crop is scaled instead", lossless, {116, 16, 200, 200}, Corner::BottomLeft, false, {100, 100}},
    };
    const LosslessJpegLayout jpeg{{16, 16}, 1, 6000, 4000};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CropPlan plan = MakeCropPlan(c.settings, {}, {{6000, 4000}, jpeg, nullptr, OutputFormat::Jpeg});
        EXPECT_EQ(plan.rect, c.rect);
        EXPECT_EQ(plan.corner, c.corner);
        EXPECT_EQ(plan.refused, c.refused);
        EXPECT_FALSE(plan.lossless);
        EXPECT_EQ(plan.output, c.output);
        EXPECT_EQ(MakeDimensionLabels(plan, {6000, 4000}, {}).outputWidth, WidthLabel(c.output.width));
    }
}

// An adjustment moves the shared size to its centre (an automatic crop) or is the rectangle itself (a pixel or
// percent crop), always inside the picture, written from the bottom-left corner; the position gives way to it.
TEST(CropPlan, AnAdjustmentPlacesTheCropInsideThePicture)
{
    using Kind = CropAdjustment::Kind;
    CropSettings subject = Auto(0);
    subject.comboAutoCropPosition = 1;
    CropSettings exactly = Auto(0);
    exactly.comboSize = 1;
    exactly.textFieldSizeWidth = "1080", exactly.textFieldSizeHeight = "1920";
    const CropSettings pixels = Pixels("0", "0", "10", "10");
    const RgbaBitmap flat{2, 2, std::vector<std::uint8_t>(16, 255)};
    const struct Case
    {
        const char* name;
        CropSettings settings;
        CropAdjustment adjustment;
        Rect rect; // from the bottom-left corner of 6000 x 4000
    } cases[] = {
        {"an automatic crop around a centre", Auto(0), {Kind::Centre, 4000, 2000}, {2000, 0, 4000, 4000}},
        {"a centre near the edge keeps the crop inside", Auto(0), {Kind::Centre, 100, 2000}, {0, 0, 4000, 4000}},
        {"the subject gives way", subject, {Kind::Centre, 4000, 2000}, {2000, 0, 4000, 4000}},
        {"a size's shape keeps its size", exactly, {Kind::Centre, 4000.5, 2000}, {2876, 0, 2250, 4000}},
        {"an automatic crop takes a rectangle's centre",
         Auto(0),
         {Kind::Rectangle, 3500, 0, 1000, 4000},
         {2000, 0, 4000, 4000}},
        {"a pixel crop becomes the rectangle", pixels, {Kind::Rectangle, 100, 200, 300, 400}, {100, 3400, 300, 400}},
        {"a rectangle off the picture is moved in",
         pixels,
         {Kind::Rectangle, 5900, -50, 300, 400},
         {5700, 3600, 300, 400}},
        {"a pixel crop moved by a centre", pixels, {Kind::Centre, 50, 50}, {45, 3945, 10, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CropPlan plan = MakeCropPlan(c.settings, {}, {{6000, 4000}, {}, &flat, OutputFormat::Png, &c.adjustment});
        EXPECT_EQ(plan.rect, c.rect);
        EXPECT_EQ(plan.corner, Corner::BottomLeft);
        EXPECT_EQ(plan.source, CropSource::Adjusted);
        EXPECT_FALSE(plan.refused);
    }
}

// A border trim cuts what was found; where nothing was, the whole picture is written and the report says why;
// until the finding is known the whole picture is shown, with no note.
TEST(CropPlan, ABorderTrimCutsWhatWasFound)
{
    CropSettings trim;
    trim.radioAutoCrop = false;
    trim.radioTrimBorders = true;
    const std::optional<PixelRect> found = PixelRect{10, 20, 300, 200};
    const std::optional<PixelRect> none;
    const auto plan = [&](const std::optional<PixelRect>* trimmed) {
        return MakeCropPlan(trim, {}, {{400, 300}, {}, nullptr, OutputFormat::Png, nullptr, trimmed});
    };
    EXPECT_EQ(plan(&found).rect, (Rect{10, 80, 300, 200}));
    EXPECT_EQ(plan(&found).output, (PixelSize{300, 200}));
    EXPECT_TRUE(plan(&none).refused);
    EXPECT_EQ(plan(&none).remark, "no border found: the whole image is written");
    EXPECT_FALSE(plan(nullptr).refused);
    EXPECT_EQ(plan(nullptr).output, (PixelSize{400, 300}));
    // The found rectangle is then sized like any cut, and adjusted like a pixel crop.
    trim.comboSize = 1;
    trim.textFieldSizeWidth = trim.textFieldSizeHeight = "100";
    EXPECT_EQ(plan(&found).rect, (Rect{60, 80, 200, 200}));
    const CropAdjustment moved{CropAdjustment::Kind::Centre, 200, 150};
    EXPECT_EQ(MakeCropPlan(trim, {}, {{400, 300}, {}, nullptr, OutputFormat::Png, &moved, &found}).rect,
              (Rect{100, 50, 200, 200}));
}

} // namespace
} // namespace trimlark
