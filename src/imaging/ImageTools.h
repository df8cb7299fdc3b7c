#pragma once

#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"
#include "settings/FileTypes.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trimlark {

// A pair of whole numbers of pixels, held as doubles.
struct PixelSize
{
    double width = 0;
    double height = 0;

    bool operator==(const PixelSize&) const = default;
};

// A decoded (lazily, where the format allows) image whose size is its pixel size, upright.
// Cheap to copy: copies share the pixels. Knows the file it came from, so a save can carry its metadata.
class WorkingImage
{
public:
    WorkingImage();
    ~WorkingImage();
    WorkingImage(const WorkingImage&);
    WorkingImage& operator=(const WorkingImage&);
    WorkingImage(WorkingImage&&) noexcept;
    WorkingImage& operator=(WorkingImage&&) noexcept;

    // Logical size in pixels; may be fractional after a crop whose clipped size is fractional.
    double Width() const;
    double Height() const;
    const std::string& SourcePath() const;

    struct Impl;
    explicit WorkingImage(std::shared_ptr<const Impl> impl);
    const std::shared_ptr<const Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<const Impl> impl_;
};

// 8-bit RGBA pixels, rows top to bottom, not premultiplied.
struct RgbaBitmap
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 4
};

using FileTime = std::chrono::system_clock::time_point;

// The image operations. Stateless; every operation may run on any thread and never throws.
enum class SaveResult
{
    Saved,
    Failed,
    PathTaken,    // a file had the output's name when the new one was complete; nothing was written
    Refused,      // a lossless JPEG crop the transform cannot do (not a JPEG, damaged...); nothing was written
    SourceFailed, // the source's pixels cannot be read (damaged, cut short); nothing was written
};

// A rectangle of pixels, top-left origin.
struct PixelRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PixelRect&) const = default;
};

// The block grid of a JPEG in the picture as stored: the pixels of one coded unit across and down (8, or 16
// where the colour is subsampled that way).
struct BlockGrid
{
    int width = 8;
    int height = 8;
};

// What a lossless JPEG crop needs to know of its file: the block grid, and the picture as stored with the
// orientation that turns it upright.
struct LosslessJpegLayout
{
    BlockGrid grid;
    int orientation = 1;
    int storedWidth = 0;
    int storedHeight = 0;
};

// What a file's headers say about its picture, read once when the file is chosen.
struct ImageProbe
{
    PixelSize size;                         // upright: the file's pixel size
    int orientation = 1;                    // the EXIF orientation that turns the picture as stored upright
    int page = 0;                           // the file's picture: its largest image
    std::optional<LosslessJpegLayout> jpeg; // what a lossless crop needs of a JPEG; nothing for other files
};

struct CropPlan;

class ImageTools
{
public:
    // Once per process, before threads start: library set-up (operation cache off, Exiv2 initialised).
    static void Initialize();

    // The file's picture as its headers tell it, each header read once: its largest image (by pixel count, the
    // first of equals; a multi-image file is never measured across images), that image's upright size and
    // orientation and, for a JPEG, its lossless crop layout. A BMP's size comes from its own header (its decoder
    // would read the whole file). Absent when the file is no image.
    static std::optional<ImageProbe> ProbeImage(const std::string& path);

    // The working image of a file, or absent (reason set when given) when it cannot be decoded. Refused before
    // any pixel is decoded: a header claiming more pixels than the file can code, and a picture whose decode
    // would take more memory than one image may use (see ImageMemoryBudget). The pixels are read from the file
    // when the image is saved, from the file as it was at this call (it stays open while the image or a copy
    // of it lives); a file damaged past its header fails then.
    static std::optional<WorkingImage> LoadImageAtPixelSize(const std::string& path, std::string* reason = nullptr);

    // The corner-relative rectangle cut out of the image; the image itself when the crop is refused. Pixels are
    // copied, never resampled: the pixel size is the clipped size truncated (100.7 x 50.2 gives 100 x 50), and
    // the edges on the corner's sides go to the nearest pixel boundary, so a crop measured from the right or the
    // bottom keeps that edge. A clipped width or height below one pixel gives an image that SaveImage refuses.
    // Without a corner (none selected) the rectangle is placed at the image's bottom-left corner.
    static WorkingImage CropImage(const WorkingImage& image, double x, double y, double width, double height,
                                  std::optional<OriginCorner> originCorner);

    // Encodes the image in the format (quality fraction 0-1 for JPEG, JPEG 2000, WebP, HEIC and AVIF; JPEG 2000 and
    // WebP are lossless at 1) and writes it atomically. Alpha is kept by every format but JPEG. keepMetadata: the
    // output carries the source's EXIF, IPTC and XMP as far as its type can hold them; otherwise none of them. False,
    // with the reason, when nothing was written (an existing file at path is then untouched). True when written; reason
    // then holds what the output lacks of the source (a metadata block its type cannot hold or the source's is
    // damaged; the colour profile of a picture not in sRGB, whose pixels were then converted to sRGB; an animation's
    // later frames), or is empty.
    static bool SaveImage(const WorkingImage& image, const std::string& path, OutputFormat format, double quality,
                          bool keepMetadata = false, std::string* reason = nullptr);

    // The plan's cut of the image: its rectangle as CropImage cuts it; the image itself where the plan writes the
    // whole picture (a refused crop, the None mode).
    static WorkingImage CropImage(const WorkingImage& image, const CropPlan& plan);

    // The region of the image a lossless JPEG crop of the plan writes (grown to the block grid); the plain cut
    // (CropImage) when the plan has none.
    static WorkingImage CropToLosslessRegion(const WorkingImage& image, const CropPlan& plan);

