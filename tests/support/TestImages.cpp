#include "TestImages.h"

#include "imaging/LibrarySetup.h"

#include <chrono>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <stdexcept>
#include <tuple>

// libjpeg's header needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

namespace trimlark::test {

using vips::VImage;

namespace {

// Before any test, as the product starts it: with no cache (files are rewritten within one test) and the codec
// modules but HEIF's not loaded.
const bool vipsStarted = [] {
    if (!EnsureLibrariesReady())
        throw std::runtime_error("libvips does not start");
    return true;
}();

VImage EightBitSrgb(const VImage& image)
{
    return image.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "trimlark-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

VImage CoordinateImage(int width, int height)
{
    const VImage xy = VImage::xyz(width, height);
    const VImage blue = (xy[0] / 256).floor() * 64 + (xy[1] / 256).floor() * 4;
    return EightBitSrgb(xy.remainder_const({256}).bandjoin(blue));
}

void WriteCoordinateImage(const std::string& path, int width, int height)
{
    EnsureAllCodecs();
    CoordinateImage(width, height).write_to_file(path.c_str());
}

Coordinate CoordinateAt(const VImage& image, int x, int y)
{
    const auto pixel = image.getpoint(x, y);
    const int blue = static_cast<int>(pixel.at(2));
    return {static_cast<int>(pixel.at(0)) + 256 * (blue / 64), static_cast<int>(pixel.at(1)) + 256 * (blue % 64 / 4)};
}

VImage NoiseImage(int width, int height)
{
    const VImage noise = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 90.0)->set("seed", 1));
    return EightBitSrgb(VImage::bandjoin({noise, noise.rot180(), noise.fliphor()})).copy_memory();
}

std::string Encoded(const VImage& image, const char* suffix)
{
    void* data = nullptr;
    std::size_t length = 0;
    EnsureAllCodecs();
    image.write_to_buffer(suffix, &data, &length);
    std::string bytes(static_cast<const char*>(data), length);
    g_free(data);
    return bytes;
}

std::string TruncatedJpeg()
{
    const std::string whole = Encoded(NoiseImage(200, 200), ".jpg");
    return whole.substr(0, whole.size() / 2);
}

std::string ProgressiveJpegEndingEarly(int width, int height, bool arithmetic)
{
    std::size_t length = 0;
    void* pixels = NoiseImage(width, height).write_to_memory(&length);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info); // 4:2:0
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_simple_progression(&info);
    info.arith_code = arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = static_cast<JSAMPROW>(pixels) + static_cast<std::size_t>(info.next_scanline) * width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    g_free(pixels);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::free(data);
    // Coded data never holds FF DA (an FF there is followed by 00): each is a scan's header.
    std::size_t sixth = 0;
    for (int scan = 0; scan < 6; ++scan)
        sixth = bytes.find("\xFF\xDA", sixth + 1);
    return bytes.substr(0, sixth) + "\xFF\xD9";
}

std::string MisnumberedRestartsJpeg()
{
    std::string bytes = Encoded(NoiseImage(512, 512), ".jpg[restart_interval=2]");
    // Every 40th marker RSTn becomes RST(n+3): 13 warnings, under the decoder's limit of 100.
    int seen = 0;
    for (std::size_t i = bytes.find("\xFF\xDA"); i + 1 < bytes.size(); ++i)
        if (bytes[i] == '\xFF' && (bytes[i + 1] & 0xF8) == 0xD0 && seen++ % 40 == 0)
            bytes[i + 1] = static_cast<char>(0xD0 | ((bytes[i + 1] + 3) & 7));
    // And stray bytes before the scan, which the header's reader warns about.
    return bytes.insert(bytes.find("\xFF\xDA"), "\x01\x02\x03");
}

VImage ReadImage(const std::string& path)
{
    EnsureAllCodecs();
    return VImage::new_from_file(path.c_str(), VImage::option()->set("access", VIPS_ACCESS_RANDOM)).copy_memory();
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string SniffType(const std::string& path)
{
    using namespace std::string_view_literals;
    const std::string head = ReadBytes(path).substr(0, 16);
    static const std::pair<const char*, std::string_view> kSignatures[] = {{"jpeg", "\xFF\xD8\xFF"sv},
                                                                           {"jp2", "\0\0\0\x0CjP  \r\n\x87\n"sv},
                                                                           {"png", "\x89PNG\r\n\x1A\n"sv},
                                                                           {"tiff", "II*\0"sv},
                                                                           {"tiff", "MM\0*"sv},
                                                                           {"gif", "GIF8"sv},
                                                                           {"bmp", "BM"sv},
                                                                           {"heic", "????ftypheic"sv},
                                                                           {"avif", "????ftypavif"sv},
                                                                           {"webp", "RIFF????WEBP"sv}};
    for (const auto& [type, signature] : kSignatures)
        if (head.size() >= signature.size() && std::equal(signature.begin(), signature.end(), head.begin(),
                                                          [](char s, char h) { return s == '?' || s == h; }))
            return type;
    return "";
}

void SetOrientation(const std::string& path, int orientation)
{
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    image->exifData()["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    image->writeMetadata();
}

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds)
{
    const std::chrono::sys_time<std::chrono::nanoseconds> time(std::chrono::seconds(seconds) +
                                                               std::chrono::nanoseconds(nanoseconds));
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(time));
}

} // namespace trimlark::test
