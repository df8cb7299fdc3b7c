#include "imaging/decode/JpegRegion.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// libjpeg's headers need FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace trimlark {

using vips::VImage;

PixelRect StoredRect(const PixelRect& upright, int orientation, int storedWidth, int storedHeight)
{
    const auto [x, y, w, h] = upright;
    switch (orientation) {
    case 2: // mirrored left to right
        return {storedWidth - x - w, y, w, h};
    case 3: // turned half way
        return {storedWidth - x - w, storedHeight - y - h, w, h};
    case 4: // mirrored top to bottom
        return {x, storedHeight - y - h, w, h};
    case 5: // mirrored along the diagonal
        return {y, x, h, w};
    case 6: // stored a quarter turn anticlockwise: upright column x is stored row storedHeight - 1 - x
        return {y, storedHeight - x - w, h, w};
    case 7:
        return {storedWidth - y - h, storedHeight - x - w, h, w};
    case 8: // stored a quarter turn clockwise
        return {storedWidth - y - h, x, h, w};
    default:
        return upright;
    }
}

namespace {

// Margins decoded around the region and dropped: fancy upsampling looks one chroma sample beyond each pixel, and
// at the edge of a cropped or skipped decode it would see none, so the region's own pixels come from the same
// neighbours as in a whole decode.
constexpr int kMargin = 16;

struct ErrorManager
{
    jpeg_error_mgr base; // first: libjpeg sees this as its error manager
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
    bool quiet; // warnings not passed on (a header read for its grid alone)
};

[[noreturn]] void OnError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->base.format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings go where libvips' own decoder sends them; a file that ends early is an error, as it is for libvips.
void OnMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace output
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    ++errors->base.num_warnings;
    if (errors->base.msg_code == JWRN_JPEG_EOF) {
        errors->truncated = true;
        return;
    }
    if (errors->quiet)
        return;
    char text[JMSG_LENGTH_MAX];
    errors->base.format_message(info, text);
    g_log("VIPS", G_LOG_LEVEL_WARNING, "VipsJpeg: %s", text);
}

// One decode of one file. Every call into libjpeg sits in a function that sets the jump target first and holds
// nothing with a destructor, since an error leaves it by longjmp.
class RegionDecoder
{
public:
    RegionDecoder(const PixelRect& region, int shrink) : region_(region), shrink_(shrink)
    {
        std::memset(&info_, 0, sizeof info_);
        std::memset(&errors_, 0, sizeof errors_);
    }

    ~RegionDecoder()
    {
        if (created_)
            jpeg_destroy_decompress(&info_);
        if (file_)
            std::fclose(file_);
    }

    RegionDecoder(const RegionDecoder&) = delete;
    RegionDecoder& operator=(const RegionDecoder&) = delete;

