#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vips {
class VImage;
}

namespace trimlark {

// Where an encoder's bytes go, in order; false when they cannot be taken, which stops the encoder.
using ByteSink = std::function<bool(const void* data, std::size_t size)>;

// A picture of at most 256 colours is written with a palette while its indices, a byte a pixel held until the
// last row, stay within this many pixels.
constexpr std::size_t kPngPalettePixels = std::size_t{64} << 20;

// A PNG chunk: length, type, data and the checksum of type and data.
std::string PngChunk(std::string_view type, std::string_view data);

// A chunk of a keyword and zlib-compressed data (iCCP, zTXt); nothing when the data cannot be compressed.
std::optional<std::string> PngCompressedChunk(std::string_view type, std::string_view keyword, std::string_view data);

// Encodes 8-bit pixels of one to four bands (grey, grey and alpha, RGB, RGBA) as a PNG, non-interlaced, deflated
// by ISA-L: a few times quicker than zlib's fastest level, at about a seventh more bytes on grainy photographs
// and fewer on smooth pictures. A colour picture of at most 256 colours (a screenshot, a diagram) gets a palette
// of 1, 2, 4 or 8 bits an index; any other keeps its bands, every row under the "up" filter. The chunks in
// headerChunks (complete, as PngChunk makes them) follow the header chunk; the colour profile and the
// resolution go in too. The pixels are computed in strips while the previous ones are compressed; only a strip,
// the compressor's window and, while the picture may still take a palette, its indices are held. Throws
// vips::VError when the pixels cannot be computed or the sink refuses bytes (the sink keeps its own reason).
void EncodePng(const vips::VImage& pixels, std::string_view headerChunks, const ByteSink& sink);

} // namespace trimlark
