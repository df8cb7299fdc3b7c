#include "imaging/encode/ImageWriter.h"

#include "base/AtomicFile.h"
#include "base/FileIo.h"
#include "base/Reason.h"
#include "imaging/LibrarySetup.h"
#include "imaging/decode/DecoderWarnings.h"
#include "imaging/decode/JpegRegion.h"
#include "imaging/decode/SourceProbe.h"
#include "imaging/encode/PngWriter.h"
#include "imaging/metadata/MetadataCarrier.h"
#include "imaging/metadata/MetadataPlacement.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips8>

namespace trimlark {

using vips::VImage;

namespace {

// The loaded file's picture, opened again for its pixels by the decoder that loaded it.
VImage OpenLoadedPage(const WorkingImage::Impl& image, VipsAccess access)
{
    return OpenPageOfFile(image.ReadPath(), image.loader, image.kind, image.page, access);
}

// Reads a streaming decode's rows above `rows` and lets them go, a band at a time. Asked for a region further
// down, the decoder's pipeline would otherwise hold every row it skips at once.
void SkipRows(const VImage& pixels, int rows)
{
    constexpr int kBandRows = 256;
    VipsRegion* region = vips_region_new(pixels.get_image());
    for (int top = 0; top < rows; top += kBandRows) {
        const VipsRect band{0, top, pixels.width(), std::min(kBandRows, rows - top)};
        if (vips_region_prepare(region, &band) != 0) {
            g_object_unref(region);
            throw vips::VError();
        }
    }
    g_object_unref(region);
}

// The largest fraction a scaled output lets its JPEG be decoded at: its region still at least the output's size on
// both sides, so the scale after it only reduces (the decoder's box average leaves detail for Lanczos 3 to keep).
int DecodeShrink(const WorkingImage::Impl& image)
{
    if (image.scaledWidth <= 0)
        return 1;
    for (const int shrink : {8, 4, 2}) {
        if (image.pixelWidth / shrink >= image.scaledWidth && image.pixelHeight / shrink >= image.scaledHeight)
            return shrink;
    }
    return 1;
}

// A JPEG's region decoded alone (see OpenJpegRegion) and turned upright; nothing when that path does not take it.
std::optional<VImage> OpenJpegPixels(const WorkingImage::Impl& image)
{
    const VImage header = OpenLoadedPage(image, VIPS_ACCESS_SEQUENTIAL);
    const int orientation = vips_image_get_orientation(header.get_image());
    const bool turned = orientation >= 5 && orientation <= 8;
    if ((turned ? header.height() : header.width()) != image.uprightWidth ||
        (turned ? header.width() : header.height()) != image.uprightHeight)
        throw std::runtime_error("The file changed since it was loaded");
    const PixelRect upright{image.left, image.top, image.pixelWidth, image.pixelHeight};
    // Only the kept pixels are turned. All but a mirror left to right read them out of order, so they are
    // decoded into memory first.
    const auto access = orientation <= 2 ? JpegRegionAccess::Streamed : JpegRegionAccess::InMemory;
    auto pixels =
        OpenJpegRegion(image.ReadPath(), header, StoredRect(upright, orientation, header.width(), header.height()),
                       access, DecodeShrink(image));
    if (!pixels || orientation == 1)
        return pixels;
    VImage kept = pixels->copy();
    kept.set("orientation", orientation);
    return kept.autorot();
}

// The file's largest image upright, cut to the working image's region.
VImage OpenPixels(const WorkingImage::Impl& image)
{
    if (image.kind == SourceKind::Jpeg) {
        if (auto pixels = OpenJpegPixels(image))
            return *pixels;
    }
    VImage pixels = OpenLoadedPage(image, VIPS_ACCESS_SEQUENTIAL);
    int orientation = 1;
    if (image.kind == SourceKind::Jpeg2000)
        orientation = image.orientation;
    else if (image.kind != SourceKind::Heif) // libheif applies the file's rotation itself
        orientation = vips_image_get_orientation(pixels.get_image());
    if (orientation != 1) {
        // Rotations read the picture out of order, which a streaming decode cannot serve.
        if (orientation != 2)
            pixels = OpenLoadedPage(image, VIPS_ACCESS_RANDOM);
        pixels = pixels.copy();
        pixels.set("orientation", orientation);
        pixels = pixels.autorot();
    }
    if (pixels.width() != image.uprightWidth || pixels.height() != image.uprightHeight)
        throw std::runtime_error("The file changed since it was loaded");
    if (orientation == 1 || orientation == 2) // still streaming, rows in the file's order
        SkipRows(pixels, image.top);
    if (image.left != 0 || image.top != 0 || image.pixelWidth != pixels.width() || image.pixelHeight != pixels.height())
        pixels = pixels.extract_area(image.left, image.top, image.pixelWidth, image.pixelHeight);
    return pixels;
}

// The size step's scale: Lanczos 3 in the pixels' own colour space, alpha premultiplied so that transparent
// pixels lend no colour to their neighbours. libvips rounds each side of the scale's product, which gives the size
// asked for every side from 1 to 6000 scaled to 1 to 1772 tried.
VImage Scaled(VImage pixels, const WorkingImage::Impl& image)
{
    const int width = image.scaledWidth;
    const int height = image.scaledHeight;
    if (width <= 0 || height <= 0 || (pixels.width() == width && pixels.height() == height))
        return pixels;
    const bool alpha = pixels.has_alpha();
    const VipsBandFormat format = pixels.format();
    if (alpha)
        pixels = pixels.premultiply();
    pixels = pixels.resize(static_cast<double>(width) / pixels.width(),
                           VImage::option()
                               ->set("vscale", static_cast<double>(height) / pixels.height())
                               ->set("kernel", VIPS_KERNEL_LANCZOS3));
    if (alpha)
        pixels = pixels.unpremultiply().cast(format);
    return pixels;
}

// The scaled crop in the middle of its canvas, the rest filled. A format without alpha takes a transparent fill
// as white, as it does the picture's own transparent pixels.
VImage Filled(VImage pixels, const WorkingImage::Impl& image, bool alphaAllowed)
{
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    if (!image.fill || (pixels.width() == width && pixels.height() == height))
        return pixels;
    const FillColour colour = image.fill->alpha < 255 && !alphaAllowed ? FillColour{} : *image.fill;
    if (colour.alpha < 255 && !pixels.has_alpha())
        pixels = pixels.bandjoin_const({255});
    std::vector<double> background{static_cast<double>(colour.red), static_cast<double>(colour.green),
                                   static_cast<double>(colour.blue)};
    if (pixels.has_alpha())
        background.push_back(colour.alpha);
    return pixels.embed((width - pixels.width()) / 2, (height - pixels.height()) / 2, width, height,
                        VImage::option()->set("extend", VIPS_EXTEND_BACKGROUND)->set("background", background));
}

// The colour space an ICC profile's header names (bytes 16-19), e.g. "RGB ", "CMYK", "GRAY".
std::string ProfileColourSpace(const VImage& image)
{
    if (!image.get_typeof(VIPS_META_ICC_NAME))
        return {};
    const void* data = nullptr;
    size_t length = 0;
    if (vips_image_get_blob(image.get_image(), VIPS_META_ICC_NAME, &data, &length) != 0 || length < 20)
        return {};
    return std::string(static_cast<const char*>(data) + 16, 4);
}

// 8-bit sRGB with alpha kept only where the source has it and the format can hold it. CMYK goes through its
// profile (or a standard one); a profile that no longer describes the pixels is dropped.
VImage ToEightBitRgb(VImage pixels, bool alphaAllowed)
{
    const std::string profileSpace = ProfileColourSpace(pixels);
    const VipsInterpretation interpretation = pixels.interpretation();
    if (interpretation == VIPS_INTERPRETATION_CMYK || profileSpace == "CMYK") {
        pixels = pixels.icc_transform("srgb", VImage::option()
                                                  ->set("embedded", true)
                                                  ->set("input_profile", "cmyk")
                                                  ->set("intent", VIPS_INTENT_PERCEPTUAL));
    } else if (interpretation != VIPS_INTERPRETATION_sRGB || pixels.format() != VIPS_FORMAT_UCHAR) {
        pixels = pixels.colourspace(VIPS_INTERPRETATION_sRGB);
        if (!profileSpace.empty() && profileSpace != "RGB ") {
            pixels = pixels.copy();
            pixels.remove(VIPS_META_ICC_NAME);
        }
    }
    if (pixels.bands() < 3) // grey that claimed to be colour
        pixels = pixels.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W))
                     .colourspace(VIPS_INTERPRETATION_sRGB);
    const bool hasAlpha = vips_image_hasalpha(pixels.get_image()) != 0;
    if (hasAlpha && !alphaAllowed) {
        pixels = pixels.flatten(VImage::option()->set("background", std::vector<double>{255, 255, 255}));
    }
    const int colourBands = 3;
    const int bands = pixels.bands();
    const bool keepAlpha = hasAlpha && alphaAllowed;
    if (bands > colourBands + (keepAlpha ? 1 : 0)) {
        VImage colour = pixels.extract_band(0, VImage::option()->set("n", colourBands));
        pixels = keepAlpha ? colour.bandjoin(pixels.extract_band(bands - 1)) : colour;
    }
    if (pixels.format() != VIPS_FORMAT_UCHAR)
        pixels = pixels.cast(VIPS_FORMAT_UCHAR);
    pixels = pixels.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return pixels;
}