    // Reads the header and readies the decode; false when this path does not take the file.
    bool Open(const char* path, int bands)
    {
        file_ = std::fopen(path, "rb");
        if (!file_)
            return false;
        // The decoder asks for 4 KB at a time; the file is read in larger pieces (one system call, not 64).
        std::setvbuf(file_, nullptr, _IOFBF, std::size_t{256} << 10);
        info_.err = jpeg_std_error(&errors_.base);
        errors_.base.error_exit = OnError;
        errors_.base.emit_message = OnMessage;
        if (setjmp(errors_.jump))
            return false;
        jpeg_create_decompress(&info_);
        created_ = true;
        jpeg_stdio_src(&info_, file_);
        jpeg_read_header(&info_, TRUE);
        const bool plain = (info_.jpeg_color_space == JCS_YCbCr && info_.num_components == 3 && bands == 3) ||
                           (info_.jpeg_color_space == JCS_GRAYSCALE && info_.num_components == 1 && bands == 1);
        if (!plain || info_.data_precision != 8 || region_.left < 0 || region_.top < 0 || region_.width < 1 ||
            region_.height < 1 || region_.left + region_.width > static_cast<int>(info_.image_width) ||
            region_.top + region_.height > static_cast<int>(info_.image_height))
            return false;
        info_.out_color_space = bands == 3 ? JCS_RGB : JCS_GRAYSCALE;
        if (shrink_ > 1) {
            // The DCT scaled to 1/shrink: each pixel decoded is a block of shrink x shrink of the picture, and the
            // region becomes the pixels nearest its edges.
            info_.scale_num = 1;
            info_.scale_denom = static_cast<unsigned>(shrink_);
            jpeg_calc_output_dimensions(&info_);
            const auto scaled = [this](int edge, JDIMENSION limit) {
                return std::min(static_cast<int>(limit), (edge + shrink_ / 2) / shrink_);
            };
            const int left = scaled(region_.left, info_.output_width);
            const int top = scaled(region_.top, info_.output_height);
            const int right = std::max(left + 1, scaled(region_.left + region_.width, info_.output_width));
            const int bottom = std::max(top + 1, scaled(region_.top + region_.height, info_.output_height));
            if (right > static_cast<int>(info_.output_width) || bottom > static_cast<int>(info_.output_height))
                return false;
            region_ = {left, top, right - left, bottom - top};
        }
        jpeg_start_decompress(&info_); // a file of several scans is read to its end here
        // Where a progressive file's scans end early, the decoder smooths each block's missing detail from blocks
        // up to two away, and at a cropped or skipped edge it would see none: such a picture is decoded whole.
        const bool whole = ScansEndEarly();
        whole_ = whole;
        if (whole)
            g_log("VIPS", G_LOG_LEVEL_WARNING, "VipsJpeg: damaged file: its progressive scans end early");
        JDIMENSION from = 0;
        JDIMENSION width = info_.output_width;
        if (!whole) {
            from = static_cast<JDIMENSION>(std::max(0, region_.left - kMargin));
            width = static_cast<JDIMENSION>(std::min<int>(width, region_.left + region_.width + kMargin)) - from;
        }
        if (from != 0 || width != info_.output_width)
            jpeg_crop_scanline(&info_, &from, &width); // widens to the block grid
        columnOffset_ = static_cast<std::size_t>(region_.left) - from;
        const int skip = whole ? 0 : std::max(0, region_.top - kMargin);
        if (skip > 0)
            jpeg_skip_scanlines(&info_, static_cast<JDIMENSION>(skip));
        return true;
    }

    std::size_t LineBytes() const { return static_cast<std::size_t>(info_.output_width) * info_.output_components; }

    // Decodes the region's next row, top to bottom, into line: LineBytes() bytes, the region's row RowOffset()
    // bytes in. False, with the reason in Failure(), when the file cannot give it.
    bool DecodeNextLine(unsigned char* line)
    {
        if (!failure_.empty()) // after an error libjpeg's state is undefined: nothing more is read
            return false;
        if (!ReadUpTo(static_cast<JDIMENSION>(region_.top + nextRow_), line))
            return false;
        if (errors_.truncated)
            return Fail("Premature end of JPEG file");
        ++nextRow_;
        return true;
    }

    std::size_t RowOffset() const { return columnOffset_ * static_cast<std::size_t>(info_.output_components); }

    // Moves on to the region's row y without transforming the rows before it (they are entropy-decoded and
    // dropped), so the next ReadRow may ask for y. A progressive file decoded whole reads them as usual.
    bool SkipTo(int y)
    {
        if (!failure_.empty())
            return false;
        if (whole_ || y <= nextRow_)
            return true;
        // The margin rows above y are still decoded, as above a region: the upsampler looks at them.
        const long target = static_cast<long>(region_.top) + y - kMargin;
        if (target > static_cast<long>(info_.output_scanline) && !SkipLines(static_cast<JDIMENSION>(target)))
            return false;
        if (errors_.truncated)
            return Fail("Premature end of JPEG file");
        nextRow_ = y;
        return true;
    }

    // Copies the region's next row to out (the region's width of pixels); as DecodeNextLine.
    bool ReadNextRow(unsigned char* out) { return ReadRow(nextRow_, out, 0, region_.width); }

