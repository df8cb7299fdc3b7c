#pragma once

#include "imaging/ImageTools.h"

#include <optional>
#include <string>
#include <vector>
#include <vips/vips8>

namespace trimlark {

// The rectangle of the picture as the file stores it (storedWidth x storedHeight, before its EXIF orientation
// 1-8 is applied) that shows as `upright` once the picture is turned upright.
PixelRect StoredRect(const PixelRect& upright, int orientation, int storedWidth, int storedHeight);

// The block grid of the JPEG at path (see BlockGrid), read by libjpeg, which warns of nothing here; nothing when
// the file is no JPEG libjpeg reads.
std::optional<BlockGrid> JpegBlockGrid(const std::string& path);

// The pixels of `region` (in the picture as stored) of the JPEG file at path, decoded by libjpeg-turbo only as
// far as the region needs: the rows above it are entropy-decoded and dropped, the columns beside it are not
// transformed or converted, the rows below it are never read. The pixels are those libvips' own decoder gives
// for the same rectangle; `header` is libvips' image of the same file, whose metadata the result carries.
// Streams top to bottom, or with InMemory is decoded into memory at once, for a caller that reads out of order.
// Nothing when the file is a JPEG this path does not decode (CMYK, 12-bit, a header libjpeg refuses): the
// caller then uses libvips' decoder. A truncated file fails when its pixels are read (in memory: throws
// vips::VError here). A progressive file whose scans end early is decoded whole, so its region's pixels are still
// the whole decode's, and warns that it is damaged. shrink 2, 4 or 8 decodes the picture at that fraction of its
// size in the DCT (libjpeg-turbo's scaling), the region's edges going to the nearest decoded pixel.
enum class JpegRegionAccess
{
    Streamed,
    InMemory,
};
std::optional<vips::VImage> OpenJpegRegion(const std::string& path, const vips::VImage& header, const PixelRect& region,
                                           JpegRegionAccess access = JpegRegionAccess::Streamed, int shrink = 1);

// The pixels of each rectangle (in the picture as stored) of the JPEG file at path, decoded into memory in one
// pass: only the rows some rectangle covers are transformed, and only the columns between the leftmost and the
// rightmost rectangle's edges; the rows between are entropy-decoded and dropped. For a few strips of a large
// picture; the pixels are a whole decode's (as OpenJpegRegion's). Nothing when this path does not decode the file
// (as OpenJpegRegion); throws when the file cannot give the pixels (cut short).
std::optional<std::vector<vips::VImage>> DecodeJpegRects(const std::string& path, const vips::VImage& header,
                                                         const std::vector<PixelRect>& rects);

} // namespace trimlark
