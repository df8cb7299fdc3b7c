#include "settings/CropGeometry.h"

#include "SettingsCases.h"
#include "settings/SettingsRules.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

namespace trimlark {

void PrintTo(const Rect& r, std::ostream* os)
{
    *os << "(" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << ")";
}

namespace {

constexpr int R4x3 = 1, R3x2 = 2, R16x9 = 3, R16x10 = 4, RCustom = 5;

using test::CustomCrop;

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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetAutoCropRect(c.ratio, c.W, c.H), c.expected);
    }
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
    // 33.3 is not exact in binary: the field's single-precision value, times the size in double precision.
    const CropSettings odd = CustomCrop(false, "33.3", "0", "33.3", "100");
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
