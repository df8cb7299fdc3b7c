#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"
#include "settings/ChoiceLists.h"

#include <exiv2/exiv2.hpp>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace trimlark {
namespace {

using test::TempFolder;
using vips::VImage;

struct ReadBack
{
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
};

ReadBack ReadMetadata(const std::string& path)
{
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    return {image->exifData(), image->iptcData(), image->xmpData()};
}

std::string ExifText(const Exiv2::ExifData& exif, const char* key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string() : it->toString();
}

bool HasThumbnail(const Exiv2::ExifData& exif)
{
    for (const auto& datum : exif) {
        if (datum.groupName() == "Thumbnail")
            return true;
    }
    return false;
}

class MetadataTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ImageTools::Initialize();
        // A 300 x 200 photo stored on its side (orientation 6), with camera EXIF, GPS, a thumbnail, IPTC and XMP.
        source = folder.Path("photo.jpg");
        test::CoordinateImage(300, 200).jpegsave(source.c_str(), VImage::option()->set("Q", 95));
        test::SetOrientation(source, 6);
        test::AddCameraMetadata(source);
    }

    TempFolder folder;
    std::string source;
};

TEST_F(MetadataTest, BoxOnCarriesTheSourcesMetadataFittedToTheOutput)
{
    struct Case
    {
        const char* title;
        bool holdsIptc;
    };
    std::vector<Case> cases = {{"JPG", true}, {"PNG", true}, {"TIFF", true}, {"JP2", true}};
    if (CanWriteHeif())
        cases.push_back({"HEIC", false});
    const auto image = ImageTools::LoadImageAtPixelSize(source);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width(), 200); // upright
    // 120 x 80 from the top left of the upright picture.
    const WorkingImage cropped = ImageTools::CropImage(*image, 0, 0, 120, 80, 2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string output = folder.Path(std::string("with.") + c.title);
        std::string reason;
        ASSERT_TRUE(ImageTools::SaveImage(cropped, output, FormatIndexOfTitle(c.title), 0.8, true, &reason)) << reason;
        const ReadBack back = ReadMetadata(output);
        EXPECT_EQ(ExifText(back.exif, "Exif.Image.Make"), "TrimlarkCam");
        EXPECT_EQ(ExifText(back.exif, "Exif.Photo.DateTimeOriginal"), "2021:05:06 07:08:09");
        EXPECT_EQ(ExifText(back.exif, "Exif.GPSInfo.GPSLatitudeRef"), "N");
        EXPECT_EQ(ExifText(back.exif, "Exif.Image.Orientation"), "1");
        EXPECT_EQ(ExifText(back.exif, "Exif.Photo.PixelXDimension"), "120");
        EXPECT_EQ(ExifText(back.exif, "Exif.Photo.PixelYDimension"), "80");
        EXPECT_FALSE(HasThumbnail(back.exif));
        EXPECT_NE(back.xmp.findKey(Exiv2::XmpKey("Xmp.dc.title")), back.xmp.end());
        EXPECT_EQ(!back.iptc.empty(), c.holdsIptc);
        // The pixels are upright and of the output's size whatever the tags say.
        const VImage pixels = test::ReadImage(output);
        EXPECT_EQ(pixels.width(), 120);
        EXPECT_EQ(pixels.height(), 80);
    }
}

TEST_F(MetadataTest, BoxOffCarriesNoneOfTheSourcesMetadata)
{
    const auto image = ImageTools::LoadImageAtPixelSize(source);
    ASSERT_TRUE(image);
    for (const auto& title : FormatTitles()) {
        if (title == "Original")
            continue;
        SCOPED_TRACE(title);
        const std::string output = folder.Path("without." + title);
        ASSERT_TRUE(ImageTools::SaveImage(*image, output, FormatIndexOfTitle(title), 0.8, false));
        if (title == "GIF" || title == "BMP")
            continue; // Exiv2 reads nothing from these
        const ReadBack back = ReadMetadata(output);
        EXPECT_EQ(ExifText(back.exif, "Exif.Image.Make"), "");
        EXPECT_EQ(ExifText(back.exif, "Exif.GPSInfo.GPSLatitudeRef"), "");
        EXPECT_EQ(ExifText(back.exif, "Exif.Photo.DateTimeOriginal"), "");
        EXPECT_FALSE(HasThumbnail(back.exif));
        EXPECT_TRUE(back.iptc.empty());
        EXPECT_TRUE(back.xmp.empty());
        const std::string orientation = ExifText(back.exif, "Exif.Image.Orientation");
        EXPECT_TRUE(orientation.empty() || orientation == "1") << orientation;
    }
}