// Whether the format's files keep a colour profile: all but GIF and JPEG 2000 (as libvips writes them).
bool HoldsColourProfile(OutputFormat format)
{
    return format != OutputFormat::Gif && format != OutputFormat::Jpeg2000;
}

// Whether 8-bit RGB pixels carry a colour profile that makes them show otherwise than as sRGB: a few colours moved
// to sRGB through it change by more than rounding does between two sRGB profiles. Greys and muted colours only:
// saturated ones lie outside sRGB in a wide gamut and would be clipped to where they were.
bool ShowsOtherThanSrgb(const VImage& pixels)
{
    const void* profile = nullptr;
    size_t length = 0;
    if (!pixels.get_typeof(VIPS_META_ICC_NAME) ||
        vips_image_get_blob(pixels.get_image(), VIPS_META_ICC_NAME, &profile, &length) != 0)
        return false;
    static const std::uint8_t colours[] = {
        64, 64, 64, 128, 128, 128, 200, 100, 50, 50, 150, 200, 100, 180, 90, 170, 60, 150, // RGB triples
    };
    try {
        VImage probe = VImage::new_from_memory(const_cast<std::uint8_t*>(colours), sizeof colours, sizeof colours / 3,
                                               1, 3, VIPS_FORMAT_UCHAR)
                           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        vips_image_set_blob_copy(probe.get_image(), VIPS_META_ICC_NAME, profile, length);
        const VImage moved = probe.icc_transform("srgb", VImage::option()->set("embedded", true));
        return (moved.cast(VIPS_FORMAT_INT) - probe.cast(VIPS_FORMAT_INT)).abs().max() > 2;
    } catch (const vips::VError&) { // a profile that cannot be read converts nothing: the pixels go as they are
        vips_error_clear();
        return false;
    }
}

