#include "imaging/ImageWriter.h"

#include "base/AtomicFile.h"
#include "imaging/DecoderWarnings.h"
#include "imaging/LibrarySetup.h"
#include "imaging/MetadataCarrier.h"
#include "imaging/SourceProbe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vips/vips8>

namespace trimlark {

using vips::VImage;

namespace {

VImage OpenPage(const WorkingImage::Impl& image, VipsAccess access)
{
    auto* options = VImage::option()->set("access", access)->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    if (HasIndependentPages(image.kind))
        options->set("page", image.page);
    return VImage::new_from_file(image.ReadPath().c_str(), options);
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

// The file's largest image upright, cut to the working image's region.
VImage OpenPixels(const WorkingImage::Impl& image)
{
    VImage pixels = OpenPage(image, VIPS_ACCESS_SEQUENTIAL);
    int orientation = 1;
    if (image.kind == SourceKind::Jpeg2000)
        orientation = image.orientation;
    else if (image.kind != SourceKind::Heif) // libheif applies the file's rotation itself
        orientation = vips_image_get_orientation(pixels.get_image());
    if (orientation != 1) {
        // Rotations read the picture out of order, which a streaming decode cannot serve.
        if (orientation != 2)
            pixels = OpenPage(image, VIPS_ACCESS_RANDOM);
        pixels = pixels.copy();
        pixels.set("orientation", orientation);
        pixels = pixels.autorot();
    }
    if (pixels.width() != image.uprightWidth || pixels.height() != image.uprightHeight)
        throw vips::VError("The file changed since it was loaded");
    if (orientation == 1 || orientation == 2) // still streaming, rows in the file's order
        SkipRows(pixels, image.top);
    if (image.left != 0 || image.top != 0 || image.pixelWidth != pixels.width() || image.pixelHeight != pixels.height())
        pixels = pixels.extract_area(image.left, image.top, image.pixelWidth, image.pixelHeight);
    return pixels;
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

bool JpegTwoThousandLossless(double quality)
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
        if (JpegTwoThousandLossless(request.quality))
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
        options->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC)->set("bitdepth", 8);
        break;
    case OutputFormat::Png:
        // Adaptive row filters with fast deflate: on photographs this is both smaller and faster than
        // libvips' default (level 6, no filter), and close to what other tools write.
        options->set("filter", VIPS_FOREIGN_PNG_FILTER_ALL)->set("compression", 1);
        break;
    }
    return options;
}

void EncodeToFile(const VImage& pixels, const std::string& path, const WriteRequest& request)
{
    auto* options = EncoderOptions(request);
    switch (request.format) {
    case OutputFormat::Jpeg:
        return pixels.jpegsave(path.c_str(), options);
    case OutputFormat::Jpeg2000:
        return pixels.jp2ksave(path.c_str(), options);
    case OutputFormat::Png:
        return pixels.pngsave(path.c_str(), options);
    case OutputFormat::Tiff:
        return pixels.tiffsave(path.c_str(), options);
    case OutputFormat::Gif:
        return pixels.gifsave(path.c_str(), options);
    case OutputFormat::Bmp:
        return pixels.magicksave(path.c_str(), options);
    case OutputFormat::Heic:
        return pixels.heifsave(path.c_str(), options);
    }
}

// The formats Exiv2 can add metadata to once they are encoded.
bool CanEncodeToMemory(OutputFormat format)
{
    return format == OutputFormat::Jpeg || format == OutputFormat::Jpeg2000 || format == OutputFormat::Png ||
           format == OutputFormat::Tiff;
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
    switch (request.format) {
    case OutputFormat::Jpeg:
        blob = pixels.jpegsave_buffer(options);
        break;
    case OutputFormat::Jpeg2000:
        blob = pixels.jp2ksave_buffer(options);
        break;
    case OutputFormat::Png:
        blob = pixels.pngsave_buffer(options);
        break;
    case OutputFormat::Tiff:
        blob = pixels.tiffsave_buffer(options);
        break;
    case OutputFormat::Bmp:
        blob = pixels.magicksave_buffer(options);
        break;
    default:
        throw vips::VError("No in-memory encoder for this format");
    }
    size_t length = 0;
    const auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &length));
    std::vector<std::uint8_t> bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

bool FailWith(std::string* reason, std::string text)
{
    if (reason)
        *reason = std::move(text);
    return false;
}

bool WriteUnderScope(const WorkingImage::Impl& image, const std::string& path, const WriteRequest& request,
                     const WarningScope& warnings, std::string* reason)
{
    if (!EnsureLibrariesReady())
        return FailWith(reason, "The image library cannot start");
    if (image.pixelWidth < 1 || image.pixelHeight < 1)
        return FailWith(reason, "The cropped image is less than one pixel wide or high");
    AtomicFile file(path);
    if (!file.Create(reason))
        return false;
    try {
        const bool alphaAllowed = request.format != OutputFormat::Jpeg;
        VImage pixels = warnings.Attributed(WithoutSourceMetadata(ToEightBitRgb(OpenPixels(image), alphaAllowed)));
        if (request.keepMetadata && request.format == OutputFormat::Heic) {
            if (auto carried = MakeCarriedMetadata(image.ReadPath(), image.pixelWidth, image.pixelHeight)) {
                if (!carried->exif.empty())
                    vips_image_set_blob_copy(pixels.get_image(), VIPS_META_EXIF_NAME, carried->exif.data(),
                                             carried->exif.size());
                if (!carried->xmp.empty())
                    vips_image_set_blob_copy(pixels.get_image(), VIPS_META_XMP_NAME, carried->xmp.data(),
                                             carried->xmp.size());
            }
            EncodeToFile(pixels, file.TemporaryPath(), request);
        } else if (const bool embed = request.keepMetadata && CanEncodeToMemory(request.format);
                   embed || EncodesOnlyToMemory(request.format)) {
            // The pixels are encoded once, in memory; Exiv2 adds the metadata around them.
            std::vector<std::uint8_t> encoded = EncodeToMemory(pixels, request);
            if (embed && !EmbedSourceMetadata(image.ReadPath(), image.pixelWidth, image.pixelHeight, encoded, reason))
                return false;
            if (!file.Write(encoded.data(), encoded.size(), reason))
                return false;
        } else {
            EncodeToFile(pixels, file.TemporaryPath(), request);
        }
    } catch (const std::exception& error) {
        return FailWith(reason, DescribeVipsError(error));
    }
    return file.Commit(reason);
}

} // namespace

bool WriteWorkingImage(const WorkingImage::Impl& image, const std::string& path, const WriteRequest& request,
                       std::string* reason)
{
    std::string remark;
    bool written = false;
    std::string warned;
    {
        const WarningScope warnings;
        written = WriteUnderScope(image, path, request, warnings, &remark);
        warned = warnings.Summary();
    }
    // The file was read again for its pixels; what the decoder said then includes what it said at the load.
    if (warned.empty())
        warned = image.loadWarnings;
    if (reason)
        *reason = JoinRemarks(remark, warned);
    return written;
}

} // namespace trimlark
