#include "TestImages.h"
#include "imaging/CropPlan.h"
#include "imaging/ImageTools.h"

#include <cmath>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

using vips::VImage;

class SizeStepTest : public ::testing::Test
{
protected:
    void SetUp() override { ImageTools::Initialize(); }

    // The file cropped by the settings, sized and written as `format`; false when the save failed.
    bool Run(const std::string& source, const CropSettings& settings, OutputFormat format, bool keepMetadata = false,
             std::string* remark = nullptr)
    {
        const auto loaded = ImageTools::LoadImageAtPixelSize(source);
        if (!loaded)
            return false;
        const CropPlan plan = MakeCropPlan(settings, {}, {{loaded->Width(), loaded->Height()}, {}, nullptr, format});
        if (remark)
            *remark = plan.remark;
        return ImageTools::SaveImage(ImageTools::CropImage(*loaded, plan), out, format, 0.9, keepMetadata);
    }

    test::TempFolder folder;
    const std::string out = folder.Path("out.img");
};

CropSettings Sized(SizeMode mode, const char* width, const char* height)
{
    CropSettings s;
    s.comboSize = static_cast<int>(mode);
    s.textFieldSizeWidth = width;
    s.textFieldSizeHeight = height;
    return s;
}

// Every mode gives exactly the size it promises, whatever the source's size, orientation, depth or alpha.
TEST_F(SizeStepTest, EveryModeGivesExactlyItsSizeFromEverySource)
{
    const VImage picture = test::NoiseImage(601, 401);
    const struct Source
    {
        const char* file;
        VImage image;
        int orientation;
    } sources[] = {
        {"landscape.jpg", picture, 1},
        {"sideways.jpg", picture, 6}, // upright 401 x 601
        {"one.png", picture.crop(0, 0, 1, 1), 1},
        {"deep.png", picture.colourspace(VIPS_INTERPRETATION_RGB16), 1},
        {"alpha.png", picture.bandjoin_const({200}), 1},
    };
    CropSettings filled = Sized(SizeMode::FitWithin, "70", "50");
    filled.checkFillToSize = true;
    const struct Mode
    {
        const char* name;
        CropSettings settings;
        std::pair<int, int> size; // of the output, whatever the source
    } modes[] = {
        {"exactly", Sized(SizeMode::Exactly, "64", "48"), {64, 48}},
        {"fit within, filled", filled, {70, 50}},
        {"long side of the 1:1 crop", Sized(SizeMode::LongSide, "77", ""), {77, 77}},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.file);
        const std::string path = folder.Path(source.file);
        source.image.write_to_file(path.c_str());
        if (source.orientation != 1)
            test::SetOrientation(path, source.orientation);
        for (const auto& mode : modes) {
            SCOPED_TRACE(mode.name);
            ASSERT_TRUE(Run(path, mode.settings, OutputFormat::Png));
            const VImage back = test::ReadImage(out);
            EXPECT_EQ(std::pair(back.width(), back.height()), mode.size);
        }
    }
}

// A fit's box is filled with the colour around the centred picture; a crop smaller than the size keeps its own
// size, on the fill too, and the report says so.
TEST_F(SizeStepTest, TheFillSurroundsTheCentredPictureAndSmallCropsAreNotEnlarged)
{
    const std::string source = folder.Path("grey.png");
    (VImage::black(300, 300, VImage::option()->set("bands", 3)) + 128)
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(source.c_str());
    CropSettings fit = Sized(SizeMode::FitWithin, "200", "100");
    fit.checkFillToSize = true;
    fit.colorFill = "#ff0000";
    ASSERT_TRUE(Run(source, fit, OutputFormat::Png));
    VImage back = test::ReadImage(out);
    ASSERT_EQ(std::pair(back.width(), back.height()), std::pair(200, 100));
    for (const auto& [x, y] : {std::pair(0, 0), std::pair(199, 0), std::pair(0, 99), std::pair(199, 99)})
        EXPECT_EQ(back.getpoint(x, y), (std::vector<double>{255, 0, 0})) << x << "," << y;
    EXPECT_EQ(back.getpoint(100, 50), (std::vector<double>{128, 128, 128}));
    EXPECT_EQ(back.getpoint(49, 50)[0], 255); // the 100 x 100 picture spans x 50 to 149
    EXPECT_EQ(back.getpoint(50, 50)[0], 128);

    fit.textFieldSizeWidth = fit.textFieldSizeHeight = "1000";
    fit.checkDoNotEnlarge = true;
    fit.colorFill = "transparent";
    std::string remark;
    ASSERT_TRUE(Run(source, fit, OutputFormat::Png, false, &remark));
    back = test::ReadImage(out);
    EXPECT_EQ(remark, "not enlarged: the crop is 300 x 300");
    ASSERT_EQ(std::pair(back.width(), back.height()), std::pair(1000, 1000));
    EXPECT_EQ(back.getpoint(0, 0)[3], 0);
    EXPECT_EQ(back.getpoint(350, 350), (std::vector<double>{128, 128, 128, 255}));
    EXPECT_EQ(back.getpoint(349, 349)[3], 0);
    // A JPEG has no transparency: its fill is white.
    ASSERT_TRUE(Run(source, fit, OutputFormat::Jpeg));
    EXPECT_GT(test::ReadImage(out).getpoint(0, 0)[0], 250);
    // An output an encoder holds whole is refused when it would take more than one image may use.
    setenv("TRIMLARK_IMAGE_MEMORY", "50", 1);
    CropSettings huge = Sized(SizeMode::Exactly, "4000", "4000"); // 64 MB whole
    EXPECT_FALSE(Run(source, huge, OutputFormat::Bmp));
    EXPECT_TRUE(Run(source, huge, OutputFormat::Jpeg)) << "a streaming encoder holds a few rows";
    unsetenv("TRIMLARK_IMAGE_MEMORY");
}

