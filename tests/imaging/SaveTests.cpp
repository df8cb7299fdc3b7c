#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"
#include "settings/ChoiceLists.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// The encoders' formats, by the type the written bytes show.
struct FormatCase
{
    const char* title;
    const char* type;
    bool holdsAlpha;
};

std::vector<FormatCase> WritableFormats()
{
    std::vector<FormatCase> cases = {
        {"JPG", "jpeg", false}, {"JPEG", "jpeg", false}, {"JPE", "jpeg", false}, {"JP2", "jp2", true},
        {"JPX", "jp2", true},   {"PNG", "png", true},    {"TIFF", "tiff", true}, {"TIF", "tiff", true},
        {"GIF", "gif", true},   {"BMP", "bmp", true},
    };
    if (CanWriteHeif()) {
        cases.push_back({"HEIF", "heic", true});
        cases.push_back({"HEIC", "heic", true});
    }
    return cases;
}

TEST_F(SaveTest, EveryFormatIsWrittenAtTheCroppedSizeAndReadsBack)
{
    const std::string source = folder.Path("source.png");
    test::CoordinateImage(160, 120).pngsave(source.c_str());
    const WorkingImage cropped = ImageTools::CropImage(Load(source), 10, 10, 64.9, 48.3, 2);
    for (const auto& c : WritableFormats()) {
        SCOPED_TRACE(c.title);
        const int index = FormatIndexOfTitle(c.title);
        ASSERT_GE(index, 0);
        const std::string output = folder.Path(std::string("out.") + c.title);
        std::string reason;
        ASSERT_TRUE(ImageTools::SaveImage(cropped, output, index, 0.8, false, &reason)) << reason;
        EXPECT_EQ(test::SniffType(output), c.type);
        const VImage back = test::ReadImage(output);
        EXPECT_EQ(back.width(), 64);
        EXPECT_EQ(back.height(), 48);
        EXPECT_EQ(back.bands(), 3) << "an opaque source gets no alpha";
        EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
        // A lossy or paletted encode still keeps the picture: pixel (0, 0) comes from (10, 10).
        const auto first = back.getpoint(0, 0);
        EXPECT_NEAR(first[0], 10, 12);
        EXPECT_NEAR(first[1], 10, 12);
    }
}

TEST_F(SaveTest, OriginalWritesTheTypeOfThePathsExtension)
{
    const std::string source = folder.Path("source.png");
    test::CoordinateImage(40, 30).pngsave(source.c_str());
    const WorkingImage image = Load(source);
    const int original = FormatIndexOfTitle("Original");
    ASSERT_GE(original, 0);
    struct Case
    {
        const char* name;
        const char* type; // "" when nothing may be written
    };
    const Case cases[] = {
        {"photo.JPG", "jpeg"}, {"photo.jpeg", "jpeg"}, {"photo.Png", "png"}, {"photo.tif", "tiff"},
        {"photo.jpx", "jp2"},  {"photo.gif", "gif"},   {"photo.bmp", "bmp"}, {"photo.xyz", ""},
        {"photo", ""},         {"dir.png/photo", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = folder.Path(c.name);
        EXPECT_EQ(ImageTools::SaveImage(image, output, original, 0.8), *c.type != '\0');
        EXPECT_EQ(test::SniffType(output), c.type);
    }
}

TEST_F(SaveTest, IndexOutsideTheListOrMissingFolderWritesNothing)
{
    const std::string source = folder.Path("source.png");
    test::CoordinateImage(40, 30).pngsave(source.c_str());
    const WorkingImage image = Load(source);
    const int count = static_cast<int>(FormatTitles().size());
    struct Case
    {
        const char* name;
        std::string path;
        int index;
    };
    std::vector<Case> cases = {
        {"index -1", folder.Path("a.png"), -1},
        {"index past the list", folder.Path("b.png"), count},
        {"index 13", folder.Path("c.png"), 13},
    };
    for (const auto& format : WritableFormats())
        cases.push_back({format.title, folder.Path("missing/out.img"), FormatIndexOfTitle(format.title)});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(ImageTools::SaveImage(image, c.path, c.index, 0.8, false, &reason));
        EXPECT_FALSE(reason.empty());
    }
    std::vector<std::string> expected{"source.png"};
    EXPECT_EQ(folder.FileNames(), expected);
}