// Drops every metadata field of the source but the colour profile; the savers then write only what describes
// the new file. PNG text chunks and a TIFF description go too: they hold other programs' copies of the EXIF,
// IPTC and XMP ("Raw profile type ...") and free text.
VImage WithoutSourceMetadata(VImage pixels)
{
    pixels = pixels.copy();
    char** fields = vips_image_get_fields(pixels.get_image());
    for (char** field = fields; *field; ++field) {
        const std::string name = *field;
        if (name.rfind("exif-", 0) == 0 || name == VIPS_META_XMP_NAME || name == VIPS_META_IPTC_NAME ||
            name.rfind("png-comment-", 0) == 0 || name == VIPS_META_IMAGEDESCRIPTION ||
            name == VIPS_META_PHOTOSHOP_NAME || name == "jpeg-thumbnail-data" || name == VIPS_META_ORIENTATION ||
            name.rfind("heif-", 0) == 0 || name.rfind("gif-", 0) == 0 || name == "loop" || name == "delay" ||
            name == VIPS_META_PAGE_HEIGHT || name == VIPS_META_N_PAGES)
            pixels.remove(name.c_str());
    }
    g_strfreev(fields);
    return pixels;
}

int QualityScale(double quality)
{
    const double fraction = std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 1.0;
    return std::max(1, static_cast<int>(std::lround(fraction * 100)));
}

// The quality at which the JPEG 2000 and WebP encoders are lossless: the top of the scale.
bool LosslessQuality(double quality)
{
    return !std::isfinite(quality) || quality >= 1.0;
}

