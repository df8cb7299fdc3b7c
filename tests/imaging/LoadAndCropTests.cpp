#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"

#include <cmath>
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
        EXPECT_TRUE(image.has_value()) << source;
        const std::string output = folder.Path("out.png");
        std::string reason;
        EXPECT_TRUE(image && ImageTools::SaveImage(ImageTools::CropImage(*image, x, y, w, h, corner), output,
                                                   OutputFormat::Png, 1.0, false, &reason))
            << reason;
        return test::ReadImage(output);
    }

    TempFolder folder;
};

// Each source holds a 60 x 50 coordinate image; the crop takes 30 x 20 from (5, 7), so its pixel (10, 10)
// comes from (15, 17).
TEST_F(LoadAndCropTest, EveryReadableTypeIsCroppedFromItsOwnPixels)
{
    struct Case
    {
        const char* file;
        int tolerance; // lossy and paletted sources move the coordinates' colours a little
    };
    std::vector<Case> cases = {{"source.jpg", 6}, {"source.png", 0}, {"source.tif", 0},  {"source.gif", 8},
                               {"source.bmp", 0}, {"source.jp2", 6}, {"source.webp", 8}, {"top-down.bmp", 0}};
    if (CanWriteHeif())
        cases.push_back({"source.heic", 12});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string source = folder.Path(c.file);
        if (c.file == std::string("top-down.bmp"))
            test::WriteTopDownBmp(source, 60, 50);
        else
            test::WriteCoordinateImage(source, 60, 50);
        EXPECT_EQ(ImageTools::GetImagePixelSize(source), (PixelSize{60, 50}));
        const VImage out = CropToPng(source, 5, 7, 30, 20, Corner::TopLeft);
        ASSERT_EQ(out.width(), 30);
        ASSERT_EQ(out.height(), 20);
        const auto pixel = out.getpoint(10, 10);
        EXPECT_NEAR(pixel[0], 15, c.tolerance);
        EXPECT_NEAR(pixel[1], 17, c.tolerance);
    }
}

