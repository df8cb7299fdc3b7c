#include "imaging/PngWriter.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>
#include <vips/vips8>
#include <zlib.h>

namespace trimlark {

namespace {

void AppendBigEndian32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(value >> shift));
}

std::uint32_t Crc(std::uint32_t crc, const void* data, std::size_t size)
{
    return static_cast<std::uint32_t>(crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

std::string ZlibCompressed(std::string_view data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw vips::VError("The colour profile cannot be compressed");
    out.resize(size);
    return out;
}

// The header chunk and what describes the pixels: the colour profile and the resolution.
std::string HeaderChunks(const vips::VImage& pixels)
{
    static constexpr std::uint8_t kColourType[] = {0, 0, 4, 2, 6}; // by bands: grey, grey+alpha, RGB, RGBA
    std::string header;
    AppendBigEndian32(header, static_cast<std::uint32_t>(pixels.width()));
    AppendBigEndian32(header, static_cast<std::uint32_t>(pixels.height()));
    header += {8, static_cast<char>(kColourType[pixels.bands()]), 0, 0, 0}; // depth, type, deflate, filters, no interlace
    std::string chunks = "\x89PNG\r\n\x1A\n" + PngChunk("IHDR", header);
    if (vips_image_get_typeof(pixels.get_image(), VIPS_META_ICC_NAME)) {
        const void* profile = nullptr;
        std::size_t size = 0;
        if (vips_image_get_blob(pixels.get_image(), VIPS_META_ICC_NAME, &profile, &size) == 0 && size > 0)
            chunks += PngChunk("iCCP", std::string("icc\0\0", 5) +
                                           ZlibCompressed({static_cast<const char*>(profile), size}));
    }
    // libvips keeps the resolution in pixels per millimetre; PNG in pixels per metre.
    const auto perMetre = [](double perMillimetre) {
        return std::isfinite(perMillimetre) ? std::clamp(std::lround(perMillimetre * 1000), 0L, 0x7FFFFFFFL) : 0L;
    };
    const long x = perMetre(pixels.xres()), y = perMetre(pixels.yres());
    if (x > 0 && y > 0) {
        std::string resolution;
        AppendBigEndian32(resolution, static_cast<std::uint32_t>(x));
        AppendBigEndian32(resolution, static_cast<std::uint32_t>(y));
        resolution.push_back(1); // unit: the metre
        chunks += PngChunk("pHYs", resolution);
    }
    return chunks;
}

// Filters rows and deflates them into IDAT chunks, as libvips hands over the strips in order.
class IdatWriter
{
public:
    IdatWriter(const ByteSink& sink, std::size_t rowBytes) : sink_(sink), previous_(rowBytes, 0)
    {
        isal_deflate_init(&stream_);
        stream_.gzip_flag = IGZIP_ZLIB;
        stream_.level = 3;
        stream_.level_buf = level_.data();
        stream_.level_buf_size = static_cast<std::uint32_t>(level_.size());
        stream_.flush = NO_FLUSH;
    }

    bool AddRows(VipsRegion* region, const VipsRect& area)
    {
        const std::size_t rowBytes = previous_.size();
        filtered_.resize((rowBytes + 1) * static_cast<std::size_t>(area.height));
        std::uint8_t* out = filtered_.data();
        for (int y = area.top; y < area.top + area.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint8_t*>(VIPS_REGION_ADDR(region, area.left, y));
            *out++ = 2; // "up": each byte less the one above it
            for (std::size_t i = 0; i < rowBytes; ++i)
                out[i] = static_cast<std::uint8_t>(row[i] - previous_[i]);
            std::copy(row, row + rowBytes, previous_.begin());
            out += rowBytes;
        }
        return Deflate(filtered_.data(), filtered_.size(), false);
    }

    bool Finish() { return Deflate(nullptr, 0, true) && EmitChunk(); }

    // A deflate error (ISA-L's code), or 0 when the sink refused bytes or nothing failed.
    int DeflateError() const { return deflateError_; }

private:
    bool Deflate(const std::uint8_t* data, std::size_t size, bool last)
    {
        stream_.next_in = const_cast<std::uint8_t*>(data);
        stream_.avail_in = static_cast<std::uint32_t>(size);
        stream_.end_of_stream = last ? 1 : 0;
        while (true) {
            stream_.next_out = compressed_.data() + used_;
            stream_.avail_out = static_cast<std::uint32_t>(compressed_.size() - used_);
            const int result = isal_deflate(&stream_);
            used_ = compressed_.size() - stream_.avail_out;
            if (result != COMP_OK) {
                deflateError_ = result;
                return false;
            }
            if (used_ == compressed_.size() && !EmitChunk())
                return false;
            const bool done = last ? stream_.internal_state.state == ZSTATE_END : stream_.avail_in == 0;
            if (done && used_ < compressed_.size())
                return true;
        }
    }

    bool EmitChunk()
    {
        if (used_ == 0)
            return true;
        std::string head;
        AppendBigEndian32(head, static_cast<std::uint32_t>(used_));
        head += "IDAT";
        std::string tail;
        AppendBigEndian32(tail, Crc(Crc(crc32(0, nullptr, 0), "IDAT", 4), compressed_.data(), used_));
        const bool written = sink_(head.data(), head.size()) && sink_(compressed_.data(), used_) &&
                             sink_(tail.data(), tail.size());
        used_ = 0;
        return written;
    }

    const ByteSink& sink_;
    std::vector<std::uint8_t> previous_; // the row above, unfiltered; zeros above the first
    std::vector<std::uint8_t> filtered_; // a strip's rows, each after its filter byte
    isal_zstream stream_{};
    std::vector<std::uint8_t> level_ = std::vector<std::uint8_t>(ISAL_DEF_LVL3_DEFAULT);
    std::vector<std::uint8_t> compressed_ = std::vector<std::uint8_t>(std::size_t{256} << 10);
    std::size_t used_ = 0;
    int deflateError_ = 0;
};

struct SinkState
{
    IdatWriter* writer;
    bool failed = false;
};

int WriteStrip(VipsRegion* region, VipsRect* area, void* data)
{
    auto* state = static_cast<SinkState*>(data);
    try {
        if (state->writer->AddRows(region, *area))
            return 0;
    } catch (...) {
    }
    state->failed = true;
    return -1;
}

} // namespace

std::string PngChunk(std::string_view type, std::string_view data)
{
    std::string chunk;
    chunk.reserve(12 + data.size());
    AppendBigEndian32(chunk, static_cast<std::uint32_t>(data.size()));
    chunk += type;
    chunk += data;
    AppendBigEndian32(chunk, Crc(crc32(0, nullptr, 0), chunk.data() + 4, chunk.size() - 4));
    return chunk;
}

void EncodePng(const vips::VImage& pixels, std::string_view headerChunks, const ByteSink& sink)
{
    if (pixels.format() != VIPS_FORMAT_UCHAR || pixels.bands() < 1 || pixels.bands() > 4)
        throw vips::VError("The PNG encoder takes 8-bit pixels of one to four bands");
    std::string header = HeaderChunks(pixels);
    header += headerChunks;
    if (!sink(header.data(), header.size()))
        throw vips::VError("The PNG file cannot be written");
    auto writer = std::make_unique<IdatWriter>(sink, static_cast<std::size_t>(pixels.width()) * pixels.bands());
    SinkState state{writer.get()};
    if (vips_sink_disc(pixels.get_image(), WriteStrip, &state) != 0) {
        if (!state.failed)
            throw vips::VError(); // the pixels' own failure, from libvips' error buffer
        vips_error_clear();
    }
    if (state.failed || !writer->Finish()) {
        if (writer->DeflateError() != 0)
            throw vips::VError("The PNG compressor failed (code " + std::to_string(writer->DeflateError()) + ")");
        throw vips::VError("The PNG file cannot be written");
    }
    static const char end[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', '\xAE', '\x42', '\x60', '\x82'};
    if (!sink(end, sizeof end))
        throw vips::VError("The PNG file cannot be written");
}

} // namespace trimlark
