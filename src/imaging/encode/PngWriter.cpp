#include "imaging/encode/PngWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <isa-l/igzip_lib.h>
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

// The signature and the header chunk.
std::string Start(const vips::VImage& pixels, int bitDepth, int colourType)
{
    std::string header;
    AppendBigEndian32(header, static_cast<std::uint32_t>(pixels.width()));
    AppendBigEndian32(header, static_cast<std::uint32_t>(pixels.height()));
    header += {static_cast<char>(bitDepth), static_cast<char>(colourType), 0, 0, 0}; // deflate, filters, no interlace
    return "\x89PNG\r\n\x1A\n" + PngChunk("IHDR", header);
}

// What describes the pixels: the colour profile and the resolution.
std::string DescriptionChunks(const vips::VImage& pixels)
{
    std::string chunks;
    if (vips_image_get_typeof(pixels.get_image(), VIPS_META_ICC_NAME)) {
        const void* profile = nullptr;
        std::size_t size = 0;
        if (vips_image_get_blob(pixels.get_image(), VIPS_META_ICC_NAME, &profile, &size) == 0 && size > 0) {
            const auto chunk = PngCompressedChunk("iCCP", "icc", {static_cast<const char*>(profile), size});
            if (!chunk)
                throw vips::VError("The colour profile cannot be compressed");
            chunks += *chunk;
        }
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

// One zlib stream, deflated by ISA-L, passed on in IDAT chunks.
class IdatStream
{
public:
    explicit IdatStream(const ByteSink& sink) : sink_(sink)
    {
        isal_deflate_init(&stream_);
        stream_.gzip_flag = IGZIP_ZLIB;
        stream_.level = 3;
        stream_.level_buf = level_.data();
        stream_.level_buf_size = static_cast<std::uint32_t>(level_.size());
        stream_.flush = NO_FLUSH;
    }

    bool Add(const std::uint8_t* data, std::size_t size) { return Deflate(data, size, false); }
    bool Finish() { return Deflate(nullptr, 0, true) && EmitChunk(); }

    // A deflate error (ISA-L's code), or 0 when the sink refused bytes or nothing failed.
    int Error() const { return error_; }

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
                error_ = result;
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
        const bool written =
            sink_(head.data(), head.size()) && sink_(compressed_.data(), used_) && sink_(tail.data(), tail.size());
        used_ = 0;
        return written;
    }

    const ByteSink& sink_;
    isal_zstream stream_{};
    std::vector<std::uint8_t> level_ = std::vector<std::uint8_t>(ISAL_DEF_LVL3_DEFAULT);
    std::vector<std::uint8_t> compressed_ = std::vector<std::uint8_t>(std::size_t{256} << 10);
    std::size_t used_ = 0;
    int error_ = 0;
};

// The colours of a picture while there are at most 256 of them, and each pixel's index among them.
class Palette
{
public:
    Palette(int bands, std::size_t pixels) : bands_(bands), alive_(bands >= 3 && pixels <= kPngPalettePixels)
    {
        if (alive_)
            indices_.reserve(pixels); // the pages are touched only as indices come
    }

    bool Alive() const { return alive_; }

    // Adds a row; false, and no longer a palette, when it brings the 257th colour. The rows before it can still be
    // expanded until Drop().
    bool AddRow(const std::uint8_t* row, int width)
    {
        for (int x = 0; x < width; ++x, row += bands_) {
            const std::uint32_t colour = Pack(row);
            if (colour != lastColour_ || indices_.empty()) {
                const int index = Find(colour);
                if (index < 0) {
                    alive_ = false;
                    return false;
                }
                lastColour_ = colour;
                lastIndex_ = static_cast<std::uint8_t>(index);
            }
            indices_.push_back(lastIndex_);
        }
        return true;
    }

    void Drop()
    {
        alive_ = false;
        std::vector<std::uint8_t>().swap(indices_);
    }

    // Row y as it was given.
    void Expand(int y, int width, std::uint8_t* out) const
    {
        const std::uint8_t* index = indices_.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x, out += bands_)
            for (int band = 0; band < bands_; ++band)
                out[band] = static_cast<std::uint8_t>(colours_[index[x]] >> (24 - 8 * band));
    }

    // Bits an index needs: 1, 2, 4 or 8.
    int Depth() const { return colours_.size() <= 2 ? 1 : colours_.size() <= 4 ? 2 : colours_.size() <= 16 ? 4 : 8; }

    // The PLTE chunk, and the tRNS chunk when a colour is not opaque.
    std::string Chunks() const
    {
        std::string rgb, alpha;
        std::size_t lastTranslucent = 0;
        for (std::size_t i = 0; i < colours_.size(); ++i) {
            for (int shift = 24; shift >= 8; shift -= 8)
                rgb.push_back(static_cast<char>(colours_[i] >> shift));
            alpha.push_back(static_cast<char>(colours_[i]));
            if ((colours_[i] & 0xFF) != 0xFF)
                lastTranslucent = i + 1;
        }
        std::string chunks = PngChunk("PLTE", rgb);
        if (lastTranslucent > 0)
            chunks += PngChunk("tRNS", alpha.substr(0, lastTranslucent));
        return chunks;
    }

    // Row y's indices packed at Depth() bits, leftmost pixel in the high bits, after a filter byte of none.
    void PackRow(int y, int width, std::vector<std::uint8_t>& out) const
    {
        const int depth = Depth();
        const std::uint8_t* index = indices_.data() + static_cast<std::size_t>(y) * width;
        out.assign(1 + (static_cast<std::size_t>(width) * depth + 7) / 8, 0);
        for (int x = 0; x < width; ++x) {
            const std::size_t bit = static_cast<std::size_t>(x) * depth;
            out[1 + bit / 8] |= static_cast<std::uint8_t>(index[x] << (8 - depth - bit % 8));
        }
    }

private:
    std::uint32_t Pack(const std::uint8_t* pixel) const
    {
        return std::uint32_t{pixel[0]} << 24 | std::uint32_t{pixel[1]} << 16 | std::uint32_t{pixel[2]} << 8 |
               (bands_ == 4 ? pixel[3] : 0xFFu);
    }

    // The colour's index, added when new; -1 when it would be the 257th.
    int Find(std::uint32_t colour)
    {
        std::size_t slot = (colour * 0x9E3779B1u) >> 23; // 512 slots for at most 256 colours
        while (used_[slot]) {
            if (colours_[slots_[slot]] == colour)
                return slots_[slot];
            slot = (slot + 1) % used_.size();
        }
        if (colours_.size() == 256)
            return -1;
        used_[slot] = true;
        slots_[slot] = static_cast<std::uint8_t>(colours_.size());
        colours_.push_back(colour);
        return slots_[slot];
    }

    int bands_;
    bool alive_;
    std::vector<std::uint32_t> colours_; // 0xRRGGBBAA, in order of first appearance
    std::array<bool, 512> used_{};
    std::array<std::uint8_t, 512> slots_{};
    std::vector<std::uint8_t> indices_;
    std::uint32_t lastColour_ = 0;
    std::uint8_t lastIndex_ = 0;
};

