#include "imaging/ImageTools.h"

#include "SettingsCases.h"
#include "TestImages.h"
#include "imaging/Codecs.h"
#include "imaging/CropPlan.h"
#include "imaging/LibrarySetup.h"
#include "imaging/decode/DecoderWarnings.h"
#include "imaging/encode/PngWriter.h"

#include <csignal>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <malloc.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <tiffio.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace trimlark {
namespace {

using vips::VImage;
using Corner = OriginCorner;

// A multi-page TIFF of grey pages (40, 120, 200...) of the given sizes; vips only writes equal pages.
void WriteMultiPageTiff(const std::string& path, const std::vector<std::pair<int, int>>& pageSizes)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    int shade = 40;
    for (const auto& [width, height] : pageSizes) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        std::vector<std::uint8_t> pixels(width * height, shade);
        TIFFWriteEncodedStrip(tiff, 0, pixels.data(), pixels.size());
        TIFFWriteDirectory(tiff);
        shade += 80;
    }
    TIFFClose(tiff);
}

// 4999 one-pixel pages, then one of the given size.
std::vector<std::pair<int, int>> ManyPagesThenOne(std::pair<int, int> last)
{
    std::vector<std::pair<int, int>> pages(4999, {1, 1});
    pages.push_back(last);
    return pages;
}

// The formats this system writes, with the type their bytes show.
std::vector<std::pair<OutputFormat, const char*>> SavableFormats()
{
    using enum OutputFormat;
    std::vector<std::pair<OutputFormat, const char*>> formats = {{Jpeg, "jpeg"}, {Jpeg2000, "jp2"}, {Png, "png"},
                                                                 {Tiff, "tiff"}, {Gif, "gif"},      {Bmp, "bmp"}};
    for (const auto& [format, type, writable] :
         {std::tuple{Heic, "heic", CanWriteHeif()}, std::tuple{Webp, "webp", CanWriteWebp()},
          std::tuple{Avif, "avif", CanWriteAvif()}})
        if (writable)
            formats.emplace_back(format, type);
    return formats;
}

class ImageToolsTest : public ::testing::Test
{
protected:
    void SetUp() override { ImageTools::Initialize(); }

    WorkingImage Load(const std::string& path) { return ImageTools::LoadImageAtPixelSize(path).value(); }

    // Loads, crops and writes a lossless PNG, then decodes it.
    VImage CropToPng(const std::string& source, double x, double y, double w, double h, std::optional<Corner> corner)
    {
        const std::string output = folder.Path("out.png");
        EXPECT_TRUE(ImageTools::SaveImage(ImageTools::CropImage(Load(source), x, y, w, h, corner), output,
                                          OutputFormat::Png, 1.0));
        return test::ReadImage(output);
    }

    // A 300 x 200 photo stored on its side, with what a camera writes: EXIF (orientation 6, Make "NIKON
    // CORPORATION", a GPS reference, a pixel size of 9999 x 9999), an EXIF thumbnail and a maker-note preview of the
    // whole picture, IPTC keywords and an XMP title.
    std::string Photo()
    {
        const std::string photo = folder.Path("photo.jpg");
        test::CoordinateImage(300, 200).jpegsave(photo.c_str(), VImage::option()->set("Q", 95));
        auto image = Exiv2::ImageFactory::open(photo);
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
        exif["Exif.Image.Make"] = "NIKON CORPORATION";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.Photo.PixelXDimension"] = exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(9999);
        const std::string preview = test::Encoded(test::CoordinateImage(64, 48), ".jpg");
        const auto* data = reinterpret_cast<const Exiv2::byte*>(preview.data());
        exif["Exif.Nikon3.Version"] = "48 50 49 48";
        exif["Exif.NikonPreview.Compression"] = static_cast<std::uint16_t>(6);
        exif["Exif.NikonPreview.JPEGInterchangeFormat"] = static_cast<std::uint32_t>(0);
        exif["Exif.NikonPreview.JPEGInterchangeFormatLength"] = static_cast<std::uint32_t>(preview.size());
        exif.findKey(Exiv2::ExifKey("Exif.NikonPreview.JPEGInterchangeFormat"))->setDataArea(data, preview.size());
        Exiv2::ExifThumb(exif).setJpegThumbnail(data, preview.size());
        image->iptcData()["Iptc.Application2.Keywords"] = "harbour";
        image->xmpData()["Xmp.dc.title"] = "lang=\"x-default\" Harbour at dawn";
        image->writeMetadata();
        return photo;
    }

    // Saves into `saved`, expecting the save to succeed; its remarks.
    std::string Save(const WorkingImage& image, OutputFormat format, double quality, bool keepMetadata)
    {
        std::string reason;
        EXPECT_TRUE(ImageTools::SaveImage(image, saved, format, quality, keepMetadata, &reason)) << reason;
        return reason;
    }

    test::TempFolder folder;
    const std::string saved = folder.Path("out.img");
};
using LoadAndCropTest = ImageToolsTest;
using SaveTest = ImageToolsTest;

// A 24-bit BMP of 4 x 2 pixels of (200, 100, 50), written byte by byte: no codec is needed to make it.
std::string SolidBmp()
{
    std::string bytes("BM\x4E\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x04\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x18\0\0\0"
                      "\x13\x0B\0\0\x13\x0B\0\0\0\0\0\0\0\0\0\0",
                      54);
    for (int pixel = 0; pixel < 8; ++pixel)
        bytes += "\x32\x64\xC8"; // blue, green, red
    return bytes;
}

