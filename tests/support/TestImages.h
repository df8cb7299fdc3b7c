#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <vips/vips8>

// Images made in memory, files written byte by byte and probes of what a run wrote.
namespace trimlark::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path() const { return path_.string(); }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// R = x mod 256, G = y mod 256, B = 64 * (x / 256) + 4 * (y / 256): every pixel of an image up to
// 1024 x 1024 tells where it came from.
vips::VImage CoordinateImage(int width, int height);
void WriteCoordinateImage(const std::string& path, int width, int height);
struct Coordinate
{
    int x = 0;
    int y = 0;
    bool operator==(const Coordinate&) const = default;
};
Coordinate CoordinateAt(const vips::VImage& image, int x, int y);

// Noise (seeded), 8-bit sRGB: compresses badly, so a lossy encoder cannot hide.
vips::VImage NoiseImage(int width, int height);
// A solid colour, 8-bit (sRGB for three bands).
vips::VImage SolidImage(int width, int height, std::vector<double> colour);

// Decodes the whole file into memory, so later rewrites of it do not matter.
vips::VImage ReadImage(const std::string& path);
// Largest absolute difference between two images of equal size and bands.
double MaxDifference(const vips::VImage& a, const vips::VImage& b);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
// The file cut to its first bytes.
void Truncate(const std::string& path, std::size_t length);

// The type a file's first bytes show: "jpeg", "jp2", "png", "tiff", "gif", "bmp", "heic" or "".
std::string SniffType(const std::string& path);

// A multi-page TIFF of grey pages (40, 120, 200...) of the given sizes; vips only writes equal pages.
void WriteMultiPageTiff(const std::string& path, const std::vector<std::pair<int, int>>& pageSizes);
// A coordinate image as a BMP whose rows are stored top-down (a negative height).
void WriteTopDownBmp(const std::string& path, int width, int height);
// A PNG whose header claims width x height over the body of an 8 x 8 picture.
std::string PngWithClaimedSize(std::uint32_t width, std::uint32_t height);

// Sets the EXIF orientation of an existing file.
void SetOrientation(const std::string& path, int orientation);
// Gives a JPEG what a camera writes: EXIF (Make "NIKON CORPORATION", a GPS reference, a pixel size of 9999 x 9999), an
// EXIF thumbnail and a maker-note preview of the whole picture, IPTC keywords and an XMP title.
void AddCameraMetadata(const std::string& path);

// The file's modification time, and setting it (access time too).
std::int64_t ModifiedSeconds(const std::string& path);
void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds = 0);

} // namespace trimlark::test
