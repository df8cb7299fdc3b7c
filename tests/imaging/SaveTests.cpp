#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace trimlark {
namespace {

using test::TempFolder;
using vips::VImage;

std::string ExifText(const Exiv2::ExifData& exif, const char* key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string() : it->toString();
}

// Whether the file, as the image library reads it, has a field whose name starts with prefix.
bool HasFieldStartingWith(const std::string& path, const std::string& prefix)
{
    char** fields = vips_image_get_fields(VImage::new_from_file(path.c_str()).get_image());
    bool found = false;
    for (char** field = fields; *field; ++field)
        found = found || std::string(*field).rfind(prefix, 0) == 0;
    g_strfreev(fields);
    return found;
}

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

class SaveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ImageTools::Initialize();
        // A 300 x 200 photo stored on its side (orientation 6), with what a camera writes.
        test::CoordinateImage(300, 200).jpegsave(photo.c_str(), VImage::option()->set("Q", 95));
        test::SetOrientation(photo, 6);
        test::AddCameraMetadata(photo);
    }

    WorkingImage Load(const std::string& path)
    {
        auto image = ImageTools::LoadImageAtPixelSize(path);
        if (!image)
            ADD_FAILURE() << "cannot load " << path;
        return image ? *image : WorkingImage();
    }

    TempFolder folder;
    const std::string photo = folder.Path("photo.jpg");
};

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
    for (const auto& c : WritableFormats()) {
        SCOPED_TRACE(c.type);
        const std::string output = folder.Path("out.img");
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

        ASSERT_TRUE(ImageTools::SaveImage(Load(transparent), output, c.format, 1.0, false, &reason)) << reason;
        back = test::ReadImage(output);
        ASSERT_EQ(back.bands(), c.holdsAlpha ? 4 : 3);
        if (c.holdsAlpha) {
            EXPECT_NEAR(back.getpoint(5, 10)[3], 0, 8);
            EXPECT_NEAR(back.getpoint(35, 10)[3], 255, 8);
        } else {
            EXPECT_GT(back.getpoint(5, 10)[1], 240) << "transparent areas become white, not black";
        }
    }
}