// Options of the format's encoder; "strip" stays off so the colour profile is written.
vips::VOption* EncoderOptions(const WriteRequest& request)
{
    auto* options = VImage::option();
    switch (request.format) {
    case OutputFormat::Jpeg:
        options->set("Q", QualityScale(request.quality));
        break;
    case OutputFormat::Jpeg2000:
    case OutputFormat::Webp:
        if (LosslessQuality(request.quality))
            options->set("lossless", true);
        else
            options->set("Q", QualityScale(request.quality));
        break;
    case OutputFormat::Tiff:
        options->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW)
            ->set("predictor", VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL);
        break;
    case OutputFormat::Gif:
        options->set("dither", 1.0);
        break;
    case OutputFormat::Bmp:
        options->set("format", "bmp");
        break;
    case OutputFormat::Heic:
        options->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC)
            ->set("bitdepth", 8)
            ->set("Q", QualityScale(request.quality));
        break;
    case OutputFormat::Avif:
        // The AV1 encoder's fastest setting: its default took twenty times as long on a 16 MP crop, for a
        // file a few per cent smaller.
        options->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1)
            ->set("bitdepth", 8)
            ->set("effort", 0)
            ->set("Q", QualityScale(request.quality));
        break;
    case OutputFormat::Png: // encoded by EncodePng
        break;
    }
    return options;
}

// The output file as the encoders write it, and why a write to it failed (0 when none did).
struct OutputFile
{
    std::string path;
    int writeError = 0;
};

// A write to the output that failed; its errno is kept by the OutputFile.
struct WriteFailed : std::runtime_error
{
    WriteFailed() : std::runtime_error("write failed") {}
};

int OpenOutput(OutputFile& output, int flags)
{
    const int fd = ::open(output.path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        output.writeError = errno;
        throw WriteFailed();
    }
    return fd;
}

// A failed close is a failed write: some file systems tell of a full disk only then.
void CloseOutput(OutputFile& output, int fd)
{
    if (::close(fd) != 0 && output.writeError == 0)
        output.writeError = errno;
    if (output.writeError != 0)
        throw WriteFailed();
}

// PNGs have an encoder of this program's own, with a faster deflate than libvips' savers can use.
void EncodePngToFile(const VImage& pixels, OutputFile& output, const std::string& headerChunks)
{
    const int fd = OpenOutput(output, O_WRONLY);
    try {
        EncodePng(pixels, headerChunks, [fd, &output](const void* data, std::size_t size) {
            if (WriteAll(fd, data, size))
                return true;
            output.writeError = errno;
            return false;
        });
    } catch (...) {
        ::close(fd);
        throw;
    }
    CloseOutput(output, fd);
}

// Where an encoder's bytes go: straight into the file, through the inserter (JPEG with metadata), or written
// shift bytes into the file (TIFF with metadata, whose encoder seeks and reads back). A failed write's errno is
// kept.
struct OutputStream
{
    int fd = -1;
    off_t shift = 0;
    off_t position = 0;
    MetadataInserter* inserter = nullptr;
    int writeError = 0;
};

gint64 OnStreamWrite(VipsTargetCustom*, const void* data, gint64 length, OutputStream* stream)
{
    if (stream->inserter) {
        errno = 0;
        if (stream->inserter->Write(data, static_cast<std::size_t>(length)))
            return length;
        stream->writeError = errno != 0 ? errno : EIO;
        return -1;
    }
    const ssize_t written =
        ::pwrite(stream->fd, data, static_cast<std::size_t>(length), stream->shift + stream->position);
    if (written > 0)
        stream->position += written;
    else
        stream->writeError = written < 0 ? errno : EIO;
    return written;
}

gint64 OnStreamRead(VipsTargetCustom*, void* data, gint64 length, OutputStream* stream)
{
    const ssize_t got = ::pread(stream->fd, data, static_cast<std::size_t>(length), stream->shift + stream->position);
    if (got > 0)
        stream->position += got;
    return got;
}

