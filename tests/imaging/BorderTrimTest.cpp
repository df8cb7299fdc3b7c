#include "imaging/BorderTrim.h"

#include "TestImages.h"
#include "imaging/ImageTools.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

namespace trimlark {
namespace {

using vips::VImage;

// A picture of one colour, 8-bit, with gaussian noise of sigma (seeded: the same picture every run).
VImage Flat(int width, int height, const std::vector<double>& colour, double sigma = 0)
{
    VImage flat = VImage::black(width, height).new_from_image(colour).cast(VIPS_FORMAT_FLOAT);
    if (sigma > 0)
        flat = flat +
               VImage::gaussnoise(width, height, VImage::option()->set("sigma", sigma)->set("mean", 0)->set("seed", 7));
    return flat.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// A textured print of dark, saturated colours (far from white and from black), in memory so it can be drawn on.
VImage Print(int width, int height)
{
    return Flat(width, height, {90, 110, 150}, 15).copy_memory();
}

void Save(const VImage& picture, const std::string& path)
{
    picture.write_to_file(path.c_str(), path.ends_with(".jpg") ? VImage::option()->set("Q", 92) : nullptr);
}

// A print scanned on a noisy off-white lid (noise of sigma 20: a channel is more than the tolerance off the
// lid's colour at one pixel in five), the print where given. Specks of dust 2 to 4 pixels across lie on the frame,
// and a dark corner where the top-left pixel is.
VImage Scan(int width, int height, const PixelRect& print)
{
    VImage scan = Flat(width, height, {236, 233, 226}, 20).copy_memory();
    scan = scan.insert(Print(print.width, print.height), print.left, print.top).copy_memory();
    const std::vector<double> dust{40, 40, 40};
    scan.draw_rect(dust, 0, 0, 5, 5, VImage::option()->set("fill", true)); // the lid's shadow in the corner
    for (const auto& [x, y, side] :
         {std::tuple{20, 300, 3}, std::tuple{600, 30, 4}, std::tuple{1120, 900, 2}, std::tuple{300, 1570, 4}}) {
        if (x + side < width && y + side < height)
            scan.draw_rect(dust, x, y, side, side, VImage::option()->set("fill", true));
    }
    return scan;
}

// A product on a near-white backdrop, its soft shadow below and to its right: the shadow darkens the backdrop by
// up to 60, fading 4 a pixel towards its right edge (x = 760) and its bottom edge (y = 590). The picture is where
// the shadow darkens the backdrop by more than the tolerance (25.5): x up to 753 (4 * 7 = 28; 754 gives 24), y up
// to 583. 1000 x 800, read at half size first.
VImage Product()
{
    const VImage backdrop = Flat(1000, 800, {246, 246, 246}, 2);
    const VImage xy = VImage::xyz(440, 370); // the shadow's square, from (320, 220)
    const auto lesser = [](const VImage& a, const VImage& b) { return (a < b).ifthenelse(a, b); };
    const VImage shade = lesser(lesser((440 - xy[0]) * 4, (370 - xy[1]) * 4), VImage::black(440, 370) + 60);
    VImage shot =
        (backdrop.cast(VIPS_FORMAT_FLOAT) - VImage::black(1000, 800).insert(shade, 320, 220).cast(VIPS_FORMAT_FLOAT))
            .cast(VIPS_FORMAT_UCHAR)
            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return shot.insert(Print(400, 350), 300, 200);
}

// A screenshot of a 640 x 270 film between black bars, 44 above and 46 below.
VImage Letterbox()
{
    return Flat(640, 360, {0, 0, 0}).insert(test::NoiseImage(640, 270), 0, 44);
}

const std::optional<PixelRect> kNothing;

// Each edge of the rectangle found at most one pixel out from the picture's, none inside it.
void ExpectAround(const PixelRect& found, const PixelRect& picture)
{
    EXPECT_TRUE(found.left <= picture.left && found.left >= picture.left - 1) << found.left;
    EXPECT_TRUE(found.top <= picture.top && found.top >= picture.top - 1) << found.top;
    const int right = found.left + found.width;
    const int bottom = found.top + found.height;
    EXPECT_TRUE(right >= picture.left + picture.width && right <= picture.left + picture.width + 1) << right;
    EXPECT_TRUE(bottom >= picture.top + picture.height && bottom <= picture.top + picture.height + 1) << bottom;
}

TEST(BorderTrimTest, FindsThePictureWithinItsBorder)
{
    test::TempFolder folder;
    const struct Case
    {
        const char* name; // the file's, its type by its suffix
        std::function<VImage()> picture;
        std::optional<PixelRect> expected;
        int margin = 0;
        int orientation = 1; // the EXIF orientation the file is stored with; picture() is upright
    } cases[] = {
        // 1200 x 1600, a frame of a different width on each side (57 left, 83 top, 131 right, 40 bottom): read at a
        // quarter first.
        {"scan.jpg",
         [] {
             return Scan(1200, 1600, {57, 83, 1012, 1477});
         },
         PixelRect{57, 83, 1012, 1477}},
        {"letterbox.png", Letterbox, PixelRect{0, 44, 640, 270}},
        {"product.png", Product, PixelRect{300, 200, 454, 384}}, // to x 753 and y 583 (see Product)
        {"no-border.png", [] { return test::NoiseImage(800, 600); }, kNothing},
        {"one-colour.png",
         [] {
             return Flat(500, 400, {128, 128, 128});
         },
         kNothing},
        // A sky along the top edge alone is the picture's, not a border.
        {"sky.png",
         [] {
             return Flat(800, 600, {120, 170, 230}).insert(test::NoiseImage(800, 400), 0, 200);
         },
         kNothing},
        // Grown by the margin: out to the picture's edges and no further. A small scan, read at full size.
        {"margin.png",
         [] {
             return Scan(400, 320, {30, 5, 350, 275});
         },
         PixelRect{20, 0, 370, 290}, 10},
        {"margin-beyond-the-picture.png", Letterbox, PixelRect{0, 0, 640, 360}, 50},
        // 800 x 1200 upright, stored on its side; the print 70 from the left, 150 from the top, 130 from the
        // right, 120 from the bottom.
        {"orientation-6.jpg",
         [] {
             return Flat(800, 1200, {250, 250, 250}, 3).insert(Print(600, 930), 70, 150);
         },
         PixelRect{70, 150, 600, 930}, 0, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path(c.name);
        const VImage upright = c.picture();
        Save(c.orientation == 6 ? upright.rot(VIPS_ANGLE_D270) : upright, path);
        if (c.orientation != 1)
            test::SetOrientation(path, c.orientation);
        // A large JPEG's strips are decoded alone; decoded whole, the same rectangle comes.
        std::vector<std::optional<PixelRect>> found{ImageTools::FindBorderTrim(path, 10, c.margin)};
        if (std::string(c.name).ends_with(".jpg"))
            found.push_back(FindBorderTrimRect(path, 10, c.margin, TrimDecode::Whole));
        for (const auto& trim : found) {
            if (!c.expected) {
                EXPECT_FALSE(trim) << trim->left << "," << trim->top << " " << trim->width << " x " << trim->height;
                continue;
            }
            ASSERT_TRUE(trim);
            ExpectAround(*trim, *c.expected);
        }
    }
}

// A transparent border is one colour whatever the colour its pixels hide, and a faint shadow is picture where it
// is more opaque than the tolerance: a white disc with a shadow of opacity 40 below it, on a border transparent
// over noise.
TEST(BorderTrimTest, ATransparentBorderIsTrimmedByItsOpacity)
{
    test::TempFolder folder;
    const std::string path = folder.Path("cut-out.png");
    const VImage colour = test::NoiseImage(600, 500).insert(Flat(200, 200, {255, 255, 255}), 150, 100);
    VImage alpha = Flat(600, 500, {0}).copy_memory();
    alpha.draw_rect({40}, 150, 300, 200, 30, VImage::option()->set("fill", true));
    alpha.draw_circle({255}, 250, 200, 100, VImage::option()->set("fill", true));
    colour.bandjoin(alpha)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .pngsave(path.c_str());
    const auto trim = ImageTools::FindBorderTrim(path, 10, 0);
    ASSERT_TRUE(trim);
    ExpectAround(*trim, {150, 100, 201, 230}); // the disc from (150, 100) to x 350, its shadow to y 329
}

// None of these may crash, hang or print: each finds nothing.
TEST(BorderTrimTest, BadInputFindsNothing)
{
    test::TempFolder folder;
    const std::string framed = test::Encoded(Flat(400, 300, {250, 250, 250}).insert(Print(200, 100), 100, 100), ".jpg");
    const auto claiming = [&framed](const char* size) { // a frame header claiming height and width
        return std::string(framed).replace(framed.find("\xFF\xC0") + 5, 4, size, 4);
    };
    const struct Case
    {
        const char* file;
        std::string bytes;
    } cases[] = {
        {"text.jpg", "not an image"},
        {"half.jpg", framed.substr(0, framed.size() / 2)},
        {"huge.jpg", claiming("\xEA\x60\xEA\x60")}, // 60000 x 60000 in a few kilobytes
    };
    alarm(120); // a hang ends the test program (and so fails the test) instead of stopping the suite
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.Path(c.file);
        test::WriteBytes(path, c.bytes);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(ImageTools::FindBorderTrim(path, 10, 0));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    alarm(0);
    test::WriteBytes(folder.Path("whole.jpg"), framed); // the same picture whole has its border found
    EXPECT_TRUE(ImageTools::FindBorderTrim(folder.Path("whole.jpg"), 10, 0));
    // A PNG is held whole while its border is looked for: 400 x 4000 takes 6.4 MB, over a budget of 3 MB that its
    // decode alone (800 rows at once, 1.3 MB) is within.
    const std::string tall = folder.Path("tall.png");
    Flat(400, 4000, {250, 250, 250}).insert(Print(200, 3000), 100, 500).pngsave(tall.c_str());
    setenv("TRIMLARK_IMAGE_MEMORY", "3", 1);
    EXPECT_FALSE(ImageTools::FindBorderTrim(tall, 10, 0));
    unsetenv("TRIMLARK_IMAGE_MEMORY");
    EXPECT_TRUE(ImageTools::FindBorderTrim(tall, 10, 0));
}

} // namespace
} // namespace trimlark