    // The lossless crop layout of the loaded image's file, as its load read it (reads no file); nothing when it is
    // no JPEG libjpeg reads.
    static std::optional<LosslessJpegLayout> LosslessJpegLayoutOf(const WorkingImage& image);

    // The memory a save of the image in the format would hold at once, estimated from the file's header: what its
    // decoder holds (its rows, or its whole picture where it cannot stream, and its own buffers: a WebP's canvas,
    // a progressive JPEG's coefficients...), the rows of libvips' pipeline, and the whole output's pixels for the
    // encoders that work on a picture in memory (GIF, BMP, JPEG 2000, HEIC; WebP and AVIF with their own working
    // memory). A lossless JPEG crop of a JPEG holds the coded blocks of the whole picture and the file instead.
    // Within a factor of 1.5 of the measured peak for every decoder.
    static double MemoryCost(const WorkingImage& image, OutputFormat format, bool lossless = false);

    // SaveImage that never replaces a file: the new one is named only if nothing has its name when it is
    // complete, so a file another program wrote meanwhile is kept (PathTaken, and nothing is written).
    static SaveResult SaveImageAsNewFile(const WorkingImage& image, const std::string& path, OutputFormat format,
                                         double quality, bool keepMetadata = false, std::string* reason = nullptr);

    // SaveImage (replaceExisting) or SaveImageAsNewFile, telling which side a failure was on: SourceFailed when
    // the source's pixels cannot be read, whenever the decoder noticed it ("the file ends early", or the decoder's
    // own sentence); Failed when the output cannot be written ("cannot write <path>: the disk is full").
    static SaveResult WriteImage(const WorkingImage& image, const std::string& path, OutputFormat format,
                                 double quality, bool keepMetadata, bool replaceExisting, std::string* reason);

    // The top-left pixel region a lossless JPEG crop of the upright picture by (x, y, width, height) from the
    // corner writes: CropImage's region, grown to the block grid (left and top edges, as stored, out to the
    // file's 8- or 16-pixel grid); the whole picture when the crop is refused. Reads no file.
    static PixelRect LosslessJpegRegion(const LosslessJpegLayout& layout, double x, double y, double width,
                                        double height, std::optional<OriginCorner> originCorner);

    // Writes the image's region of its JPEG file without decoding it (the kept coded blocks are copied), as
    // stored, with the file's orientation; the region must be on the block grid (CropToLosslessRegion).
    // keepMetadata as for SaveImage. Refused, with the reason, when the file is no JPEG the transform takes.
    static SaveResult SaveLosslessJpeg(const WorkingImage& image, const std::string& path, bool keepMetadata,
                                       bool replaceExisting, std::string* reason = nullptr);

    // After a save with keepMetadata (which already put the source's metadata into the output, encoding its
    // pixels once): gives the output the creation date of the file the image was loaded from, also when the
    // output replaced it (as its modification and access time; Linux cannot set a birth time). False, with the
    // reason, when the date cannot be set.
    static bool CopyCreationDate(const WorkingImage& source, const std::string& outputPath,
                                 std::string* reason = nullptr);

    // The file's birth time where recorded (and not later than its modification time), else its modification
    // time; now when the file's attributes cannot be read.
    static FileTime GetFileCreationDate(const std::string& path);

    // A downscaled, upright copy of the file's picture that fits in maxWidth x maxHeight (never enlarged),
    // for the preview. Absent when the file cannot be decoded.
    static std::optional<RgbaBitmap> LoadPreviewBitmap(const std::string& path, int maxWidth, int maxHeight);

    // The small decode of the file's picture that a crop's subject is looked for in: the same file always gives
    // the same sample, whoever asks (the preview, the run). Absent when the file cannot be decoded. It is
    // LoadPreviewBitmap within a square of kSubjectSampleSide.
    static constexpr int kSubjectSampleSide = 512;
    static std::optional<RgbaBitmap> LoadSubjectSample(const std::string& path);

    // The rectangle (upright pixels, top-left origin) left when the picture's border is trimmed: the smallest
    // rectangle outside of which every pixel is within the tolerance (0-100, a share of each 0-255 channel: 10 ->
    // 25.5) of the border's colour, grown by margin pixels on each side and clipped to the picture (so a border
    // narrower than the margin gives the whole picture). The border's
    // colour is the one most of the picture's outermost pixels share, and must be found on all four sides; a
    // transparent border is one colour, and a pixel's opacity counts as a channel. Noise, and specks of dust alone
    // in the border (up to 8 pixels across), are not picture; an edge found is at most one pixel outside the
    // picture's, never inside. A large picture's edges are first looked for in a copy reduced up to 8 times, so
    // a part both thin and faint there (at an eighth, a line w pixels wide whose difference from the border's
    // colour times w / 8 is within the tolerance) may go unseen where it reaches further out. Nothing when no border is
    // found (no border, or a picture that is all border) or the file cannot be decoded or held (see ImageMemoryBudget).
    static std::optional<PixelRect> FindBorderTrim(const std::string& path, int tolerance, int margin);

    // The corner-relative rectangle rect of an image of W x H, moved onto the most interesting region of the
    // sample for its size (libvips' attention measure), keeping its size; its edges stay on whole pixels when
    // its size is whole, and it stays inside the image. A rectangle under a pixel, one larger than the image or an
    // empty sample is returned as it is.
    static Rect PlaceCropOnSubject(const RgbaBitmap& sample, double W, double H, const Rect& rect,
                                   std::optional<OriginCorner> originCorner);
};

} // namespace trimlark
