#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"

#include <gtest/gtest.h>
#include <thread>

namespace trimlark {
namespace {

using test::TempFolder;
using vips::VImage;

class SaveTest : public ::testing::Test
{
protected:
    void SetUp() override { ImageTools::Initialize(); }

    WorkingImage Load(const std::string& path)
    {
        auto image = ImageTools::LoadImageAtPixelSize(path);
        if (!image)
            ADD_FAILURE() << "cannot load " << path;
        return image ? *image : WorkingImage();
    }

    TempFolder folder;
};

struct FormatCase
{
    OutputFormat format;
    const char* type; // what the written bytes show
    bool holdsAlpha;
};

std::vector<FormatCase> WritableFormats()
{
    std::vector<FormatCase> cases = {{OutputFormat::Jpeg, "jpeg", false}, {OutputFormat::Jpeg2000, "jp2", true},
                                     {OutputFormat::Png, "png", true},    {OutputFormat::Tiff, "tiff", true},
                                     {OutputFormat::Gif, "gif", true},    {OutputFormat::Bmp, "bmp", true}};
    if (CanWriteHeif())
        cases.push_back({OutputFormat::Heic, "heic", true});
    return cases;
}

TEST_F(SaveTest, EveryFormatWritesItsTypeAtTheCroppedSizeAndKeepsTransparency)
{
    // A source without metadata, saved with the box on: there is simply nothing to carry.
    const std::string opaque = folder.Path("opaque.png");
    test::WriteCoordinateImage(opaque, 160, 120);
    const WorkingImage cropped = ImageTools::CropImage(Load(opaque), 10, 10, 64.9, 48.3, OriginCorner::TopLeft);
    // Left half transparent, right half opaque blue.
    const std::string transparent = folder.Path("transparent.png");
    const VImage alpha = test::SolidImage(20, 20, {0}).join(test::SolidImage(20, 20, {255}), VIPS_DIRECTION_HORIZONTAL);
    test::SolidImage(40, 20, {0, 0, 255}).bandjoin(alpha).pngsave(transparent.c_str());
    const WorkingImage withAlpha = Load(transparent);
    for (const auto& c : WritableFormats()) {
        SCOPED_TRACE(c.type);
        const std::string output = folder.Path(std::string("out.") + c.type);
        std::string reason;
        ASSERT_TRUE(ImageTools::SaveImage(cropped, output, c.format, 0.8, true, &reason)) << reason;
        EXPECT_EQ(test::SniffType(output), c.type);
        VImage back = test::ReadImage(output);
        EXPECT_EQ(back.width(), 64);
        EXPECT_EQ(back.height(), 48);
        EXPECT_EQ(back.bands(), 3) << "an opaque source gets no alpha";
        EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
        EXPECT_NEAR(back.getpoint(0, 0)[0], 10, 12); // from (10, 10), through a lossy or paletted encode
        EXPECT_NEAR(back.getpoint(0, 0)[1], 10, 12);

        ASSERT_TRUE(ImageTools::SaveImage(withAlpha, output, c.format, 1.0, false, &reason)) << reason;
        back = test::ReadImage(output);
        if (c.holdsAlpha) {
            ASSERT_EQ(back.bands(), 4);
            EXPECT_NEAR(back.getpoint(5, 10)[3], 0, 8);
            EXPECT_NEAR(back.getpoint(35, 10)[3], 255, 8);
        } else {
            ASSERT_EQ(back.bands(), 3);
            EXPECT_GT(back.getpoint(5, 10)[1], 240) << "transparent areas become white, not black";
        }
    }
}

TEST_F(SaveTest, QualityReachesTheLossyEncoders)
{
    const std::string source = folder.Path("noise.png");
    test::NoiseImage(96, 64).pngsave(source.c_str());
    const VImage original = test::ReadImage(source);
    const std::string reference = folder.Path("reference.jpg");
    original.jpegsave(reference.c_str(), VImage::option()->set("Q", 80));
    struct Case
    {
        const char* name;
        OutputFormat format;
        double quality;
        const char* sameAs; // the file the output decodes to exactly
    };
    const Case cases[] = {
        {"jpeg at 0.8 is the encoder's own quality 80", OutputFormat::Jpeg, 0.800000011920929, "reference.jpg"},
        {"jpeg 2000 at 1 is lossless", OutputFormat::Jpeg2000, 1.0, "noise.png"},
        {"jpeg 2000 below 1 is not", OutputFormat::Jpeg2000, 0.8, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = folder.Path("out.img");
        ASSERT_TRUE(ImageTools::SaveImage(Load(source), output, c.format, c.quality));
        const double difference = test::MaxDifference(test::ReadImage(output), original);
        if (c.sameAs) {
            EXPECT_EQ(test::MaxDifference(test::ReadImage(output), test::ReadImage(folder.Path(c.sameAs))), 0);
        } else {
            EXPECT_GT(difference, 0);
        }
    }
}

TEST_F(SaveTest, CmykSixteenBitGreyAndPaletteSourcesComeOutAsEightBitRgb)
{
    struct Case
    {
        const char* file;
        VImage picture;
        std::vector<double> expected;
        double tolerance;
    };
    const VImage red = test::SolidImage(32, 32, {220, 20, 30});
    const VImage cmyk = red.icc_export(VImage::option()->set("output_profile", "cmyk"));
    const auto sixteenBit = [](VImage image, VipsInterpretation interpretation) {
        return (image.cast(VIPS_FORMAT_USHORT) * 257)
            .cast(VIPS_FORMAT_USHORT)
            .copy(VImage::option()->set("interpretation", interpretation));
    };
    const Case cases[] = {
        {"cmyk.jpg", cmyk, {220, 20, 30}, 40},
        {"rgb16.png",
         sixteenBit(test::SolidImage(32, 32, {100, 150, 200}), VIPS_INTERPRETATION_RGB16),
         {100, 150, 200},
         1},
        {"grey16.tif", sixteenBit(test::SolidImage(32, 32, {100}), VIPS_INTERPRETATION_GREY16), {100, 100, 100}, 1},
        {"grey.jpg", test::SolidImage(32, 32, {200}), {200, 200, 200}, 2},
    };
    std::vector<OutputFormat> formats = {OutputFormat::Png, OutputFormat::Jpeg, OutputFormat::Tiff};
    if (CanWriteHeif())
        formats.push_back(OutputFormat::Heic);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string source = folder.Path(c.file);
        c.picture.write_to_file(source.c_str());
        const WorkingImage image = Load(source);
        for (const OutputFormat format : formats) {
            SCOPED_TRACE(static_cast<int>(format));
            const std::string output = folder.Path("converted.img");
            ASSERT_TRUE(ImageTools::SaveImage(image, output, format, 1.0));
            const VImage back = VImage::new_from_file(output.c_str());
            EXPECT_EQ(back.bands(), 3);
            EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
            EXPECT_EQ(back.interpretation(), VIPS_INTERPRETATION_sRGB);
            const double tolerance = c.tolerance + (format == OutputFormat::Heic ? 6 : 0); // lossy by default
            for (int band = 0; band < 3; ++band)
                EXPECT_NEAR(back.getpoint(16, 16)[band], c.expected[band], tolerance) << "band " << band;
        }
    }
}

TEST_F(SaveTest, ColourProfileThatDescribesThePixelsIsKept)
{
    VipsBlob* blob = VImage::profile_load("p3");
    std::size_t length = 0;
    const auto* bytes = static_cast<const char*>(vips_blob_get(blob, &length));
    const std::string p3(bytes, length);
    vips_area_unref(VIPS_AREA(blob));
    VImage tagged = test::SolidImage(32, 32, {10, 200, 30}).copy();
    tagged.set(VIPS_META_ICC_NAME, nullptr, const_cast<char*>(p3.data()), p3.size());
    const std::string source = folder.Path("p3.png");
    tagged.pngsave(source.c_str());
    for (const OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Tiff}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string output = folder.Path("tagged.img");
        ASSERT_TRUE(ImageTools::SaveImage(Load(source), output, format, 1.0, false));
        const VImage back = VImage::new_from_file(output.c_str());
        const void* data = nullptr;
        std::size_t size = 0;
        ASSERT_EQ(vips_image_get_blob(back.get_image(), VIPS_META_ICC_NAME, &data, &size), 0);
        EXPECT_EQ(std::string(static_cast<const char*>(data), size), p3);
    }
}

// A save that fails leaves an existing file as it was, and no temporary file beside it.
TEST_F(SaveTest, FailedSaveWritesNothing)
{
    const std::string truncated = folder.Path("truncated.jpg"); // the header reads, the pixels do not
    test::NoiseImage(200, 200).jpegsave(truncated.c_str());
    test::Truncate(truncated, test::ReadBytes(truncated).size() / 2);
    const std::string source = folder.Path("source.png");
    test::WriteCoordinateImage(source, 100, 80);
    // 0.5 of the 10 pixels' width lies on the image: the crop takes it, the save refuses it.
    const WorkingImage sliver = ImageTools::CropImage(Load(source), 99.5, 0, 10, 80, OriginCorner::TopLeft);
    const std::string existing = folder.Path("existing.png");
    struct Case
    {
        const char* name;
        WorkingImage image;
        std::string path;
        OutputFormat format;
        bool keepMetadata;
    };
    const Case cases[] = {
        {"truncated source as png", Load(truncated), existing, OutputFormat::Png, false},
        {"truncated source as jpeg with metadata", Load(truncated), existing, OutputFormat::Jpeg, true},
        {"truncated source as tiff", Load(truncated), existing, OutputFormat::Tiff, false},
        {"under a pixel wide", sliver, existing, OutputFormat::Png, false},
        {"into a missing folder", Load(source), folder.Path("missing/out.png"), OutputFormat::Png, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(existing, "keep");
        std::string reason;
        EXPECT_FALSE(ImageTools::SaveImage(c.image, c.path, c.format, 0.8, c.keepMetadata, &reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(test::ReadBytes(existing), "keep");
        EXPECT_EQ(folder.FileNames(), (std::vector<std::string>{"existing.png", "source.png", "truncated.jpg"}));
    }
}

TEST_F(SaveTest, OutputOverItsOwnSourceIsSafe)
{
    struct Case
    {
        const char* file;
        OutputFormat format;
        bool keepMetadata;
    };
    const Case cases[] = {{"self.jpg", OutputFormat::Jpeg, false},
                          {"self-with-metadata.jpg", OutputFormat::Jpeg, true},
                          {"self.png", OutputFormat::Png, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        test::WriteCoordinateImage(path, 400, 300);
        if (c.keepMetadata && c.format == OutputFormat::Jpeg)
            test::AddCameraMetadata(path);
        const WorkingImage cropped = ImageTools::CropImage(Load(path), 100, 50, 200, 100, OriginCorner::TopLeft);
        ASSERT_TRUE(ImageTools::SaveImage(cropped, path, c.format, 1.0, c.keepMetadata));
        const VImage back = test::ReadImage(path);
        EXPECT_EQ(back.width(), 200);
        EXPECT_EQ(back.height(), 100);
        EXPECT_NEAR(test::CoordinateAt(back, 10, 10).x, 110, 2);
        EXPECT_NEAR(test::CoordinateAt(back, 10, 10).y, 60, 2);
    }
}

TEST_F(SaveTest, SaveWritesThePictureThatWasLoadedAfterTheSourceIsReplaced)
{
    for (const bool keepMetadata : {false, true}) {
        SCOPED_TRACE(keepMetadata ? "with metadata" : "without metadata");
        const std::string source = folder.Path("replaced.jpg");
        test::SolidImage(40, 30, {250, 10, 10}).write_to_file(source.c_str());
        test::AddCameraMetadata(source);
        const WorkingImage image = Load(source);
        // Another program saves a different picture over the source, atomically.
        const std::string other = folder.Path("other.jpg");
        test::SolidImage(40, 30, {10, 10, 250}).write_to_file(other.c_str());
        std::filesystem::rename(other, source);

        const std::string output = folder.Path("from-replaced.png");
        ASSERT_TRUE(ImageTools::SaveImage(image, output, OutputFormat::Png, 1.0, keepMetadata));
        const auto pixel = test::ReadImage(output).getpoint(20, 15);
        EXPECT_GT(pixel[0], 200) << "the loaded red picture, not the blue one";
        EXPECT_LT(pixel[2], 60);
    }
}

TEST_F(SaveTest, SavesOnSeveralThreadsWriteWhatOneThreadWrites)
{
    const std::string source = folder.Path("noise.jpg");
    test::NoiseImage(400, 300).jpegsave(source.c_str());
    test::AddCameraMetadata(source);
    const WorkingImage cropped = ImageTools::CropImage(Load(source), 20, 30, 300, 200, OriginCorner::BottomRight);
    for (const auto format : {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Tiff, OutputFormat::Jpeg2000}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string reference = folder.Path("serial.img");
        ASSERT_TRUE(ImageTools::SaveImage(cropped, reference, format, 0.8, true));
        std::vector<std::thread> threads;
        bool written[4] = {};
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&, i] {
                written[i] =
                    ImageTools::SaveImage(cropped, folder.Path("parallel-" + std::to_string(i)), format, 0.8, true);
            });
        for (auto& thread : threads)
            thread.join();
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(written[i]);
            EXPECT_EQ(test::ReadBytes(folder.Path("parallel-" + std::to_string(i))), test::ReadBytes(reference));
        }
    }
}

} // namespace
} // namespace trimlark