TEST_F(SaveTest, QualityChangesJpegAndJpeg2000AtOneIsLossless)
{
    const std::string source = folder.Path("noise.png");
    test::NoiseImage(96, 64).pngsave(source.c_str());
    const WorkingImage image = Load(source);
    const VImage original = test::ReadImage(source);
    struct Case
    {
        const char* title;
        const char* file;
        double quality;
        bool lossless;
    };
    const Case cases[] = {
        {"JPG", "q80.jpg", 0.800000011920929, false},
        {"JPG", "q100.jpg", 1.0, false},
        {"JP2", "q80.jp2", 0.800000011920929, false},
        {"JP2", "q100.jp2", 1.0, true},
        {"PNG", "q10.png", 0.1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string output = folder.Path(c.file);
        ASSERT_TRUE(ImageTools::SaveImage(image, output, FormatIndexOfTitle(c.title), c.quality));
        const double difference = test::MaxDifference(test::ReadImage(output), original);
        if (c.lossless)
            EXPECT_EQ(difference, 0);
        else
            EXPECT_GT(difference, 0);
    }
    // Less compression, more bytes.
    EXPECT_GT(std::filesystem::file_size(folder.Path("q100.jpg")), std::filesystem::file_size(folder.Path("q80.jpg")));
    EXPECT_GT(std::filesystem::file_size(folder.Path("q100.jp2")), std::filesystem::file_size(folder.Path("q80.jp2")));
    // The JPEG quality scale: 0.8 is Q 80, the encoder's own 80.
    const std::string reference = folder.Path("reference.jpg");
    original.jpegsave(reference.c_str(), VImage::option()->set("Q", 80));
    EXPECT_EQ(test::MaxDifference(test::ReadImage(reference), test::ReadImage(folder.Path("q80.jpg"))), 0);
}

TEST_F(SaveTest, TransparencyIsKeptWhereTheFormatHoldsItAndJpegGetsWhite)
{
    // Left half transparent, right half opaque blue.
    const VImage colour = test::SolidImage(40, 20, {0, 0, 255});
    const VImage alpha = test::SolidImage(20, 20, {0}).join(test::SolidImage(20, 20, {255}), VIPS_DIRECTION_HORIZONTAL);
    const std::string source = folder.Path("transparent.png");
    colour.bandjoin(alpha).pngsave(source.c_str());
    const WorkingImage image = Load(source);
    for (const auto& c : WritableFormats()) {
        SCOPED_TRACE(c.title);
        const std::string output = folder.Path(std::string("alpha.") + c.title);
        ASSERT_TRUE(ImageTools::SaveImage(image, output, FormatIndexOfTitle(c.title), 1.0));
        const VImage back = test::ReadImage(output);
        if (c.holdsAlpha) {
            ASSERT_EQ(back.bands(), 4);
            EXPECT_NEAR(back.getpoint(5, 10)[3], 0, 8);
            EXPECT_NEAR(back.getpoint(35, 10)[3], 255, 8);
        } else {
            ASSERT_EQ(back.bands(), 3);
            const auto flattened = back.getpoint(5, 10);
            EXPECT_GT(flattened[0], 240) << "transparent areas become white, not black";
            EXPECT_GT(flattened[1], 240);
        }
    }
}

TEST_F(SaveTest, CmykSixteenBitGreyAndPaletteSourcesComeOutAsEightBitRgb)
{
    // The expected colours: a red patch, a grey of 100 and a pale grey of 200.
    struct Case
    {
        const char* name;
        std::function<std::string(const TempFolder&)> make;
        std::vector<double> expected;
        double tolerance;
    };
    const Case cases[] = {
        {"cmyk jpeg with its profile",
         [](const TempFolder& f) {
             const auto path = f.Path("cmyk.jpg");
             test::SolidImage(32, 32, {220, 20, 30})
                 .icc_export(VImage::option()->set("output_profile", "cmyk"))
                 .jpegsave(path.c_str(), VImage::option()->set("Q", 95));
             return path;
         },
         {220, 20, 30},
         40},
        {"cmyk tiff without a profile",
         [](const TempFolder& f) {
             const auto path = f.Path("cmyk.tif");
             test::SolidImage(32, 32, {220, 20, 30})
                 .icc_export(VImage::option()->set("output_profile", "cmyk"))
                 .tiffsave(path.c_str(), VImage::option()->set("strip", true));
             return path;
         },
         {220, 20, 30},
         40},
        // 100 * 257 in 16 bits is 100 in 8.
        {"16-bit rgb png",
         [](const TempFolder& f) {
             const auto path = f.Path("rgb16.png");
             (test::SolidImage(32, 32, {100, 150, 200}).cast(VIPS_FORMAT_USHORT) * 257)
                 .cast(VIPS_FORMAT_USHORT)
                 .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16))
                 .pngsave(path.c_str());
             return path;
         },
         {100, 150, 200},
         1},
        {"16-bit grey tiff",
         [](const TempFolder& f) {
             const auto path = f.Path("grey16.tif");
             (VImage::black(32, 32) + 100 * 257)
                 .cast(VIPS_FORMAT_USHORT)
                 .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_GREY16))
                 .tiffsave(path.c_str());
             return path;
         },
         {100, 100, 100},
         1},
        {"8-bit grey jpeg",
         [](const TempFolder& f) {
             const auto path = f.Path("grey.jpg");
             (VImage::black(32, 32) + 200)
                 .cast(VIPS_FORMAT_UCHAR)
                 .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W))
                 .jpegsave(path.c_str());
             return path;
         },
         {200, 200, 200},
         2},
        {"palette png",
         [](const TempFolder& f) {
             const auto path = f.Path("palette.png");
             test::SolidImage(32, 32, {100, 150, 200}).pngsave(path.c_str(), VImage::option()->set("palette", true));
             return path;
         },
         {100, 150, 200},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WorkingImage image = Load(c.make(folder));
        std::vector<std::string> titles = {"PNG", "JPG", "TIFF", "JP2"};
        if (CanWriteHeif())
            titles.push_back("HEIC");
        for (const auto& title : titles) {
            SCOPED_TRACE(title);
            const std::string output = folder.Path("converted." + title);
            ASSERT_TRUE(ImageTools::SaveImage(image, output, FormatIndexOfTitle(title), 1.0));
            const VImage back = VImage::new_from_file(output.c_str());
            EXPECT_EQ(back.bands(), 3);
            EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
            EXPECT_EQ(back.interpretation(), VIPS_INTERPRETATION_sRGB);
            if (back.get_typeof("heif-bitdepth")) {
                EXPECT_EQ(back.get_int("heif-bitdepth"), 8);
            }
            // HEIC is lossy at the encoder's default quality.
            const double tolerance = c.tolerance + (title == "HEIC" ? 6 : 0);
            const auto pixel = back.getpoint(16, 16);
            for (int band = 0; band < 3; ++band)
                EXPECT_NEAR(pixel[band], c.expected[band], tolerance) << "band " << band;
        }
    }
}

