#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {
namespace {

using test::TempFolder;
using vips::VImage;
using Corner = OriginCorner;

class LoadAndCropTest : public ::testing::Test
{
protected:
    void SetUp() override { ImageTools::Initialize(); }

    // Loads, crops and writes a lossless PNG, then decodes it.
    VImage CropToPng(const std::string& source, double x, double y, double w, double h, std::optional<Corner> corner)
    {
        const auto image = ImageTools::LoadImageAtPixelSize(source);
        const std::string output = folder.Path("out.png");
        std::string reason;
        EXPECT_TRUE(image && ImageTools::SaveImage(ImageTools::CropImage(*image, x, y, w, h, corner), output,
                                                   OutputFormat::Png, 1.0, false, &reason))
            << source << ": " << reason;
        return test::ReadImage(output);
    }

    TempFolder folder;
};

// Each source is cropped by (5, 7, 30, 20) from the top left; the crop's pixel (10, 10) is the upright picture's
// (15, 17). Coordinate sources are 60 x 50, or 200 x 100 before their orientation is applied.
TEST_F(LoadAndCropTest, EverySourceIsReadUprightAtItsSize)
{
    struct Case
    {
        const char* file;
        int orientation;
        std::vector<std::pair<int, int>> pages; // a multi-page TIFF of grey pages (40, 120...) instead
        PixelSize size;                         // upright, the maxima over the pages
        int red, green;                         // at the crop's (10, 10)
        int tolerance;                          // lossy and paletted sources move the colours a little
    };
    std::vector<Case> cases = {
        {"source.jpg", 1, {}, {60, 50}, 15, 17, 6},
        {"source.png", 1, {}, {60, 50}, 15, 17, 0},
        {"source.tif", 1, {}, {60, 50}, 15, 17, 0},
        {"source.gif", 1, {}, {60, 50}, 15, 17, 8},
        {"source.bmp", 1, {}, {60, 50}, 15, 17, 0},
        {"top-down.bmp", 1, {}, {60, 50}, 15, 17, 0},
        {"source.jp2", 1, {}, {60, 50}, 15, 17, 6},
        {"source.webp", 1, {}, {60, 50}, 15, 17, 8},
        // Turned clockwise, upright (u, v) is stored (v, 99 - u).
        {"orientation-6.jpg", 6, {}, {100, 200}, 17, 84, 6},
        // The JPEG 2000 decoder ignores EXIF; the picture must still come out upright.
        {"orientation-6.jp2", 6, {}, {100, 200}, 17, 84, 6},
        // Turned anticlockwise, upright (u, v) is stored (199 - v, u).
        {"orientation-8.jpg", 8, {}, {100, 200}, 182, 15, 6},
        // Half a turn: (199 - u, 99 - v); mirrored: (199 - u, v).
        {"orientation-3.jpg", 3, {}, {200, 100}, 184, 82, 6},
        {"orientation-2.jpg", 2, {}, {200, 100}, 184, 17, 6},
        // 300 x 200 (60000 px) is the largest page; it is stretched to the maxima 300 x 400.
        {"pages.tif", 1, {{100, 400}, {300, 200}}, {300, 400}, 120, 120, 1},
        {"largest-first.tif", 1, {{64, 48}, {32, 24}}, {64, 48}, 40, 40, 1},
    };
    if (CanWriteHeif())
        cases.push_back({"source.heic", 1, {}, {60, 50}, 15, 17, 12});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        if (!c.pages.empty())
            test::WriteMultiPageTiff(path, c.pages);
        else if (path.ends_with("top-down.bmp"))
            test::WriteTopDownBmp(path, 60, 50);
        else if (c.orientation == 1)
            test::WriteCoordinateImage(path, 60, 50);
        else {
            test::WriteCoordinateImage(path, 200, 100);
            test::SetOrientation(path, c.orientation);
        }
        EXPECT_EQ(ImageTools::GetImagePixelSize(path), c.size);
        const VImage out = CropToPng(path, 5, 7, 30, 20, Corner::TopLeft);
        ASSERT_EQ(out.width(), 30);
        ASSERT_EQ(out.height(), 20);
        EXPECT_NEAR(out.getpoint(10, 10)[0], c.red, c.tolerance);
        EXPECT_NEAR(out.getpoint(10, 10)[1], c.green, c.tolerance);
        // The preview is upright too, and fits its box: here half the size.
        const int boxWidth = static_cast<int>(c.size.width) / 2;
        const int boxHeight = static_cast<int>(c.size.height) / 2;
        const auto preview = ImageTools::LoadPreviewBitmap(path, boxWidth, boxHeight);
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->width, boxWidth);
        // The largest page as it is: 300 x 200 into 150 x 200 is 150 x 100.
        EXPECT_EQ(preview->height, path.ends_with("/pages.tif") ? 100 : boxHeight);
        EXPECT_EQ(preview->pixels.at(3), 255) << "opaque";
    }
}