// Runs checks in a process of its own, started afresh (no other test has loaded a codec there); the first failed
// check is the process's last word.
void InAFreshProcess(const std::function<std::string()>& checks)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // the test program is started again, not forked
    EXPECT_EXIT(
        {
            const std::string failed = checks();
            std::fputs(failed.c_str(), stderr);
            std::exit(failed.empty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// libvips' codec modules but HEIF's are loaded when first needed: a BMP source is read, and a BMP written, by
// ImageMagick's module in a process that had not loaded it.
TEST_F(LoadAndCropTest, ABmpLoadsTheCodecItNeeds)
{
    InAFreshProcess([&]() -> std::string {
        if (vips_type_find("VipsForeignLoad", "magickload") != 0)
            return "ImageMagick's module was loaded before it was needed";
        // The HEIF module is loaded as the library starts: the formats offered depend on it.
        if (CanReadHeif() != std::filesystem::exists(CodecModuleFolder() / "vips-heif.so"))
            return "the HEIF module is not loaded as the library starts";
        const std::string path = folder.Path("solid.bmp");
        test::WriteBytes(path, SolidBmp());
        if (const auto probe = ImageTools::ProbeImage(path); !probe || probe->size != PixelSize{4, 2})
            return "the BMP source is not read";
        const VImage out = CropToPng(path, 1, 0, 3, 2, Corner::TopLeft);
        return out.getpoint(2, 1) == std::vector<double>{200, 100, 50} ? "" : "the BMP source's pixels differ";
    });
    InAFreshProcess([&]() -> std::string {
        const std::string source = folder.Path("source.png");
        test::CoordinateImage(6, 4).pngsave(source.c_str());
        std::string reason;
        if (!ImageTools::SaveImage(Load(source), folder.Path("out.bmp"), OutputFormat::Bmp, 1.0, false, &reason))
            return "no BMP written: " + reason;
        return test::SniffType(folder.Path("out.bmp")) == "bmp" ? "" : "the output is no BMP";
    });
}

// Codecs loaded on demand keep the library's rules. The decoder a file gets does not depend on the files before it:
// a slide scanner's tiled TIFF goes to the slide reader, which comes before the TIFF decoder, when no codec was
// loaded before it as when all were. And VIPS_BLOCK_UNTRUSTED blocks ImageMagick's decoder.
TEST_F(LoadAndCropTest, CodecsLoadedOnDemandKeepTheLibrarysRules)
{
    InAFreshProcess([&]() -> std::string {
        const std::string slide = folder.Path("slide.tif");
        VImage picture = VImage::black(64, 48, VImage::option()->set("bands", 3)).copy();
        picture.set("image-description", "Aperio Image Library v10.0.0\n64x48 (256x256) JPEG Q=70");
        picture.tiffsave(slide.c_str(),
                         VImage::option()->set("tile", true)->set("tile_width", 16)->set("tile_height", 16));
        const bool readFirst = ImageTools::LoadImageAtPixelSize(slide, nullptr).has_value();
        EnsureAllCodecs();
        return ImageTools::LoadImageAtPixelSize(slide, nullptr).has_value() == readFirst
                   ? ""
                   : "the slide is taken otherwise when no codec was loaded before it";
    });
    ::setenv("VIPS_BLOCK_UNTRUSTED", "1", 1); // the fresh process starts with it
    InAFreshProcess([&]() -> std::string {
        const std::string bmp = folder.Path("solid.bmp");
        test::WriteBytes(bmp, SolidBmp());
        return ImageTools::LoadImageAtPixelSize(bmp, nullptr) ? "an untrusted decoder read the BMP" : "";
    });
    ::unsetenv("VIPS_BLOCK_UNTRUSTED");
}

// Each source is cropped by (5, 7, 30, 20) from the top left; the crop's pixel (10, 10) is the upright picture's
// (15, 17). Coordinate sources are 60 x 50, or 200 x 100 before their orientation is applied. The preview, in a
// box of half the upright size, is upright and opaque.
TEST_F(LoadAndCropTest, EverySourceIsReadUprightAtItsSize)
{
    struct Case
    {
        const char* file;
        int orientation;
        std::vector<std::pair<int, int>> pages; // a multi-page TIFF of grey pages (40, 120...) instead
        PixelSize size;                         // upright; of the largest page
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
        // Mirrored: (199 - u, v).
        {"orientation-2.jpg", 2, {}, {200, 100}, 184, 17, 6},
        // The largest page (300 x 200 = 60000 px) at its own size, not the widest width and tallest height.
        {"pages.tif", 1, {{100, 400}, {300, 200}}, {300, 200}, 120, 120, 1},
        // The largest of 5000 pages is the last: grey (40 + 80 * 4999) mod 256 = 88.
        {"many-pages.tif", 1, ManyPagesThenOne({64, 48}), {64, 48}, 88, 88, 1},
    };
    if (CanWriteHeif())
        cases.push_back({"source.heic", 1, {}, {60, 50}, 15, 17, 12});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        if (!c.pages.empty())
            WriteMultiPageTiff(path, c.pages);
        else if (path.ends_with("top-down.bmp")) {
            // Stored bottom-up, the flipped picture's rows are the picture's rows top-down; a negative height says so.
            test::CoordinateImage(60, 50).flipver().magicksave(path.c_str(), VImage::option()->set("format", "bmp"));
            test::WriteBytes(path, test::ReadBytes(path).replace(22, 4, "\xCE\xFF\xFF\xFF", 4)); // -50, little-endian
        } else if (c.orientation == 1)
            test::WriteCoordinateImage(path, 60, 50);
        else {
            test::WriteCoordinateImage(path, 200, 100);
            test::SetOrientation(path, c.orientation);
        }
        const auto probe = ImageTools::ProbeImage(path);
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe->size, c.size);
        EXPECT_EQ(probe->orientation, c.orientation);
        EXPECT_EQ(probe->jpeg.has_value(), path.ends_with(".jpg"));
        const VImage out = CropToPng(path, 5, 7, 30, 20, Corner::TopLeft);
        ASSERT_EQ(std::pair(out.width(), out.height()), std::pair(30, 20));
        EXPECT_NEAR(out.getpoint(10, 10)[0], c.red, c.tolerance);
        EXPECT_NEAR(out.getpoint(10, 10)[1], c.green, c.tolerance);
        const auto preview = ImageTools::LoadPreviewBitmap(path, c.size.width / 2, c.size.height / 2);
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->width, c.size.width / 2);
        EXPECT_EQ(preview->height, c.size.height / 2);
        EXPECT_EQ(preview->pixels.at(3), 255);
        // At half size, preview pixel (7, 8) is drawn from the upright pixels around (15, 17): the crop's (10, 10).
        const std::size_t at = (8 * static_cast<std::size_t>(preview->width) + 7) * 4;
        EXPECT_NEAR(preview->pixels.at(at), c.red, c.tolerance + 3);
        EXPECT_NEAR(preview->pixels.at(at + 1), c.green, c.tolerance + 3);
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
        // 100.7 x 50.2 truncates to 100 x 50. The edges on the corner's sides go to the nearest pixel and the
        // others follow: left 10.4 -> 10, top 20.4 -> 20; right 999 - 10.4 = 988.6 -> 989, left 989 - 100 = 889;
        // bottom 801 - 20.4 = 780.6 -> 781, top 781 - 50 = 731.
        {"fractional, bottom left", 10.4, 20.4, 100.7, 50.2, Corner::BottomLeft, 10, 731, 100, 50},
        {"fractional, bottom right", 10.4, 20.4, 100.7, 50.2, Corner::BottomRight, 889, 731, 100, 50},
        // From the right edge itself the last column stays: left 999 - 100 = 899, not 999 - 100.6 = 898.4 -> 898.
        {"fractional, top right, at the edge", 0, 20.4, 100.6, 50.2, Corner::TopRight, 899, 20, 100, 50},
        // Without a corner the clipped region sits at the bottom-left: top = 801 - 51 = 750.
        {"no corner", 10, 20, 101, 51, std::nullopt, 0, 750, 101, 51},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const VImage out = CropToPng(source, c.x, c.y, c.w, c.h, c.corner);
        ASSERT_EQ(std::pair(out.width(), out.height()), std::pair(c.width, c.height));
        EXPECT_EQ(test::CoordinateAt(out, 0, 0), (test::Coordinate{c.left, c.top}));
        EXPECT_EQ(test::CoordinateAt(out, c.width - 1, c.height - 1),
                  (test::Coordinate{c.left + c.width - 1, c.top + c.height - 1}));
    }
}

