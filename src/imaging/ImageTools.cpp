#include "imaging/ImageTools.h"

#include "base/Reason.h"
#include "imaging/BorderTrim.h"
#include "imaging/Codecs.h"
#include "imaging/CropPlan.h"
#include "imaging/LibrarySetup.h"
#include "imaging/WorkingImageImpl.h"
#include "imaging/decode/DecoderWarnings.h"
#include "imaging/decode/LoadLimits.h"
#include "imaging/decode/SourceProbe.h"
#include "imaging/encode/ImageWriter.h"
#include "imaging/encode/LosslessJpeg.h"
#include "imaging/encode/PngWriter.h"
#include "settings/CropGeometry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <vips/vips8>

namespace trimlark {

using vips::VImage;

WorkingImage::WorkingImage() = default;
WorkingImage::~WorkingImage() = default;
WorkingImage::WorkingImage(const WorkingImage&) = default;
WorkingImage& WorkingImage::operator=(const WorkingImage&) = default;
WorkingImage::WorkingImage(WorkingImage&&) noexcept = default;
WorkingImage& WorkingImage::operator=(WorkingImage&&) noexcept = default;
WorkingImage::WorkingImage(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

double WorkingImage::Width() const
{
    return impl_ ? impl_->width : 0;
}

double WorkingImage::Height() const
{
    return impl_ ? impl_->height : 0;
}

const std::string& WorkingImage::SourcePath() const
{
    static const std::string none;
    return impl_ ? impl_->sourcePath : none;
}

namespace {

// Why the file's picture is not to be decoded (reason set when given), or nothing when it may be.
bool RefusedDecode(const std::string& readPath, const SourceLayout& layout, std::string* reason)
{
    std::error_code ec;
    const std::uintmax_t fileBytes = std::filesystem::file_size(readPath, ec);
    if (ec) {
        Fail(reason, "Cannot read the file's size: " + ec.message());
        return true;
    }
    if (auto refusal = RefuseDecode(layout.shape, fileBytes, ImageMemoryBudget())) {
        Fail(reason, std::move(*refusal));
        return true;
    }
    return false;
}

FileTime ToFileTime(const statx_timestamp& stamp)
{
    return FileTime(std::chrono::duration_cast<FileTime::duration>(std::chrono::seconds(stamp.tv_sec) +
                                                                   std::chrono::nanoseconds(stamp.tv_nsec)));
}

timespec ToTimespec(FileTime time)
{
    const auto since = time.time_since_epoch();
    auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

std::shared_ptr<WorkingImage::Impl> LoadWorkingImage(const std::string& path, std::string* reason)
{
    auto file = HeldFile::Open(path, reason);
    if (!file)
        return nullptr;
    const auto layout = ProbeSource(file->ReadPath(), reason);
    if (!layout)
        return nullptr;
    const PixelSize size{static_cast<double>(layout->largestWidth), static_cast<double>(layout->largestHeight)};
    if (size.width < 1 || size.height < 1) {
        Fail(reason, "The image has no pixels");
        return nullptr;
    }
    if (RefusedDecode(file->ReadPath(), *layout, reason))
        return nullptr;
    auto impl = std::make_shared<WorkingImage::Impl>();
    impl->decodeBytes = DecodeCost(layout->shape);
    impl->coefficientBytes = layout->shape.coefficientBytes;
    impl->fileBytes = layout->shape.fileBytes;
    impl->sourcePath = path;
    impl->file = std::move(file);
    impl->kind = layout->kind;
    impl->loader = layout->loader;
    impl->blockGrid = layout->jpegGrid;
    impl->page = layout->largestPage;
    impl->orientation = layout->orientation;
    impl->storedOrientation = layout->storedOrientation;
    impl->frames = layout->frames;
    impl->uprightWidth = layout->largestWidth;
    impl->uprightHeight = layout->largestHeight;
    impl->pixelWidth = layout->largestWidth;
    impl->pixelHeight = layout->largestHeight;
    impl->width = size.width;
    impl->height = size.height;
    return impl;
}

} // namespace

void ImageTools::Initialize()
{
    EnsureLibrariesReady();
}

namespace {

// The layout of a JPEG's picture turned upright by orientation to uprightWidth x uprightHeight.
LosslessJpegLayout LayoutFor(BlockGrid grid, int orientation, int uprightWidth, int uprightHeight)
{
    const bool turned = orientation >= 5 && orientation <= 8;
    return {grid, orientation, turned ? uprightHeight : uprightWidth, turned ? uprightWidth : uprightHeight};
}

} // namespace

std::optional<ImageProbe> ImageTools::ProbeImage(const std::string& path)
{
    // The BMP decoder reads the whole file to report a size; its header says it at once.
    if (const auto bmp = ReadBmpHeaderSize(path))
        return ImageProbe{*bmp, 1, 0, std::nullopt};
    const WarningScope warnings; // the decoder's warnings are for when the picture is read
    const auto layout = ProbeSource(path, nullptr);
    if (!layout)
        return std::nullopt;
    ImageProbe probe;
    probe.size = {static_cast<double>(layout->largestWidth), static_cast<double>(layout->largestHeight)};
    probe.orientation = layout->storedOrientation;
    probe.page = layout->largestPage;
    if (layout->kind == SourceKind::Jpeg && layout->jpegGrid)
        probe.jpeg =
            LayoutFor(*layout->jpegGrid, layout->storedOrientation, layout->largestWidth, layout->largestHeight);
    return probe;
}

std::optional<WorkingImage> ImageTools::LoadImageAtPixelSize(const std::string& path, std::string* reason)
{
    const WarningScope warnings;
    auto loaded = LoadWorkingImage(path, reason);
    if (loaded)
        loaded->loadWarnings = warnings.Summary();
    else if (reason)
        *reason = JoinRemarks(*reason, warnings.Summary(*reason));
    if (!loaded)
        return std::nullopt;
    return WorkingImage(std::move(loaded));
}

namespace {

// The pixels of a crop region (corner-relative, see GetCropRegionAtCorner) of a picture of logical height
// `height` and pixelWidth x pixelHeight pixels, top-left origin. The edges on the corner's sides are rounded; the
// others follow at the truncated size.
PixelRect PixelsOfRegion(const Rect& region, double height, int pixelWidth, int pixelHeight,
                         std::optional<OriginCorner> originCorner)
{
    const int keptWidth = std::clamp(static_cast<int>(std::trunc(region.w)), 0, pixelWidth);
    const int keptHeight = std::clamp(static_cast<int>(std::trunc(region.h)), 0, pixelHeight);
    // Edges in a frame with y growing downward.
    const double topEdge = height - region.y - region.h;
    const double bottomEdge = height - region.y;
    const auto nearest = [](double edge) { return static_cast<int>(std::lround(edge)); };
    const int leftPixel = IsRightCorner(originCorner) ? nearest(region.x + region.w) - keptWidth : nearest(region.x);
    const int topPixel = IsTopCorner(originCorner) ? nearest(topEdge) : nearest(bottomEdge) - keptHeight;
    return {std::clamp(leftPixel, 0, pixelWidth - keptWidth), std::clamp(topPixel, 0, pixelHeight - keptHeight),
            keptWidth, keptHeight};
}

} // namespace

WorkingImage ImageTools::CropImage(const WorkingImage& image, double x, double y, double width, double height,
                                   std::optional<OriginCorner> originCorner)
{
    const auto& current = image.impl();
    if (!current)
        return image;
    const auto region = GetCropRegionAtCorner(originCorner, current->width, current->height, x, y, width, height);
    if (!region)
        return image;
    const PixelRect pixels =
        PixelsOfRegion(*region, current->height, current->pixelWidth, current->pixelHeight, originCorner);
    auto cropped = std::make_shared<WorkingImage::Impl>(*current);
    cropped->left = current->left + pixels.left;
    cropped->top = current->top + pixels.top;
    cropped->pixelWidth = pixels.width;
    cropped->pixelHeight = pixels.height;
    cropped->width = region->w;
    cropped->height = region->h;
    return WorkingImage(std::move(cropped));
}

namespace {

SaveResult Save(const WorkingImage& image, const std::string& path, WriteRequest request, std::string* reason)
{
    if (request.format == OutputFormat::Heic && !CanWriteHeif())
        return Fail(reason, "This system cannot write HEIC files", SaveResult::Failed);
    if (request.format == OutputFormat::Webp && !CanWriteWebp())
        return Fail(reason, "This system cannot write WebP files", SaveResult::Failed);
    if (request.format == OutputFormat::Avif && !CanWriteAvif())
        return Fail(reason, "This system cannot write AVIF files", SaveResult::Failed);
    if (!image.impl())
        return Fail(reason, "No image", SaveResult::Failed);
    // A size step can ask for far more pixels than the source has: an encoder that holds the whole output must
    // find room for it, as a decode must.
    const WorkingImage::Impl& impl = *image.impl();
    if (impl.scaledWidth > 0) {
        const double budget = ImageMemoryBudget();
        if (ImageTools::MemoryCost(image, request.format) > budget)
            return Fail(reason,
                        "The output of " + std::to_string(impl.OutputWidth()) + " x " +
                            std::to_string(impl.OutputHeight()) +
                            " pixels would take more memory than one image may use (" +
                            std::to_string(static_cast<long long>(budget / 1048576)) + " MB)",
                        SaveResult::Failed);
    }
    return WriteWorkingImage(impl, path, request, reason);
}

} // namespace

bool ImageTools::SaveImage(const WorkingImage& image, const std::string& path, OutputFormat format, double quality,
                           bool keepMetadata, std::string* reason)
{
    return Save(image, path, WriteRequest{format, quality, keepMetadata}, reason) == SaveResult::Saved;
}

SaveResult ImageTools::WriteImage(const WorkingImage& image, const std::string& path, OutputFormat format,
                                  double quality, bool keepMetadata, bool replaceExisting, std::string* reason)
{
    return Save(image, path, WriteRequest{format, quality, keepMetadata, replaceExisting}, reason);
}

double ImageTools::MemoryCost(const WorkingImage& image, OutputFormat format, bool lossless)
{
    if (!image.impl())
        return 0;
    const WorkingImage::Impl& impl = *image.impl();
    const double outputPixels = static_cast<double>(impl.OutputWidth()) * impl.OutputHeight();
    if (lossless && format == OutputFormat::Jpeg && impl.kind == SourceKind::Jpeg) {
        // The transform reads the whole file and all its coefficients, and writes the kept part's coded blocks
        // into memory, where they are copied once more before they go to the file.
        const double kept = outputPixels / std::max(1.0, static_cast<double>(impl.uprightWidth) * impl.uprightHeight);
        return impl.coefficientBytes + impl.fileBytes * (1 + 2 * std::min(1.0, kept));
    }
    const bool encodesWhole = format == OutputFormat::Gif || format == OutputFormat::Bmp ||
                              format == OutputFormat::Jpeg2000 || format == OutputFormat::Heic;
    // Measured on a 16 MP output: the WebP encoder holds about 10 bytes a pixel beside the picture, the AV1
    // encoder about 19.
    const double bytesPerPixel = format == OutputFormat::Webp ? 12 : format == OutputFormat::Avif ? 20 : 4;
    // A PNG of few colours holds a byte a pixel until its last row.
    const double palette =
        format == OutputFormat::Png && outputPixels <= static_cast<double>(kPngPalettePixels) ? outputPixels : 0;
    return impl.decodeBytes + palette + (encodesWhole || bytesPerPixel > 4 ? outputPixels * bytesPerPixel : 0);
}

namespace {

// The lossless crop layout of a loaded JPEG, all from its load.
std::optional<LosslessJpegLayout> LayoutOf(const WorkingImage::Impl& image)
{
    if (image.kind != SourceKind::Jpeg || !image.blockGrid)
        return std::nullopt;
    return LayoutFor(*image.blockGrid, image.storedOrientation, image.uprightWidth, image.uprightHeight);
}

} // namespace

WorkingImage ImageTools::CropImage(const WorkingImage& image, const CropPlan& plan)
{
    const bool cuts = (plan.cropping && !plan.refused) || plan.size;
    WorkingImage cut = cuts ? CropImage(image, plan.rect.x, plan.rect.y, plan.rect.w, plan.rect.h, plan.corner) : image;
    if (!plan.size || !cut.impl())
        return cut;
    auto sized = std::make_shared<WorkingImage::Impl>(*cut.impl());
    sized->scaledWidth = static_cast<int>(plan.size->width);
    sized->scaledHeight = static_cast<int>(plan.size->height);
    sized->width = plan.size->canvasWidth;
    sized->height = plan.size->canvasHeight;
    sized->fill = plan.fill;
    sized->ppi = plan.size->ppi;
    return WorkingImage(std::move(sized));
}

WorkingImage ImageTools::CropToLosslessRegion(const WorkingImage& image, const CropPlan& plan)
{
    const auto& impl = image.impl();
    if (!plan.lossless || !impl)
        return CropImage(image, plan);
    const PixelRect& region = *plan.lossless;
    auto copy = std::make_shared<WorkingImage::Impl>(*impl);
    copy->left = impl->left + region.left, copy->top = impl->top + region.top;
    copy->pixelWidth = region.width, copy->pixelHeight = region.height;
    copy->width = region.width, copy->height = region.height;
    return WorkingImage(std::move(copy));
}

std::optional<LosslessJpegLayout> ImageTools::LosslessJpegLayoutOf(const WorkingImage& image)
{
    return image.impl() ? LayoutOf(*image.impl()) : std::nullopt;
}

PixelRect ImageTools::LosslessJpegRegion(const LosslessJpegLayout& layout, double x, double y, double width,
                                         double height, std::optional<OriginCorner> originCorner)
{
    const bool turned = layout.orientation >= 5 && layout.orientation <= 8;
    const int uprightWidth = turned ? layout.storedHeight : layout.storedWidth;
    const int uprightHeight = turned ? layout.storedWidth : layout.storedHeight;
    const PixelRect whole{0, 0, uprightWidth, uprightHeight};
    const auto region = GetCropRegionAtCorner(originCorner, uprightWidth, uprightHeight, x, y, width, height);
    if (!region)
        return whole;
    const PixelRect pixels = PixelsOfRegion(*region, uprightHeight, uprightWidth, uprightHeight, originCorner);
    return pixels.width < 1 || pixels.height < 1 ? whole : GrowToBlockGrid(pixels, layout);
}

SaveResult ImageTools::SaveLosslessJpeg(const WorkingImage& image, const std::string& path, bool keepMetadata,
                                        bool replaceExisting, std::string* reason)
{
    const auto& impl = image.impl();
    if (!impl || impl->kind != SourceKind::Jpeg)
        return Fail(reason, "the source is not a JPEG", SaveResult::Refused);
    const LosslessJpegLayout stored = LayoutFor({}, impl->storedOrientation, impl->uprightWidth, impl->uprightHeight);
    LosslessRequest request;
    request.stored = StoredRect({impl->left, impl->top, impl->pixelWidth, impl->pixelHeight}, stored.orientation,
                                stored.storedWidth, stored.storedHeight);
    request.orientation = stored.orientation;
    request.keepMetadata = keepMetadata;
    request.replaceExisting = replaceExisting;
    switch (WriteLosslessJpegCrop(impl->ReadPath(), path, request, reason)) {
    case LosslessResult::Written:
        return SaveResult::Saved;
    case LosslessResult::Refused:
        return SaveResult::Refused;
    case LosslessResult::PathTaken:
        return SaveResult::PathTaken;
    case LosslessResult::Failed:
        break;
    }
    return SaveResult::Failed;
}

SaveResult ImageTools::SaveImageAsNewFile(const WorkingImage& image, const std::string& path, OutputFormat format,
                                          double quality, bool keepMetadata, std::string* reason)
{
    return WriteImage(image, path, format, quality, keepMetadata, false, reason);
}

bool ImageTools::CopyCreationDate(const WorkingImage& source, const std::string& outputPath, std::string* reason)
{
    // The metadata went in with the save (its pixels are encoded once); what is left is the date, which has to
    // be set last, once the file is complete. It comes from the file that was loaded, still open even when the
    // output has replaced it at its path.
    if (!source.impl())
        return true;
    const timespec date = ToTimespec(GetFileCreationDate(source.impl()->ReadPath()));
    const timespec times[2] = {date, date};
    if (::utimensat(AT_FDCWD, outputPath.c_str(), times, 0) == 0)
        return true;
    return Fail(reason, std::string("its date cannot be set: ") + std::strerror(errno));
}

FileTime ImageTools::GetFileCreationDate(const std::string& path)
{
    struct statx attributes
    {
    };
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_MTIME | STATX_BTIME, &attributes) != 0 ||
        !(attributes.stx_mask & STATX_MTIME))
        return std::chrono::system_clock::now();
    const FileTime modified = ToFileTime(attributes.stx_mtime);
    if (attributes.stx_mask & STATX_BTIME) {
        // A copied file is born after the modification it carries; the earlier date is the picture's.
        const FileTime born = ToFileTime(attributes.stx_btime);
        if (born <= modified)
            return born;
    }
    return modified;
}

namespace {

// How much a JPEG's decoder shrinks while it decodes (1, 2, 4 or 8) for a preview that fits box: the most that
// still leaves at least the box's fitted size.
int JpegPreviewShrink(const SourceLayout& layout, int boxWidth, int boxHeight)
{
    if (layout.kind != SourceKind::Jpeg)
        return 1;
    const double scale = std::min(static_cast<double>(boxWidth) / layout.largestWidth,
                                  static_cast<double>(boxHeight) / layout.largestHeight);
    int shrink = 1;
    while (shrink < 8 && scale * shrink * 2 <= 1.0)
        shrink *= 2;
    return shrink;
}

} // namespace

std::optional<RgbaBitmap> ImageTools::LoadPreviewBitmap(const std::string& path, int maxWidth, int maxHeight)
{
    if (maxWidth < 1 || maxHeight < 1)
        return std::nullopt;
    const WarningScope warnings; // a preview has nowhere to show them
    const auto layout = ProbeSource(path, nullptr);
    if (!layout || layout->largestWidth < 1 || layout->largestHeight < 1 || RefusedDecode(path, *layout, nullptr))
        return std::nullopt;
    const bool swapsSides = layout->orientation >= 5 && layout->orientation <= 8;
    const int boxWidth = swapsSides ? maxHeight : maxWidth;
    const int boxHeight = swapsSides ? maxWidth : maxHeight;
    try {
        const auto fitted = [&](const VImage& decoded) {
            return decoded.thumbnail_image(boxWidth,
                                           VImage::option()->set("height", boxHeight)->set("size", VIPS_SIZE_DOWN));
        };
        VImage preview;
        if (const int shrink = JpegPreviewShrink(*layout, boxWidth, boxHeight); shrink > 1) {
            // libvips' own choice leaves a factor of two for the resize, so a 24 MP photo shown at 500 pixels
            // would be decoded at a quarter (1500 x 1000); a preview looks the same from an eighth.
            preview = fitted(VImage::jpegload(path.c_str(), VImage::option()
                                                                ->set("shrink", shrink)
                                                                ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                                                ->set("fail_on", VIPS_FAIL_ON_TRUNCATED)));
        } else if (layout->kind == SourceKind::Tiff) {
            // libvips' thumbnail would take a later page of a size nearer the box for a smaller copy of the page
            // asked for; in a file of separate pictures that is another picture.
            preview = fitted(OpenPageOfFile(path, layout->loader, layout->kind, layout->largestPage));
        } else {
            std::string source = path;
            if (HasIndependentPages(layout->kind))
                source += "[page=" + std::to_string(layout->largestPage) + "]";
            preview = VImage::thumbnail(source.c_str(), boxWidth,
                                        VImage::option()
                                            ->set("height", boxHeight)
                                            ->set("size", VIPS_SIZE_DOWN)
                                            ->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        }
        if (layout->orientation != 1) {
            preview = preview.copy();
            preview.set("orientation", layout->orientation);
            preview = preview.autorot();
        }
        if (preview.interpretation() != VIPS_INTERPRETATION_sRGB || preview.format() != VIPS_FORMAT_UCHAR)
            preview = preview.colourspace(VIPS_INTERPRETATION_sRGB);
        if (preview.format() != VIPS_FORMAT_UCHAR)
            preview = preview.cast(VIPS_FORMAT_UCHAR);
        const bool hasAlpha = vips_image_hasalpha(preview.get_image()) != 0;
        VImage colour = preview.extract_band(0, VImage::option()->set("n", std::min(3, preview.bands())));
        VImage alpha =
            hasAlpha ? preview.extract_band(preview.bands() - 1)
                     : VImage::black(preview.width(), preview.height()).new_from_image(255).cast(VIPS_FORMAT_UCHAR);
        VImage rgba = warnings.Attributed(colour.bandjoin(alpha));
        RgbaBitmap bitmap;
        bitmap.width = rgba.width();
        bitmap.height = rgba.height();
        size_t length = 0;
        void* pixels = rgba.write_to_memory(&length);
        const auto* bytes = static_cast<const std::uint8_t*>(pixels);
        bitmap.pixels.assign(bytes, bytes + length);
        g_free(pixels);
        if (bitmap.pixels.size() != static_cast<size_t>(bitmap.width) * bitmap.height * 4)
            return std::nullopt;
        return bitmap;
    } catch (const std::exception&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<PixelRect> ImageTools::FindBorderTrim(const std::string& path, int tolerance, int margin)
{
    return FindBorderTrimRect(path, tolerance, margin);
}

std::optional<RgbaBitmap> ImageTools::LoadSubjectSample(const std::string& path)
{
    // The attention measure looks at the picture in 32 x 32 cells, so more detail than this buys nothing.
    return LoadPreviewBitmap(path, kSubjectSampleSide, kSubjectSampleSide);
}

Rect ImageTools::PlaceCropOnSubject(const RgbaBitmap& sample, double W, double H, const Rect& rect,
                                    std::optional<OriginCorner> originCorner)
{
    if (sample.width < 1 || sample.height < 1 ||
        sample.pixels.size() != static_cast<std::size_t>(sample.width) * sample.height * 4 || !(rect.w >= 1.0) ||
        !(rect.h >= 1.0) || !(rect.w <= W) || !(rect.h <= H))
        return rect;
    const double scaleX = sample.width / W;
    const double scaleY = sample.height / H;
    const int sampleWidth = std::clamp(static_cast<int>(std::lround(rect.w * scaleX)), 1, sample.width);
    const int sampleHeight = std::clamp(static_cast<int>(std::lround(rect.h * scaleY)), 1, sample.height);
    int attentionX = 0;
    int attentionY = 0;
    try {
        const VImage rgba =
            VImage::new_from_memory(const_cast<std::uint8_t*>(sample.pixels.data()), sample.pixels.size(), sample.width,
                                    sample.height, 4, VIPS_FORMAT_UCHAR);
        rgba.extract_band(0, VImage::option()->set("n", 3))
            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .smartcrop(sampleWidth, sampleHeight,
                       VImage::option()
                           ->set("interesting", VIPS_INTERESTING_ATTENTION)
                           ->set("attention_x", &attentionX)
                           ->set("attention_y", &attentionY));
    } catch (const std::exception&) {
        vips_error_clear();
        return rect;
    }
    // The rectangle is centred on the sample pixel found, in full-size pixels, and kept on the image.
    const auto place = [](double centre, double length, double side) {
        return std::max(0.0, std::min(std::round(centre - length / 2), side - length));
    };
    const double left = place((attentionX + 0.5) / scaleX, rect.w, W);
    const double top = place((attentionY + 0.5) / scaleY, rect.h, H);
    // From the image's bottom-left frame to the corner's (the mapping is its own inverse).
    return GetCropRectInImage(originCorner, W, H, left, H - top - rect.h, rect.w, rect.h);
}

} // namespace trimlark
