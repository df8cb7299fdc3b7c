#include "imaging/decode/SourceProbe.h"

#include "imaging/LibrarySetup.h"
#include "imaging/decode/JpegRegion.h"
#include "imaging/metadata/MetadataCarrier.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <tiffio.h>
#include <vector>
#include <vips/vips8>

namespace trimlark {

using vips::VImage;

std::optional<SourceKind> SourceKindOfLoader(const std::string& loaderName)
{
    struct Entry
    {
        const char* fragment;
        SourceKind kind;
    };
    static const Entry entries[] = {
        {"LoadJpeg", SourceKind::Jpeg}, {"LoadPng", SourceKind::Png},       {"LoadSpng", SourceKind::Png},
        {"LoadTiff", SourceKind::Tiff}, {"LoadGif", SourceKind::Gif},       {"LoadNsgif", SourceKind::Gif},
        {"LoadHeif", SourceKind::Heif}, {"LoadJp2k", SourceKind::Jpeg2000}, {"LoadWebp", SourceKind::Webp},
        {"LoadPpm", SourceKind::Ppm},   {"LoadMagick", SourceKind::Magick},
    };
    for (const auto& entry : entries) {
        if (loaderName.find(entry.fragment) != std::string::npos)
            return entry.kind;
    }
    return std::nullopt;
}

bool HasIndependentPages(SourceKind kind)
{
    return kind == SourceKind::Tiff || kind == SourceKind::Heif || kind == SourceKind::Magick;
}

VImage OpenPageOfFile(const std::string& path, const std::string& loader, SourceKind kind, int page, VipsAccess access)
{
    auto* options = VImage::option()->set("access", access)->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    if (HasIndependentPages(kind))
        options->set("page", page);
    if (loader.empty())
        return VImage::new_from_file(path.c_str(), options);
    // What new_from_file does once it has sniffed the file, which takes every decoder's look at it.
    VImage out;
    VImage::call(loader.c_str(), options->set("filename", path.c_str())->set("out", &out));
    return out;
}

namespace {

std::uint32_t LittleEndian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

} // namespace

std::optional<PixelSize> ReadBmpHeaderSize(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    const auto fileSize = std::filesystem::file_size(path, ec);
    std::ifstream file(path, std::ios::binary);
    unsigned char header[26] = {};
    if (ec || !file.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' || header[1] != 'M')
        return std::nullopt;
    const std::uint32_t pixelOffset = LittleEndian(header + 10, 4);
    const std::uint32_t infoSize = LittleEndian(header + 14, 4);
    if (pixelOffset >= fileSize)
        return std::nullopt;
    if (infoSize == 12) {
        // The old OS/2 header: 16-bit unsigned sizes.
        const std::uint32_t width = LittleEndian(header + 18, 2);
        const std::uint32_t height = LittleEndian(header + 20, 2);
        if (width == 0 || height == 0)
            return std::nullopt;
        return PixelSize{static_cast<double>(width), static_cast<double>(height)};
    }
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 64 && infoSize != 108 && infoSize != 124)
        return std::nullopt;
    const auto width = static_cast<std::int32_t>(LittleEndian(header + 18, 4));
    const auto height = static_cast<std::int32_t>(LittleEndian(header + 22, 4));
    // A negative height marks rows stored top-down.
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return PixelSize{static_cast<double>(width), std::abs(static_cast<double>(height))};
}

namespace {

struct PageSize
{
    int width = 0;
    int height = 0;
    bool turned = false;                     // its orientation turns the picture, which a streaming decode cannot serve
    double rowsAtOnce = 0;                   // TIFF: rows of one strip or one row of tiles
    std::optional<double> tiffPixelsPerByte; // TIFF: the bound of its compression
};

// The most pixels per byte a TIFF compression can code; nothing for those without a useful bound (fax
// codes, which spend about a bit on a blank row, and the newer general-purpose ones).
std::optional<double> TiffPixelsPerByte(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return kRawPixelsPerByte;
    case COMPRESSION_PACKBITS:
        return kPackBitsPixelsPerByte;
    case COMPRESSION_LZW:
        return kLzwPixelsPerByte;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
        return kDeflatePixelsPerByte;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return kJpegPixelsPerByte;
    default:
        return std::nullopt;
    }
}

// What the first frame header of a JPEG file says: whether its data is arithmetic-coded, and how many bytes its
// coded blocks take in libjpeg's coefficient buffers (2 a coefficient, each component on its own sampling grid).
struct JpegFrame
{
    bool arithmetic = false;
    double coefficientBytes = 0;
    BlockGrid grid; // the largest sampling factors' blocks
};

// The first frame header of a JPEG file; nothing when none comes before the first scan.
std::optional<JpegFrame> ReadJpegFrame(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (file.get() != 0xFF || file.get() != 0xD8)
        return std::nullopt;
    for (int segment = 0; segment < 4096 && file; ++segment) {
        int marker = file.get();
        if (marker != 0xFF)
            return std::nullopt;
        while (marker == 0xFF)
            marker = file.get();
        if (marker == 0xDA || marker == 0xD9 || marker < 0)
            return std::nullopt;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        const int high = file.get();
        const int low = file.get();
        if (low < 0 || (high << 8 | low) < 2)
            return std::nullopt;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            unsigned char frame[6 + 3 * 255] = {};
            if (!file.read(reinterpret_cast<char*>(frame), 6))
                return std::nullopt;
            const double height = frame[1] << 8 | frame[2];
            const double width = frame[3] << 8 | frame[4];
            const int components = frame[5];
            if (!file.read(reinterpret_cast<char*>(frame + 6), 3 * components))
                return std::nullopt;
            int mostH = 1, mostV = 1;
            for (int c = 0; c < components; ++c) {
                mostH = std::max(mostH, frame[7 + 3 * c] >> 4);
                mostV = std::max(mostV, frame[7 + 3 * c] & 15);
            }
            JpegFrame read;
            read.arithmetic = marker >= 0xC9;
            read.grid = {mostH * 8, mostV * 8};
            for (int c = 0; c < components; ++c) {
                const int h = std::max(1, frame[7 + 3 * c] >> 4), v = std::max(1, frame[7 + 3 * c] & 15);
                read.coefficientBytes +=
                    std::ceil(std::ceil(width * h / mostH) / 8) * std::ceil(std::ceil(height * v / mostV) / 8) * 64 * 2;
            }
            return read;
        }
        file.seekg((high << 8 | low) - 2, std::ios::cur);
    }
    return std::nullopt;
}

