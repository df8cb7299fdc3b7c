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

class MetadataTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ImageTools::Initialize();
        // A 300 x 200 photo stored on its side (orientation 6) with what a camera writes.
        test::CoordinateImage(300, 200).jpegsave(source.c_str(), VImage::option()->set("Q", 95));
        test::SetOrientation(source, 6);
        test::AddCameraMetadata(source);
    }

    WorkingImage Load(const std::string& path)
    {
        auto image = ImageTools::LoadImageAtPixelSize(path);
        if (!image)
            ADD_FAILURE() << "cannot load " << path;
        return image ? *image : WorkingImage();
    }

    TempFolder folder;
    const std::string source = folder.Path("photo.jpg");
};

// The tags that describe the picture follow the crop; the thumbnail and the maker note's preview, which would
// show what the crop cut away, do not come along.
TEST_F(MetadataTest, BoxOnCarriesTheSourcesMetadataFittedToTheOutput)
{
    struct Case
    {
        OutputFormat format;
        bool holdsIptc;
    };
    std::vector<Case> cases = {{OutputFormat::Jpeg, true},
                               {OutputFormat::Png, true},
                               {OutputFormat::Tiff, true},
                               {OutputFormat::Jpeg2000, true}};
    if (CanWriteHeif())
        cases.push_back({OutputFormat::Heic, false});
    const WorkingImage image = Load(source);
    ASSERT_EQ(image.Width(), 200); // upright
    const WorkingImage cropped = ImageTools::CropImage(image, 0, 0, 120, 80, OriginCorner::TopLeft);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        const std::string output = folder.Path("with-metadata.img");
        std::string reason;
        ASSERT_TRUE(ImageTools::SaveImage(cropped, output, c.format, 0.8, true, &reason)) << reason;
        auto written = Exiv2::ImageFactory::open(output);
        written->readMetadata();
        const Exiv2::ExifData& exif = written->exifData();
        EXPECT_EQ(ExifText(exif, "Exif.Image.Make"), "NIKON CORPORATION");
        EXPECT_EQ(ExifText(exif, "Exif.Photo.DateTimeOriginal"), "2021:05:06 07:08:09");
        EXPECT_EQ(ExifText(exif, "Exif.GPSInfo.GPSLatitudeRef"), "N");
        EXPECT_EQ(ExifText(exif, "Exif.Image.Orientation"), "1");
        EXPECT_EQ(ExifText(exif, "Exif.Photo.PixelXDimension"), "120");
        EXPECT_EQ(ExifText(exif, "Exif.Photo.PixelYDimension"), "80");
        EXPECT_TRUE(Exiv2::PreviewManager(*written).getPreviewProperties().empty());
        EXPECT_NE(written->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title")), written->xmpData().end());
        EXPECT_EQ(!written->iptcData().empty(), c.holdsIptc);
        const VImage pixels = test::ReadImage(output); // upright whatever the tags said
        EXPECT_EQ(pixels.width(), 120);
        EXPECT_EQ(pixels.height(), 80);
    }
}

// Other programs keep EXIF, IPTC and XMP in PNG text chunks ("Raw profile type ...") and free text in a TIFF
// description; with the box off none of it reaches the output either.
TEST_F(MetadataTest, BoxOffCarriesNoneOfTheSourcesMetadata)
{
    const WorkingImage photo = Load(source);
    for (const auto format : {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Tiff, OutputFormat::Jpeg2000}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string output = folder.Path("without-metadata.img");
        ASSERT_TRUE(ImageTools::SaveImage(photo, output, format, 0.8, false));
        auto written = Exiv2::ImageFactory::open(output);
        written->readMetadata();
        EXPECT_EQ(ExifText(written->exifData(), "Exif.Image.Make"), "");
        EXPECT_EQ(ExifText(written->exifData(), "Exif.GPSInfo.GPSLatitudeRef"), "");
        EXPECT_TRUE(Exiv2::PreviewManager(*written).getPreviewProperties().empty());
        EXPECT_TRUE(written->iptcData().empty());
        EXPECT_TRUE(written->xmpData().empty());
    }
    struct Case
    {
        const char* file;
        const char* field;  // set on the source before it is written
        const char* prefix; // what it reads back as
        OutputFormat format;
    };
    const Case cases[] = {
        {"raw-profile.png", "png-comment-0-Raw profile type xmp", "png-comment-", OutputFormat::Png},
        {"comment.png", "png-comment-0-Comment", "png-comment-", OutputFormat::Png},
        {"described.tif", "image-description", "image-description", OutputFormat::Tiff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        VImage marked = test::CoordinateImage(40, 30).copy();
        marked.set(c.field, "where the photo was taken");
        const std::string input = folder.Path(c.file);
        marked.write_to_file(input.c_str());
        const std::string output = folder.Path(std::string("bare-") + c.file);
        ASSERT_TRUE(ImageTools::SaveImage(Load(input), output, c.format, 0.8, false));
        ASSERT_TRUE(HasFieldStartingWith(input, c.prefix));
        EXPECT_FALSE(HasFieldStartingWith(output, c.prefix));
    }
}

TEST_F(MetadataTest, CarriedMetadataDoesNotReencodeTheJpegPixels)
{
    const WorkingImage cropped = ImageTools::CropImage(Load(source), 10, 10, 150, 100, OriginCorner::BottomLeft);
    const std::string plain = folder.Path("plain.jpg");
    const std::string carried = folder.Path("carried.jpg");
    ASSERT_TRUE(ImageTools::SaveImage(cropped, plain, OutputFormat::Jpeg, 0.3, false));
    ASSERT_TRUE(ImageTools::SaveImage(cropped, carried, OutputFormat::Jpeg, 0.3, true));
    EXPECT_EQ(test::MaxDifference(test::ReadImage(plain), test::ReadImage(carried)), 0);
}

// A copied photo is born after the modification it carries: the earlier date is the picture's, and the output
// gets it, also when the output has replaced the source.
TEST_F(MetadataTest, OutputGetsTheCreationDateOfTheLoadedFile)
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
        test::SetModified(source, c.seconds, c.nanoseconds);
        const FileTime expected(std::chrono::duration_cast<FileTime::duration>(
            std::chrono::seconds(c.seconds) + std::chrono::nanoseconds(c.nanoseconds)));
        EXPECT_EQ(ImageTools::GetFileCreationDate(source), expected);
        const std::string output = c.overSource ? source : folder.Path("dated.png");
        const WorkingImage cropped = ImageTools::CropImage(Load(source), 0, 0, 100, 100, OriginCorner::TopLeft);
        ASSERT_TRUE(
            ImageTools::SaveImage(cropped, output, c.overSource ? OutputFormat::Jpeg : OutputFormat::Png, 0.8, true));
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
    }
}

} // namespace
} // namespace trimlark
