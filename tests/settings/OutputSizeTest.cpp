#include "settings/OutputSize.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

CropSettings Size(SizeMode mode, const char* width, const char* height = "1")
{
    CropSettings s;
    s.comboSize = static_cast<int>(mode);
    s.textFieldSizeWidth = width;
    s.textFieldSizeHeight = height;
    return s;
}

CropSettings Print(const char* width, const char* height, PrintUnit unit, const char* ppi)
{
    CropSettings s = Size(SizeMode::PrintSize, width, height);
    s.comboSizeUnit = static_cast<int>(unit);
    s.textFieldSizePpi = ppi;
    return s;
}

TEST(OutputSize, SettingsBecomeARequestOrAreRefusedWithTheirReason)
{
    CropSettings fill = Size(SizeMode::FitWithin, "1200", "800");
    fill.checkFillToSize = true;
    fill.colorFill = "#F0a";
    CropSettings badFill = fill;
    badFill.colorFill = "#12345";
    CropSettings badUnit = Print("10", "15", PrintUnit::Centimetres, "300");
    badUnit.comboSizeUnit = 3;
    const struct Case
    {
        const char* name;
        CropSettings settings;
        double width, height, ppi; // 0 x 0: refused
        const char* problem;
    } cases[] = {
        {"keep asks for nothing", CropSettings{}, 0, 0, 0, ""},
        {"exactly, spaces around", Size(SizeMode::Exactly, " 1080 ", "1920"), 1080, 1920, 0, ""},
        {"long side needs no height", Size(SizeMode::LongSide, "2048", "x"), 2048, 0, 0, ""},
        {"10 x 15 cm at 300 ppi", Print("10", "15", PrintUnit::Centimetres, "300"), 1181, 1772, 300, ""},
        {"4 x 6 in at 300 ppi", Print("4", "6", PrintUnit::Inches, "300"), 1200, 1800, 300, ""},
        {"210 x 297 mm at 72.5 ppi", Print("210", "297", PrintUnit::Millimetres, "72.5"), 599, 848, 72.5, ""},
        {"width 0", Size(SizeMode::Exactly, "0", "10"), 0, 0, 0, "the width is not"},
        {"negative height", Size(SizeMode::FitWithin, "10", "-5"), 0, 0, 0, "the height is not"},
        {"fraction of a pixel", Size(SizeMode::Exactly, "10.5", "10"), 0, 0, 0, "the width is not"},
        {"ppi 0", Print("10", "15", PrintUnit::Centimetres, "0"), 0, 0, 0, "the resolution is not"},
        {"print length not a number", Print("ten", "15", PrintUnit::Centimetres, "300"), 0, 0, 0, "the print's"},
        {"unit outside the list", badUnit, 0, 0, 0, "the print's unit"},
        {"print too large", Print("100", "100", PrintUnit::Inches, "1000"), 0, 0, 0, "the print's size"},
        {"a fill that is no colour", badFill, 0, 0, 0, "the fill colour"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem = "stale";
        const auto request = ReadSizeRequest(c.settings, &problem);
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
        ASSERT_EQ(request.has_value(), c.width > 0);
        if (request) {
            EXPECT_EQ(request->width, c.width);
            EXPECT_EQ(request->height, c.height);
            EXPECT_EQ(request->ppi, c.ppi);
        }
    }
    EXPECT_EQ(ReadSizeRequest(fill)->fill, (FillColour{255, 0, 170, 255}));
    fill.comboSize = static_cast<int>(SizeMode::Exactly); // only a fit is filled
    EXPECT_FALSE(ReadSizeRequest(fill)->fill);
}

SizeRequest Request(SizeMode mode, double width, double height = 0, double ppi = 0)
{
    SizeRequest request;
    request.mode = mode, request.width = width, request.height = height, request.ppi = ppi;
    return request;
}

TEST(OutputSize, EachModeGivesTheSizeItPromises)
{
    const SizeRequest exactly = Request(SizeMode::Exactly, 1080, 1080);
    const SizeRequest print = Request(SizeMode::PrintSize, 1181, 1772, 300);
    const SizeRequest fit = Request(SizeMode::FitWithin, 1200, 1200);
    SizeRequest filled = fit;
    filled.fill = FillColour{};
    const SizeRequest longSide = Request(SizeMode::LongSide, 2048);
    const auto noEnlarge = [](SizeRequest r) {
        r.noEnlarge = true;
        return r;
    };
    const struct Case
    {
        const char* name;
        SizeRequest request;
        double cw, ch;
        SizedOutput out;
    } cases[] = {
        {"exactly enlarges a small crop", exactly, 500, 500, {1080, 1080, 1080, 1080}},
        {"exactly, not enlarged", noEnlarge(exactly), 500, 500, {500, 500, 500, 500, true}},
        {"print along a landscape crop", print, 5998, 3998, {1772, 1181, 1772, 1181, false, 300, 1015.46}},
        {"print along a portrait crop", print, 3998, 5998, {1181, 1772, 1181, 1772, false, 300, 1015.46}},
        {"print of too few pixels", print, 1000, 667, {1772, 1181, 1772, 1181, false, 300, 169.30}},
        {"print not enlarged says its own ppi",
         noEnlarge(print),
         1000,
         667,
         {1000, 667, 1000, 667, true, 169.30, 169.30}},
        {"fit a portrait crop, rounded", fit, 1001, 3000, {400, 1200, 400, 1200}},
        {"fit a sliver keeps a pixel", fit, 100000, 10, {1200, 1, 1200, 1}},
        {"fit filled", filled, 6000, 4000, {1200, 800, 1200, 1200}},
        {"fit filled, not enlarged, centred", noEnlarge(filled), 300, 200, {300, 200, 1200, 1200, true}},
        {"long side of a portrait crop", longSide, 3000, 4500, {1365, 2048, 1365, 2048}},
        {"long side not enlarged", noEnlarge(longSide), 1000, 800, {1000, 800, 1000, 800, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SizedOutput out = SizeOutput(c.request, c.cw, c.ch);
        EXPECT_EQ(out.width, c.out.width);
        EXPECT_EQ(out.height, c.out.height);
        EXPECT_EQ(out.canvasWidth, c.out.canvasWidth);
        EXPECT_EQ(out.canvasHeight, c.out.canvasHeight);
        EXPECT_EQ(out.notEnlarged, c.out.notEnlarged);
        EXPECT_NEAR(out.ppi, c.out.ppi, 0.01);
        EXPECT_NEAR(out.printPpi, c.out.printPpi, 0.01);
    }
}

TEST(OutputSize, ACutTakesTheSizesShapeAroundItsCentreInWholePixels)
{
    const SizeRequest square = Request(SizeMode::Exactly, 1080, 1080);
    const SizeRequest print = Request(SizeMode::PrintSize, 1181, 1772, 300);
    const struct Case
    {
        const char* name;
        SizeRequest request;
        Rect region, cut;
    } cases[] = {
        {"a wide region to a square", square, {100, 50, 400, 200}, {200, 50, 200, 200}},
        {"fractional edges go inside", square, {10.5, 0.25, 300, 100}, {111, 1, 99, 99}},
        {"a print follows a portrait region", print, {0, 0, 1000, 2000}, {0, 250, 1000, 1500}},
        {"a fit keeps the region", Request(SizeMode::FitWithin, 10, 10), {1.5, 2, 30, 40}, {1.5, 2, 30, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CutToShape(c.request, c.region), c.cut);
    }
    EXPECT_EQ(SizeCropRatio(square, 3000, 4000), (AspectRatio{1080, 1080}));
    EXPECT_EQ(SizeCropRatio(Request(SizeMode::Exactly, 1920, 1080), 3000, 4000), (AspectRatio{1080, 1920}));
    EXPECT_EQ(SizeCropRatio(print, 3000, 4000), (AspectRatio{1772, 1181}));
}

TEST(OutputSize, FillColoursReadAsCssWritesThem)
{
    const struct Case
    {
        const char* text;
        std::optional<FillColour> colour;
    } cases[] = {
        {"#1A2b3C", FillColour{0x1a, 0x2b, 0x3c, 255}},
        {"#0f8", FillColour{0, 0xff, 0x88, 255}},
        {" Black ", FillColour{0, 0, 0, 255}},
        {"transparent", FillColour{0, 0, 0, 0}},
        {"#12", std::nullopt},
        {"#gggggg", std::nullopt},
        {"chartreuse-ish", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseFillColour(c.text), c.colour);
        if (c.colour) {
            EXPECT_EQ(ParseFillColour(FillColourText(*c.colour)), c.colour);
        }
    }
}

} // namespace
} // namespace trimlark
