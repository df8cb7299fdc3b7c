#include "list/CropPreviewDrawing.h"

#include "settings/SettingsRules.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

using Rgba = std::array<int, 4>;

// A bitmap whose every pixel has its own colour, so that a shifted or mirrored result shows.
RgbaBitmap Pattern(int width, int height, int alpha = 255)
{
    RgbaBitmap bitmap{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) {
        const auto pixel = static_cast<int>(i / 4);
        const int column = pixel % width, row = pixel / width;
        bitmap.pixels[i] = static_cast<std::uint8_t>(column * 7 % 256);
        bitmap.pixels[i + 1] = static_cast<std::uint8_t>(row * 5 % 256);
        bitmap.pixels[i + 2] = static_cast<std::uint8_t>((column + row) % 256);
        bitmap.pixels[i + 3] = static_cast<std::uint8_t>(alpha);
    }
    return bitmap;
}

Rgba At(const RgbaBitmap& bitmap, int column, int rowFromTop)
{
    const auto* p = &bitmap.pixels[(static_cast<std::size_t>(rowFromTop) * bitmap.width + column) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// White at 60 % over an opaque pixel: 0.6 * 255 + 0.4 * c.
Rgba Veiled(Rgba pixel)
{
    for (int i = 0; i < 3; ++i)
        pixel[static_cast<std::size_t>(i)] =
            static_cast<int>(std::lround(153.0 + 0.4 * pixel[static_cast<std::size_t>(i)]));
    return pixel;
}

// Every pixel is clear inside [left, right) x [top, bottom) (rows from the top) and veiled outside.
void ExpectClearOnlyIn(const RgbaBitmap& preview, const RgbaBitmap& source, int left, int top, int right, int bottom)
{
    for (int row = 0; row < source.height; ++row) {
        for (int column = 0; column < source.width; ++column) {
            const bool inside = column >= left && column < right && row >= top && row < bottom;
            const Rgba expected = inside ? At(source, column, row) : Veiled(At(source, column, row));
            ASSERT_EQ(At(preview, column, row), expected) << "column " << column << " row " << row;
        }
    }
}

TEST(CropPreviewDrawing, ClearsExactlyTheRectanglePlacedFromItsCorner)
{
    const struct Case
    {
        const char* name;
        int corner;
        double x, y, w, h;
        int left, top, right, bottom; // the clear area on a 40 x 30 bitmap of a 400 x 300 image
    } cases[] = {
        // (30, 20, 50, 40) from the bottom left: columns 3-7, rows from the top 30 - 2 - 4 = 24 to 27
        {"bottom left", 0, 30, 20, 50, 40, 3, 24, 8, 28},
        {"top right", 3, 30, 20, 50, 40, 32, 2, 37, 6},
        {"no corner: at the origin", -1, 30, 20, 50, 40, 0, 26, 5, 30},
        {"partly outside", 2, -100, 50, 300, 200, 0, 5, 20, 25},
        {"beyond the right edge", 0, 400, 0, 100, 100, 0, 0, 0, 0},
        {"not a number", 0, std::nan(""), 0, 100, 100, 0, 0, 0, 0},
        {"infinite width", 0, 0, 0, INFINITY, 100, 0, 0, 0, 0},
    };
    const RgbaBitmap source = Pattern(40, 30);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RgbaBitmap preview = DrawCropPreview(c.x, c.y, c.w, c.h, source, {400, 300}, OriginCornerAt(c.corner));
        ASSERT_EQ(preview.width, 40);
        ExpectClearOnlyIn(preview, source, c.left, c.top, c.right, c.bottom);
    }
}

TEST(CropPreviewDrawing, EdgesAndTransparencyAreVeiledInProportion)
{
    // An edge through the middle of column 10: half the pixel is outside, so a black pixel gets a veil of 0.3:
    // 0.3 * 255 = 76.5 -> 77.
    RgbaBitmap black{20, 1, std::vector<std::uint8_t>(20 * 4, 0)};
    for (std::size_t i = 3; i < black.pixels.size(); i += 4)
        black.pixels[i] = 255;
    const RgbaBitmap edge = DrawCropPreview(0, 0, 10.5, 1, black, {20, 1}, OriginCorner::BottomLeft);
    EXPECT_EQ(At(edge, 9, 0), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(At(edge, 10, 0), (Rgba{77, 77, 77, 255}));
    EXPECT_EQ(At(edge, 11, 0), (Rgba{153, 153, 153, 255}));
    // Over a transparent pixel the veil is white at alpha 0.6; inside it stays transparent.
    const RgbaBitmap clear = DrawCropPreview(0, 0, 10, 10, Pattern(20, 20, 0), {20, 20}, OriginCorner::BottomLeft);
    EXPECT_EQ(At(clear, 15, 5), (Rgba{255, 255, 255, 153}));
    EXPECT_EQ(At(clear, 5, 15)[3], 0);
}

} // namespace
} // namespace trimlark