TEST_F(SaveTest, ColourProfileThatDescribesThePixelsIsKept)
{
    VipsBlob* profile = VImage::profile_load("p3");
    size_t length = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(vips_blob_get(profile, &length));
    const std::vector<std::uint8_t> p3(bytes, bytes + length);
    vips_area_unref(VIPS_AREA(profile));

    VImage tagged = test::SolidImage(32, 32, {10, 200, 30}).copy();
    tagged.set(VIPS_META_ICC_NAME, nullptr, const_cast<std::uint8_t*>(p3.data()), p3.size());
    const std::string source = folder.Path("p3.png");
    tagged.pngsave(source.c_str());
    const WorkingImage image = Load(source);
    std::vector<const char*> titles = {"JPG", "PNG", "TIFF"};
    if (CanWriteHeif())
        titles.push_back("HEIC");
    for (const char* title : titles) {
        SCOPED_TRACE(title);
        const std::string output = folder.Path(std::string("tagged.") + title);
        ASSERT_TRUE(ImageTools::SaveImage(image, output, FormatIndexOfTitle(title), 1.0, false));
        const VImage back = VImage::new_from_file(output.c_str());
        ASSERT_TRUE(back.get_typeof(VIPS_META_ICC_NAME));
        const void* data = nullptr;
        size_t size = 0;
        vips_image_get_blob(back.get_image(), VIPS_META_ICC_NAME, &data, &size);
        EXPECT_EQ(std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(data),
                                            static_cast<const std::uint8_t*>(data) + size),
                  p3);
    }
}