// Writes the PNG as libvips hands over the strips in order. While the picture has at most 256 colours only their
// indices are kept and nothing is written; at the end they go out as a palette picture. Once a 257th colour comes,
// the rows so far are rebuilt from the indices and everything is written as it comes, in full colour: each row
// under the "up" filter.
class PngEncoder
{
public:
    PngEncoder(const vips::VImage& pixels, std::string description, const ByteSink& sink)
        : pixels_(pixels), description_(std::move(description)), sink_(sink), width_(pixels.width()),
          bands_(pixels.bands()),
          palette_(bands_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(pixels.height())),
          previous_(static_cast<std::size_t>(width_) * bands_, 0)
    {}

    bool AddRows(VipsRegion* region, const VipsRect& area)
    {
        for (int y = area.top; y < area.top + area.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint8_t*>(VIPS_REGION_ADDR(region, area.left, y));
            if (palette_.Alive() && palette_.AddRow(row, width_)) {
                ++rows_;
                continue;
            }
            if (!idat_ && !StartFullColour())
                return false;
            if (!AddFullColourRow(row))
                return false;
        }
        return FlushFiltered();
    }

    bool Finish()
    {
        if (idat_)
            return FlushFiltered() && idat_->Finish();
        return WritePalettePicture();
    }

    int DeflateError() const { return idat_ ? idat_->Error() : 0; }

private:
    // The header, then the rows kept as indices so far.
    bool StartFullColour()
    {
        static constexpr std::uint8_t kColourType[] = {0, 0, 4, 2, 6}; // by bands: grey, grey+alpha, RGB, RGBA
        const std::string header = Start(pixels_, 8, kColourType[bands_]) + description_;
        if (!sink_(header.data(), header.size()))
            return false;
        idat_ = std::make_unique<IdatStream>(sink_);
        std::vector<std::uint8_t> row(previous_.size());
        for (int y = 0; y < rows_; ++y) {
            palette_.Expand(y, width_, row.data());
            if (!AddFullColourRow(row.data()))
                return false;
        }
        palette_.Drop();
        return true;
    }