    // Copies `width` pixels from column `left` of the region's row y to out. Rows come top to bottom: rows skipped
    // are decoded and dropped, and the last row read can be read again; an earlier one fails.
    bool ReadRow(int y, unsigned char* out, int left, int width)
    {
        if (line_.empty())
            line_.resize(LineBytes());
        if (!failure_.empty()) // after an error libjpeg's state is undefined: nothing more is read
            return false;
        if (y < nextRow_ - 1)
            return Fail("The picture's rows were asked for out of order");
        while (nextRow_ <= y) {
            if (!DecodeNextLine(line_.data()))
                return false;
        }
        const auto bands = static_cast<std::size_t>(info_.output_components);
        std::memcpy(out, line_.data() + RowOffset() + static_cast<std::size_t>(left) * bands,
                    static_cast<std::size_t>(width) * bands);
        return true;
    }

    const std::string& Failure() const { return failure_; }
    // The region decoded, in the decoded picture's pixels.
    const PixelRect& Region() const { return region_; }

private:
    bool SkipLines(JDIMENSION toRow)
    {
        if (setjmp(errors_.jump))
            return Fail(errors_.message);
        jpeg_skip_scanlines(&info_, toRow - info_.output_scanline);
        return true;
    }

    bool ReadUpTo(JDIMENSION row, JSAMPROW line)
    {
        if (setjmp(errors_.jump))
            return Fail(errors_.message);
        while (info_.output_scanline <= row) {
            if (jpeg_read_scanlines(&info_, &line, 1) != 1)
                return Fail("The picture ends before its last row");
        }
        return true;
    }

    // Whether a progressive file ended before every bit of every coefficient was sent.
    bool ScansEndEarly() const
    {
        if (!info_.progressive_mode || !info_.coef_bits)
            return false;
        for (int component = 0; component < info_.num_components; ++component) {
            for (int k = 0; k < DCTSIZE2; ++k) {
                if (info_.coef_bits[component][k] != 0)
                    return true;
            }
        }
        return false;
    }

    bool Fail(const char* text)
    {
        failure_ = text;
        return false;
    }

    PixelRect region_;
    const int shrink_;
    FILE* file_ = nullptr;
    jpeg_decompress_struct info_;
    ErrorManager errors_;
    bool created_ = false;
    bool whole_ = false; // a progressive file whose scans end early, decoded whole
    int nextRow_ = 0;    // of the region
    std::size_t columnOffset_ = 0;
    std::vector<JSAMPLE> line_;
    std::string failure_;
};

// The header's block grid; every libjpeg call here is behind the jump target set first.
bool ReadGrid(FILE* file, jpeg_decompress_struct& info, ErrorManager& errors, BlockGrid& grid)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    grid = {info.max_h_samp_factor * DCTSIZE, info.max_v_samp_factor * DCTSIZE};
    return true;
}

// Decodes the region into out's memory, top to bottom; throws with the reason when the file cannot give it.
void DecodeIntoMemory(RegionDecoder& decoder, VipsImage* out)
{
    for (int y = 0; y < out->Ysize; ++y) {
        if (!decoder.ReadNextRow(VIPS_IMAGE_ADDR(out, 0, y)))
            throw std::runtime_error(decoder.Failure()); // this decoder's own sentence
    }
}

// A streamed region's decoder, read by libvips' workers one at a time, top to bottom (behind the sequential the
// region is given), as libvips reads its own decoder.
struct StreamedRegion
{
    std::unique_ptr<RegionDecoder> decoder;
    std::mutex mutex;
};

int GenerateRows(VipsRegion* out, void*, void* streamPointer, void*, gboolean*)
{
    auto* stream = static_cast<StreamedRegion*>(streamPointer);
    const VipsRect& rect = out->valid;
    const std::lock_guard lock(stream->mutex);
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        if (!stream->decoder->ReadRow(y, VIPS_REGION_ADDR(out, rect.left, y), rect.left, rect.width)) {
            vips_error("VipsJpeg", "%s", stream->decoder->Failure().c_str());
            return -1;
        }
    }
    return 0;
}

void DeleteStream(VipsImage*, gpointer stream)
{
    delete static_cast<StreamedRegion*>(stream);
}

} // namespace

std::optional<BlockGrid> JpegBlockGrid(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::nullopt;
    jpeg_decompress_struct info;
    ErrorManager errors;
    std::memset(&info, 0, sizeof info);
    std::memset(&errors, 0, sizeof errors);
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    errors.quiet = true; // the header's warnings are libvips' decoder's to give, once
    BlockGrid grid;
    const bool read = ReadGrid(file, info, errors, grid);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    if (!read)
        return std::nullopt;
    return grid;
}

