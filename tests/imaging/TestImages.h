#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>
#include <vips/vips8>

namespace trimlark::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const;
    std::vector<std::string> FileNames() const;

private:
    std::filesystem::path path_;
};

// R = x mod 256, G = y mod 256, B = 64 * (x / 256) + 4 * (y / 256): every pixel of an image up to
// 1024 x 1024 tells where it came from.
vips::VImage CoordinateImage(int width, int height);
struct Coordinate
{
    int x = 0;
    int y = 0;
};
Coordinate DecodeCoordinate(const std::vector<double>& pixel);

// Uniform noise (seeded), 3 bands, 8-bit: compresses badly, so a lossy encoder cannot hide.
vips::VImage NoiseImage(int width, int height);

// A solid colour, 8-bit sRGB.
vips::VImage SolidImage(int width, int height, std::vector<double> colour);

// Decodes the whole file into memory (so later rewrites of it do not matter).
vips::VImage ReadImage(const std::string& path);

// Largest absolute difference between two images of equal size and bands.
double MaxDifference(const vips::VImage& a, const vips::VImage& b);

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The type a file's first bytes show: "jpeg", "jp2", "png", "tiff", "gif", "bmp", "heic" or "".
std::string SniffType(const std::string& path);

// Multi-page TIFF with the given page sizes (written with libtiff; vips only writes equal pages).
void WriteMultiPageTiff(const std::string& path, const std::vector<std::pair<int, int>>& pageSizes);

// A PNG whose header claims width x height over a tiny compressed body.
std::vector<std::uint8_t> PngWithClaimedSize(std::uint32_t width, std::uint32_t height);

// Sets the EXIF orientation of an existing file with Exiv2.
void SetOrientation(const std::string& path, int orientation);

// Gives a JPEG camera EXIF (Make "TrimlarkCam", GPS), an EXIF thumbnail, IPTC keywords and an XMP title.
void AddCameraMetadata(const std::string& path);

// Gives a JPEG a Nikon maker note that holds a preview picture (as Nikon cameras write), and an EXIF thumbnail.
void AddMakerNotePreview(const std::string& path);

} // namespace trimlark::test