// Scaling a picture with transparent parts lends their hidden colour to no visible pixel.
TEST_F(SizeStepTest, AlphaIsPremultipliedWhileScaling)
{
    // White on the left, transparent black on the right.
    const VImage white = VImage::black(45, 90, VImage::option()->set("bands", 4)) + 255;
    const std::string source = folder.Path("half.png");
    white.embed(0, 0, 90, 90)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(source.c_str());
    ASSERT_TRUE(Run(source, Sized(SizeMode::Exactly, "31", "31"), OutputFormat::Png));
    const VImage back = test::ReadImage(out);
    const VImage visible = back[3] > 16;
    EXPECT_GT(visible.ifthenelse(back[0], 255).min(), 240); // no grey fringe
    EXPECT_EQ(back.getpoint(30, 15)[3], 0);
}

// A print size tags its output with its resolution: JFIF or the file's own tags, and the carried EXIF; a picture
// with too few pixels for the print is still written, and the report names the resolution it has.
TEST_F(SizeStepTest, APrintSaysItsResolution)
{
    const std::string source = folder.Path("photo.jpg");
    test::NoiseImage(400, 300).jpegsave(source.c_str());
    {
        auto image = Exiv2::ImageFactory::open(source);
        image->exifData()["Exif.Image.Make"] = "Test";
        image->exifData()["Exif.Image.XResolution"] = Exiv2::URational{72, 1};
        image->writeMetadata();
    }
    CropSettings print = Sized(SizeMode::PrintSize, "2", "1.5");
    print.comboSizeUnit = static_cast<int>(PrintUnit::Inches);
    print.textFieldSizePpi = "254";
    print.radioAutoCrop = false; // no crop: the whole 4:3 picture
    print.radioCustomCropPercents = false;
    for (const auto& [format, suffix] : {std::pair(OutputFormat::Jpeg, "jpg"), std::pair(OutputFormat::Png, "png"),
                                         std::pair(OutputFormat::Tiff, "tif")}) {
        SCOPED_TRACE(suffix);
        std::string remark;
        ASSERT_TRUE(Run(source, print, format, true, &remark));
        EXPECT_EQ(remark, "only 200 ppi at 2 x 1.5 in"); // 400 pixels over 2 inches
        const VImage back = VImage::new_from_file(out.c_str());
        EXPECT_EQ(std::pair(back.width(), back.height()), std::pair(508, 381));
        EXPECT_NEAR(back.xres() * 25.4, 254, 0.01);
        auto image = Exiv2::ImageFactory::open(out);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto resolution = exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
        const auto unit = exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
        ASSERT_NE(resolution, exif.end());
        ASSERT_NE(unit, exif.end());
        EXPECT_NEAR(resolution->toFloat() * (unit->toLong() == 3 ? 2.54 : 1.0), 254, 0.01); // 3: per centimetre
    }
}

// A JPEG decoded at a fraction of its size before the scale looks as one decoded whole would: the fraction never
// leaves fewer pixels than the output has.
TEST_F(SizeStepTest, AJpegDecodedSmallerLooksAsTheWholeDecodeScaled)
{
    // A photo-like picture: soft shapes and fine grain.
    const VImage shapes =
        VImage::perlin(6000, 4000, VImage::option()->set("cell_size", 300))
            .bandjoin({VImage::perlin(6000, 4000, VImage::option()->set("cell_size", 180)->set("seed", 2)),
                       VImage::perlin(6000, 4000, VImage::option()->set("cell_size", 90)->set("seed", 3))});
    const VImage grain = VImage::gaussnoise(6000, 4000, VImage::option()->set("sigma", 12)->set("seed", 4));
    const std::string source = folder.Path("photo.jpg");
    (shapes * 110 + 128 + grain).cast(VIPS_FORMAT_UCHAR).jpegsave(source.c_str(), VImage::option()->set("Q", 90));
    ASSERT_TRUE(Run(source, Sized(SizeMode::Exactly, "1080", "1080"), OutputFormat::Png));
    const VImage reference = VImage::new_from_file(source.c_str())
                                 .crop(1000, 0, 4000, 4000)
                                 .resize(1080.0 / 4000, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3));
    const VImage back = test::ReadImage(out);
    ASSERT_EQ(std::pair(back.width(), back.height()), std::pair(reference.width(), reference.height()));
    const VImage difference = back.cast(VIPS_FORMAT_FLOAT) - reference.cast(VIPS_FORMAT_FLOAT);
    const double psnr = 10 * std::log10(255.0 * 255.0 / (difference * difference).avg());
    EXPECT_GE(psnr, 45.0);
}

} // namespace
} // namespace trimlark