// On a 999 x 801 coordinate image, every written pixel says where it came from.
TEST_F(LoadAndCropTest, EachCornerCutsItsRegionOutExactly)
{
    const std::string source = folder.Path("coordinates.png");
    test::WriteCoordinateImage(source, 999, 801);
    struct Case
    {
        const char* name;
        double x, y, w, h;
        std::optional<Corner> corner;
        int left, top; // the region's top-left pixel
        int width, height;
    };
    const Case cases[] = {
        // Bottom corners: top = 801 - 20 - 51 = 730; right corners: left = 999 - 101 - 10 = 888.
        {"bottom left", 10, 20, 101, 51, Corner::BottomLeft, 10, 730, 101, 51},
        {"bottom right", 10, 20, 101, 51, Corner::BottomRight, 888, 730, 101, 51},
        {"top left", 10, 20, 101, 51, Corner::TopLeft, 10, 20, 101, 51},
        {"top right", 10, 20, 101, 51, Corner::TopRight, 888, 20, 101, 51},
        // x = -100 clips 100 off the 301 width; bottom: top = 801 - 50 - 201 = 550; right: 999 + 100 - 301 = 798.
        {"overhanging, bottom left", -100, 50, 301, 201, Corner::BottomLeft, 0, 550, 201, 201},
        {"overhanging, bottom right", -100, 50, 301, 201, Corner::BottomRight, 798, 550, 201, 201},
        {"overhanging, top left", -100, 50, 301, 201, Corner::TopLeft, 0, 50, 201, 201},
        {"overhanging, top right", -100, 50, 301, 201, Corner::TopRight, 798, 50, 201, 201},
        {"overhanging the right edge", 900, 0, 300, 101, Corner::TopLeft, 900, 0, 99, 101},
        // 100.7 x 50.2 truncates to 100 x 50; edges 10.4 -> 10 and 20.6 -> 21 go to the nearest pixel.
        {"fractional, top left", 10.4, 20.6, 100.7, 50.2, Corner::TopLeft, 10, 21, 100, 50},
        // top edge 801 - 20.6 - 50.2 = 730.2 -> 730; left 999 - 100.7 - 10.4 = 887.9 -> 888
        {"fractional, bottom right", 10.4, 20.6, 100.7, 50.2, Corner::BottomRight, 888, 730, 100, 50},
        // Without a corner the clipped region sits at the bottom-left: top = 801 - 51 = 750.
        {"no corner", 10, 20, 101, 51, std::nullopt, 0, 750, 101, 51},
        // A refused crop writes the whole image.
        {"all zero", 0, 0, 0, 0, Corner::TopLeft, 0, 0, 999, 801},
        {"ends before the left edge", -300, 0, 300, 100, Corner::TopLeft, 0, 0, 999, 801},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const VImage out = CropToPng(source, c.x, c.y, c.w, c.h, c.corner);
        ASSERT_EQ(out.width(), c.width);
        ASSERT_EQ(out.height(), c.height);
        EXPECT_EQ(test::CoordinateAt(out, 0, 0), (test::Coordinate{c.left, c.top}));
        EXPECT_EQ(test::CoordinateAt(out, c.width - 1, c.height - 1),
                  (test::Coordinate{c.left + c.width - 1, c.top + c.height - 1}));
    }
}

// None of these may crash, hang or print: each is refused when loaded, or its save is refused and writes nothing.
TEST_F(LoadAndCropTest, BadInputIsRefusedCleanly)
{
    const std::string jpeg = folder.Path("noise.jpg");
    const std::string png = folder.Path("noise.png");
    test::NoiseImage(64, 64).jpegsave(jpeg.c_str());
    test::NoiseImage(64, 64).pngsave(png.c_str());
    std::string huge = test::ReadBytes(jpeg); // its frame header claims 60000 x 60000 over a 64 x 64 body
    huge.replace(huge.find("\xFF\xC0") + 5, 4, "\xEA\x60\xEA\x60");
    std::filesystem::create_directory(folder.Path("folder.jpg"));
    ASSERT_EQ(mkfifo(folder.Path("pipe.jpg").c_str(), 0600), 0); // opening it waits for a writer that never comes
    struct Case
    {
        const char* file;
        std::optional<std::string> bytes; // nothing: as made above, or missing
        bool sized;                       // whether what there is of a header tells a size
    };
    const Case cases[] = {
        {"text.jpg", "not an image", false},
        {"text-with-signature.bmp", "BM is not an image header\n", false},
        {"empty.png", "", false},
        {"missing.jpg", std::nullopt, false},
        {"folder.jpg", std::nullopt, false},
        {"pipe.jpg", std::nullopt, false},
        {"header-only.jpg", test::ReadBytes(jpeg).substr(0, 700), false},
        {"half.png", test::ReadBytes(png).substr(0, test::ReadBytes(png).size() / 2), true},
        {"huge.jpg", huge, true},
        {"huge.png", test::PngWithClaimedSize(100000, 100000), true},
        {"zero.png", test::PngWithClaimedSize(0, 0), false},
    };
    alarm(120); // a hang ends the test program (and so fails the test) instead of stopping the suite
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        if (c.bytes)
            test::WriteBytes(path, *c.bytes);
        const std::string output = folder.Path("bad-out.png");
        std::string reason;
        testing::internal::CaptureStdout();
        const bool sized = ImageTools::GetImagePixelSize(path).has_value();
        if (const auto image = ImageTools::LoadImageAtPixelSize(path, &reason))
            EXPECT_FALSE(ImageTools::SaveImage(*image, output, OutputFormat::Png, 1.0, true, &reason));
        EXPECT_FALSE(reason.empty());
        ImageTools::LoadPreviewBitmap(path, 64, 64);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "decoder warnings stay off standard output";
        EXPECT_EQ(sized, c.sized);
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    alarm(0);
}

} // namespace
} // namespace trimlark
