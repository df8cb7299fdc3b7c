// Border trim timings on product-like pictures. Not a test: numbers vary with the machine.
//
//   trim_bench --make FOLDER [COUNT]   writes COUNT (default 6) product-like 6000 x 4000 JPEGs to FOLDER: a
//                                      textured product on a near-white backdrop with light noise and a soft
//                                      shadow below it, each placed and sized differently
//   trim_bench FILE...                 times ImageTools::FindBorderTrim (tolerance 10, margin 0) on each file,
//                                      its JPEG read both ways (reduced first, then strips; or whole), the two
//                                      interleaved over 5 rounds; prints the median ms of each and the rectangle
#include "imaging/BorderTrim.h"
#include "imaging/ImageTools.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <vips/vips8>

namespace {

using trimlark::PixelRect;
using trimlark::TrimDecode;
using vips::VImage;

int Make(const std::string& folder, int count)
{
    const int width = 6000;
    const int height = 4000;
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0];
    const VImage y = xy[1];
    for (int i = 0; i < count; ++i) {
        const double cx = 2400 + 250 * i;
        const double cy = 1800 + 80 * i;
        const double rx = 1100 + 120 * i;
        const double ry = 1200 - 60 * i;
        const VImage inside = ((x - cx) / rx).pow(2) + ((y - cy) / ry).pow(2) < 1;
        // The shadow: an ellipse under the product, darkest at its centre.
        const VImage shadow =
            ((((x - cx) / (rx * 1.1)).pow(2) + ((y - cy - ry * 0.9) / (ry * 0.25)).pow(2)) * -1.5).exp() * 70;
        const VImage backdrop =
            VImage::black(width, height, VImage::option()->set("bands", 3)) + std::vector<double>{248, 247, 245};
        const VImage texture =
            VImage::gaussnoise(width, height, VImage::option()->set("sigma", 60)->set("seed", i)).gaussblur(2);
        const VImage product = VImage::bandjoin({texture, texture * 0.7 + 30, texture * 0.4 + 50});
        const VImage noise = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 2)->set("mean", 0));
        const VImage picture = inside.ifthenelse(product, backdrop - shadow) + noise;
        const std::string path = folder + "/product-" + std::to_string(i + 1) + ".jpg";
        picture.cast(VIPS_FORMAT_UCHAR)
            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .jpegsave(path.c_str(), VImage::option()->set("Q", 90));
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string Describe(const std::optional<PixelRect>& rect)
{
    if (!rect)
        return "nothing";
    return std::to_string(rect->left) + "," + std::to_string(rect->top) + " " + std::to_string(rect->width) + " x " +
           std::to_string(rect->height);
}

int Time(const std::vector<std::string>& files)
{
    trimlark::ImageTools::Initialize();
    double totalShrunk = 0;
    double totalWhole = 0;
    std::printf("%-28s %10s %10s  %s\n", "file", "reduced ms", "whole ms", "rectangle");
    for (const std::string& file : files) {
        std::vector<double> shrunk;
        std::vector<double> whole;
        std::optional<PixelRect> found[2];
        for (int round = 0; round < 5; ++round) {
            for (const TrimDecode decode : {TrimDecode::ShrunkFirst, TrimDecode::Whole}) {
                const auto start = std::chrono::steady_clock::now();
                const auto rect = trimlark::FindBorderTrimRect(file, 10, 0, decode);
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                (decode == TrimDecode::Whole ? whole : shrunk).push_back(ms);
                found[decode == TrimDecode::Whole] = rect;
            }
        }
        totalShrunk += Median(shrunk);
        totalWhole += Median(whole);
        const std::string name = file.substr(file.find_last_of('/') + 1);
        std::printf("%-28s %10.0f %10.0f  %s%s\n", name.c_str(), Median(shrunk), Median(whole),
                    Describe(found[0]).c_str(),
                    found[0] == found[1] ? "" : (" (whole: " + Describe(found[1]) + ")").c_str());
    }
    std::printf("%-28s %10.0f %10.0f\n", "total", totalShrunk, totalWhole);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]) != 0)
        return 1;
    if (argc >= 3 && std::string(argv[1]) == "--make")
        return Make(argv[2], argc >= 4 ? std::atoi(argv[3]) : 6);
    if (argc < 2) {
        std::fprintf(stderr, "usage: trim_bench --make FOLDER [COUNT] | trim_bench FILE...\n");
        return 2;
    }
    return Time(std::vector<std::string>(argv + 1, argv + argc));
}