TEST_F(SaveTest, QualityReachesTheLossyEncoders)
{
    const std::string noise = folder.Path("noise.png");
    test::NoiseImage(96, 64).pngsave(noise.c_str());
    const std::string reference = folder.Path("reference.jpg");
    test::ReadImage(noise).jpegsave(reference.c_str(), VImage::option()->set("Q", 80));
    struct Case
    {
        const char* name;
        OutputFormat format;
        double quality;
        const char* sameAs; // the file the output decodes to exactly, or nothing for one it differs from
    };
    const Case cases[] = {
        {"jpeg at 0.8 is the encoder's own quality 80", OutputFormat::Jpeg, 0.800000011920929, "reference.jpg"},
        {"jpeg 2000 at 1 is lossless", OutputFormat::Jpeg2000, 1.0, "noise.png"},
        {"jpeg 2000 below 1 is not", OutputFormat::Jpeg2000, 0.8, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = folder.Path("out.img");
        ASSERT_TRUE(ImageTools::SaveImage(Load(noise), output, c.format, c.quality));
        const VImage compared = test::ReadImage(c.sameAs ? folder.Path(c.sameAs) : noise);
        EXPECT_EQ(test::MaxDifference(test::ReadImage(output), compared) == 0, c.sameAs != nullptr);
    }
}

TEST_F(SaveTest, CmykAndSixteenBitSourcesComeOutAsEightBitRgb)
{
    const auto sixteenBit = [](const VImage& image, VipsInterpretation interpretation) {
        return (image.cast(VIPS_FORMAT_USHORT) * 257) // 120 * 257 in 16 bits is 120 in 8
            .cast(VIPS_FORMAT_USHORT)
            .copy(VImage::option()->set("interpretation", interpretation));
    };
    const VImage red = test::SolidImage(32, 32, {120, 20, 30});
    const std::pair<const char*, VImage> cases[] = {
        {"cmyk.jpg", red.icc_export(VImage::option()->set("output_profile", "cmyk"))},
        {"rgb16.png", sixteenBit(red, VIPS_INTERPRETATION_RGB16)},
        {"grey16.tif", sixteenBit(test::SolidImage(32, 32, {120}), VIPS_INTERPRETATION_GREY16)},
    };
    for (const auto& [file, picture] : cases) {
        SCOPED_TRACE(file);
        const std::string source = folder.Path(file);
        picture.write_to_file(source.c_str());
        for (const auto& format : WritableFormats()) {
            if (format.format == OutputFormat::Gif)
                continue; // a GIF of one colour reads back with an alpha band, opaque throughout
            SCOPED_TRACE(format.type);
            const std::string output = folder.Path(std::string("converted.") + format.type);
            ASSERT_TRUE(ImageTools::SaveImage(Load(source), output, format.format, 1.0));
            const VImage back = test::ReadImage(output);
            EXPECT_EQ(back.bands(), 3);
            EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
            EXPECT_EQ(back.interpretation(), VIPS_INTERPRETATION_sRGB);
            EXPECT_NEAR(back.getpoint(16, 16)[0], 120, 40); // CMYK goes through a profile, HEIC is lossy
            EXPECT_NEAR(back.getpoint(16, 16)[2], file == std::string("grey16.tif") ? 120 : 30, 40);
        }
    }
}

// A save that fails leaves an existing file as it was, and no temporary file beside it.
TEST_F(SaveTest, FailedSaveWritesNothing)
{
    const std::string truncated = folder.Path("truncated.jpg"); // the header reads, the pixels do not
    test::NoiseImage(200, 200).jpegsave(truncated.c_str());
    test::Truncate(truncated, test::ReadBytes(truncated).size() / 2);
    // 0.5 of the 10 pixels' width lies on the image: the crop takes it, the save refuses it.
    const WorkingImage sliver = ImageTools::CropImage(Load(photo), 199.5, 0, 10, 80, OriginCorner::TopLeft);
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
        {"truncated source as gif", Load(truncated), existing, OutputFormat::Gif, false},
        {"under a pixel wide", sliver, existing, OutputFormat::Png, false},
        {"into a missing folder", Load(photo), folder.Path("missing/out.png"), OutputFormat::Png, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(existing, "keep");
        std::string reason;
        EXPECT_FALSE(ImageTools::SaveImage(c.image, c.path, c.format, 0.8, c.keepMetadata, &reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(test::ReadBytes(existing), "keep");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 3) << "no file left behind";
    }
}

// With the box on, the tags that describe the picture follow the crop; the EXIF thumbnail and the maker note's
// preview, which would show what the crop cut away, do not come along. With the box off nothing does, and the
// pixels are the same: the metadata goes in without a second encode.
TEST_F(SaveTest, TheBoxDecidesWhetherTheSourcesMetadataIsCarried)
{
    const WorkingImage image = Load(photo);
    ASSERT_EQ(image.Width(), 200); // upright
    const WorkingImage cropped = ImageTools::CropImage(image, 0, 0, 120, 80, OriginCorner::TopLeft);
    for (const auto& c : WritableFormats()) {
        if (c.format == OutputFormat::Gif || c.format == OutputFormat::Bmp)
            continue; // they hold no metadata
        SCOPED_TRACE(c.type);
        VImage pixels[2];
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(keep ? "box on" : "box off");
            const std::string output = folder.Path(keep ? "with.img" : "without.img");
            std::string reason;
            ASSERT_TRUE(ImageTools::SaveImage(cropped, output, c.format, 0.3, keep, &reason)) << reason;
            auto written = Exiv2::ImageFactory::open(output);
            written->readMetadata();
            const Exiv2::ExifData& exif = written->exifData();
            EXPECT_EQ(ExifText(exif, "Exif.Image.Make"), keep ? "NIKON CORPORATION" : "");
            EXPECT_EQ(ExifText(exif, "Exif.GPSInfo.GPSLatitudeRef"), keep ? "N" : "");
            if (keep) // the source's 9999 x 9999 would be stale
                EXPECT_EQ(ExifText(exif, "Exif.Photo.PixelXDimension") + "x" +
                              ExifText(exif, "Exif.Photo.PixelYDimension"),
                          "120x80");
            EXPECT_NE(ExifText(exif, "Exif.Image.Orientation"), "6");
            EXPECT_TRUE(Exiv2::PreviewManager(*written).getPreviewProperties().empty());
            EXPECT_EQ(written->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title")) != written->xmpData().end(), keep);
            EXPECT_EQ(!written->iptcData().empty(), keep && c.format != OutputFormat::Heic);
            pixels[keep] = test::ReadImage(output);
        }
        EXPECT_EQ(pixels[true].width(), 120); // upright whatever the tags said
        EXPECT_EQ(test::MaxDifference(pixels[true], pixels[false]), 0);
    }
}

// Other programs keep EXIF, IPTC and XMP in PNG text chunks ("Raw profile type ...") and free text in a TIFF
// description; with the box off none of it reaches the output either.
TEST_F(SaveTest, BoxOffDropsOtherProgramsCopiesOfTheMetadata)
{
    for (const auto& [file, field, format] :
         {std::tuple{"raw-profile.png", "png-comment-0-Raw profile type xmp", OutputFormat::Png},
          std::tuple{"described.tif", "image-description", OutputFormat::Tiff}}) {
        SCOPED_TRACE(file);
        VImage marked = test::CoordinateImage(40, 30).copy();
        marked.set(field, "where the photo was taken");
        const std::string input = folder.Path(file);
        marked.write_to_file(input.c_str());
        const std::string prefix = std::string(field).substr(0, 12); // "png-comment-" or "image-descri"
        ASSERT_TRUE(HasFieldStartingWith(input, prefix));
        const std::string output = folder.Path(std::string("bare-") + file);
        ASSERT_TRUE(ImageTools::SaveImage(Load(input), output, format, 0.8, false));
        EXPECT_FALSE(HasFieldStartingWith(output, prefix));
    }
}

// A copied photo is born after the modification it carries: the earlier date is the picture's. The output gets
// it, also when it has replaced the source (whose pixels and date are still the loaded file's).
TEST_F(SaveTest, OutputGetsTheCreationDateOfTheLoadedFile)
{
    struct Case
    {
        const char* name;
        std::int64_t seconds; // the modification time given to the source
        long nanoseconds;
        bool overSource;
    };
    const Case cases[] = {
        {"2001-02-03, another file", 981158400, 0, false},
        {"1999-12-31 with nanoseconds", 946598400, 123456789, false},
        {"2001-02-03, over its own source", 981158400, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::SetModified(photo, c.seconds, c.nanoseconds);
        EXPECT_EQ(ImageTools::GetFileCreationDate(photo),
                  FileTime(std::chrono::duration_cast<FileTime::duration>(std::chrono::seconds(c.seconds) +
                                                                          std::chrono::nanoseconds(c.nanoseconds))));
        const std::string output = c.overSource ? photo : folder.Path("dated.png");
        // Upright (u, v) is stored (v, 199 - u): the crop's top-left (50, 40) is stored (40, 149).
        const WorkingImage cropped = ImageTools::CropImage(Load(photo), 50, 40, 100, 60, OriginCorner::TopLeft);
        ASSERT_TRUE(
            ImageTools::SaveImage(cropped, output, c.overSource ? OutputFormat::Jpeg : OutputFormat::Png, 1.0, true));
        testing::internal::CaptureStdout();
        ImageTools::CopyEXIFInformationAndCreationDate(cropped, output);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        struct stat attributes
        {
        };
        ASSERT_EQ(stat(output.c_str(), &attributes), 0);
        EXPECT_EQ(attributes.st_mtim.tv_sec, c.seconds);
        EXPECT_EQ(attributes.st_mtim.tv_nsec, c.nanoseconds);
        EXPECT_EQ(attributes.st_atim.tv_sec, c.seconds);
        const VImage back = test::ReadImage(output);
        EXPECT_EQ(back.width(), 100);
        EXPECT_NEAR(test::CoordinateAt(back, 0, 0).x, 40, 3);
        EXPECT_NEAR(test::CoordinateAt(back, 0, 0).y, 149, 3);
    }
}

} // namespace
} // namespace trimlark
