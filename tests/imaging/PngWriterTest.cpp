#include "imaging/encode/PngWriter.h"

#include "TestImages.h"
#include "imaging/ImageTools.h"

#include <gtest/gtest.h>
#include <vips/vips8>
#include <zlib.h>

namespace trimlark {
namespace {

using vips::VImage;

std::string Encode(const VImage& pixels, std::string_view headerChunks = {})
{
    std::string bytes;
    EncodePng(pixels, headerChunks, [&bytes](const void* data, std::size_t size) {
        bytes.append(static_cast<const char*>(data), size);
        return true;
    });
    return bytes;
}

// The chunk types of a PNG in order, each checked against its checksum.
std::vector<std::string> ChunkTypes(const std::string& png)
{
    std::vector<std::string> types;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const auto bigEndian = [&png](std::size_t from) {
            std::uint32_t value = 0;
            for (std::size_t i = from; i < from + 4; ++i)
                value = value << 8 | static_cast<std::uint8_t>(png[i]);
            return value;
        };
        const std::uint32_t length = bigEndian(at), stored = bigEndian(at + 8 + length);
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), length + 4);
        types.push_back(png.substr(at + 4, 4) + (crc == stored ? "" : " (bad checksum)"));
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    return types;
}

VImage Decode(const std::string& png)
{
    return VImage::new_from_buffer(png.data(), png.size(), "", VImage::option()->set("fail_on", VIPS_FAIL_ON_WARNING))
        .copy_memory();
}

class PngWriterTest : public ::testing::Test
{
protected:
    void SetUp() override { ImageTools::Initialize(); }
};

// RGB and RGBA (what the writer is given), sizes of one pixel to several strips, and a stream past one IDAT chunk:
// the decoder reads back the very pixels.
TEST_F(PngWriterTest, RgbAndRgbaDecodeToThePixelsTheyWereGiven)
{
    for (const int bands : {3, 4}) {
        for (const auto& [width, height] : {std::pair{1, 1}, {5, 3}, {311, 917}, {70000, 1}}) {
            SCOPED_TRACE(std::to_string(bands) + " bands, " + std::to_string(width) + " x " + std::to_string(height));
            VImage noise = test::NoiseImage(width, height);
            const VImage pixels = bands == 3 ? noise : noise.bandjoin(noise.extract_band(1));
            const std::string png = Encode(pixels);
            const std::vector<std::string> types = ChunkTypes(png);
            ASSERT_GE(types.size(), 3u);
            EXPECT_EQ(types.front(), "IHDR");
            EXPECT_EQ(types.back(), "IEND");
            EXPECT_EQ(
                std::count_if(types.begin(), types.end(), [](const std::string& type) { return type.size() != 4; }), 0)
                << "every chunk with its checksum";
            const VImage decoded = Decode(png);
            ASSERT_EQ(decoded.bands(), bands);
            ASSERT_EQ(decoded.width(), width);
            ASSERT_EQ(decoded.height(), height);
            EXPECT_EQ(test::MaxDifference(decoded, pixels), 0);
            if (width == 311) { // noise past one chunk's 256 KiB
                EXPECT_GT(std::count(types.begin(), types.end(), "IDAT"), 1);
            }
        }
    }
}

