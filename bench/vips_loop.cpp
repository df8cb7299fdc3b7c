// The same crops as trimlark-cli done by a bare libvips loop, for bench/compare.sh: what the library costs
// without anything around it. Not a test.
//
//   vips_loop crop LIST OUTDIR FORMAT QUALITY KEEP [THREADS]
//       each line of LIST is "path left top width height" (in the upright picture); every file is opened
//       sequentially, turned upright when its EXIF says so, cut and saved as OUTDIR/<name>.<FORMAT> with the
//       encoder options trimlark-cli uses (JPEG: Q; PNG: "up" filter, deflate 1); KEEP=0 strips metadata.
//       THREADS files are in flight at once (default 2).
//   vips_loop thumb LIST OUTDIR FORMAT QUALITY KEEP [THREADS]
//       what vipsthumbnail --smartcrop centre does per file: each line's width and height are the output's
//       size; the source is shrunk to fill it (VImage::thumbnail, shrink-on-load as libvips chooses it), cut
//       around its centre and saved as crop does.
//   vips_loop floor LIST OUTDIR FORMAT QUALITY KEEP
//       one file at a time, one libvips thread: the full decode of each source alone, then the encode of its
//       cut region alone (decoded into memory beforehand, outside the timing); prints
//       "<decode ms> <encode ms>" summed over the list.
//   vips_loop thumb-floor LIST OUTDIR FORMAT QUALITY KEEP
//       floor for thumb's lines: the decode of each whole source alone at the JPEG scale (1/2, 1/4 or 1/8) that
//       still leaves its largest centred region of the output's shape at least the output's size, then the
//       encode of the output alone (made beforehand, outside the timing).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <vips/vips8>

namespace {

using vips::VImage;

struct Item
{
    std::string path;
    int left = 0, top = 0, width = 0, height = 0;
};

std::vector<Item> ReadList(const char* file)
{
    std::vector<Item> items;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        Item item;
        if (std::istringstream(line) >> item.path >> item.left >> item.top >> item.width >> item.height)
            items.push_back(item);
    }
    return items;
}

struct Options
{
    std::string outdir, format;
    int quality = 80;
    bool keep = true;
};

std::string OutputPath(const Options& options, const std::string& source)
{
    std::string name = source.substr(source.find_last_of('/') + 1);
    name = name.substr(0, name.find_last_of('.'));
    return options.outdir + "/" + name + "." + options.format;
}

// The source upright: streaming when no turn is needed, random access otherwise (a turn reads out of order).
VImage OpenUpright(const std::string& path)
{
    VImage image = VImage::new_from_file(path.c_str(), VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    if (vips_image_get_orientation(image.get_image()) == 1)
        return image;
    return VImage::new_from_file(path.c_str(), VImage::option()->set("access", VIPS_ACCESS_RANDOM)).autorot();
}

void Save(const VImage& pixels, const std::string& path, const Options& options)
{
    auto* saveOptions = VImage::option()->set("strip", !options.keep);
    if (options.format == "png") {
        pixels.pngsave(path.c_str(), saveOptions->set("filter", VIPS_FOREIGN_PNG_FILTER_UP)->set("compression", 1));
    } else {
        pixels.jpegsave(path.c_str(), saveOptions->set("Q", options.quality));
    }
}

int NoRegionWrite(VipsRegion*, VipsRect*, void*)
{
    return 0;
}

double Ms(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The output of one line of the list: its cut region, or its thumbnail when `thumb`.
VImage MakeOutput(const Item& item, bool thumb)
{
    if (thumb)
        return VImage::thumbnail(item.path.c_str(), item.width,
                                 VImage::option()->set("height", item.height)->set("crop", VIPS_INTERESTING_CENTRE));
    return OpenUpright(item.path).extract_area(item.left, item.top, item.width, item.height);
}

int Crop(const std::vector<Item>& items, const Options& options, unsigned threads, bool thumb)
{
    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    auto worker = [&] {
        for (size_t i = next++; i < items.size(); i = next++) {
            const Item& item = items[i];
            try {
                Save(MakeOutput(item, thumb), OutputPath(options, item.path), options);
            } catch (const vips::VError& error) {
                std::fprintf(stderr, "%s: %s\n", item.path.c_str(), error.what());
                ++failures;
            }
            vips_thread_shutdown();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(worker);
    for (auto& thread : pool)
        thread.join();
    return failures == 0 ? 0 : 1;
}

// The JPEG scale a thumbnail's decode can take: the largest of 8, 4 and 2 that leaves the source's largest centred
// region of the output's shape at least the output's size; 1 when none does.
int ThumbShrink(const VImage& header, const Item& item)
{
    const int orientation = vips_image_get_orientation(header.get_image());
    const bool turned = orientation >= 5 && orientation <= 8;
    const long width = turned ? header.height() : header.width();
    const long height = turned ? header.width() : header.height();
    const bool wider = width * item.height >= height * item.width;
    const long keptWidth = wider ? height * item.width / item.height : width;
    const long keptHeight = wider ? height : width * item.height / item.width;
    for (const int shrink : {8, 4, 2}) {
        if (keptWidth / shrink >= item.width && keptHeight / shrink >= item.height)
            return shrink;
    }
    return 1;
}

int Floor(const std::vector<Item>& items, const Options& options, bool thumb)
{
    vips_concurrency_set(1);
    double decodeMs = 0;
    double encodeMs = 0;
    for (const Item& item : items) {
        try {
            auto* loadOptions = VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL);
            if (thumb)
                loadOptions->set("shrink", ThumbShrink(VImage::new_from_file(item.path.c_str()), item));
            auto start = std::chrono::steady_clock::now();
            VImage source = VImage::new_from_file(item.path.c_str(), loadOptions);
            if (vips_sink_disc(source.get_image(), NoRegionWrite, nullptr) != 0)
                throw vips::VError();
            decodeMs += Ms(start);
            VImage cut = MakeOutput(item, thumb).copy_memory();
            start = std::chrono::steady_clock::now();
            Save(cut, OutputPath(options, item.path), options);
            encodeMs += Ms(start);
        } catch (const vips::VError& error) {
            std::fprintf(stderr, "%s: %s\n", item.path.c_str(), error.what());
            return 1;
        }
    }
    std::printf("%.1f %.1f\n", decodeMs, encodeMs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 7 || VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr,
                     "usage: vips_loop crop|thumb|floor|thumb-floor LIST OUTDIR FORMAT QUALITY KEEP [THREADS]\n");
        return 2;
    }
    vips_cache_set_max(0);
    const std::string mode = argv[1];
    const auto items = ReadList(argv[2]);
    const Options options{argv[3], argv[4], std::atoi(argv[5]), std::atoi(argv[6]) != 0};
    const unsigned threads = argc > 7 ? static_cast<unsigned>(std::atoi(argv[7])) : 2;
    const bool thumb = mode == "thumb" || mode == "thumb-floor";
    const int status =
        mode == "floor" || mode == "thumb-floor" ? Floor(items, options, thumb) : Crop(items, options, threads, thumb);
    vips_shutdown();
    return status;
}
