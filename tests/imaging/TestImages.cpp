#include "TestImages.h"

#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <random>
#include <stdexcept>
#include <tiffio.h>
#include <zlib.h>

namespace trimlark::test {

using vips::VImage;

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "trimlark-imaging-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Path(const std::string& name) const
{
    return (path_ / name).string();
}

std::vector<std::string> TempFolder::FileNames() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    return names;
}

VImage CoordinateImage(int width, int height)
{
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0];
    const VImage y = xy[1];
    const VImage red = x.remainder_const({256});
    const VImage green = y.remainder_const({256});
    const VImage blue = (x / 256).floor() * 64 + (y / 256).floor() * 4;
    return red.bandjoin(green)
        .bandjoin(blue)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

Coordinate DecodeCoordinate(const std::vector<double>& pixel)
{
    const int red = static_cast<int>(pixel.at(0));
    const int green = static_cast<int>(pixel.at(1));
    const int blue = static_cast<int>(pixel.at(2));
    return {red + 256 * (blue / 64), green + 256 * ((blue % 64) / 4)};
}

VImage NoiseImage(int width, int height)
{
    std::mt19937 random(12345);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(width) * height * 3);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(random() & 0xff);
    return VImage::new_from_memory(bytes.data(), bytes.size(), width, height, 3, VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

VImage SolidImage(int width, int height, std::vector<double> colour)
{
    return VImage::black(width, height)
        .new_from_image(colour)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage ReadImage(const std::string& path)
{
    return VImage::new_from_file(path.c_str(), VImage::option()->set("access", VIPS_ACCESS_RANDOM)).copy_memory();
}

double MaxDifference(const VImage& a, const VImage& b)
{
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().max();
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string SniffType(const std::string& path)
{
    const auto bytes = ReadBytes(path);
    const auto startsWith = [&bytes](std::initializer_list<int> prefix, size_t offset = 0) {
        if (bytes.size() < offset + prefix.size())
            return false;
        size_t i = offset;
        for (int value : prefix) {
            if (bytes[i++] != value)
                return false;
        }
        return true;
    };
    if (startsWith({0xFF, 0xD8, 0xFF}))
        return "jpeg";
    if (startsWith({0x00, 0x00, 0x00, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A}))
        return "jp2";
    if (startsWith({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return "png";
    if (startsWith({'I', 'I', 42, 0}) || startsWith({'M', 'M', 0, 42}))
        return "tiff";
    if (startsWith({'G', 'I', 'F', '8'}))
        return "gif";
    if (startsWith({'B', 'M'}))
        return "bmp";
    if (startsWith({'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'}, 4))
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
        std::vector<std::uint8_t> row(static_cast<size_t>(width) * 3, static_cast<std::uint8_t>(shade));
        for (int y = 0; y < height; ++y)
            TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0);
        TIFFWriteDirectory(tiff);
        shade += 80;
    }
    TIFFClose(tiff);
}

std::vector<std::uint8_t> PngWithClaimedSize(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const auto putWord = [](std::vector<std::uint8_t>& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    const auto putChunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        putWord(png, static_cast<std::uint32_t>(data.size()));
        std::vector<std::uint8_t> typed(type, type + 4);
        typed.insert(typed.end(), data.begin(), data.end());
        png.insert(png.end(), typed.begin(), typed.end());
        putWord(png, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
    };
    std::vector<std::uint8_t> header;
    putWord(header, width);
    putWord(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    putChunk("IHDR", header);
    std::vector<std::uint8_t> rows(3000, 0);
    std::vector<std::uint8_t> compressed(compressBound(static_cast<uLong>(rows.size())));
    uLongf size = static_cast<uLongf>(compressed.size());
    compress(compressed.data(), &size, rows.data(), static_cast<uLong>(rows.size()));
    compressed.resize(size);
    putChunk("IDAT", compressed);
    putChunk("IEND", {});
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
    exif["Exif.Image.Make"] = "TrimlarkCam";
    exif["Exif.Image.Model"] = "Model 7";
    exif["Exif.Photo.DateTimeOriginal"] = "2021:05:06 07:08:09";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 2400/100";
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(9999);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(9999);
    const VImage thumbnail = SolidImage(32, 24, {200, 30, 30});
    VipsBlob* blob = thumbnail.jpegsave_buffer();
    size_t length = 0;
    const void* data = vips_blob_get(blob, &length);
    Exiv2::ExifThumb(exif).setJpegThumbnail(static_cast<const Exiv2::byte*>(data), static_cast<long>(length));
    vips_area_unref(VIPS_AREA(blob));
    image->setExifData(exif);
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Keywords"] = "harbour";
    image->setIptcData(iptc);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.title"] = "lang=\"x-default\" Harbour at dawn";
    image->setXmpData(xmp);
    image->writeMetadata();
}

void AddMakerNotePreview(const std::string& path)
{
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    exif["Exif.Image.Make"] = "NIKON CORPORATION";
    exif["Exif.Image.Model"] = "NIKON D90";
    exif["Exif.Nikon3.Version"] = "48 50 49 48";
    exif["Exif.Nikon3.Quality"] = "FINE";
    VipsBlob* blob = SolidImage(64, 48, {30, 200, 30}).jpegsave_buffer();
    size_t length = 0;
    const auto* data = static_cast<const Exiv2::byte*>(vips_blob_get(blob, &length));
    exif["Exif.NikonPreview.Compression"] = static_cast<std::uint16_t>(6);
    exif["Exif.NikonPreview.JPEGInterchangeFormat"] = static_cast<std::uint32_t>(0);
    exif["Exif.NikonPreview.JPEGInterchangeFormatLength"] = static_cast<std::uint32_t>(length);
    exif.findKey(Exiv2::ExifKey("Exif.NikonPreview.JPEGInterchangeFormat"))
        ->setDataArea(data, static_cast<long>(length));
    Exiv2::ExifThumb(exif).setJpegThumbnail(data, static_cast<long>(length));
    vips_area_unref(VIPS_AREA(blob));
    image->setExifData(exif);
    image->writeMetadata();
}

} // namespace trimlark::test