TEST_F(SaveTest, FailedSaveLeavesTheExistingFileAndNoTemporaryFile)
{
    // A JPEG cut off halfway: the header reads, the pixels do not.
    const std::string whole = folder.Path("whole.jpg");
    test::NoiseImage(200, 200).jpegsave(whole.c_str());
    auto bytes = test::ReadBytes(whole);
    bytes.resize(bytes.size() / 2);
    const std::string truncated = folder.Path("truncated.jpg");
    test::WriteBytes(truncated, bytes);
    std::filesystem::remove(whole);

    const std::string existing = folder.Path("existing.png");
    const std::vector<std::uint8_t> keep{'k', 'e', 'e', 'p'};
    struct Case
    {
        const char* name;
        const char* title;
    };
    const Case cases[] = {{"png", "PNG"}, {"jpeg", "JPG"}, {"tiff", "TIFF"}};
    const auto image = ImageTools::LoadImageAtPixelSize(truncated);
    ASSERT_TRUE(image) << "a truncated file still has a readable header";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(existing, keep);
        for (bool keepMetadata : {false, true}) {
            std::string reason;
            EXPECT_FALSE(
                ImageTools::SaveImage(*image, existing, FormatIndexOfTitle(c.title), 0.8, keepMetadata, &reason));
            EXPECT_FALSE(reason.empty());
            EXPECT_EQ(test::ReadBytes(existing), keep);
        }
    }
    std::vector<std::string> names = folder.FileNames();
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected{"existing.png", "truncated.jpg"};
    EXPECT_EQ(names, expected);
}