// Whether the file, as vips reads it, has a field whose name starts with prefix.
bool HasFieldStartingWith(const std::string& path, const std::string& prefix)
{
    const VImage image = VImage::new_from_file(path.c_str());
    char** fields = vips_image_get_fields(image.get_image());
    bool found = false;
    for (char** field = fields; *field; ++field)
        found = found || std::string(*field).rfind(prefix, 0) == 0;
    g_strfreev(fields);
    return found;
}

// Other programs keep EXIF, IPTC and XMP in PNG text chunks ("Raw profile type ...") and free text in a TIFF
// description; with the box off none of it may reach the output.
TEST_F(MetadataTest, BoxOffDropsTextChunksAndDescriptions)
{
    struct Case
    {
        const char* name;
        const char* sourceName;
        const char* field;  // set on the source before it is saved
        const char* prefix; // what the field reads back as
        const char* outputTitle;
    };
    const Case cases[] = {
        {"PNG raw profile to PNG", "raw.png", "png-comment-0-Raw profile type xmp", "png-comment-", "PNG"},
        {"PNG comment to PNG", "comment.png", "png-comment-0-Comment", "png-comment-", "PNG"},
        {"TIFF description to TIFF", "described.tif", "image-description", "image-description", "TIFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = folder.Path(c.sourceName);
        VImage marked = test::CoordinateImage(40, 30).copy();
        marked.set(c.field, "where the photo was taken");
        marked.write_to_file(input.c_str());
        ASSERT_TRUE(HasFieldStartingWith(input, c.prefix));

        const auto image = ImageTools::LoadImageAtPixelSize(input);
        ASSERT_TRUE(image);
        const std::string output = folder.Path(std::string("bare-") + c.sourceName);
        ASSERT_TRUE(ImageTools::SaveImage(*image, output, FormatIndexOfTitle(c.outputTitle), 0.8, false));
        EXPECT_FALSE(HasFieldStartingWith(output, c.prefix));
    }
}

// Nikon cameras keep a preview of the whole picture in their maker note; like the EXIF thumbnail it would show
// what the crop cut away.
TEST_F(MetadataTest, BoxOnCarriesNoPreviewOfTheUncroppedPicture)
{
    const std::string nikon = folder.Path("nikon.jpg");
    test::CoordinateImage(300, 200).jpegsave(nikon.c_str());
    test::AddMakerNotePreview(nikon);
    {
        auto source = Exiv2::ImageFactory::open(nikon);
        source->readMetadata();
        ASSERT_EQ(Exiv2::PreviewManager(*source).getPreviewProperties().size(), 2u); // thumbnail and maker note
    }
    std::vector<const char*> titles = {"JPG", "PNG", "TIFF", "JP2"};
    if (CanWriteHeif())
        titles.push_back("HEIC");
    const auto image = ImageTools::LoadImageAtPixelSize(nikon);
    ASSERT_TRUE(image);
    const WorkingImage cropped = ImageTools::CropImage(*image, 0, 0, 100, 80, 0);
    for (const char* title : titles) {
        SCOPED_TRACE(title);
        const std::string output = folder.Path(std::string("nikon-out.") + title);
        std::string reason;
        ASSERT_TRUE(ImageTools::SaveImage(cropped, output, FormatIndexOfTitle(title), 0.8, true, &reason)) << reason;
        auto written = Exiv2::ImageFactory::open(output);
        written->readMetadata();
        EXPECT_EQ(ExifText(written->exifData(), "Exif.Image.Make"), "NIKON CORPORATION");
        EXPECT_TRUE(Exiv2::PreviewManager(*written).getPreviewProperties().empty());
    }
}

TEST_F(MetadataTest, MetadataDoesNotReencodeTheJpegPixels)
{
    const auto image = ImageTools::LoadImageAtPixelSize(source);
    ASSERT_TRUE(image);
    const WorkingImage cropped = ImageTools::CropImage(*image, 10, 10, 150, 100, 0);
    struct Case
    {
        const char* name;
        double quality;
    };
    const Case cases[] = {{"quality 0.8", 0.800000011920929}, {"quality 0.3", 0.3}, {"quality 1", 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plain = folder.Path("plain.jpg");
        const std::string carried = folder.Path("carried.jpg");
        ASSERT_TRUE(ImageTools::SaveImage(cropped, plain, FormatIndexOfTitle("JPG"), c.quality, false));
        ASSERT_TRUE(ImageTools::SaveImage(cropped, carried, FormatIndexOfTitle("JPG"), c.quality, true));
        EXPECT_EQ(test::MaxDifference(test::ReadImage(plain), test::ReadImage(carried)), 0);
    }
}

TEST_F(MetadataTest, SourceWithoutMetadataStillSaves)
{
    const std::string bare = folder.Path("bare.png");
    test::CoordinateImage(50, 40).pngsave(bare.c_str());
    const auto image = ImageTools::LoadImageAtPixelSize(bare);
    ASSERT_TRUE(image);
    for (const char* title : {"JPG", "PNG", "TIFF", "JP2", "GIF", "BMP"}) {
        SCOPED_TRACE(title);
        const std::string output = folder.Path(std::string("bare-out.") + title);
        EXPECT_TRUE(ImageTools::SaveImage(*image, output, FormatIndexOfTitle(title), 0.8, true));
        EXPECT_EQ(test::ReadImage(output).width(), 50);
    }
}

FileTime MakeTime(std::int64_t secondsSinceEpoch, long nanoseconds)
{
    return FileTime(std::chrono::duration_cast<FileTime::duration>(std::chrono::seconds(secondsSinceEpoch) +
                                                                   std::chrono::nanoseconds(nanoseconds)));
}

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds)
{
    const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                               {static_cast<time_t>(seconds), nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(MetadataTest, CreationDateIsTheEarlierOfBirthAndModification)
{
    struct Case
    {
        const char* name;
        std::int64_t seconds; // the modification time given to the source
        long nanoseconds;
    };
    const Case cases[] = {
        // Both long before the file's birth just now: a copied photo keeps its older date.
        {"2001-02-03", 981158400, 0},
        {"1999-12-31 with nanoseconds", 946598400, 123456789},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetModified(source, c.seconds, c.nanoseconds);
        EXPECT_EQ(ImageTools::GetFileCreationDate(source), MakeTime(c.seconds, c.nanoseconds));

        const std::string output = folder.Path("dated.png");
        const auto image = ImageTools::LoadImageAtPixelSize(source);
        ASSERT_TRUE(image);
        ASSERT_TRUE(ImageTools::SaveImage(*image, output, FormatIndexOfTitle("PNG"), 1.0, true));
        testing::internal::CaptureStdout();
        ImageTools::CopyEXIFInformationAndCreationDate(source, output);
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

TEST_F(MetadataTest, UnreadableAttributesGiveTheCurrentTime)
{
    const auto before = std::chrono::system_clock::now();
    const FileTime date = ImageTools::GetFileCreationDate(folder.Path("missing.jpg"));
    const auto after = std::chrono::system_clock::now();
    EXPECT_GE(date, before);
    EXPECT_LE(date, after);
}

TEST_F(MetadataTest, NothingHappensWhenSourceOrOutputIsNoImage)
{
    const std::string text = folder.Path("notes.jpg");
    test::WriteBytes(text, {'t', 'e', 'x', 't'});
    SetModified(text, 1000000000, 0);
    const std::string output = folder.Path("out.png");
    test::CoordinateImage(8, 8).pngsave(output.c_str());
    SetModified(output, 1500000000, 0);
    testing::internal::CaptureStdout();
    ImageTools::CopyEXIFInformationAndCreationDate(text, output);
    ImageTools::CopyEXIFInformationAndCreationDate(source, folder.Path("missing.png"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    struct stat attributes
    {
    };
    ASSERT_EQ(stat(output.c_str(), &attributes), 0);
    EXPECT_EQ(attributes.st_mtim.tv_sec, 1500000000);
}

} // namespace
} // namespace trimlark
