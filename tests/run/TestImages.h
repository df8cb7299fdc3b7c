#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>
#include <vips/vips8>

// Small images made in memory for tests that run real files through the real codecs.
namespace trimlark::testing {

// A fresh folder under the system temporary folder, removed with everything in it at the end.
class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        do
            path_ = base / ("trimlark-test-" + std::to_string(seed()));
        while (!std::filesystem::create_directory(path_));
    }
    ~TemporaryFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

inline void StartVips()
{
    static const bool started = [] {
        if (VIPS_INIT("trimlark-tests") != 0)
            return false;
        vips_cache_set_max(0); // files are rewritten within one test; never hand back a stale decode
        return true;
    }();
    (void)started;
}

// An RGB image whose red sample is the column and green sample the row (top row 0), blue the given value.
// Keep width and height at most 256 so the coordinates fit in a sample.
inline void WriteCoordinateImage(const std::string& path, int width, int height, int blue = 128)
{
    StartVips();
    vips::VImage xy = vips::VImage::xyz(width, height);
    vips::VImage rgb = xy.bandjoin_const({static_cast<double>(blue)}).cast(VIPS_FORMAT_UCHAR);
    rgb.write_to_file(path.c_str());
}

struct Probe
{
    int width = 0;
    int height = 0;
    std::vector<double> topLeft; // the samples of the pixel at column 0, row 0
};

inline Probe ProbeImage(const std::string& path)
{
    StartVips();
    vips::VImage image = vips::VImage::new_from_file(path.c_str());
    return {image.width(), image.height(), image.getpoint(0, 0)};
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The file's type by its first bytes: "jpeg", "png" or "".
inline std::string SniffType(const std::string& path)
{
    const std::string bytes = ReadBytes(path).substr(0, 8);
    if (bytes.rfind("\xFF\xD8\xFF", 0) == 0)
        return "jpeg";
    if (bytes == "\x89PNG\r\n\x1A\n")
        return "png";
    return "";
}

} // namespace trimlark::testing
