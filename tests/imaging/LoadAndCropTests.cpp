#include "TestImages.h"
#include "imaging/ImageTools.h"
#include "settings/ChoiceLists.h"

#include <functional>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

using test::TempFolder;
using vips::VImage;

class LoadAndCropTest : public ::testing::Test
{
protected:
    void SetUp() override { ImageTools::Initialize(); }

    // Loads, crops and writes a lossless PNG, then decodes it.
    VImage CropToPng(const std::string& source, double x, double y, double w, double h, int corner)
    {
        const auto image = ImageTools::LoadImageAtPixelSize(source);
        EXPECT_TRUE(image.has_value());
        if (!image)
            return VImage();
        const WorkingImage cropped = ImageTools::CropImage(*image, x, y, w, h, corner);
        const std::string output = folder.Path("out.png");
        std::string reason;
        EXPECT_TRUE(ImageTools::SaveImage(cropped, output, FormatIndexOfTitle("PNG"), 1.0, false, &reason)) << reason;
        return test::ReadImage(output);
    }

    TempFolder folder;
};

TEST_F(LoadAndCropTest, PixelSizeIsTheUprightMaximumOverEveryImage)
{
    struct Case
    {
        const char* name;
        std::function<std::string(const TempFolder&)> make;
        std::optional<PixelSize> expected;
    };
    const Case cases[] = {
        {"jpeg",
         [](const TempFolder& f) {
             const auto path = f.Path("plain.jpg");
             test::CoordinateImage(640, 480).jpegsave(path.c_str());
             return path;
         },
         PixelSize{640, 480}},
        // Orientation 6 turns a stored 200 x 100 picture upright into 100 x 200.
        {"jpeg with orientation 6",
         [](const TempFolder& f) {
             const auto path = f.Path("orientation-6.jpg");
             test::CoordinateImage(200, 100).jpegsave(path.c_str());
             test::SetOrientation(path, 6);
             return path;
         },
         PixelSize{100, 200}},
        {"jpeg with orientation 3 keeps its sides",
         [](const TempFolder& f) {
             const auto path = f.Path("orientation-3.jpg");
             test::CoordinateImage(200, 100).jpegsave(path.c_str());
             test::SetOrientation(path, 3);
             return path;
         },
         PixelSize{200, 100}},
        // The JPEG 2000 decoder ignores EXIF; the size must still be upright.
        {"jpeg 2000 with orientation 8",
         [](const TempFolder& f) {
             const auto path = f.Path("orientation-8.jp2");
             test::CoordinateImage(120, 60).jp2ksave(path.c_str());
             test::SetOrientation(path, 8);
             return path;
         },
         PixelSize{60, 120}},
        // Width and height maxima come from different pages: 300 from the second, 400 from the first.
        {"multi-page tiff",
         [](const TempFolder& f) {
             const auto path = f.Path("pages.tif");
             test::WriteMultiPageTiff(path, {{100, 400}, {300, 200}});
             return path;
         },
         PixelSize{300, 400}},
        {"png",
         [](const TempFolder& f) {
             const auto path = f.Path("plain.png");
             test::CoordinateImage(33, 17).pngsave(path.c_str());
             return path;
         },
         PixelSize{33, 17}},
        {"gif",
         [](const TempFolder& f) {
             const auto path = f.Path("plain.gif");
             test::CoordinateImage(40, 30).gifsave(path.c_str());
             return path;
         },
         PixelSize{40, 30}},
        {"bmp",
         [](const TempFolder& f) {
             const auto path = f.Path("plain.bmp");
             test::CoordinateImage(41, 31).magicksave(path.c_str(), VImage::option()->set("format", "bmp"));
             return path;
         },
         PixelSize{41, 31}},
        // 3 x 2, 24-bit, rows stored top-down (negative height), written byte by byte.
        {"bmp stored top-down",
         [](const TempFolder& f) {
             const auto path = f.Path("top-down.bmp");
             std::vector<unsigned char> bytes{'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // file header
                                              40, 0, 0, 0, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, // 3 x -2
                                              1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
             for (int row = 0; row < 2; ++row) {
                 for (int i = 0; i < 9; ++i)
                     bytes.push_back(static_cast<unsigned char>(40 * row + 20 * i));
                 bytes.insert(bytes.end(), 3, 0);
             }
             test::WriteBytes(path, bytes);
             return path;
         },
         PixelSize{3, 2}},
        {"bmp signature on text",
         [](const TempFolder& f) {
             const auto path = f.Path("not-really.bmp");
             test::WriteBytes(path, {'B', 'M', ' ', 'i', 's', ' ', 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a',
                                     'g', 'e', ' ', 'h', 'e', 'a', 'd', 'e', 'r', '\n'});
             return path;
         },
         std::nullopt},
        {"text named .jpg",
         [](const TempFolder& f) {
             const auto path = f.Path("text.jpg");
             test::WriteBytes(path, {'h', 'e', 'l', 'l', 'o', '\n'});
             return path;
         },
         std::nullopt},
        {"empty file",
         [](const TempFolder& f) {
             const auto path = f.Path("empty.png");
             test::WriteBytes(path, {});
             return path;
         },
         std::nullopt},
        {"missing file", [](const TempFolder& f) { return f.Path("missing.jpg"); }, std::nullopt},
        {"folder", [](const TempFolder& f) { return f.Path(""); }, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make(folder);
        EXPECT_EQ(ImageTools::GetImagePixelSize(path), c.expected);
        const auto image = ImageTools::LoadImageAtPixelSize(path);
        ASSERT_EQ(image.has_value(), c.expected.has_value());
        if (image) {
            EXPECT_EQ(image->Width(), c.expected->width);
            EXPECT_EQ(image->Height(), c.expected->height);
            EXPECT_EQ(image->SourcePath(), path);
        }
    }
}

TEST_F(LoadAndCropTest, OrientedPicturesAreWrittenUpright)
{
    struct Case
    {
        const char* name;
        const char* file;
        int orientation;
        // Where the stored picture's top-left red block lands once upright (on a 200 x 100 upright frame).
        int redX;
        int redY;
        int uprightWidth;
        int uprightHeight;
    };
    const Case cases[] = {
        {"jpeg, orientation 6 (turn clockwise)", "o6.jpg", 6, 90, 10, 100, 200},
        {"jpeg, orientation 8 (turn anticlockwise)", "o8.jpg", 8, 10, 190, 100, 200},
        {"jpeg, orientation 3 (half turn)", "o3.jpg", 3, 190, 90, 200, 100},
        {"jpeg, orientation 2 (mirror)", "o2.jpg", 2, 190, 10, 200, 100},
        {"jpeg 2000, orientation 6", "o6.jp2", 6, 90, 10, 100, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Stored 200 x 100, grey, with a red 20 x 20 block at its top-left corner.
        const VImage grey = test::SolidImage(200, 100, {128, 128, 128});
        const VImage stored = grey.insert(test::SolidImage(20, 20, {255, 0, 0}), 0, 0);
        const std::string path = folder.Path(c.file);
        stored.write_to_file(path.c_str());
        test::SetOrientation(path, c.orientation);

        const VImage out = CropToPng(path, 0, 0, 0, 0, 0);
        ASSERT_EQ(out.width(), c.uprightWidth);
        ASSERT_EQ(out.height(), c.uprightHeight);
        const auto red = out.getpoint(c.redX, c.redY);
        EXPECT_GT(red[0], 200);
        EXPECT_LT(red[1], 60);
        const auto opposite = out.getpoint(c.uprightWidth - 1 - c.redX, c.uprightHeight - 1 - c.redY);
        EXPECT_LT(opposite[0], 160);
    }
}

TEST_F(LoadAndCropTest, LargestPageIsScaledToFillTheMaximaOnlyWhenItDiffers)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<int, int>> pages;
        int width; // the maxima
        int height;
        int expectedShade; // the largest page's grey (first page 40, second 120)
    };
    const Case cases[] = {
        // 300 x 200 (60000 px) beats 100 x 400 (40000 px) and is stretched to 300 x 400.
        {"different shapes", {{100, 400}, {300, 200}}, 300, 400, 120},
        {"largest contains the other", {{64, 48}, {32, 24}}, 64, 48, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path("pages.tif");
        test::WriteMultiPageTiff(path, c.pages);
        const VImage out = CropToPng(path, 0, 0, 0, 0, 0);
        ASSERT_EQ(out.width(), c.width);
        ASSERT_EQ(out.height(), c.height);
        EXPECT_NEAR(out.getpoint(c.width / 2, c.height / 2)[0], c.expectedShade, 1);
    }
}

TEST_F(LoadAndCropTest, EachCornerCutsItsRegionOutExactly)
{
    const std::string source = folder.Path("coordinates.png");
    test::CoordinateImage(1000, 800).pngsave(source.c_str());
    struct Case
    {
        const char* name;
        double x, y, w, h;
        int corner;
        int left, top; // expected region's top-left pixel, top-left origin
        int width, height;
    };
    const Case cases[] = {
        // Top edge from the top for bottom corners: 800 - 20 - 50 = 730; right corners: 1000 - 100 - 10 = 890.
        {"bottom left", 10, 20, 100, 50, 0, 10, 730, 100, 50},
        {"bottom right", 10, 20, 100, 50, 1, 890, 730, 100, 50},
        {"top left", 10, 20, 100, 50, 2, 10, 20, 100, 50},
        {"top right", 10, 20, 100, 50, 3, 890, 20, 100, 50},
        // x = -100 clips 100 off the 300 width; for the bottom corners the top is 800 - 50 - 200 = 550.
        {"overhanging, bottom left", -100, 50, 300, 200, 0, 0, 550, 200, 200},
        {"overhanging, bottom right", -100, 50, 300, 200, 1, 800, 550, 200, 200},
        {"overhanging, top left", -100, 50, 300, 200, 2, 0, 50, 200, 200},
        {"overhanging, top right", -100, 50, 300, 200, 3, 800, 50, 200, 200},
        // Clipped 100 x 100 at the right edge.
        {"overhanging the right edge", 900, 0, 300, 100, 2, 900, 0, 100, 100},
        // 100.7 x 50.2 truncates to 100 x 50; edges 10.4 -> 10 and 20.6 -> 21 round to the nearest pixel.
        {"fractional size and edges", 10.4, 20.6, 100.7, 50.2, 2, 10, 21, 100, 50},
        // An unknown corner places the clipped region at the bottom-left: top = 800 - 50 = 750.
        {"unknown corner", 10, 20, 100, 50, 7, 0, 750, 100, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const VImage out = CropToPng(source, c.x, c.y, c.w, c.h, c.corner);
        ASSERT_EQ(out.width(), c.width);
        ASSERT_EQ(out.height(), c.height);
        const auto first = test::DecodeCoordinate(out.getpoint(0, 0));
        EXPECT_EQ(first.x, c.left);
        EXPECT_EQ(first.y, c.top);
        const auto last = test::DecodeCoordinate(out.getpoint(c.width - 1, c.height - 1));
        EXPECT_EQ(last.x, c.left + c.width - 1);
        EXPECT_EQ(last.y, c.top + c.height - 1);
    }
}

TEST_F(LoadAndCropTest, RefusedRectanglesWriteTheWholeImage)
{
    const std::string source = folder.Path("coordinates.png");
    test::CoordinateImage(1000, 800).pngsave(source.c_str());
    struct Case
    {
        const char* name;
        double x, y, w, h;
    };
    const Case cases[] = {
        {"narrower than a pixel", 10, 10, 0.5, 100},         {"lower than a pixel", 10, 10, 100, 0.9},
        {"starts beyond the right edge", 1200, 0, 100, 100}, {"starts beyond the top", 0, 800, 100, 100},
        {"ends before the left edge", -300, 0, 300, 100},    {"all zero", 0, 0, 0, 0},
        {"not a number", std::nan(""), 0, 100, 100},
    };
    const auto image = ImageTools::LoadImageAtPixelSize(source);
    ASSERT_TRUE(image);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WorkingImage same = ImageTools::CropImage(*image, c.x, c.y, c.w, c.h, 2);
        EXPECT_EQ(same.Width(), 1000);
        EXPECT_EQ(same.Height(), 800);
        const VImage out = CropToPng(source, c.x, c.y, c.w, c.h, 2);
        EXPECT_EQ(out.width(), 1000);
        EXPECT_EQ(out.height(), 800);
        EXPECT_EQ(test::MaxDifference(out, test::ReadImage(source)), 0);
    }
}

TEST_F(LoadAndCropTest, ClippedWidthBelowOnePixelIsAcceptedByCropAndRefusedBySave)
{
    const std::string source = folder.Path("coordinates.png");
    test::CoordinateImage(1000, 800).pngsave(source.c_str());
    const auto image = ImageTools::LoadImageAtPixelSize(source);
    ASSERT_TRUE(image);
    // x = 999.5, width 10: 0.5 of it lies on the image.
    const WorkingImage sliver = ImageTools::CropImage(*image, 999.5, 0, 10, 100, 0);
    EXPECT_EQ(sliver.Width(), 0.5);
    EXPECT_EQ(sliver.Height(), 100);
    const std::string output = folder.Path("sliver.png");
    std::string reason;
    EXPECT_FALSE(ImageTools::SaveImage(sliver, output, FormatIndexOfTitle("PNG"), 1.0, false, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(LoadAndCropTest, CropOfACropIsRelativeToTheFirstCut)
{
    const std::string source = folder.Path("coordinates.png");
    test::CoordinateImage(1000, 800).pngsave(source.c_str());
    const auto image = ImageTools::LoadImageAtPixelSize(source);
    ASSERT_TRUE(image);
    const WorkingImage first = ImageTools::CropImage(*image, 100, 200, 400, 300, 2); // top-left at (100, 200)
    const WorkingImage second = ImageTools::CropImage(first, 10, 20, 50, 40, 3);     // 400 - 50 - 10 = 340
    const std::string output = folder.Path("twice.png");
    ASSERT_TRUE(ImageTools::SaveImage(second, output, FormatIndexOfTitle("PNG"), 1.0));
    const VImage out = test::ReadImage(output);
    ASSERT_EQ(out.width(), 50);
    ASSERT_EQ(out.height(), 40);
    const auto corner = test::DecodeCoordinate(out.getpoint(0, 0));
    EXPECT_EQ(corner.x, 100 + 340);
    EXPECT_EQ(corner.y, 200 + 20);
}

TEST_F(LoadAndCropTest, PreviewFitsTheBoxUprightAndOpaqueWhereTheSourceIs)
{
    struct Case
    {
        const char* name;
        int width, height, orientation;
        int boxWidth, boxHeight;
        int expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        // 1000 x 800 into 200 x 200: scale 0.2.
        {"landscape", 1000, 800, 1, 200, 200, 200, 160},
        {"orientation 6", 1000, 800, 6, 200, 200, 160, 200},
        {"never enlarged", 50, 40, 1, 200, 200, 50, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path("preview.jpg");
        test::CoordinateImage(c.width, c.height).jpegsave(path.c_str());
        if (c.orientation != 1)
            test::SetOrientation(path, c.orientation);
        const auto bitmap = ImageTools::LoadPreviewBitmap(path, c.boxWidth, c.boxHeight);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, c.expectedWidth);
        EXPECT_EQ(bitmap->height, c.expectedHeight);
        ASSERT_EQ(bitmap->pixels.size(), static_cast<size_t>(c.expectedWidth) * c.expectedHeight * 4);
        EXPECT_EQ(bitmap->pixels[3], 255);
    }
    EXPECT_FALSE(ImageTools::LoadPreviewBitmap(folder.Path("missing.png"), 100, 100));
}

} // namespace
} // namespace trimlark