TEST_F(LoadAndCropTest, OrientedPicturesAreSizedAndWrittenUpright)
{
    struct Case
    {
        const char* name;
        const char* file;
        int orientation;
        int uprightWidth, uprightHeight;
        int redX, redY; // where the stored picture's top-left red block lands once upright
    };
    const Case cases[] = {
        {"jpeg, orientation 6 (turn clockwise)", "o6.jpg", 6, 100, 200, 90, 10},
        {"jpeg, orientation 8 (turn anticlockwise)", "o8.jpg", 8, 100, 200, 10, 190},
        {"jpeg, orientation 3 (half turn)", "o3.jpg", 3, 200, 100, 190, 90},
        {"jpeg, orientation 2 (mirror)", "o2.jpg", 2, 200, 100, 190, 10},
        // The JPEG 2000 decoder ignores EXIF; the picture must still come out upright.
        {"jpeg 2000, orientation 6", "o6.jp2", 6, 100, 200, 90, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Stored 200 x 100, grey, with a red 20 x 20 block at its top-left corner.
        const VImage stored =
            test::SolidImage(200, 100, {128, 128, 128}).insert(test::SolidImage(20, 20, {255, 0, 0}), 0, 0);
        const std::string path = folder.Path(c.file);
        stored.write_to_file(path.c_str());
        test::SetOrientation(path, c.orientation);

        const PixelSize upright{static_cast<double>(c.uprightWidth), static_cast<double>(c.uprightHeight)};
        EXPECT_EQ(ImageTools::GetImagePixelSize(path), upright);
        const auto image = ImageTools::LoadImageAtPixelSize(path);
        ASSERT_TRUE(image);
        EXPECT_EQ((PixelSize{image->Width(), image->Height()}), upright);
        const VImage out = CropToPng(path, 0, 0, 0, 0, Corner::TopLeft);
        ASSERT_EQ(out.width(), c.uprightWidth);
        ASSERT_EQ(out.height(), c.uprightHeight);
        const auto red = out.getpoint(c.redX, c.redY);
        EXPECT_GT(red[0], 200);
        EXPECT_LT(red[1], 60);
        EXPECT_LT(out.getpoint(c.uprightWidth - 1 - c.redX, c.uprightHeight - 1 - c.redY)[0], 160);
    }
}

TEST_F(LoadAndCropTest, MultiPageSourcesGiveTheLargestPageAtTheMaxima)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<int, int>> pages;
        int width, height; // the maxima over the pages
        int shade;         // the largest page's grey (first page 40, second 120)
    };
    const Case cases[] = {
        // 300 x 200 (60000 px) beats 100 x 400 (40000 px) and is stretched to 300 x 400.
        {"different shapes", {{100, 400}, {300, 200}}, 300, 400, 120},
        {"largest first", {{64, 48}, {32, 24}}, 64, 48, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path("pages.tif");
        test::WriteMultiPageTiff(path, c.pages);
        EXPECT_EQ(ImageTools::GetImagePixelSize(path), (PixelSize{double(c.width), double(c.height)}));
        const VImage out = CropToPng(path, 0, 0, 0, 0, Corner::TopLeft);
        ASSERT_EQ(out.width(), c.width);
        ASSERT_EQ(out.height(), c.height);
        EXPECT_NEAR(out.getpoint(c.width / 2, c.height / 2)[0], c.shade, 1);
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

TEST_F(LoadAndCropTest, RefusedRectanglesWriteTheWholeImage)
{
    const std::string source = folder.Path("coordinates.png");
    test::WriteCoordinateImage(source, 300, 200);
    struct Case
    {
        const char* name;
        double x, y, w, h;
    };
    const Case cases[] = {
        {"narrower than a pixel", 10, 10, 0.5, 100},        {"lower than a pixel", 10, 10, 100, 0.9},
        {"starts beyond the right edge", 400, 0, 100, 100}, {"starts beyond the top", 0, 200, 100, 100},
        {"ends before the left edge", -300, 0, 300, 100},   {"all zero", 0, 0, 0, 0},
        {"not a number", std::nan(""), 0, 100, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const VImage out = CropToPng(source, c.x, c.y, c.w, c.h, Corner::TopLeft);
        EXPECT_EQ(test::MaxDifference(out, test::ReadImage(source)), 0);
    }
}

// None of these may crash, hang or print: each is refused when loaded, or its save is refused and writes nothing.
TEST_F(LoadAndCropTest, BadInputIsRefusedCleanly)
{
    struct Case
    {
        const char* file;
        void (*make)(const std::string& path);
        bool isImage; // whether the header alone tells a size
    };
    const Case cases[] = {
        {"text.jpg", [](const std::string& p) { test::WriteBytes(p, "not an image"); }, false},
        {"text-with-signature.bmp", [](const std::string& p) { test::WriteBytes(p, "BM is not an image header\n"); },
         false},
        {"empty.png", [](const std::string& p) { test::WriteBytes(p, ""); }, false},
        {"missing.jpg", [](const std::string&) {}, false},
        {"folder.jpg", [](const std::string& p) { std::filesystem::create_directory(p); }, false},
        // Opening it to read waits for a writer that never comes.
        {"pipe.jpg", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, false},
        {"header-only.jpg",
         [](const std::string& p) {
             test::NoiseImage(64, 64).jpegsave(p.c_str());
             test::Truncate(p, 700);
         },
         true},
        {"half.png",
         [](const std::string& p) {
             test::NoiseImage(64, 64).pngsave(p.c_str());
             test::Truncate(p, test::ReadBytes(p).size() / 2);
         },
         true},
        {"garbage.gif",
         [](const std::string& p) {
             test::NoiseImage(64, 64).gifsave(p.c_str());
             std::string bytes = test::ReadBytes(p);
             for (std::size_t i = 30; i < bytes.size(); ++i)
                 bytes[i] = static_cast<char>(i * 7);
             test::WriteBytes(p, bytes);
         },
         true},
        // A JPEG whose frame header claims 60000 x 60000 (3.6 gigapixels) over a 64 x 64 body.
        {"huge.jpg",
         [](const std::string& p) {
             test::NoiseImage(64, 64).jpegsave(p.c_str());
             std::string bytes = test::ReadBytes(p);
             const std::size_t frame = bytes.find("\xFF\xC0");
             ASSERT_NE(frame, std::string::npos);
             bytes.replace(frame + 5, 4, "\xEA\x60\xEA\x60");
             test::WriteBytes(p, bytes);
         },
         true},
        {"huge.png", [](const std::string& p) { test::WriteBytes(p, test::PngWithClaimedSize(100000, 100000)); }, true},
        {"zero.png", [](const std::string& p) { test::WriteBytes(p, test::PngWithClaimedSize(0, 0)); }, false},
    };
    alarm(120); // a hang ends the test program (and so fails the test) instead of stopping the suite
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        c.make(path);
        const std::string output = folder.Path("bad-out.png");
        std::string reason;
        testing::internal::CaptureStdout();
        if (!c.isImage) {
            EXPECT_FALSE(ImageTools::GetImagePixelSize(path));
        }
        const auto image = ImageTools::LoadImageAtPixelSize(path, &reason);
        if (image) {
            EXPECT_FALSE(ImageTools::SaveImage(*image, output, OutputFormat::Png, 1.0, true, &reason));
        }
        EXPECT_FALSE(reason.empty());
        ImageTools::GetImagePixelSize(path);
        ImageTools::LoadPreviewBitmap(path, 64, 64);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "decoder warnings stay off standard output";
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    alarm(0);
}

TEST_F(LoadAndCropTest, PreviewFitsTheBoxUprightAndOpaque)
{
    struct Case
    {
        const char* name;
        int width, height, orientation;
        int expectedWidth, expectedHeight; // in a 200 x 200 box
    };
    const Case cases[] = {
        {"landscape", 1000, 800, 1, 200, 160}, // scale 0.2
        {"orientation 6", 1000, 800, 6, 160, 200},
        {"never enlarged", 50, 40, 1, 50, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path("preview.jpg");
        test::CoordinateImage(c.width, c.height).jpegsave(path.c_str());
        test::SetOrientation(path, c.orientation);
        const auto bitmap = ImageTools::LoadPreviewBitmap(path, 200, 200);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, c.expectedWidth);
        EXPECT_EQ(bitmap->height, c.expectedHeight);
        ASSERT_EQ(bitmap->pixels.size(), static_cast<std::size_t>(c.expectedWidth) * c.expectedHeight * 4);
        EXPECT_EQ(bitmap->pixels[3], 255);
    }
}

} // namespace
} // namespace trimlark