gint64 OnStreamSeek(VipsTargetCustom*, gint64 offset, int whence, OutputStream* stream)
{
    off_t base = 0;
    if (whence == SEEK_CUR) {
        base = stream->position;
    } else if (whence == SEEK_END) {
        struct stat attributes = {};
        if (::fstat(stream->fd, &attributes) != 0)
            return -1;
        base = std::max<off_t>(0, attributes.st_size - stream->shift);
    }
    if (base + offset < 0) {
        errno = EINVAL;
        return -1;
    }
    stream->position = base + offset;
    return stream->position;
}

int OnStreamEnd(VipsTargetCustom*, OutputStream* stream)
{
    errno = 0;
    if (!stream->inserter || stream->inserter->Finish())
        return 0;
    stream->writeError = errno != 0 ? errno : EIO;
    return -1;
}

// libvips' encoders write through these calls, so the cause of a failed write is this image's own.
vips::VTarget TargetOn(OutputStream& stream)
{
    VipsTargetCustom* custom = vips_target_custom_new();
    g_signal_connect(custom, "write", G_CALLBACK(OnStreamWrite), &stream);
    g_signal_connect(custom, "read", G_CALLBACK(OnStreamRead), &stream);
    g_signal_connect(custom, "seek", G_CALLBACK(OnStreamSeek), &stream);
    g_signal_connect(custom, "end", G_CALLBACK(OnStreamEnd), &stream);
    return vips::VTarget(VIPS_TARGET(custom));
}

// Runs encode with the output open on stream; the stream's failed write is the output's.
template <class Encode> void EncodeOnStream(OutputFile& output, OutputStream& stream, Encode encode)
{
    stream.fd = OpenOutput(output, O_RDWR);
    try {
        encode();
    } catch (...) {
        output.writeError = stream.writeError;
        ::close(stream.fd);
        throw;
    }
    output.writeError = stream.writeError;
    CloseOutput(output, stream.fd);
}

void EncodeToFile(const VImage& pixels, OutputFile& output, const WriteRequest& request)
{
    if (request.format == OutputFormat::Png)
        return EncodePngToFile(pixels, output, {});
    OutputStream stream;
    EncodeOnStream(output, stream, [&] {
        const vips::VTarget target = TargetOn(stream);
        switch (request.format) {
        case OutputFormat::Jpeg:
            return pixels.jpegsave_target(target, EncoderOptions(request));
        case OutputFormat::Tiff:
            return pixels.tiffsave_target(target, EncoderOptions(request));
        case OutputFormat::Gif:
            return pixels.gifsave_target(target, EncoderOptions(request));
        case OutputFormat::Heic:
        case OutputFormat::Avif:
            return pixels.heifsave_target(target, EncoderOptions(request));
        case OutputFormat::Webp:
            return pixels.webpsave_target(target, EncoderOptions(request));
        case OutputFormat::Jpeg2000: // encoded in memory
        case OutputFormat::Bmp:
        case OutputFormat::Png:
            break;
        }
        throw std::runtime_error("No file encoder for this format");
    });
}

// Encodes a JPEG, PNG or TIFF into the output with the fitted metadata in it, as it is encoded: nothing the
// size of the image is held in memory for it.
void EncodeWithMetadata(const VImage& pixels, OutputFile& output, const WriteRequest& request,
                        const FittedMetadata& metadata)
{
    if (request.format == OutputFormat::Png)
        return EncodePngToFile(pixels, output, PngMetadataChunks(metadata));
    OutputStream stream;
    EncodeOnStream(output, stream, [&] {
        MetadataInserter inserter(stream.fd, metadata);
        if (request.format == OutputFormat::Tiff) {
            // The metadata's directory tree first, where its offsets already point; the encoder's TIFF after it.
            stream.shift = static_cast<off_t>((metadata.exif.size() + 7) & ~std::size_t{7});
            if (!WriteAllAt(stream.fd, metadata.exif.data(), metadata.exif.size(), 0)) {
                stream.writeError = errno;
                throw WriteFailed();
            }
        } else {
            stream.inserter = &inserter;
        }
        const vips::VTarget target = TargetOn(stream);
        if (request.format == OutputFormat::Jpeg)
            pixels.jpegsave_target(target, EncoderOptions(request));
        else
            pixels.tiffsave_target(target, EncoderOptions(request));
        std::string failure;
        errno = 0;
        if (request.format == OutputFormat::Tiff &&
            !MergeTiffDirectory(stream.fd, stream.shift, metadata.exif, &failure)) {
            if (errno == 0)
                throw std::runtime_error(failure);
            stream.writeError = errno;
            throw WriteFailed();
        }
    });
}

