#include "TestImages.h"

#include <cstring>
#include <exiv2/exiv2.hpp>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <tiffio.h>
#include <zlib.h>

namespace trimlark::test {

using vips::VImage;

namespace {

// Before any test: files are rewritten within one test, so no decode may be handed back from a cache.
const bool vipsStarted = [] {
    if (VIPS_INIT("trimlark-tests") != 0)
        throw std::runtime_error("libvips does not start");
    vips_cache_set_max(0);
    return true;
}();

// The bytes of an encoded image, and the blob released.
std::string BytesOf(VipsBlob* blob)
{
    std::size_t length = 0;
    const auto* data = static_cast<const char*>(vips_blob_get(blob, &length));
    std::string bytes(data, length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

} // namespace

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "trimlark-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

VImage CoordinateImage(int width, int height)
{
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0];
    const VImage y = xy[1];
    const VImage blue = (x / 256).floor() * 64 + (y / 256).floor() * 4;
    return x.remainder_const({256})
        .bandjoin(y.remainder_const({256}))
        .bandjoin(blue)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void WriteCoordinateImage(const std::string& path, int width, int height)
{
    CoordinateImage(width, height).write_to_file(path.c_str());
}

Coordinate CoordinateAt(const VImage& image, int x, int y)
{
    const auto pixel = image.getpoint(x, y);
    const int red = static_cast<int>(pixel.at(0));
    const int green = static_cast<int>(pixel.at(1));
    const int blue = static_cast<int>(pixel.at(2));
    return {red + 256 * (blue / 64), green + 256 * ((blue % 64) / 4)};
}

VImage NoiseImage(int width, int height)
{
    const auto band = [&](int seed) {
        return VImage::gaussnoise(width, height, VImage::option()->set("sigma", 90.0)->set("seed", seed));
    };
    return band(1)
        .bandjoin(band(2))
        .bandjoin(band(3))
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

VImage SolidImage(int width, int height, std::vector<double> colour)
{
    const auto interpretation = colour.size() == 3 ? VIPS_INTERPRETATION_sRGB : VIPS_INTERPRETATION_B_W;
    return VImage::black(width, height)
        .new_from_image(colour)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", interpretation));
}

VImage ReadImage(const std::string& path)
{
    return VImage::new_from_file(path.c_str(), VImage::option()->set("access", VIPS_ACCESS_RANDOM)).copy_memory();
}

double MaxDifference(const VImage& a, const VImage& b)
{
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().max();
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Truncate(const std::string& path, std::size_t length)
{
    WriteBytes(path, ReadBytes(path).substr(0, length));
}

std::string SniffType(const std::string& path)
{
    const std::string bytes = ReadBytes(path).substr(0, 16);
    const auto at = [&bytes](std::size_t offset, std::string_view prefix) {
        return bytes.compare(offset, prefix.size(), prefix) == 0;
    };
    if (at(0, "\xFF\xD8\xFF"))
        return "jpeg";
    if (at(0, std::string_view("\0\0\0\x0CjP  \r\n\x87\n", 12)))
        return "jp2";
    if (at(0, "\x89PNG\r\n\x1A\n"))
        return "png";
    if (at(0, std::string_view("II*\0", 4)) || at(0, std::string_view("MM\0*", 4)))
        return "tiff";
    if (at(0, "GIF8"))
        return "gif";
    if (at(0, "BM"))
        return "bmp";
    if (bytes.size() >= 12 && at(4, "ftypheic"))
        return "heic";
    return "";
}

void WriteMultiPageTiff(const std::string& path, const std::vector<std::pair<int, int>>& pageSizes)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff)
        throw std::runtime_error("TIFFOpen failed");
    int shade = 40;
    for (const auto& [width, height] : pageSizes) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3, static_cast<std::uint8_t>(shade));
        for (int y = 0; y < height; ++y)
            TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0);
        TIFFWriteDirectory(tiff);
        shade += 80;
    }
    TIFFClose(tiff);
}

void WriteTopDownBmp(const std::string& path, int width, int height)
{
    // Stored bottom-up, the flipped picture's rows are the picture's rows top-down; a negative height says so.
    CoordinateImage(width, height).flipver().magicksave(path.c_str(), VImage::option()->set("format", "bmp"));
    std::string bytes = ReadBytes(path);
    const std::int32_t topDown = -height;
    std::memcpy(&bytes[22], &topDown, 4); // little-endian, as BMP is
    WriteBytes(path, bytes);
}

std::string PngWithClaimedSize(std::uint32_t width, std::uint32_t height)
{
    std::string png = BytesOf(SolidImage(8, 8, {0, 0, 0}).pngsave_buffer());
    // The header chunk: length (8), "IHDR" (12), width (16), height (20), five bytes more, its CRC (29).
    const auto put = [&png](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>(value >> (24 - 8 * i));
    };
    put(16, width);
    put(20, height);
    put(29, crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17));
    return png;
}

void SetOrientation(const std::string& path, int orientation)
{
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    auto exif = image->exifData();
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    image->setExifData(exif);
    image->writeMetadata();
}

void AddCameraMetadata(const std::string& path)
{
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    exif["Exif.Image.Make"] = "NIKON CORPORATION";
    exif["Exif.Photo.DateTimeOriginal"] = "2021:05:06 07:08:09";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(9999);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(9999);
    // Both previews show the whole picture, as the camera took it.
    const std::string preview = BytesOf(SolidImage(64, 48, {30, 200, 30}).jpegsave_buffer());
    const auto* data = reinterpret_cast<const Exiv2::byte*>(preview.data());
    exif["Exif.Nikon3.Version"] = "48 50 49 48";
    exif["Exif.Nikon3.Quality"] = "FINE";
    exif["Exif.NikonPreview.Compression"] = static_cast<std::uint16_t>(6);
    exif["Exif.NikonPreview.JPEGInterchangeFormat"] = static_cast<std::uint32_t>(0);
    exif["Exif.NikonPreview.JPEGInterchangeFormatLength"] = static_cast<std::uint32_t>(preview.size());
    exif.findKey(Exiv2::ExifKey("Exif.NikonPreview.JPEGInterchangeFormat"))->setDataArea(data, preview.size());
    Exiv2::ExifThumb(exif).setJpegThumbnail(data, preview.size());
    image->setExifData(exif);
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Keywords"] = "harbour";
    image->setIptcData(iptc);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.title"] = "lang=\"x-default\" Harbour at dawn";
    image->setXmpData(xmp);
    image->writeMetadata();
}

std::int64_t ModifiedSeconds(const std::string& path)
{
    struct stat attributes
    {
    };
    return stat(path.c_str(), &attributes) == 0 ? attributes.st_mtim.tv_sec : -1;
}

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds)
{
    const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                               {static_cast<time_t>(seconds), nanoseconds}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the date of " + path);
}

} // namespace trimlark::test
