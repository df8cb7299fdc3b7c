// Load + crop + save timings and peak memory for large JPEGs. Not a test: numbers vary with the machine.
//
//   imaging_bench [folder]          makes 24 MP and 100 MP JPEGs in folder (default: a temporary folder),
//                                   then measures each case in a fresh process and prints a table
//   imaging_bench --one SRC OUT FORMAT KEEP
//                                   one load + crop + save; prints "<ms> <peak KiB> <output bytes>"
//   imaging_bench --one SRC - SUBJECT 0
//                                   finding the subject of a centred 1:1 crop (sample decode and placement)
//   imaging_bench --cost SRC FORMAT LOSSLESS
//                                   the memory a save of the whole picture is estimated to hold, in bytes
#include "imaging/Codecs.h"
#include "imaging/ImageTools.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <vips/vips8>

namespace {

using trimlark::ImageTools;

void PrintUsage(std::chrono::steady_clock::time_point start, std::uintmax_t bytes)
{
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f %ld %ju\n", ms, usage.ru_maxrss, bytes);
}

int RunSubject(const std::string& source)
{
    ImageTools::Initialize();
    const auto start = std::chrono::steady_clock::now();
    const auto probe = ImageTools::ProbeImage(source);
    const auto size = probe ? std::optional(probe->size) : std::nullopt;
    const auto sample = ImageTools::LoadSubjectSample(source);
    if (!size || !sample)
        return 1;
    const trimlark::Rect centred = trimlark::GetAutoCropRect({}, size->width, size->height);
    const trimlark::Rect placed =
        ImageTools::PlaceCropOnSubject(*sample, size->width, size->height, centred, trimlark::OriginCorner::TopLeft);
    PrintUsage(start, static_cast<std::uintmax_t>(placed.x));
    return 0;
}

int RunOne(const std::string& source, const std::string& output, const std::string& format, bool keepMetadata)
{
    if (format == "SUBJECT")
        return RunSubject(source);
    ImageTools::Initialize();
    const auto start = std::chrono::steady_clock::now();
    std::string reason;
    const auto image = ImageTools::LoadImageAtPixelSize(source, &reason);
    if (!image) {
        std::fprintf(stderr, "load failed: %s\n", reason.c_str());
        return 1;
    }
    // A centred crop of 80 % of each side, measured from the top-left corner.
    const double w = image->Width() * 0.8;
    const double h = image->Height() * 0.8;
    const auto cropped = ImageTools::CropImage(*image, image->Width() * 0.1, image->Height() * 0.1, w, h,
                                               trimlark::OriginCorner::TopLeft);
    const auto& formats = trimlark::AvailableFormats();
    const auto outputFormat = formats.OutputFormatAt(formats.IndexOfTitle(format), source);
    if (!outputFormat) {
        std::fprintf(stderr, "unknown format: %s\n", format.c_str());
        return 1;
    }
    if (!ImageTools::SaveImage(cropped, output, *outputFormat, 0.800000011920929, keepMetadata, &reason)) {
        std::fprintf(stderr, "save failed: %s\n", reason.c_str());
        return 1;
    }
    if (keepMetadata)
        ImageTools::CopyCreationDate(cropped, output);
    PrintUsage(start, std::filesystem::file_size(output));
    return 0;
}

int PrintCost(const std::string& source, const std::string& format, bool lossless)
{
    ImageTools::Initialize();
    std::string reason;
    const auto image = ImageTools::LoadImageAtPixelSize(source, &reason);
    const auto& formats = trimlark::AvailableFormats();
    const auto outputFormat = formats.OutputFormatAt(formats.IndexOfTitle(format), source);
    if (!image || !outputFormat) {
        std::fprintf(stderr, "cannot estimate: %s\n", reason.c_str());
        return 1;
    }
    std::printf("%.0f\n", ImageTools::MemoryCost(*image, *outputFormat, lossless));
    return 0;
}

// Runs one case in a fresh process, so its peak memory is its own.
bool Measure(const std::string& self, const std::string& source, const std::string& output, const std::string& format,
             bool keep, double& ms, long& peakKiB, std::uintmax_t& bytes)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execl(self.c_str(), self.c_str(), "--one", source.c_str(), output.c_str(), format.c_str(), keep ? "1" : "0",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[128] = {};
    const ssize_t length = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return length > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           std::sscanf(text, "%lf %ld %ju", &ms, &peakKiB, &bytes) == 3;
}

// A photo-like picture: smooth gradients with noise, so the encoder has real work.
void MakeJpeg(const std::string& path, int width, int height, int orientation)
{
    using vips::VImage;
    const VImage xy = VImage::xyz(width, height);
    const VImage red = xy[0] * (255.0 / width);
    const VImage green = xy[1] * (255.0 / height);
    const VImage blue = (xy[0] + xy[1]) * (255.0 / (width + height));
    const VImage noise = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 12.0)->set("mean", 0.0));
    const VImage picture = (red.bandjoin(green).bandjoin(blue) + noise)
                               .cast(VIPS_FORMAT_UCHAR)
                               .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    VImage tagged = picture.copy();
    if (orientation != 1)
        tagged.set(VIPS_META_ORIENTATION, orientation);
    tagged.jpegsave(path.c_str(), VImage::option()->set("Q", 90));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "--one")
        return RunOne(argv[2], argv[3], argv[4], std::string(argv[5]) == "1");
    if (argc == 5 && std::string(argv[1]) == "--cost")
        return PrintCost(argv[2], argv[3], std::string(argv[4]) == "1");

    if (VIPS_INIT(argv[0]))
        return 1;
    namespace fs = std::filesystem;
    const bool ownFolder = argc < 2;
    fs::path folder =
        ownFolder ? fs::temp_directory_path() / ("trimlark-bench-" + std::to_string(getpid())) : fs::path(argv[1]);
    fs::create_directories(folder);
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    struct Source
    {
        const char* name;
        int width;
        int height;
        int orientation;
    };
    // Stored on its side (EXIF orientation 6): turning it upright cannot stream.
    const Source sources[] = {{"24 MP", 6000, 4000, 1}, {"100 MP", 12240, 8160, 1}, {"24 MP o6", 6000, 4000, 6}};
    struct Case
    {
        const char* format;
        bool keep;
        bool only24 = false; // slow enough that the 24 MP picture tells all
    };
    // SUBJECT: finding where a "Subject" crop goes, without the crop and save (that costs what JPG does).
    const Case cases[] = {{"JPG", false},        {"JPG", true},         {"PNG", false},
                          {"WEBP", false, true}, {"AVIF", false, true}, {"SUBJECT", false, true}};
    constexpr int runs = 3;

    std::printf("%-8s %-11s %-10s %10s %14s %12s\n", "source", "size", "output", "ms (median)", "peak RSS (MiB)",
                "bytes");
    for (const auto& source : sources) {
        const std::string path = (folder / (std::to_string(source.width) + "x" + std::to_string(source.height) + "-o" +
                                            std::to_string(source.orientation) + ".jpg"))
                                     .string();
        if (!fs::exists(path))
            MakeJpeg(path, source.width, source.height, source.orientation);
        for (const auto& c : cases) {
            if (c.only24 && source.width * source.height > 30'000'000)
                continue;
            if ((std::string(c.format) == "WEBP" && !trimlark::CanWriteWebp()) ||
                (std::string(c.format) == "AVIF" && !trimlark::CanWriteAvif()))
                continue;
            std::vector<double> times;
            long peak = 0;
            std::uintmax_t bytes = 0;
            for (int run = 0; run < runs; ++run) {
                double ms = 0;
                long kib = 0;
                const std::string output = (folder / (std::string("out.") + c.format)).string();
                if (!Measure(self, path, output, c.format, c.keep, ms, kib, bytes)) {
                    std::printf("%s %s: failed\n", source.name, c.format);
                    break;
                }
                times.push_back(ms);
                peak = std::max(peak, kib);
            }
            if (times.empty())
                continue;
            std::sort(times.begin(), times.end());
            const std::string label = std::string(c.format) + (c.keep ? "+meta" : "");
            std::printf("%-8s %5dx%-5d %-10s %8.0f %14.1f %12ju\n", source.name, source.width, source.height,
                        label.c_str(), times[times.size() / 2], peak / 1024.0,
                        std::string(c.format) == "SUBJECT" ? 0 : bytes);
        }
    }
    if (ownFolder)
        fs::remove_all(folder);
    vips_shutdown();
    return 0;
}