    bool AddFullColourRow(const std::uint8_t* row)
    {
        const std::size_t rowBytes = previous_.size();
        if (filtered_.size() < filled_ + 1 + rowBytes)
            filtered_.resize(std::max(filled_ + 1 + rowBytes, kFilteredBytes));
        std::uint8_t* out = filtered_.data() + filled_;
        *out++ = 2; // "up": each byte less the one above it
        for (std::size_t i = 0; i < rowBytes; ++i)
            out[i] = static_cast<std::uint8_t>(row[i] - previous_[i]);
        std::copy(row, row + rowBytes, previous_.begin());
        filled_ += 1 + rowBytes;
        return filled_ < kFilteredBytes || FlushFiltered();
    }

    bool FlushFiltered()
    {
        if (!idat_ || filled_ == 0)
            return true;
        const bool added = idat_->Add(filtered_.data(), filled_);
        filled_ = 0;
        return added;
    }

    bool WritePalettePicture()
    {
        const std::string header = Start(pixels_, palette_.Depth(), 3) + description_ + palette_.Chunks();
        if (!sink_(header.data(), header.size()))
            return false;
        idat_ = std::make_unique<IdatStream>(sink_);
        std::vector<std::uint8_t> packed;
        for (int y = 0; y < rows_; ++y) {
            palette_.PackRow(y, width_, packed);
            if (!idat_->Add(packed.data(), packed.size()))
                return false;
        }
        return idat_->Finish();
    }

    const vips::VImage& pixels_;
    const std::string description_;
    const ByteSink& sink_;
    const int width_;
    const int bands_;
    Palette palette_;
    int rows_ = 0;                       // rows kept as indices
    std::vector<std::uint8_t> previous_; // the row above, unfiltered; zeros above the first
    static constexpr std::size_t kFilteredBytes = std::size_t{256} << 10;
    std::vector<std::uint8_t> filtered_; // rows not yet deflated, each after its filter byte: filled_ bytes
    std::size_t filled_ = 0;
    std::unique_ptr<IdatStream> idat_; // once the pixel data has begun
};

struct SinkState
{
    PngEncoder* encoder;
    bool failed = false;
    std::exception_ptr exception; // one thrown while adding rows, to be thrown again on the caller's thread
};

int WriteStrip(VipsRegion* region, VipsRect* area, void* data)
{
    auto* state = static_cast<SinkState*>(data);
    try {
        if (state->encoder->AddRows(region, *area))
            return 0;
    } catch (...) {
        state->exception = std::current_exception();
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

std::optional<std::string> PngCompressedChunk(std::string_view type, std::string_view keyword, std::string_view data)
{
    std::string body(keyword);
    body += {'\0', '\0'}; // the keyword's end; compression method 0, deflate
    const std::size_t start = body.size();
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    body.resize(start + size);
    if (compress2(reinterpret_cast<Bytef*>(body.data() + start), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        return std::nullopt;
    body.resize(start + size);
    return PngChunk(type, body);
}

void EncodePng(const vips::VImage& pixels, std::string_view headerChunks, const ByteSink& sink)
{
    if (pixels.format() != VIPS_FORMAT_UCHAR || pixels.bands() < 1 || pixels.bands() > 4)
        throw vips::VError("The PNG encoder takes 8-bit pixels of one to four bands");
    auto encoder = std::make_unique<PngEncoder>(pixels, DescriptionChunks(pixels) + std::string(headerChunks), sink);
    SinkState state{encoder.get(), false, {}};
    if (vips_sink_disc(pixels.get_image(), WriteStrip, &state) != 0) {
        if (!state.failed)
            throw vips::VError(); // the pixels' own failure, from libvips' error buffer
        vips_error_clear();
    }
    if (state.exception)
        std::rethrow_exception(state.exception);
    if (state.failed || !encoder->Finish()) {
        if (encoder->DeflateError() != 0)
            throw vips::VError("The PNG compressor failed (code " + std::to_string(encoder->DeflateError()) + ")");
        throw vips::VError("The PNG file cannot be written");
    }
    static const char end[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', '\xAE', '\x42', '\x60', '\x82'};
    if (!sink(end, sizeof end))
        throw vips::VError("The PNG file cannot be written");
}

} // namespace trimlark