TEST_F(PngWriterTest, ProfileResolutionAndGivenChunksGoBeforeThePixels)
{
    VipsBlob* srgb = VImage::profile_load("srgb");
    std::size_t profileSize = 0;
    const auto* profileData = static_cast<const char*>(vips_blob_get(srgb, &profileSize));
    const std::string profile(profileData, profileSize);
    vips_area_unref(VIPS_AREA(srgb));
    const struct Case
    {
        int width, height; // of noise: 200 pixels have at most 256 colours, 1600 more
        std::vector<std::string> chunks;
    } cases[] = {
        {20, 10, {"IHDR", "iCCP", "pHYs", "tEXt", "PLTE", "IDAT", "IEND"}},
        {40, 40, {"IHDR", "iCCP", "pHYs", "tEXt", "IDAT", "IEND"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        VImage pixels = test::NoiseImage(c.width, c.height)
                            .copy(VImage::option()->set("xres", 300 / 25.4)->set("yres", 150 / 25.4));
        vips_image_set_blob_copy(pixels.get_image(), VIPS_META_ICC_NAME, profile.data(), profile.size());
        const std::string png = Encode(pixels, PngChunk("tEXt", std::string("Comment\0carried", 15)));
        EXPECT_EQ(ChunkTypes(png), c.chunks);
        const VImage decoded = Decode(png);
        EXPECT_EQ(test::MaxDifference(decoded, pixels), 0);
        EXPECT_NEAR(decoded.xres() * 25.4, 300, 0.03); // to the nearest pixel per metre
        EXPECT_NEAR(decoded.yres() * 25.4, 150, 0.03);
        std::size_t size = 0;
        const void* read = decoded.get_blob(VIPS_META_ICC_NAME, &size);
        EXPECT_EQ(std::string(static_cast<const char*>(read), size), profile);
        EXPECT_STREQ(decoded.get_string("png-comment-0-Comment"), "carried");
    }
}

// A picture of `colours` colours (RGB, or RGBA with every other colour half transparent), spread so that rows
// and packed bytes differ; from row newColourRow on (when not -1), the first pixel of each row has one colour more.
VImage ColouredImage(int width, int height, int colours, bool alpha, int newColourRow = -1)
{
    const int bands = alpha ? 4 : 3;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * bands);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int colour = (x * 7 + y * 3) % colours;
            std::uint8_t* pixel = &bytes[(static_cast<std::size_t>(y) * width + x) * bands];
            pixel[0] = static_cast<std::uint8_t>(colour);
            pixel[1] = static_cast<std::uint8_t>(colour >> 8);
            pixel[2] = 77;
            if (alpha)
                pixel[3] = colour % 2 ? 128 : 255;
        }
    }
    for (int y = std::max(newColourRow, 0); newColourRow >= 0 && y < height; ++y)
        bytes[static_cast<std::size_t>(y) * width * bands + 2] = 78;
    return VImage::new_from_memory(bytes.data(), bytes.size(), width, height, bands, VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

// At most 256 colours make a palette picture, its indices as narrow as the count allows; one more, even in the
// last pixel, makes a full-colour one. Either way the decoder reads back the very pixels.
TEST_F(PngWriterTest, FewColoursAreWrittenWithAPalette)
{
    const struct Case
    {
        int colours;
        bool alpha;
        int height, newColourRow; // a 257th colour from that row on, past strips already kept as indices
        int depth, colourType;    // expected in the header
        bool transparency;        // a tRNS chunk
    } cases[] = {
        {2, false, 23, -1, 1, 3, false},     {3, false, 23, -1, 2, 3, false},    {16, false, 23, -1, 4, 3, false},
        {17, false, 23, -1, 8, 3, false},    {256, false, 23, -1, 8, 3, false},  {256, true, 23, -1, 8, 3, true},
        {256, false, 600, 599, 8, 2, false}, {256, true, 600, 300, 8, 6, false}, {300, false, 23, -1, 8, 2, false},
        {300, true, 23, -1, 8, 6, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.colours) + (c.alpha ? " with alpha" : "") + ", new colour from row " +
                     std::to_string(c.newColourRow));
        const VImage pixels = ColouredImage(37, c.height, c.colours, c.alpha, c.newColourRow);
        const std::string png = Encode(pixels);
        EXPECT_EQ(static_cast<int>(png[24]), c.depth);
        EXPECT_EQ(static_cast<int>(png[25]), c.colourType);
        const std::vector<std::string> types = ChunkTypes(png);
        EXPECT_EQ(std::count(types.begin(), types.end(), "tRNS"), c.transparency ? 1 : 0);
        const VImage decoded = Decode(png);
        ASSERT_EQ(decoded.bands(), pixels.bands());
        EXPECT_EQ(test::MaxDifference(decoded, pixels), 0);
    }
}

// A sink that refuses bytes (a full disk) and pixels that cannot be computed (a truncated source) both end the
// encoding with an error; nothing more is written after the refusal.
TEST_F(PngWriterTest, ARefusedWriteOrUnreadablePixelsEndTheEncoding)
{
    const VImage noise = test::NoiseImage(400, 300), flat = ColouredImage(400, 300, 16, false);
    const struct Case
    {
        const char* name;
        const VImage& picture;
        std::size_t refuseAfter;
    } cases[] = {{"full colour, at the header", noise, 0},
                 {"full colour, past the first chunk", noise, 300000},
                 {"palette, in the pixels", flat, 120}}; // its header and palette take 114 bytes
    for (const auto& [name, picture, refuseAfter] : cases) {
        SCOPED_TRACE(name);
        std::size_t taken = 0, callsAfterRefusal = 0;
        bool refused = false;
        const auto sink = [&](const void*, std::size_t size) {
            if (refused)
                ++callsAfterRefusal;
            if (taken + size > refuseAfter)
                return !(refused = true);
            taken += size;
            return true;
        };
        EXPECT_THROW(EncodePng(picture, {}, sink), vips::VError);
        EXPECT_TRUE(refused);
        EXPECT_EQ(callsAfterRefusal, 0u);
    }
    const std::string truncated = test::TruncatedJpeg();
    const VImage unreadable = VImage::new_from_buffer(truncated.data(), truncated.size(), "",
                                                      VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
    EXPECT_THROW(Encode(unreadable), vips::VError);
}

} // namespace
} // namespace trimlark