// A name the file system takes is written, however close to its limit of 255 bytes; the temporary file made
// on the way must fit too.
TEST_F(SaveTest, NamesUpToTheFileSystemLimitAreWritten)
{
    const std::string source = folder.Path("source.png");
    test::CoordinateImage(40, 30).pngsave(source.c_str());
    const WorkingImage image = Load(source);
    struct Case
    {
        const char* name;
        std::size_t length; // of the whole output name, ".png" included
    };
    const Case cases[] = {{"short", 10}, {"long", 240}, {"at the limit", 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        const std::string name = std::string(c.length - 4, 'n') + ".png";
        std::string reason;
        ASSERT_TRUE(ImageTools::SaveImage(image, out.Path(name), FormatIndexOfTitle("PNG"), 1.0, false, &reason))
            << reason;
        EXPECT_EQ(out.FileNames(), std::vector<std::string>{name});
        EXPECT_EQ(test::SniffType(out.Path(name)), "png");
    }
}

TEST_F(SaveTest, ExistingFileIsReplacedWhole)
{
    const std::string source = folder.Path("source.png");
    test::CoordinateImage(40, 30).pngsave(source.c_str());
    const std::string output = folder.Path("out.png");
    test::WriteBytes(output, std::vector<std::uint8_t>(1 << 20, 'x'));
    ASSERT_TRUE(ImageTools::SaveImage(Load(source), output, FormatIndexOfTitle("PNG"), 1.0));
    EXPECT_EQ(test::MaxDifference(test::ReadImage(output), test::ReadImage(source)), 0);
}

TEST_F(SaveTest, OutputOverItsOwnSourceIsSafe)
{
    struct Case
    {
        const char* name;
        const char* file;
        const char* title;
        bool keepMetadata;
    };
    const Case cases[] = {
        {"jpeg over itself", "self.jpg", "JPG", false},
        {"jpeg over itself with metadata", "self-meta.jpg", "JPG", true},
        {"png as original", "self.png", "Original", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path(c.file);
        test::CoordinateImage(400, 300).write_to_file(path.c_str());
        if (c.keepMetadata)
            test::AddCameraMetadata(path);
        const WorkingImage cropped = ImageTools::CropImage(Load(path), 100, 50, 200, 100, 2);
        ASSERT_TRUE(ImageTools::SaveImage(cropped, path, FormatIndexOfTitle(c.title), 1.0, c.keepMetadata));
        const VImage back = test::ReadImage(path);
        EXPECT_EQ(back.width(), 200);
        EXPECT_EQ(back.height(), 100);
        const auto corner = test::DecodeCoordinate(back.getpoint(10, 10));
        EXPECT_NEAR(corner.x, 110, 2);
        EXPECT_NEAR(corner.y, 60, 2);
    }
}

TEST_F(SaveTest, BadInputFailsCleanly)
{
    // Each file either does not load or does not save; nothing crashes or hangs.
    struct Case
    {
        const char* name;
        std::function<std::string(const TempFolder&)> make;
    };
    const Case cases[] = {
        {"text named .jpg",
         [](const TempFolder& f) {
             const auto path = f.Path("text.jpg");
             test::WriteBytes(path, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
             return path;
         }},
        {"empty .png",
         [](const TempFolder& f) {
             const auto path = f.Path("empty.png");
             test::WriteBytes(path, {});
             return path;
         }},
        {"jpeg with only its header",
         [](const TempFolder& f) {
             const auto path = f.Path("header-only.jpg");
             test::NoiseImage(64, 64).jpegsave(path.c_str());
             auto bytes = test::ReadBytes(path);
             bytes.resize(700);
             test::WriteBytes(path, bytes);
             return path;
         }},
        {"png cut in half",
         [](const TempFolder& f) {
             const auto path = f.Path("half.png");
             test::NoiseImage(64, 64).pngsave(path.c_str());
             auto bytes = test::ReadBytes(path);
             bytes.resize(bytes.size() / 2);
             test::WriteBytes(path, bytes);
             return path;
         }},
        {"gif with garbage after its header",
         [](const TempFolder& f) {
             const auto path = f.Path("garbage.gif");
             test::NoiseImage(64, 64).gifsave(path.c_str());
             auto bytes = test::ReadBytes(path);
             for (size_t i = 30; i < bytes.size(); ++i)
                 bytes[i] = static_cast<std::uint8_t>(i * 7);
             test::WriteBytes(path, bytes);
             return path;
         }},
        // A JPEG whose frame header claims 60000 x 60000 (3.6 gigapixels) over a 64 x 64 body.
        {"jpeg claiming 60000 x 60000",
         [](const TempFolder& f) {
             const auto path = f.Path("huge.jpg");
             test::NoiseImage(64, 64).jpegsave(path.c_str());
             auto bytes = test::ReadBytes(path);
             for (size_t i = 2; i + 8 < bytes.size(); ++i) {
                 if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
                     bytes[i + 5] = 0xEA, bytes[i + 6] = 0x60, bytes[i + 7] = 0xEA, bytes[i + 8] = 0x60;
                     break;
                 }
             }
             test::WriteBytes(path, bytes);
             return path;
         }},
        // A PNG whose header claims 100000 x 100000 (10 gigapixels).
        {"png claiming 100000 x 100000",
         [](const TempFolder& f) {
             const auto path = f.Path("huge.png");
             test::WriteBytes(path, test::PngWithClaimedSize(100000, 100000));
             return path;
         }},
        {"png claiming 0 x 0",
         [](const TempFolder& f) {
             const auto path = f.Path("zero.png");
             test::WriteBytes(path, test::PngWithClaimedSize(0, 0));
             return path;
         }},
        // Opening it to read waits for a writer that never comes.
        {"named pipe named .jpg",
         [](const TempFolder& f) {
             const auto path = f.Path("pipe.jpg");
             EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
             return path;
         }},
    };
    // A hang ends the test program (and so fails the test) instead of stopping the suite.
    alarm(120);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make(folder);
        const std::string output = folder.Path("bad-out.png");
        std::string reason;
        testing::internal::CaptureStdout();
        const auto image = ImageTools::LoadImageAtPixelSize(path, &reason);
        if (!image) {
            EXPECT_FALSE(reason.empty());
        } else {
            EXPECT_FALSE(ImageTools::SaveImage(*image, output, FormatIndexOfTitle("PNG"), 1.0, true, &reason));
            EXPECT_FALSE(reason.empty());
        }
        ImageTools::GetImagePixelSize(path);
        ImageTools::LoadPreviewBitmap(path, 64, 64);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "decoder warnings stay off standard output";
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    alarm(0);
}

} // namespace
} // namespace trimlark