std::optional<VImage> OpenJpegRegion(const std::string& path, const VImage& header, const PixelRect& region,
                                     JpegRegionAccess access, int shrink)
{
    if (header.format() != VIPS_FORMAT_UCHAR || (shrink != 1 && shrink != 2 && shrink != 4 && shrink != 8))
        return std::nullopt;
    auto decoder = std::make_unique<RegionDecoder>(region, shrink);
    if (!decoder->Open(path.c_str(), header.bands()))
        return std::nullopt;
    const bool inMemory = access != JpegRegionAccess::Streamed;
    VipsImage* out = inMemory ? vips_image_new_memory() : vips_image_new();
    // The header's fields and metadata (colour profile, resolution, EXIF...), then the region's size.
    if (vips_image_pipelinev(out, VIPS_DEMAND_STYLE_THINSTRIP, header.get_image(), nullptr) != 0) {
        g_object_unref(out);
        return std::nullopt;
    }
    out->Xsize = decoder->Region().width;
    out->Ysize = decoder->Region().height;
    if (inMemory) {
        // Straight from the decoder into the image's memory, on this thread.
        VImage decoded(out);
        if (vips_image_write_prepare(out) != 0)
            throw vips::VError();
        DecodeIntoMemory(*decoder, out);
        return decoded;
    }
    auto* owned = new StreamedRegion{std::move(decoder), {}};
    g_signal_connect(out, "close", G_CALLBACK(DeleteStream), owned);
    if (vips_image_generate(out, nullptr, GenerateRows, nullptr, owned, nullptr) != 0) {
        g_object_unref(out);
        return std::nullopt;
    }
    // Strips asked for by several threads reach the decoder in order, 16 rows at a time.
    return VImage(out).sequential(VImage::option()->set("tile_height", 16));
}

std::optional<std::vector<VImage>> DecodeJpegRects(const std::string& path, const VImage& header,
                                                   const std::vector<PixelRect>& rects)
{
    if (rects.empty() || header.format() != VIPS_FORMAT_UCHAR)
        return std::nullopt;
    PixelRect hull = rects.front();
    for (const PixelRect& rect : rects) {
        if (rect.width < 1 || rect.height < 1)
            return std::nullopt;
        const int right = std::max(hull.left + hull.width, rect.left + rect.width);
        const int bottom = std::max(hull.top + hull.height, rect.top + rect.height);
        hull.left = std::min(hull.left, rect.left);
        hull.top = std::min(hull.top, rect.top);
        hull.width = right - hull.left;
        hull.height = bottom - hull.top;
    }
    RegionDecoder decoder(hull, 1);
    if (!decoder.Open(path.c_str(), header.bands()))
        return std::nullopt;
    std::vector<VImage> images;
    for (const PixelRect& rect : rects) {
        VipsImage* out = vips_image_new_memory();
        VImage image(out);
        if (vips_image_pipelinev(out, VIPS_DEMAND_STYLE_THINSTRIP, header.get_image(), nullptr) != 0)
            throw vips::VError();
        out->Xsize = rect.width;
        out->Ysize = rect.height;
        if (vips_image_write_prepare(out) != 0)
            throw vips::VError();
        images.push_back(image);
    }
    bool covered = false; // whether the row above was read
    for (int y = hull.top; y < hull.top + hull.height; ++y) {
        bool skipped = !covered;
        covered = false;
        for (std::size_t i = 0; i < rects.size(); ++i) {
            const PixelRect& rect = rects[i];
            if (y < rect.top || y >= rect.top + rect.height)
                continue;
            if (skipped && !decoder.SkipTo(y - hull.top))
                throw std::runtime_error(decoder.Failure());
            skipped = false;
            covered = true;
            if (!decoder.ReadRow(y - hull.top, VIPS_IMAGE_ADDR(images[i].get_image(), 0, y - rect.top),
                                 rect.left - hull.left, rect.width))
                throw std::runtime_error(decoder.Failure());
        }
    }
    return images;
}

} // namespace trimlark
