#include "list/CropPreviewDrawing.h"
#include "settings/SettingsRules.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

namespace trimlark {
namespace {

using Rgba = std::array<int, 4>;

// A W x H bitmap whose every pixel has its own colour, so that a shifted or mirrored result shows.
RgbaBitmap Pattern(int width, int height, int alpha = 255)
{
    RgbaBitmap bitmap{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            auto* p = &bitmap.pixels[(static_cast<std::size_t>(row) * width + column) * 4];
            p[0] = static_cast<std::uint8_t>(column * 7 % 256);
            p[1] = static_cast<std::uint8_t>(row * 5 % 256);
            p[2] = static_cast<std::uint8_t>((column + row) % 256);
            p[3] = static_cast<std::uint8_t>(alpha);
        }
    }
    return bitmap;
}

Rgba At(const RgbaBitmap& bitmap, int column, int rowFromTop)
{
    const auto* p = &bitmap.pixels[(static_cast<std::size_t>(rowFromTop) * bitmap.width + column) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// White at 60 % over an opaque pixel: 0.6 * 255 + 0.4 * c.
Rgba Veiled(const Rgba& source)
{
    Rgba veiled{};
    for (int i = 0; i < 3; ++i)
        veiled[static_cast<std::size_t>(i)] =
            static_cast<int>(std::lround(153.0 + 0.4 * source[static_cast<std::size_t>(i)]));
    veiled[3] = 255;
    return veiled;
}

bool IsClear(const RgbaBitmap& preview, const RgbaBitmap& source, int column, int row)
{
    return At(preview, column, row) == At(source, column, row);
}

bool IsVeiled(const RgbaBitmap& preview, const RgbaBitmap& source, int column, int row)
{
    return At(preview, column, row) == Veiled(At(source, column, row));
}

TEST(CropPreviewDrawing, CornersPlaceTheClearSquare)
{
    // A 100 x 100 square at (0, 0) from each corner of a 400 x 300 image. Rows count from the top, so the bottom
    // edge is row 299.
    struct Case
    {
        const char* name;
        int corner;
        int insideColumn, insideRow;
        int outsideColumn, outsideRow;
    };
    const Case cases[] = {
        {"bottom left", 0, 10, 290, 10, 10},
        {"bottom right", 1, 390, 290, 10, 290},
        {"top left", 2, 10, 10, 10, 290},
        {"top right", 3, 390, 10, 390, 290},
        {"no corner: bottom left", -1, 10, 290, 390, 10},
    };
    const RgbaBitmap source = Pattern(400, 300);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RgbaBitmap preview = DrawCropPreview(0, 0, 100, 100, source, {400, 300}, OriginCornerAt(c.corner));
        ASSERT_EQ(preview.width, 400);
        ASSERT_EQ(preview.height, 300);
        EXPECT_TRUE(IsClear(preview, source, c.insideColumn, c.insideRow));
        EXPECT_TRUE(IsVeiled(preview, source, c.outsideColumn, c.outsideRow));
    }
}

TEST(CropPreviewDrawing, EveryPixelIsClearInsideAndVeiledOutside)
{
    // Offset (30, 20) from the bottom left, 50 x 40: columns 30-79, rows from the top 300-20-40 = 240 to 279.
    const RgbaBitmap source = Pattern(120, 300);
    const RgbaBitmap preview = DrawCropPreview(30, 20, 50, 40, source, {120, 300}, OriginCorner::BottomLeft);
    for (int row = 0; row < source.height; ++row) {
        for (int column = 0; column < source.width; ++column) {
            const bool inside = column >= 30 && column < 80 && row >= 240 && row < 280;
            ASSERT_EQ(At(preview, column, row), inside ? At(source, column, row) : Veiled(At(source, column, row)))
                << "column " << column << " row " << row;
        }
    }
}

TEST(CropPreviewDrawing, ScaledBitmapScalesTheRectangle)
{
    // The auto 1:1 crop of 4000 x 3000 is (500, 0, 3000, 3000); on a 400 x 300 copy that is columns 50-349.
    const RgbaBitmap source = Pattern(400, 300);
    const RgbaBitmap preview = DrawCropPreview(500, 0, 3000, 3000, source, {4000, 3000}, OriginCorner::TopLeft);
    for (int row : {0, 150, 299}) {
        EXPECT_TRUE(IsVeiled(preview, source, 49, row));
        EXPECT_TRUE(IsClear(preview, source, 50, row));
        EXPECT_TRUE(IsClear(preview, source, 349, row));
        EXPECT_TRUE(IsVeiled(preview, source, 350, row));
    }
}

TEST(CropPreviewDrawing, RectanglesOffTheImageOrNotFiniteLeaveItAllVeiled)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        const char* name;
        double x, y, w, h;
    };
    const Case cases[] = {
        {"beyond the right edge", 400, 0, 100, 100},
        {"left of the image", -200, 0, 100, 100},
        {"empty", 0, 0, 0, 0},
        {"negative size", 50, 50, -20, -20},
        {"not a number", nan, 0, 100, 100},
        {"infinite width", 0, 0, inf, 100},
    };
    const RgbaBitmap source = Pattern(40, 30);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RgbaBitmap preview = DrawCropPreview(c.x, c.y, c.w, c.h, source, {400, 300}, OriginCorner::BottomLeft);
        for (int row = 0; row < source.height; ++row) {
            for (int column = 0; column < source.width; ++column)
                ASSERT_TRUE(IsVeiled(preview, source, column, row)) << column << "," << row;
        }
    }
}

TEST(CropPreviewDrawing, TransparentPixelsGetTheVeilOverThem)
{
    // Premultiplied: alpha 0.6 + 0.4 * 0 = 0.6 and colour 0.6 + 0 = 0.6, so straight white at alpha 153 outside;
    // inside the pixel stays fully transparent.
    const RgbaBitmap source = Pattern(20, 20, 0);
    const RgbaBitmap preview = DrawCropPreview(0, 0, 10, 10, source, {20, 20}, OriginCorner::BottomLeft);
    EXPECT_EQ(At(preview, 15, 5), (Rgba{255, 255, 255, 153}));
    EXPECT_EQ(At(preview, 5, 15)[3], 0);
}

TEST(CropPreviewDrawing, EdgePixelIsVeiledByTheShareOutside)
{
    // A rectangle edge through the middle of column 10: half the pixel is inside, so the veil is 0.3 and a black
    // opaque pixel becomes 0.3 * 255 = 76.5 -> 77.
    RgbaBitmap black{20, 1, std::vector<std::uint8_t>(20 * 4, 0)};
    for (int column = 0; column < 20; ++column)
        black.pixels[static_cast<std::size_t>(column) * 4 + 3] = 255;
    const RgbaBitmap preview = DrawCropPreview(0, 0, 10.5, 1, black, {20, 1}, OriginCorner::BottomLeft);
    EXPECT_EQ(At(preview, 9, 0), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(At(preview, 10, 0), (Rgba{77, 77, 77, 255}));
    EXPECT_EQ(At(preview, 11, 0), (Rgba{153, 153, 153, 255}));
}

TEST(CropPreviewDrawing, MalformedBitmapGivesAnEmptyPreviewOfItsSize)
{
    RgbaBitmap broken{10, 10, std::vector<std::uint8_t>(12)};
    const RgbaBitmap preview = DrawCropPreview(0, 0, 5, 5, broken, {10, 10}, OriginCorner::BottomLeft);
    EXPECT_EQ(preview.pixels.size(), broken.pixels.size());
}

} // namespace
} // namespace trimlark