namespace trimlark {
namespace {

TEST_F(SaveTest, EveryReadableFormatIsASourceAndOriginalKeepsItsType)
{
    struct Case
    {
        const char* file;
        const char* type;
        int tolerance; // lossy sources move the coordinates' colours a little
    };
    std::vector<Case> cases = {
        {"source.jpg", "jpeg", 6}, {"source.png", "png", 0}, {"source.tif", "tiff", 0}, {"source.gif", "gif", 8},
        {"source.bmp", "bmp", 0},  {"source.jp2", "jp2", 6}, {"source.webp", "", 8},
    };
    if (CanWriteHeif())
        cases.push_back({"source.heic", "heic", 12});
    const int original = FormatIndexOfTitle("Original");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string source = folder.Path(c.file);
        // Small coordinates (below 64) survive GIF's palette of 256 colours well enough.
        test::CoordinateImage(60, 50).write_to_file(source.c_str());
        const WorkingImage cropped = ImageTools::CropImage(Load(source), 5, 7, 30, 20, 2);
        const std::string png = folder.Path("from-source.png");
        ASSERT_TRUE(ImageTools::SaveImage(cropped, png, FormatIndexOfTitle("PNG"), 1.0));
        const VImage back = test::ReadImage(png);
        ASSERT_EQ(back.width(), 30);
        ASSERT_EQ(back.height(), 20);
        const auto pixel = back.getpoint(10, 10); // from (15, 17)
        EXPECT_NEAR(pixel[0], 15, c.tolerance);
        EXPECT_NEAR(pixel[1], 17, c.tolerance);

        const std::string again = folder.Path(std::string("original-") + c.file);
        EXPECT_EQ(ImageTools::SaveImage(cropped, again, original, 1.0), *c.type != '\0');
        EXPECT_EQ(test::SniffType(again), c.type);
    }
}

TEST_F(SaveTest, SavesOnSeveralThreadsWriteWhatOneThreadWrites)
{
    const std::string source = folder.Path("noise.jpg");
    test::NoiseImage(400, 300).jpegsave(source.c_str());
    test::AddCameraMetadata(source);
    const WorkingImage cropped = ImageTools::CropImage(Load(source), 20, 30, 300, 200, 1);
    struct Case
    {
        const char* title;
    };
    const Case cases[] = {{"JPG"}, {"PNG"}, {"TIFF"}, {"JP2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const int index = FormatIndexOfTitle(c.title);
        const std::string reference = folder.Path(std::string("serial.") + c.title);
        ASSERT_TRUE(ImageTools::SaveImage(cropped, reference, index, 0.8, true));
        std::vector<std::thread> threads;
        std::vector<int> written(4, 0);
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back([&, i] {
                const std::string path = folder.Path("parallel-" + std::to_string(i) + "." + c.title);
                written[i] = ImageTools::SaveImage(cropped, path, index, 0.8, true) ? 1 : 0;
            });
        }
        for (auto& thread : threads)
            thread.join();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(written[i], 1);
            const std::string path = folder.Path("parallel-" + std::to_string(i) + "." + c.title);
            EXPECT_EQ(test::MaxDifference(test::ReadImage(path), test::ReadImage(reference)), 0);
        }
    }
}

} // namespace
} // namespace trimlark

namespace trimlark {
namespace {

TEST_F(SaveTest, SaveReadsThePictureThatWasLoadedEvenAfterTheSourceIsReplaced)
{
    struct Case
    {
        const char* name;
        const char* file;
        bool keepMetadata;
    };
    const Case cases[] = {
        {"png replaced by another png", "replaced.png", false},
        {"jpeg with metadata replaced by another jpeg", "replaced.jpg", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = folder.Path(c.file);
        test::SolidImage(40, 30, {250, 10, 10}).write_to_file(source.c_str());
        if (c.keepMetadata)
            test::AddCameraMetadata(source);
        const WorkingImage image = Load(source);
        // Another program saves a different picture over the source, atomically.
        const std::string other = folder.Path(std::string("other-") + c.file);
        test::SolidImage(40, 30, {10, 10, 250}).write_to_file(other.c_str());
        std::filesystem::rename(other, source);

        const std::string output = folder.Path("from-replaced.png");
        ASSERT_TRUE(ImageTools::SaveImage(image, output, FormatIndexOfTitle("PNG"), 1.0, c.keepMetadata));
        const auto pixel = test::ReadImage(output).getpoint(20, 15);
        EXPECT_GT(pixel[0], 200) << "the loaded red picture, not the blue one";
        EXPECT_LT(pixel[2], 60);
    }
}

} // namespace
} // namespace trimlark