// The tile size a JPEG 2000 codestream's size marker gives (the picture's own size when it is one tile); nothing
// when no size marker is found near the file's start.
std::optional<std::pair<double, double>> ReadJpeg2000Tile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string head(65536, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    const std::size_t at = head.find("\xFF\x4F\xFF\x51"); // start of codestream, then its size marker
    if (at == std::string::npos || at + 4 + 2 + 2 + 24 > head.size())
        return std::nullopt;
    const auto word = [&head](std::size_t from) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(head[from + i]);
        return static_cast<double>(value);
    };
    const std::size_t fields = at + 8; // past the markers, the segment's length and its capabilities
    const double width = word(fields) - word(fields + 8), height = word(fields + 4) - word(fields + 12);
    return std::pair{std::min(width, word(fields + 16)), std::min(height, word(fields + 20))};
}

bool SwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

PageSize UprightSize(const VImage& image, SourceKind kind, int orientation)
{
    if (kind != SourceKind::Jpeg2000 && kind != SourceKind::Heif)
        orientation = vips_image_get_orientation(image.get_image());
    PageSize size;
    size.width = image.width();
    size.height = image.height();
    size.turned = orientation > 2 && orientation <= 8;
    if (SwapsSides(orientation))
        std::swap(size.width, size.height);
    return size;
}

// Every image of a TIFF file, upright, from one pass over its directories. The decoder would walk them all again
// for each image it opens. Stops at the first directory that cannot be read.
std::vector<PageSize> ReadTiffPageSizes(const std::string& path)
{
    std::vector<PageSize> sizes;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return sizes;
    do {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::uint16_t orientation = ORIENTATION_TOPLEFT;
        if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height))
            break;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
        constexpr std::uint32_t most = std::numeric_limits<int>::max();
        PageSize size;
        size.width = static_cast<int>(std::min(width, most));
        size.height = static_cast<int>(std::min(height, most));
        size.turned = orientation > ORIENTATION_TOPRIGHT && orientation <= ORIENTATION_LEFTBOT;
        std::uint32_t rows = height;
        if (TIFFIsTiled(tiff))
            TIFFGetField(tiff, TIFFTAG_TILELENGTH, &rows);
        else
            TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rows);
        size.rowsAtOnce = std::min(rows, height);
        std::uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
        size.tiffPixelsPerByte = TiffPixelsPerByte(compression);
        if (SwapsSides(orientation))
            std::swap(size.width, size.height);
        sizes.push_back(size);
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return sizes;
}