// Gives the WebP output its EXIF chunk as WebP defines it (see FixWebpExifChunk).
void FixWebpFile(OutputFile& output)
{
    const int fd = OpenOutput(output, O_RDWR);
    std::string failure;
    errno = 0;
    const bool fixed = FixWebpExifChunk(fd, &failure);
    if (!fixed && errno != 0)
        output.writeError = errno;
    CloseOutput(output, fd);
    if (!fixed)
        throw std::runtime_error(failure);
}

// The formats whose encoder writes the EXIF and XMP set on the image itself (the colour profile too, always).
bool TakesMetadataFromImage(OutputFormat format)
{
    return format == OutputFormat::Heic || format == OutputFormat::Webp || format == OutputFormat::Avif;
}

// The formats whose encoder takes the metadata along as it writes the file.
bool StreamsMetadata(OutputFormat format)
{
    return format == OutputFormat::Jpeg || format == OutputFormat::Png || format == OutputFormat::Tiff;
}

// The formats whose encoder never writes the file itself: the JPEG 2000 encoder retries a failed write for ever (a
// full disk would hang it), and ImageMagick's refuses the unnamed output file's /proc path.
bool EncodesOnlyToMemory(OutputFormat format)
{
    return format == OutputFormat::Jpeg2000 || format == OutputFormat::Bmp;
}

std::vector<std::uint8_t> EncodeToMemory(const VImage& pixels, const WriteRequest& request)
{
    auto* options = EncoderOptions(request);
    VipsBlob* blob = nullptr;
    if (request.format == OutputFormat::Jpeg2000)
        blob = pixels.jp2ksave_buffer(options);
    else if (request.format == OutputFormat::Bmp)
        blob = pixels.magicksave_buffer(options);
    else
        throw std::runtime_error("No in-memory encoder for this format");
    size_t length = 0;
    const auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &length));
    std::vector<std::uint8_t> bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

// Why the encoder could not write the output: the system's error for its failed write, else what the encoder
// said (its own exception's text, or the errors libvips raised for this image).
std::string OutputFailure(const std::string& path, const OutputFile& output, const std::exception& error,
                          const WarningScope& scope)
{
    if (output.writeError != 0)
        return WriteFailureText(path, output.writeError);
    const bool library = dynamic_cast<const vips::VError*>(&error) != nullptr;
    const std::string said = library ? scope.Errors() : OneLine(error.what());
    return "cannot write " + path + ": " + (said.empty() ? "the encoder failed" : said);
}

