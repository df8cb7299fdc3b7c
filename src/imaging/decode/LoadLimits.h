#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace trimlark {

// What a file's headers say about the cost of decoding its picture, read before any pixel is decoded.
struct DecodeShape
{
    double width = 0; // the picture's pixel size as stored
    double height = 0;
    double pixelBytes = 4;   // decoded bytes per pixel, all bands
    double rowsAtOnce = 0;   // rows the decoder holds at once when it streams; 0 when it decodes the picture whole
    double extraBytes = 0;   // held by the codec beside the rows (a progressive JPEG's coefficients, a WebP's canvas)
    bool needsWhole = false; // read out of order (an orientation that turns the picture), so decoded whole
    double fileBytes = 0;    // the file's size
    double coefficientBytes = 0; // JPEG: its coded blocks, 2 bytes a coefficient, which a lossless crop holds
    // The most pixels per byte of file the format's coding can reach; absent when it has no useful bound
    // (arithmetic-coded JPEG, JPEG 2000, HEIF, WebP, fax-coded TIFF...).
    std::optional<double> mostPixelsPerByte;
};

// Memory one image may take while it is decoded: half the machine's physical memory (see PhysicalMemoryBytes; the
// run starts an image that needs more than its own budget only when no other is in flight, so one image may have
// it all); or the number of megabytes the environment variable TRIMLARK_IMAGE_MEMORY gives, its one setting.
double ImageMemoryBudget();

// Bytes held at once while the picture is decoded for a save: the decoder's rows or whole picture, what the codec
// holds beside them, and the rows libvips' pipeline keeps between the decoder and a streaming encoder.
double DecodeCost(const DecodeShape& shape);

// Rows of the picture that libvips' pipeline holds between a streaming decoder and a streaming encoder (its strip
// caches and the writer's two buffers). Measured: about 800 at 4000 and 8000 pixels wide, with 1 to 4 threads.
inline constexpr double kPipelineRows = 800;

// Why a picture of that shape in a file of fileBytes is not to be decoded, or nothing when it may be: a header
// claiming more pixels than the file can code, or a decode over the budget.
std::optional<std::string> RefuseDecode(const DecodeShape& shape, std::uintmax_t fileBytes, double budget);

// Pixels per byte of coded data: the best each coding can do with the smallest pixels it codes, times 4 or more.
inline constexpr double kJpegPixelsPerByte = 2048;     // Huffman codes spend at least 1 bit per 8 x 8 block
inline constexpr double kDeflatePixelsPerByte = 33024; // deflate expands at most 1032 times, 8 pixels a byte
inline constexpr double kLzwPixelsPerByte = 87381;     // one 9- to 12-bit code stands for at most 4096 bytes
inline constexpr double kGifPixelsPerByte = 16384;     // 4096 pixels per 12-bit code is 2731, times 6
inline constexpr double kPackBitsPixelsPerByte = 2048; // 2 bytes repeat at most 128
inline constexpr double kRawPixelsPerByte = 32;        // uncoded: 8 one-bit pixels a byte

} // namespace trimlark