// A JPEG's kept region is decoded and turned alone: its pixels are those of the whole picture decoded, turned
// upright and cut, for each orientation and each corner, on a picture of odd size with subsampled colour.
TEST_F(LoadAndCropTest, AJpegRegionDecodedAloneIsTheWholeDecodeCut)
{
    const std::string source = folder.Path("noise.jpg");
    const struct Encoding
    {
        const char* name;
        bool progressive;    // its scans are all read before the first row
        int restartInterval; // in blocks of 16 x 16; 5 does not divide a row's 21
    } encodings[] = {{"baseline", false, 0}, {"progressive", true, 0}, {"restart markers", false, 5}};
    for (const Encoding& e : encodings) {
        SCOPED_TRACE(e.name);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            VImage stored = test::NoiseImage(333, 251).copy();
            stored.set("orientation", orientation);
            stored.jpegsave(source.c_str(), VImage::option()
                                                ->set("Q", 85)
                                                ->set("interlace", e.progressive)
                                                ->set("restart_interval", e.restartInterval));
            const VImage whole = VImage::new_from_file(source.c_str()).autorot();
            const int width = whole.width(), height = whole.height();
            for (const auto& [x, y] : {std::pair(0, 0), {17, 9}}) {
                for (const Corner corner :
                     {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft, Corner::BottomRight}) {
                    const bool right = corner == Corner::TopRight || corner == Corner::BottomRight;
                    const bool bottom = corner == Corner::BottomLeft || corner == Corner::BottomRight;
                    const VImage expected =
                        whole.extract_area(right ? width - x - 101 : x, bottom ? height - y - 77 : y, 101, 77);
                    const VImage out = CropToPng(source, x, y, 101, 77, corner);
                    EXPECT_EQ((out - expected).abs().max(), 0)
                        << orientation << " " << static_cast<int>(corner) << " " << x;
                }
            }
        }
    }
    // A progressive file whose scans end early: the decoder smooths the missing detail from blocks two away (32
    // pixels in the subsampled colour), also at a crop's edge. Each corner's region is still the whole decode's,
    // and the output says the file is damaged.
    const struct Case
    {
        const char* name;
        bool arithmetic;
    } damaged[] = {{"huffman-coded", false}, {"arithmetic-coded", true}};
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(source, test::ProgressiveJpegEndingEarly(333, 251, c.arithmetic));
        const VImage whole = test::ReadImage(source);
        for (const Corner corner : {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft, Corner::BottomRight}) {
            SCOPED_TRACE(static_cast<int>(corner));
            const bool right = corner == Corner::TopRight || corner == Corner::BottomRight;
            const bool bottom = corner == Corner::BottomLeft || corner == Corner::BottomRight;
            const std::string output = folder.Path("out.png");
            std::string reason;
            ASSERT_TRUE(ImageTools::SaveImage(ImageTools::CropImage(Load(source), 40, 36, 101, 77, corner), output,
                                              OutputFormat::Png, 1.0, false, &reason));
            const VImage expected =
                whole.extract_area(right ? 333 - 40 - 101 : 40, bottom ? 251 - 36 - 77 : 36, 101, 77);
            EXPECT_EQ(test::MaxDifference(test::ReadImage(output), expected), 0);
            EXPECT_NE(reason.find("damaged"), std::string::npos) << reason;
        }
    }
}

// The picture as stored, decoded by libjpeg-turbo without interpolating the colour: each pixel from its own
// coded block only, so a lossless crop must give the very same values.
std::vector<unsigned char> DecodeStored(const std::string& path, int& width, int& height)
{
    const std::string bytes = test::ReadBytes(path);
    std::vector<unsigned char> file(bytes.begin(), bytes.end());
    tjhandle decoder = tjInitDecompress();
    int subsampling = 0, colourspace = 0;
    tjDecompressHeader3(decoder, file.data(), file.size(), &width, &height, &subsampling, &colourspace);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    tjDecompress2(decoder, file.data(), file.size(), pixels.data(), width, 0, height, TJPF_RGB, TJFLAG_FASTUPSAMPLE);
    tjDestroy(decoder);
    return pixels;
}

