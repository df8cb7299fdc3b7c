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
    ~TempFolder() { std::filesystem::remove_all(path_, removalError_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path() const { return path_.string(); }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
    std::error_code removalError_; // ignored: a folder left behind fails no test
};

// The test programs start libvips as the product does, its codec modules but HEIF's loaded on demand; these
// helpers, which write and read any format by its name, load them all.
// R = x mod 256, G = y mod 256, B = 64 * (x / 256) + 4 * (y / 256): every pixel of an image up to
// 1024 x 1024 tells where it came from.
vips::VImage CoordinateImage(int width, int height);
void WriteCoordinateImage(const std::string& path, int width, int height);
using Coordinate = std::pair<int, int>; // x, y
Coordinate CoordinateAt(const vips::VImage& image, int x, int y);

// Noise (seeded), 8-bit sRGB: compresses badly, so a lossy encoder cannot hide.
vips::VImage NoiseImage(int width, int height);
// The bytes of the image as a file with that suffix (".png", ".jpg") would hold them.
std::string Encoded(const vips::VImage& image, const char* suffix);
// A JPEG of noise cut in half: its header reads, its pixels do not.
std::string TruncatedJpeg();
// A JPEG of noise whose restart markers are misnumbered every so often, with stray bytes before its scan: it
// decodes, and the decoder warns at each.
std::string MisnumberedRestartsJpeg();

// A progressive JPEG of noise (Huffman- or arithmetic-coded, its colour subsampled 2 x 2) that ends, whole, after
// its first five scans of ten: its picture lacks the detail the later scans would have added.
std::string ProgressiveJpegEndingEarly(int width, int height, bool arithmetic);

// Decodes the whole file into memory, so later rewrites of it do not matter.
vips::VImage ReadImage(const std::string& path);
// Largest absolute difference between two images of equal size and bands.
inline double MaxDifference(const vips::VImage& a, const vips::VImage& b)
{
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().max();
}

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
// The type a file's first bytes show: "jpeg", "jp2", "png", "tiff", "gif", "bmp", "heic", "avif", "webp" or "".
std::string SniffType(const std::string& path);

// Sets the EXIF orientation of an existing file.
void SetOrientation(const std::string& path, int orientation);
// Sets the file's modification time.
void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds = 0);

} // namespace trimlark::test