// The upright size of every image of the file that can be read, in file order; the first is always there.
std::vector<PageSize> ReadPageSizes(const std::string& path, const std::string& loader, SourceKind kind,
                                    const VImage& first, int orientation)
{
    std::vector<PageSize> sizes;
    if (kind == SourceKind::Tiff)
        sizes = ReadTiffPageSizes(path);
    if (!sizes.empty())
        return sizes;
    sizes.push_back(UprightSize(first, kind, orientation));
    const int pages =
        HasIndependentPages(kind) ? std::clamp(vips_image_get_n_pages(first.get_image()), 1, kMaxProbedImages) : 1;
    for (int page = 1; page < pages; ++page) {
        // A damaged later image is left out; the file still has its first.
        try {
            sizes.push_back(UprightSize(OpenPageOfFile(path, loader, kind, page), kind, orientation));
        } catch (const vips::VError&) {
            vips_error_clear();
            sizes.push_back(PageSize{});
        }
    }
    return sizes;
}

// How the decoder behind the kind reads the page: streaming a few rows at a time, or whole, and what it holds
// beside them. The figures for each decoder were measured (peak resident size of one crop of 16 and 64 MP
// pictures, less that of a run over a tiny picture).
DecodeShape ShapeOf(const std::string& path, SourceKind kind, const VImage& first, const PageSize& page,
                    const std::optional<JpegFrame>& frame)
{
    DecodeShape shape;
    shape.width = page.width;
    shape.height = page.height;
    shape.pixelBytes = first.bands() * static_cast<double>(vips_format_sizeof(first.format()));
    shape.needsWhole = page.turned;
    std::error_code ec;
    shape.fileBytes = static_cast<double>(std::filesystem::file_size(path, ec));
    if (ec)
        shape.fileBytes = 0;
    const double pixels = shape.width * shape.height;
    const bool interlaced = first.get_typeof("interlaced") != 0 && first.get_int("interlaced") != 0;
    switch (kind) {
    case SourceKind::Jpeg: {
        shape.rowsAtOnce = 16;
        shape.coefficientBytes = frame ? frame->coefficientBytes : pixels * first.bands() * 2;
        // A progressive file's coefficients are all held until its last scan is read.
        if (interlaced)
            shape.extraBytes = shape.coefficientBytes;
        if (frame && !frame->arithmetic)
            shape.mostPixelsPerByte = kJpegPixelsPerByte;
        break;
    }
    case SourceKind::Png:
        shape.rowsAtOnce = interlaced ? 0 : 1;
        shape.mostPixelsPerByte = kDeflatePixelsPerByte;
        break;
    case SourceKind::Tiff:
        shape.rowsAtOnce = page.rowsAtOnce;
        shape.mostPixelsPerByte = page.tiffPixelsPerByte;
        break;
    case SourceKind::Gif:
        // The decoder paints each frame on an RGBA canvas of the whole picture, from the whole file in memory;
        // rows are copied out of the canvas as they are asked for.
        shape.rowsAtOnce = 1;
        shape.extraBytes = pixels * 4 + shape.fileBytes;
        shape.mostPixelsPerByte = kGifPixelsPerByte;
        break;
    case SourceKind::Ppm:
        shape.rowsAtOnce = 1;
        shape.mostPixelsPerByte = kRawPixelsPerByte;
        break;
    case SourceKind::Webp:
        // libwebp decodes the whole picture onto an RGBA canvas, from the whole file in memory, and libvips copies
        // it into a picture of its own: about 7 bytes a pixel for RGB, whatever the file's size.
        shape.extraBytes = pixels * 4 + shape.fileBytes;
        break;
    case SourceKind::Heif:
        // libheif decodes into its own planes, then they are copied; the AV1 decoder keeps more frames of its own.
        shape.extraBytes = pixels * shape.pixelBytes;
        if (first.get_typeof("heif-compression") != 0 && std::string(first.get_string("heif-compression")) == "av1")
            shape.extraBytes += pixels * 2;
        break;
    case SourceKind::Magick: // ImageMagick holds the file and 16-bit RGBA, then it is copied
        shape.extraBytes = pixels * 8 + shape.fileBytes;
        break;
    case SourceKind::Jpeg2000: {
        // OpenJPEG holds 4 bytes a sample for the piece it decodes, on each of libvips' two threads: a tile, or
        // for a picture of one tile a band 512 rows high, and then the whole file. A tiled picture's rows of
        // tiles are kept two at a time.
        const auto tile = ReadJpeg2000Tile(path);
        const bool tiled = tile && (tile->first < shape.width || tile->second < shape.height);
        const double samples = first.bands() * 4.0;
        if (tiled) {
            shape.rowsAtOnce = 2 * tile->second;
            shape.extraBytes = 2 * tile->first * tile->second * samples;
        } else {
            shape.rowsAtOnce = 1;
            shape.extraBytes = 2 * shape.width * std::min(shape.height, 512.0) * samples + shape.fileBytes;
        }
        break;
    }
    }
    return shape;
}

} // namespace