// For colour subsampled 2 x 2 (16-pixel blocks) and not at all (8), and each orientation: the crop grows up and
// left (as stored) to the block grid by less than a block, keeps the orientation, and copies the kept pixels.
TEST_F(SaveTest, ALosslessJpegCropCopiesTheKeptBlocks)
{
    const std::string source = folder.Path("source.jpg"), output = folder.Path("lossless.jpg");
    for (const bool subsampled : {true, false}) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::to_string(subsampled) + " " + std::to_string(orientation));
            VImage stored = test::NoiseImage(333, 251).copy();
            stored.set("orientation", orientation);
            stored.jpegsave(source.c_str(),
                            VImage::option()->set("Q", 90)->set(
                                "subsample_mode", subsampled ? VIPS_FOREIGN_SUBSAMPLE_ON : VIPS_FOREIGN_SUBSAMPLE_OFF));
            CropSettings settings = test::CustomCrop(true, "37", "21", "101", "77");
            settings.comboOriginCorner = static_cast<int>(Corner::TopLeft), settings.checkLosslessJpeg = true;
            const WorkingImage loaded = Load(source);
            const CropPlan plan = MakeCropPlan(settings, {},
                                               {{loaded.Width(), loaded.Height()},
                                                ImageTools::LosslessJpegLayoutOf(loaded),
                                                nullptr,
                                                OutputFormat::Jpeg});
            const WorkingImage cropped = ImageTools::CropImage(loaded, plan);
            const WorkingImage grown = ImageTools::CropToLosslessRegion(loaded, plan);
            const int block = subsampled ? 16 : 8;
            const double grewX = grown.Width() - cropped.Width(), grewY = grown.Height() - cropped.Height();
            EXPECT_TRUE(grewX >= 0 && grewX < block && grewY >= 0 && grewY < block) << grewX << " " << grewY;
            ASSERT_EQ(ImageTools::SaveLosslessJpeg(grown, output, false, true), SaveResult::Saved);
            const VImage upright = VImage::new_from_file(output.c_str()).autorot();
            EXPECT_EQ(std::pair(upright.width(), upright.height()),
                      std::pair(static_cast<int>(grown.Width()), static_cast<int>(grown.Height())));
            int sw = 0, sh = 0, ow = 0, oh = 0;
            const auto whole = DecodeStored(source, sw, sh), kept = DecodeStored(output, ow, oh);
            // The output's stored rectangle sits on the source's grid; find it by its first row.
            bool found = false;
            for (int y = 0; y + oh <= sh && !found; y += block)
                for (int x = 0; x + ow <= sw && !found; x += block) {
                    found = true;
                    for (int row = 0; row < oh && found; ++row)
                        found = std::equal(kept.begin() + row * ow * 3, kept.begin() + (row + 1) * ow * 3,
                                           whole.begin() + ((y + row) * sw + x) * 3);
                }
            EXPECT_TRUE(found) << "the kept pixels are copied as they were";
        }
    }
    // A source the transform cannot take is refused, saying why in the user's words, and nothing is written.
    std::filesystem::remove(output);
    test::WriteCoordinateImage(folder.Path("c.png"), 40, 30);
    std::string sampled = test::Encoded(test::NoiseImage(64, 64), ".jpg[subsample_mode=off]");
    sampled[sampled.find("\xFF\xC0") + 11] = '\x31'; // the first component sampled 3 x 1, which has no name
    test::WriteBytes(folder.Path("sampled-3x1.jpg"), sampled);
    const struct
    {
        const char* file;
        const char* reason;
    } refusals[] = {{"c.png", "the source is not a JPEG"},
                    {"sampled-3x1.jpg", "its colour sampling cannot be cropped without re-encoding"}};
    for (const auto& [file, because] : refusals) {
        SCOPED_TRACE(file);
        std::string reason;
        EXPECT_EQ(ImageTools::SaveLosslessJpeg(Load(folder.Path(file)), output, false, true, &reason),
                  SaveResult::Refused);
        EXPECT_EQ(reason, because);
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

// The block grid comes with the probe and the load, from the frame header; a header with stray bytes between its
// segments, which libjpeg skips with a warning, still has its grid read.
TEST_F(SaveTest, TheProbeAndTheLoadGiveTheJpegsBlockGrid)
{
    const std::string plain = test::Encoded(test::NoiseImage(64, 48), ".jpg[Q=90,subsample_mode=on]");
    std::string stray = plain;
    stray.insert(stray.find("\xFF\xC0"), std::string(2, '\0'));
    for (const auto& [file, bytes] : {std::pair{"plain.jpg", plain}, std::pair{"stray-bytes.jpg", stray}}) {
        SCOPED_TRACE(file);
        const std::string path = folder.Path(file);
        test::WriteBytes(path, bytes);
        const auto probed = ImageTools::ProbeImage(path);
        ASSERT_TRUE(probed && probed->jpeg);
        EXPECT_EQ(std::pair(probed->jpeg->grid.width, probed->jpeg->grid.height), std::pair(16, 16));
        const auto loaded = ImageTools::LosslessJpegLayoutOf(Load(path));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(std::pair(loaded->grid.width, loaded->grid.height), std::pair(16, 16));
    }
}

// A 200 x 200 crop placed on the one busy 100 x 100 block of a flat picture holds the block, at its size, on whole
// pixels inside the picture, wherever the block lies and whichever corner the rectangle is measured from.
TEST_F(LoadAndCropTest, ASubjectCropHoldsTheSubjectAtTheCentredSize)
{
    const struct Case
    {
        const char* name;
        int width, height, blockLeft, blockTop; // top-down
        Corner corner;
    } cases[] = {{"right of centre, from the right", 1200, 200, 700, 50, Corner::TopRight},
                 {"at the left edge", 1200, 200, 0, 50, Corner::BottomLeft},
                 {"near the top", 200, 1200, 50, 100, Corner::BottomLeft}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path("subject.png");
        (VImage::black(c.width, c.height, VImage::option()->set("bands", 3)) + 128)
            .insert(test::NoiseImage(100, 100), c.blockLeft, c.blockTop)
            .cast(VIPS_FORMAT_UCHAR)
            .pngsave(path.c_str());
        const Rect centred = GetAutoCropRect({}, c.width, c.height);
        const Rect placed = ImageTools::PlaceCropOnSubject(ImageTools::LoadSubjectSample(path).value(), c.width,
                                                           c.height, centred, c.corner);
        ASSERT_EQ(std::pair(placed.w, placed.h), std::pair(centred.w, centred.h));
        const Rect in = GetCropRectInImage(c.corner, c.width, c.height, placed.x, placed.y, placed.w, placed.h);
        const double top = c.height - in.y - in.h;
        EXPECT_TRUE(in.x <= c.blockLeft && in.x + in.w >= c.blockLeft + 100 && in.x >= 0) << in.x;
        EXPECT_TRUE(top <= c.blockTop && top + in.h >= c.blockTop + 100 && top >= 0) << top;
        EXPECT_EQ(in.x, std::floor(in.x)) << "whole pixels";
    }
}

// None of these may crash, hang or print: each is refused when loaded, or its save is refused and writes nothing.
// A header claiming more pixels than its few bytes can hold is refused for it; a picture as large that its file
// really codes loads.
TEST_F(LoadAndCropTest, BadInputIsRefusedCleanly)
{
    const std::string jpeg = test::Encoded(test::NoiseImage(64, 64), ".jpg");
    VImage turned = test::NoiseImage(200, 200).copy();
    turned.set("orientation", 6); // decoded into memory, its last rows by a decoder of their own
    const std::string turnedJpeg = test::Encoded(turned, ".jpg");
    const auto claiming = [&jpeg](const char* size) { // a frame header claiming height and width over the 64 x 64 body
        return std::string(jpeg).replace(jpeg.find("\xFF\xC0") + 5, 4, size, 4);
    };
    const std::string png = test::Encoded(test::NoiseImage(64, 64), ".png");
    // IHDR claiming 100000 x 100000, with its checksum
    const std::string claimingPng = std::string(png).replace(
        8, 25, PngChunk("IHDR", std::string("\0\x01\x86\xA0\0\x01\x86\xA0", 8) + png.substr(24, 5)));
    std::filesystem::create_directory(folder.Path("folder.jpg"));
    ASSERT_EQ(mkfifo(folder.Path("pipe.jpg").c_str(), 0600), 0); // opening it waits for a writer that never comes
    const struct Case
    {
        const char* file;
        std::optional<std::string> bytes; // nothing: as made above, or missing
        bool sized;                       // whether what there is of a header tells a size
        const char* says = "";            // in the reason
    } cases[] = {
        {"text.jpg", "not an image", false},
        {"text-with-signature.bmp", "BM is not an image header\n", false},
        {"empty.png", "", false},
        {"missing.jpg", std::nullopt, false},
        {"folder.jpg", std::nullopt, false},
        {"pipe.jpg", std::nullopt, false},
        {"header-only.jpg", jpeg.substr(0, 700), false},
        {"half.png", png.substr(0, png.size() / 2), true},
        {"half.jpg", test::TruncatedJpeg(), true},
        {"turned-without-its-end.jpg", turnedJpeg.substr(0, turnedJpeg.size() * 9 / 10), true},
        // Headers claiming more pixels than their few bytes can hold: 60000 x 60000, 100000 x 100000, 65535 x 65535.
        {"huge.jpg", claiming("\xEA\x60\xEA\x60"), true, "can hold"},
        {"huge.png", claimingPng, true, "can hold"},
        {"huge.gif",
         std::string("GIF89a\xFF\xFF\xFF\xFF\x80\0\0\0\0\0\xFF\xFF\xFF,\0\0\0\0\xFF\xFF\xFF\xFF\0\x02\x02\x44\x01\0;",
                     35),
         true, "can hold"},
        {"zero.jpg", claiming("\0\0\0\0"), false},
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
        EXPECT_EQ(ImageTools::ProbeImage(path).has_value(), c.sized);
        const auto image = ImageTools::LoadImageAtPixelSize(path, &reason);
        EXPECT_FALSE(image && ImageTools::SaveImage(*image, output, OutputFormat::Png, 1.0, true, &reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
        for (std::size_t part = 0, next = 0; next != std::string::npos; part = next + 2) {
            next = reason.find("; ", part);
            const std::string said = reason.substr(part, next - part);
            EXPECT_EQ(reason.find(said, part + said.size()), std::string::npos) << "said twice: " << reason;
        }
        ImageTools::LoadPreviewBitmap(path, 64, 64);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "decoder warnings stay off standard output";
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    alarm(0);
    const std::string big = folder.Path("big.jpg"); // as many pixels, really coded: 289 megapixels of grey in 3 MB
    VImage::black(17000, 17000).jpegsave(big.c_str());
    EXPECT_TRUE(ImageTools::LoadImageAtPixelSize(big));
}

// With a budget of 3.5 MB, a 1000 x 800 picture (2.4 MB of RGB, and as much again for the rows libvips' pipeline
// holds) loads where its decoder streams it, and is refused where it must be decoded whole: turned by its
// orientation, interlaced, progressive, in one compressed TIFF strip (libtiff splits an uncompressed one), WebP.
// So is a small WebP whose decoder's canvas exceeds it.
TEST_F(LoadAndCropTest, APictureWhoseDecodeExceedsTheBudgetIsRefused)
{
    setenv("TRIMLARK_IMAGE_MEMORY", "3.5", 1);
    const VImage picture = test::NoiseImage(1000, 800);
    const struct Case
    {
        const char* file;
        const char* options;
        bool loads;
    } cases[] = {
        {"plain.jpg", "", true},
        {"turned.jpg", "", false},
        {"plain.png", "", true},
        {"interlaced.png", "[interlace]", false},
        {"progressive.jpg", "[interlace]", false},
        {"strips.tif", "", true},
        {"one-strip.tif", "[compression=lzw,tile-height=800]", false},
        {"picture.webp", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        picture.write_to_file((path + c.options).c_str());
        if (std::string(c.file) == "turned.jpg")
            test::SetOrientation(path, 6);
        std::string reason;
        EXPECT_EQ(ImageTools::LoadImageAtPixelSize(path, &reason).has_value(), c.loads) << reason;
        EXPECT_EQ(reason.find("memory") != std::string::npos, !c.loads) << reason;
    }
    // A lossless WebP of one colour, a few hundred bytes: its 500 x 2000 pixels and the pipeline's rows (4.2 MB)
    // fit 5 MB, the canvas its decoder paints first (4 MB more) does not.
    setenv("TRIMLARK_IMAGE_MEMORY", "5", 1);
    const std::string bomb = folder.Path("bomb.webp");
    VImage::black(500, 2000, VImage::option()->set("bands", 3)).write_to_file((bomb + "[lossless]").c_str());
    std::string reason;
    EXPECT_FALSE(ImageTools::LoadImageAtPixelSize(bomb, &reason));
    EXPECT_NE(reason.find("memory"), std::string::npos) << reason;
    unsetenv("TRIMLARK_IMAGE_MEMORY");
}

// A number of kB from /proc/self/status ("VmRSS", "VmHWM").
double StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(line.find(':') + 1));
    }
    return 0;
}

// The memory a save is estimated to hold is what it holds, within a factor of 1.5 either way: measured in a
// process of its own as the rise of its peak resident size over a save of the whole picture (the codecs and
// threads started first by a small save of the same kind). Large buffers are returned to the system when freed,
// as in a run.
TEST_F(SaveTest, TheEstimatedMemoryOfASaveIsWhatItHolds)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer adds to every allocation and keeps freed memory a while";
#endif
    const struct Case
    {
        const char* name;
        const char* file;
        VImage (*picture)();
        bool lossless;
    } cases[] = {
        // Streamed: 6000 x 3 bytes x (16 decoder rows + 800 pipeline rows) = 14.7 MB.
        {"jpeg", "wide.jpg[Q=85]", [] { return test::NoiseImage(6000, 1200); }, false},
        {"png", "wide.png[compression=1]", [] { return test::NoiseImage(6000, 1200); }, false},
        // A few kB that decode to 12 MP: an RGBA canvas and a copy, 7 bytes a pixel, and the pipeline: 93 MB.
        {"lossless webp of one colour", "flat.webp[lossless]",
         [] { return (VImage::black(4000, 3000, VImage::option()->set("bands", 3)) + 90).cast(VIPS_FORMAT_UCHAR); },
         false},
        // Coefficients of 4:4:4 (36 MB), the file (about 25 MB) read whole, and the output twice over.
        {"lossless jpeg crop", "fine.jpg[Q=100]", [] { return test::NoiseImage(3000, 2000); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InAFreshProcess([&]() -> std::string {
            mallopt(M_MMAP_THRESHOLD, 128 * 1024);
            mallopt(M_TRIM_THRESHOLD, 256 * 1024);
            const std::string withOptions = c.file, path = folder.Path(withOptions.substr(0, withOptions.find('[')));
            const std::string small = folder.Path("small" + path.substr(path.rfind('.')));
            c.picture().write_to_file(folder.Path(withOptions).c_str());
            test::NoiseImage(64, 64).write_to_file((small + withOptions.substr(withOptions.find('['))).c_str());
            const auto save = [&](const std::string& source) {
                const WorkingImage image = Load(source);
                return c.lossless ? ImageTools::SaveLosslessJpeg(image, folder.Path("out.jpg"), false, true) ==
                                        SaveResult::Saved
                                  : ImageTools::SaveImage(image, folder.Path("out.jpg"), OutputFormat::Jpeg, 0.8);
            };
            if (!save(small))
                return "the small save failed";
            const double cost = ImageTools::MemoryCost(Load(path), OutputFormat::Jpeg, c.lossless) / 1024;
            malloc_trim(0);
            std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
            const double before = StatusKiB("VmRSS");
            if (!save(path))
                return "the save failed";
            const double held = StatusKiB("VmHWM") - before;
            const std::string figures = std::to_string(cost) + " KiB estimated, " + std::to_string(held) + " held";
            return cost <= held * 1.5 && held <= cost * 1.5 ? "" : figures;
        });
    }
}

// The decoder's warnings about a damaged picture come back with its save, on one line, and not on standard error;
// also those of the decoder on libvips' workers (a picture streamed upright), each warning once.
TEST_F(SaveTest, DecoderWarningsComeBackWithTheImageNotOnStandardError)
{
    const std::string source = folder.Path("misnumbered-restarts.jpg");
    std::string upright;
    for (const int orientation : {1, 6}) {
        SCOPED_TRACE(orientation);
        test::WriteBytes(source, test::MisnumberedRestartsJpeg());
        test::SetOrientation(source, orientation);
        // Another image's scope open meanwhile, on another thread, hears none of them.
        std::promise<void> opened, saved;
        std::promise<std::string> otherHeard;
        std::thread other([&] {
            const WarningScope otherImage;
            opened.set_value();
            saved.get_future().wait();
            otherHeard.set_value(otherImage.Summary());
        });
        opened.get_future().wait();
        std::string reason;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(
            ImageTools::SaveImage(Load(source), folder.Path("out.png"), OutputFormat::Png, 1.0, false, &reason));
        saved.set_value();
        EXPECT_EQ(otherHeard.get_future().get(), "");
        other.join();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_NE(reason.find("Corrupt JPEG data"), std::string::npos) << reason;
        EXPECT_EQ(reason.find("another image"), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
        // The warnings counted at the end: which come first depends on the threads' timing.
        const std::string counted = reason.substr(reason.rfind('('));
        if (orientation == 1)
            upright = counted;
        else
            EXPECT_EQ(counted, upright) << reason;
    }
}

// Whatever the source's colour space, depth and alpha, each format's bytes show its type and decode to 8-bit sRGB
// at the cropped size; alpha where the source and format have it, else transparent areas become white.
TEST_F(SaveTest, EveryFormatWritesItsTypeAsEightBitRgbAtTheCroppedSize)
{
    const VImage picture = test::CoordinateImage(160, 120);
    const VImage grey = picture[0].copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    const std::tuple<const char*, VImage, int> sources[] = {
        // the file, its picture, green at the crop's (25, 10)
        {"opaque.png", picture, 70},
        {"transparent-left-of-120.png", picture.bandjoin(VImage::xyz(160, 120)[0] >= 120), 70},
        {"cmyk.jpg", picture.icc_export(VImage::option()->set("output_profile", "cmyk")), 70},
        {"rgb16.png", picture.colourspace(VIPS_INTERPRETATION_RGB16), 70},
        {"grey16.tif", grey.colourspace(VIPS_INTERPRETATION_GREY16), 125},
    };
    for (const auto& [file, source, green] : sources) {
        SCOPED_TRACE(file);
        source.write_to_file(folder.Path(file).c_str());
        // The crop's (25, 10) is the picture's (125, 70).
        const WorkingImage cropped =
            ImageTools::CropImage(Load(folder.Path(file)), 100, 60, 30.9, 20.3, OriginCorner::TopLeft);
        for (const auto& [format, type] : SavableFormats()) {
            SCOPED_TRACE(type);
            Save(cropped, format, 0.8, true);
            EXPECT_EQ(test::SniffType(saved), type);
            const VImage back = test::ReadImage(saved);
            EXPECT_EQ(std::pair(back.width(), back.height()), std::pair(30, 20));
            const bool alpha = source.has_alpha() && format != OutputFormat::Jpeg;
            // A GIF of greys reads back with an alpha band, opaque throughout.
            EXPECT_EQ(back.bands() - (format == OutputFormat::Gif && !alpha && back[back.bands() - 1].min() == 255),
                      alpha ? 4 : 3);
            EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
            EXPECT_EQ(back.interpretation(), VIPS_INTERPRETATION_sRGB);
            EXPECT_NEAR(back.getpoint(25, 10)[0], 125, 40); // CMYK goes through a profile, HEIC is lossy
            EXPECT_NEAR(back.getpoint(25, 10)[1], green, 40);
            if (source.has_alpha()) { // transparent left of the crop's x = 20: kept, or white (not black) in JPEG
                EXPECT_NEAR(back.getpoint(5, 10)[alpha ? 3 : 1], alpha ? 0 : 255, 15);
                EXPECT_NEAR(back.getpoint(25, 10)[alpha ? 3 : 1], alpha ? 255 : 70, alpha ? 8 : 40);
            }
        }
    }
}

// A format that cannot hold a colour profile (GIF, JPEG 2000) gets a wide-gamut picture's pixels converted to sRGB,
// and the remark says so; one that can keeps the profile and the pixels. A picture in sRGB, with or without a
// profile saying so, is written as it is.
TEST_F(SaveTest, ColoursAreConvertedToSrgbOnlyWhereTheProfileCannotGo)
{
    const VImage srgb = (VImage::black(16, 12, VImage::option()->set("bands", 3)) + std::vector<double>{200, 30, 40})
                            .cast(VIPS_FORMAT_UCHAR)
                            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const auto withProfile = [&srgb](const char* profile) {
        return srgb.icc_transform(profile, VImage::option()->set("input_profile", "srgb"));
    };
    const VImage p3 = withProfile("p3"); // (200, 30, 40) in sRGB is (184, 50, 48) in Display P3
    const struct Case
    {
        const char* name;
        VImage source;
        OutputFormat format;
        std::vector<double> pixel;
        const char* convertedFor; // the output's type as the remark names it; nothing when not converted
    } cases[] = {
        {"P3 as GIF", p3, OutputFormat::Gif, {200, 30, 40}, "a GIF"},
        {"P3 with alpha as JP2",
         p3.bandjoin_const({128}),
         OutputFormat::Jpeg2000,
         {200, 30, 40, 128},
         "a JPEG 2000 file"},
        {"P3 as PNG", p3, OutputFormat::Png, {184, 50, 48}, nullptr},
        {"sRGB profile as GIF", withProfile("srgb"), OutputFormat::Gif, {200, 30, 40}, nullptr},
        {"no profile as JPEG 2000", srgb, OutputFormat::Jpeg2000, {200, 30, 40}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = folder.Path("source.png");
        c.source.pngsave(source.c_str());
        EXPECT_EQ(Save(Load(source), c.format, 1.0, false),
                  c.convertedFor
                      ? "Colours converted to sRGB: " + std::string(c.convertedFor) + " cannot hold the colour profile"
                      : "");
        const VImage back = test::ReadImage(saved);
        const std::vector<double> pixel = back.getpoint(5, 5);
        for (std::size_t band = 0; band < c.pixel.size(); ++band)
            EXPECT_NEAR(pixel.at(band), c.pixel[band], 2) << band;
        if (c.format == OutputFormat::Png) {
            EXPECT_NE(back.get_typeof(VIPS_META_ICC_NAME), 0u);
        }
    }
}

// An animation is written as its first frame, and the remark says how many it had.
TEST_F(SaveTest, AnAnimationIsWrittenAsItsFirstFrameAndSaysSo)
{
    const auto frame = [](double red) {
        return (VImage::black(12, 8, VImage::option()->set("bands", 3)) + std::vector<double>{red, 0, 0})
            .cast(VIPS_FORMAT_UCHAR);
    };
    const struct Case
    {
        const char* file;
        int frames;
    } cases[] = {{"three.gif", 3}, {"three.webp", 3}, {"one.gif", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<VImage> frames;
        for (int i = 0; i < c.frames; ++i)
            frames.push_back(frame(250 - 100 * i)); // red 250, 150, 50
        VImage animation = VImage::arrayjoin(frames, VImage::option()->set("across", 1)).copy();
        animation.set(VIPS_META_PAGE_HEIGHT, 8);
        animation.write_to_file(folder.Path(c.file).c_str());
        EXPECT_EQ(Save(Load(folder.Path(c.file)), OutputFormat::Png, 1.0, false),
                  c.frames > 1 ? "Later frames dropped: first frame of " + std::to_string(c.frames) + " written" : "");
        const VImage back = test::ReadImage(saved);
        EXPECT_EQ(std::pair(back.width(), back.height()), std::pair(12, 8));
        EXPECT_NEAR(back.getpoint(6, 4)[0], 250, 2);
    }
}

// JPEG at 0.8 (as the quality slider's float gives it) is the encoder's own quality 80; JPEG 2000 and WebP are
// lossless at 1 only, HEIC and AVIF never; a lower quality makes a smaller file.
TEST_F(SaveTest, QualityReachesTheLossyEncoders)
{
    const std::string noise = folder.Path("noise.png"), output = folder.Path("out.img");
    test::NoiseImage(96, 64).pngsave(noise.c_str());
    const VImage original = test::ReadImage(noise);
    ASSERT_TRUE(ImageTools::SaveImage(Load(noise), output, OutputFormat::Jpeg, 0.8f));
    EXPECT_EQ(test::ReadBytes(output), test::Encoded(original, ".jpg[Q=80]"));
    for (const auto& [format, type] : SavableFormats()) {
        using enum OutputFormat;
        if (format != Jpeg2000 && format != Webp && format != Heic && format != Avif)
            continue;
        SCOPED_TRACE(type);
        std::size_t bytes[2] = {};
        for (const bool top : {false, true}) {
            ASSERT_TRUE(ImageTools::SaveImage(Load(noise), output, format, top ? 1.0 : 0.3));
            bytes[top] = test::ReadBytes(output).size();
            EXPECT_EQ(test::MaxDifference(test::ReadImage(output), original) == 0,
                      top && format != Heic && format != Avif)
                << top;
        }
        EXPECT_LT(bytes[false], bytes[true]);
    }
}

// A save that fails leaves an existing file as it was, and no temporary file beside it, and tells which side failed
// in the user's words: a source cut short (noticed only as its pixels are read), or the output. On a full disk
// every encoder gives up at once, also while it carries the photo's metadata, and the system's cause is told with
// the output's name.
TEST_F(SaveTest, FailedSaveWritesNothing)
{
    const std::string photo = Photo(), noise = folder.Path("noise.png");
    test::NoiseImage(96, 64).pngsave(noise.c_str()); // every format's file of it is over 1 KB
    const std::string truncated = folder.Path("truncated.jpg");
    test::WriteBytes(truncated, test::TruncatedJpeg());
    // 0.5 of the 10 pixels' width lies on the image: the crop takes it, the save refuses it.
    const WorkingImage sliver = ImageTools::CropImage(Load(photo), 199.5, 0, 10, 80, OriginCorner::TopLeft);
    const std::string existing = folder.Path("existing.png");
    struct Case
    {
        std::string name;
        WorkingImage image;
        std::string path;
        OutputFormat format;
        bool keepMetadata;
        SaveResult result;
        std::string reason;    // "" when any
        bool diskFull = false; // writes past 1 KB fail (EFBIG), as on a full disk
    };
    const std::string early = "the file ends early";
    std::vector<Case> cases = {
        {"truncated source as png", Load(truncated), existing, OutputFormat::Png, false, SaveResult::SourceFailed,
         early},
        {"truncated source as jpeg with metadata", Load(truncated), existing, OutputFormat::Jpeg, true,
         SaveResult::SourceFailed, early},
        {"truncated source as gif", Load(truncated), existing, OutputFormat::Gif, false, SaveResult::SourceFailed,
         early},
        {"under a pixel wide", sliver, existing, OutputFormat::Png, false, SaveResult::Failed, ""},
        {"into a missing folder", Load(photo), folder.Path("missing/out.png"), OutputFormat::Png, false,
         SaveResult::Failed, ""},
    };
    for (const auto& [format, type] : SavableFormats()) {
        for (const bool keep : {false, true})
            cases.push_back({std::string(type) + (keep ? " with metadata" : "") + " onto a full disk",
                             Load(keep ? photo : noise), existing, format, keep, SaveResult::Failed,
                             "cannot write " + existing + ": the file is larger than its disk or the system allows",
                             true});
    }
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const rlimit full{1024, unlimited.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the program
    alarm(120);                    // a hang ends the test program (and so fails the test) instead of the suite
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(existing, "keep");
        std::string reason;
        setrlimit(RLIMIT_FSIZE, c.diskFull ? &full : &unlimited);
        EXPECT_EQ(ImageTools::WriteImage(c.image, c.path, c.format, 0.8, c.keepMetadata, true, &reason), c.result);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_FALSE(reason.empty());
        if (!c.reason.empty()) {
            EXPECT_EQ(reason, c.reason);
        }
        EXPECT_EQ(test::ReadBytes(existing), "keep");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 4) << "no file left behind";
    }
    alarm(0);
}

// The box on: the tags that describe the picture follow the crop; the EXIF thumbnail and the maker note's preview,
// which would show what the crop cut away, do not; and the output gets the loaded file's date (a copied photo is
// born after the modification it carries: the earlier date is the picture's) as its modification and access time,
// also when it has replaced the source, whose pixels are then still the loaded file's. The box off: none of it,
// and the same pixels: the metadata goes in without a second encode.
TEST_F(SaveTest, TheBoxDecidesWhetherTheSourcesMetadataAndDateAreCarried)
{
    const std::string photo = Photo();
    test::SetModified(photo, 981158400, 123456789); // 2001-02-03
    const auto date = [](const std::string& path) {
        struct stat attributes = {};
        stat(path.c_str(), &attributes);
        return std::tuple{attributes.st_mtim.tv_sec, attributes.st_mtim.tv_nsec, attributes.st_atim.tv_sec};
    };
    const auto photoDate = std::tuple{981158400L, 123456789L, 981158400L};
    const auto text = [](const Exiv2::ExifData& exif, const char* key) {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        return it == exif.end() ? std::string() : it->toString();
    };
    const WorkingImage cropped = ImageTools::CropImage(Load(photo), 0, 0, 120, 80, OriginCorner::TopLeft);
    for (const auto& [format, type] : SavableFormats()) {
        if (format == OutputFormat::Gif || format == OutputFormat::Bmp)
            continue; // they hold no metadata
        SCOPED_TRACE(type);
        VImage pixels[2];
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(keep ? "box on" : "box off");
            const std::string output = folder.Path(keep ? "with.img" : "without.img");
            std::string reason;
            ASSERT_TRUE(ImageTools::SaveImage(cropped, output, format, 0.3, keep, &reason)) << reason;
            if (keep)
                ImageTools::CopyCreationDate(cropped, output);
            EXPECT_EQ(date(output) == photoDate, keep);
            if (format == OutputFormat::Webp &&
                keep) { // its EXIF chunk starts with the TIFF header, as WebP defines it
                const std::string bytes = test::ReadBytes(output);
                std::uint32_t riffSize = 0;
                std::memcpy(&riffSize, bytes.data() + 4, 4); // little-endian, as this machine
                EXPECT_EQ(riffSize, bytes.size() - 8) << "the chunks fill the file as its header says";
                const std::size_t chunk = bytes.find("EXIF", 12);
                ASSERT_NE(chunk, std::string::npos);
                EXPECT_TRUE(bytes.compare(chunk + 8, 4, "II*\0", 4) == 0 ||
                            bytes.compare(chunk + 8, 4, "MM\0*", 4) == 0)
                    << bytes.substr(chunk + 8, 6);
            }
            auto written = Exiv2::ImageFactory::open(output);
            written->readMetadata();
            const Exiv2::ExifData& exif = written->exifData();
            EXPECT_EQ(text(exif, "Exif.Image.Make"), keep ? "NIKON CORPORATION" : "");
            EXPECT_EQ(text(exif, "Exif.GPSInfo.GPSLatitudeRef"), keep ? "N" : "");
            // The source's 9999 x 9999 would be stale; with the box off an encoder may write its own.
            const std::string size =
                text(exif, "Exif.Photo.PixelXDimension") + "x" + text(exif, "Exif.Photo.PixelYDimension");
            EXPECT_TRUE(size == "120x80" || (!keep && size == "x")) << size;
            EXPECT_NE(text(exif, "Exif.Image.Orientation"), "6");
            EXPECT_TRUE(Exiv2::PreviewManager(*written).getPreviewProperties().empty());
            EXPECT_EQ(written->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title")) != written->xmpData().end(), keep);
            EXPECT_EQ(!written->iptcData().empty(), keep && format != OutputFormat::Heic &&
                                                        format != OutputFormat::Webp && format != OutputFormat::Avif);
            pixels[keep] = test::ReadImage(output);
        }
        EXPECT_EQ(pixels[true].width(), 120); // upright whatever the tags said
        EXPECT_EQ(test::MaxDifference(pixels[true], pixels[false]), 0);
    }

    // Upright (u, v) is stored (v, 199 - u): the crop's top-left (50, 40) is stored (40, 149).
    const WorkingImage overSource = ImageTools::CropImage(Load(photo), 50, 40, 100, 60, OriginCorner::TopLeft);
    ASSERT_TRUE(ImageTools::SaveImage(overSource, photo, OutputFormat::Jpeg, 1.0, true));
    ImageTools::CopyCreationDate(overSource, photo);
    EXPECT_EQ(date(photo), photoDate);
    const VImage back = test::ReadImage(photo);
    EXPECT_EQ(back.width(), 100);
    EXPECT_NEAR(test::CoordinateAt(back, 0, 0).first, 40, 3);
    EXPECT_NEAR(test::CoordinateAt(back, 0, 0).second, 149, 3);

    // A date that cannot be set is told to the caller, never printed.
    std::string reason;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ImageTools::CopyCreationDate(overSource, folder.Path("gone.jpg"), &reason));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(reason, "its date cannot be set: No such file or directory");
}

// Metadata never costs an image its output: what a format cannot hold is left out and named, the rest carried. An
// opaque maker note hiding a JPEG of the whole frame is left out everywhere. The crop is taller than the 128 rows
// of one of libvips' TIFF strips: a lossless output has every row of it beside the metadata.
TEST_F(SaveTest, MetadataThatCannotBeCarriedIsNamedAndTheImageWritten)
{
    const std::string source = folder.Path("overfull.png"); // a PNG holds XMP of any size
    test::WriteCoordinateImage(source, 60, 300);
    auto image = Exiv2::ImageFactory::open(source);
    image->exifData()["Exif.Image.Make"] = "Trimlark Test Camera";
    const std::string note = "OPAQUE" + test::Encoded(test::CoordinateImage(60, 40), ".jpg");
    image->exifData()["Exif.Photo.MakerNote"].setValue(
        Exiv2::DataValue(reinterpret_cast<const Exiv2::byte*>(note.data()), note.size()).clone().get());
    image->iptcData()["Iptc.Application2.Keywords"] = "harbour";
    image->xmpData()["Xmp.dc.description"] = std::string(80 * 1024, 'x');
    image->writeMetadata();
    const WorkingImage cropped = ImageTools::CropImage(Load(source), 0, 5, 30, 290, OriginCorner::TopLeft);
    const VImage croppedPixels = test::CoordinateImage(60, 300).extract_area(0, 5, 30, 290);
    for (const auto& [format, type] : SavableFormats()) {
        SCOPED_TRACE(type);
        using enum OutputFormat;
        const bool holdsNothing = format == Gif || format == Bmp;
        const std::string remark = format == Jpeg   ? "XMP dropped: 8"
                                   : format == Heic ? "IPTC dropped: a HEIC file cannot hold it"
                                   : format == Webp ? "IPTC dropped: a WebP file cannot hold it"
                                   : format == Avif ? "IPTC dropped: an AVIF file cannot hold it"
                                   : holdsNothing   ? "EXIF, IPTC and XMP dropped"
                                                    : "";
        const std::string reason = Save(cropped, format, 0.8, true);
        EXPECT_NE(reason.find(remark), std::string::npos) << reason;
        EXPECT_EQ(reason.find("; ") != std::string::npos, !remark.empty() && !holdsNothing) << reason; // nothing more
        EXPECT_EQ(reason.find("Maker note dropped") != std::string::npos, !holdsNothing) << reason;
        EXPECT_EQ(test::ReadImage(saved).width(), 30);
        if (format == Png || format == Tiff) {
            EXPECT_EQ(test::MaxDifference(test::ReadImage(saved), croppedPixels), 0);
        }
        if (holdsNothing || format == Heic) // Exiv2 0.27 reads no metadata back from a HEIC with this much XMP
            continue;
        auto written = Exiv2::ImageFactory::open(saved);
        written->readMetadata();
        const auto& exif = written->exifData();
        EXPECT_NE(exif.findKey(Exiv2::ExifKey("Exif.Image.Make")), exif.end());
        EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote")), exif.end());
        EXPECT_EQ(written->xmpData().empty(), format == Jpeg);
    }
}

// A source's metadata is read block by block, each tag once: EXIF that Exiv2 cannot take apart costs only itself
// (and is named as dropped), and a PNG's EXIF in two chunks (as libvips writes it) is carried once.
TEST_F(SaveTest, EachReadableBlockOfTheSourceIsCarriedAndEachTagOnce)
{
    const auto withMetadata = [this](const std::string& bytes, bool exif) {
        const std::string path = folder.Path("tagged");
        test::WriteBytes(path, bytes);
        auto image = Exiv2::ImageFactory::open(path);
        if (exif) {
            image->exifData()["Exif.Image.Make"] = "Trimlark Test Camera";
            image->exifData()["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 100);
        }
        image->iptcData()["Iptc.Application2.Keywords"] = "harbour";
        image->xmpData()["Xmp.dc.title"] = "lang=\"x-default\" Harbour at dawn";
        image->writeMetadata();
        return test::ReadBytes(path);
    };
    const std::string jpeg = withMetadata(test::Encoded(test::CoordinateImage(60, 40), ".jpg"), true);
    const std::size_t tiff = jpeg.find(std::string("Exif\0\0II*\0", 10)) + 6; // Exiv2 writes it little-endian
    ASSERT_NE(tiff, std::string::npos + 6);
    const std::size_t firstDirectory = static_cast<std::uint8_t>(jpeg[tiff + 4]); // offset 8 here
    const std::size_t segmentEnd = tiff - 8 +
                                   (static_cast<std::size_t>(static_cast<std::uint8_t>(jpeg[tiff - 8])) << 8 |
                                    static_cast<std::uint8_t>(jpeg[tiff - 7])); // the length counts its own 2 bytes
    Exiv2::ExifData camera;
    camera["Exif.Image.Make"] = "Trimlark Test Camera";
    camera["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 100);
    Exiv2::Blob block;
    Exiv2::ExifParser::encode(block, Exiv2::littleEndian, camera);
    const std::string chunk = PngChunk("eXIf", std::string(block.begin(), block.end()));
    const std::string png = withMetadata(test::Encoded(test::CoordinateImage(60, 40), ".png"), false);
    const struct Case
    {
        const char* name;
        std::string bytes;
        bool damaged;
    } cases[] = {
        {"unknown byte order", std::string(jpeg).replace(tiff, 2, "XY"), true},
        {"first directory past the segment", std::string(jpeg).replace(tiff + 4, 4, "\xFF\xFF\xFF\x7F"), true},
        {"directory of 65535 entries", std::string(jpeg).replace(tiff + firstDirectory, 2, "\xFF\xFF"), true},
        {"header cut after 4 bytes", // the segment holds "Exif\0\0II*\0" and ends
         jpeg.substr(0, tiff - 10) + std::string("\xFF\xE1\0\x0C", 4) + jpeg.substr(tiff - 6, 10) +
             jpeg.substr(segmentEnd),
         true},
        // After the header chunk and before the end chunk, as libvips writes them.
        {"EXIF in two PNG chunks", std::string(png).insert(png.size() - 12, chunk).insert(33, chunk), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = folder.Path(c.damaged ? "source.jpg" : "source.png");
        test::WriteBytes(source, c.bytes);
        for (const OutputFormat format :
             {OutputFormat::Jpeg, OutputFormat::Png, OutputFormat::Tiff, OutputFormat::Jpeg2000}) {
            SCOPED_TRACE(static_cast<int>(format));
            EXPECT_EQ(Save(Load(source), format, 0.8, true),
                      c.damaged ? "EXIF dropped: it is damaged in the source" : "");
            auto written = Exiv2::ImageFactory::open(saved);
            written->readMetadata();
            EXPECT_FALSE(written->iptcData().empty());
            EXPECT_NE(written->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title")), written->xmpData().end());
            std::multiset<std::string> keys;
            for (const auto& datum : written->exifData())
                keys.insert(datum.key());
            EXPECT_EQ(keys.count("Exif.Image.Make"), c.damaged ? 0u : 1u);
            for (const auto& key : keys)
                EXPECT_EQ(keys.count(key), 1u) << key;
        }
    }
}

// Other programs keep EXIF, IPTC and XMP in PNG text chunks ("Raw profile type ...") and free text in a TIFF
// description; with the box off none of it reaches the output either.
TEST_F(SaveTest, BoxOffDropsOtherProgramsCopiesOfTheMetadata)
{
    for (const auto& [file, field, format] : {std::tuple{"text-chunk.png", "png-comment-0-Raw", OutputFormat::Png},
                                              std::tuple{"described.tif", "image-description", OutputFormat::Tiff}}) {
        SCOPED_TRACE(file);
        VImage marked = test::CoordinateImage(40, 30).copy();
        marked.set(field, "where the photo was taken");
        marked.write_to_file(folder.Path(file).c_str());
        ASSERT_NE(test::ReadImage(folder.Path(file)).get_typeof(field), 0u);
        ASSERT_TRUE(ImageTools::SaveImage(Load(folder.Path(file)), folder.Path("out.img"), format, 0.8, false));
        EXPECT_EQ(test::ReadImage(folder.Path("out.img")).get_typeof(field), 0u);
    }
}

} // namespace
} // namespace trimlark