SaveResult WriteInto(AtomicFile& file, const WorkingImage::Impl& image, const std::string& path,
                     const WriteRequest& request, const WarningScope& warnings, std::string* reason)
{
    if (!file.Create(reason))
        return SaveResult::Failed;
    OutputFile output{file.TemporaryPath()};
    std::string remark;
    bool encoding = false; // the source's pixels are open; a failure from now on may be either side's
    std::string colourRemark;
    try {
        const bool alphaAllowed = request.format != OutputFormat::Jpeg;
        VImage pixels = ToEightBitRgb(Scaled(OpenPixels(image), image), alphaAllowed);
        if (!HoldsColourProfile(request.format) && ShowsOtherThanSrgb(pixels)) {
            // Without their profile the pixels would show as sRGB: they are made so.
            pixels = pixels.icc_transform("srgb", VImage::option()->set("embedded", true));
            colourRemark = std::string("Colours converted to sRGB: ") + FormatName(request.format) +
                           " cannot hold the colour profile";
        }
        pixels = warnings.Attributed(WithoutSourceMetadata(Filled(pixels, image, alphaAllowed)));
        if (image.ppi > 0) {
            const double perMillimetre = image.ppi / 25.4; // libvips keeps the resolution in pixels per mm
            pixels = pixels.copy(VImage::option()->set("xres", perMillimetre)->set("yres", perMillimetre));
        }
        encoding = true;
        FittedMetadata fitted;
        if (request.keepMetadata && request.format != OutputFormat::Jpeg2000) {
            fitted = FitSourceMetadata(image.ReadPath(), image.OutputWidth(), image.OutputHeight(), request.format, 1,
                                       image.ppi);
            remark = fitted.remark;
        }
        if (TakesMetadataFromImage(request.format)) {
            if (!fitted.exif.empty())
                vips_image_set_blob_copy(pixels.get_image(), VIPS_META_EXIF_NAME, fitted.exif.data(),
                                         fitted.exif.size());
            if (!fitted.xmp.empty())
                vips_image_set_blob_copy(pixels.get_image(), VIPS_META_XMP_NAME, fitted.xmp.data(), fitted.xmp.size());
            EncodeToFile(pixels, output, request);
            if (request.format == OutputFormat::Webp)
                FixWebpFile(output);
        } else if (EncodesOnlyToMemory(request.format)) {
            std::vector<std::uint8_t> encoded = EncodeToMemory(pixels, request);
            if (request.keepMetadata && request.format == OutputFormat::Jpeg2000)
                remark = EmbedSourceMetadata(image.ReadPath(), image.OutputWidth(), image.OutputHeight(), image.ppi,
                                             encoded);
            if (!file.Write(encoded.data(), encoded.size(), reason))
                return SaveResult::Failed;
        } else if (!fitted.Empty() && StreamsMetadata(request.format)) {
            EncodeWithMetadata(pixels, output, request, fitted);
        } else {
            EncodeToFile(pixels, output, request);
        }
    } catch (const std::exception& error) {
        vips_error_clear(); // read from this image's own messages; the process-wide buffer only fills up
        if (!encoding || warnings.SourceFailed()) {
            const bool own = dynamic_cast<const vips::VError*>(&error) == nullptr;
            const std::string why = warnings.SourceFailure(own ? OneLine(error.what()) : std::string());
            return Fail(reason, why.empty() ? "its pixels cannot be decoded" : why, SaveResult::SourceFailed);
        }
        return Fail(reason, OutputFailure(path, output, error, warnings), SaveResult::Failed);
    }
    // Some of the source's pixels failed off the encoder's path (a worker ahead of it), which went on: the output
    // would hold wrong pixels, so it is not named.
    if (warnings.SourceFailed()) {
        const std::string why = warnings.SourceFailure();
        return Fail(reason, why.empty() ? "its pixels cannot be decoded" : why, SaveResult::SourceFailed);
    }
    if (!file.Commit(reason, request.replaceExisting))
        return file.DestinationTaken() ? SaveResult::PathTaken : SaveResult::Failed;
    if (reason) {
        const std::string frames =
            image.frames > 1 ? "Later frames dropped: first frame of " + std::to_string(image.frames) + " written" : "";
        *reason = JoinRemarks(JoinRemarks(frames, colourRemark), remark);
    }
    return SaveResult::Saved;
}

SaveResult WriteUnderScope(const WorkingImage::Impl& image, const std::string& path, const WriteRequest& request,
                           const WarningScope& warnings, std::string* reason)
{
    if (!EnsureLibrariesReady())
        return Fail(reason, "The image library cannot start", SaveResult::Failed);
    if (request.format == OutputFormat::Bmp)
        EnsureAllCodecs(); // ImageMagick's module writes BMP
    if (image.pixelWidth < 1 || image.pixelHeight < 1)
        return Fail(reason, "The cropped image is less than one pixel wide or high", SaveResult::Failed);
    AtomicFile file(path);
    const SaveResult result = WriteInto(file, image, path, request, warnings, reason);
    if (result != SaveResult::Saved && reason)
        *reason = JoinRemarks(*reason, file.Abandon());
    return result;
}

} // namespace

SaveResult WriteWorkingImage(const WorkingImage::Impl& image, const std::string& path, const WriteRequest& request,
                             std::string* reason)
{
    std::string said;
    SaveResult result = SaveResult::Failed;
    std::string warned;
    {
        const WarningScope warnings;
        result = WriteUnderScope(image, path, request, warnings, &said);
        warned = warnings.Summary(said);
    }
    // The file was read again for its pixels; what the decoder said then includes what it said at the load.
    if (warned.empty())
        warned = image.loadWarnings;
    // A failure is told by its cause alone; a written image's remark adds what the decoder warned of.
    if (reason)
        *reason = result == SaveResult::Saved ? JoinRemarks(said, warned) : said;
    return result;
}

} // namespace trimlark