std::optional<SourceLayout> ProbeSource(const std::string& path, std::string* reason)
{
    if (!EnsureLibrariesReady()) {
        if (reason)
            *reason = "The image library cannot start";
        return std::nullopt;
    }
    // The decoders open and read the file to sniff it: a named pipe or a device would keep them waiting.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (reason)
            *reason = "Not a regular file";
        return std::nullopt;
    }
    const char* loader = vips_foreign_find_load(path.c_str());
    // One of the codecs loaded on demand may take a file no built-in decoder takes, or a TIFF before the TIFF
    // decoder (a slide scanner's, which the slide reader comes first for): the decoder must not depend on which
    // files came before.
    if (!loader || SourceKindOfLoader(loader) == SourceKind::Tiff) {
        vips_error_clear();
        EnsureAllCodecs();
        loader = vips_foreign_find_load(path.c_str());
    }
    if (!loader) {
        if (reason)
            *reason = "Not an image file, or a format that cannot be read";
        vips_error_clear();
        return std::nullopt;
    }
    const auto kind = SourceKindOfLoader(loader);
    if (!kind) {
        if (reason)
            *reason = std::string("Unsupported image format (") + loader + ")";
        return std::nullopt;
    }
    try {
        SourceLayout layout;
        layout.kind = *kind;
        // JPEG 2000 files count resolution levels as pages, and their decoder ignores the EXIF orientation.
        if (*kind == SourceKind::Jpeg2000)
            layout.orientation = ReadExifOrientation(path);
        layout.loader = loader;
        const VImage first = OpenPageOfFile(path, layout.loader, *kind, 0);
        layout.storedOrientation = *kind == SourceKind::Jpeg2000 ? layout.orientation
                                   : *kind == SourceKind::Heif   ? 1
                                                                 : vips_image_get_orientation(first.get_image());
        const std::vector<PageSize> sizes = ReadPageSizes(path, layout.loader, *kind, first, layout.orientation);
        double largestArea = -1;
        for (int page = 0; page < static_cast<int>(sizes.size()); ++page) {
            const double area = static_cast<double>(sizes[page].width) * sizes[page].height;
            if (area > largestArea) {
                largestArea = area;
                layout.largestPage = page;
                layout.largestWidth = sizes[page].width;
                layout.largestHeight = sizes[page].height;
            }
        }
        std::optional<JpegFrame> frame;
        if (*kind == SourceKind::Jpeg) {
            frame = ReadJpegFrame(path);
            // A header this plain reader stops at (bytes between its segments...) may still be one libjpeg reads.
            layout.jpegGrid = frame ? std::optional(frame->grid) : JpegBlockGrid(path);
        }
        layout.shape = ShapeOf(path, *kind, first, sizes[layout.largestPage], frame);
        if (*kind == SourceKind::Gif || *kind == SourceKind::Webp)
            layout.frames = std::max(1, vips_image_get_n_pages(first.get_image()));
        return layout;
    } catch (const std::exception& error) {
        if (reason)
            *reason = DescribeVipsError(error);
        return std::nullopt;
    }
}

} // namespace trimlark
