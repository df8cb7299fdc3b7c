#pragma once

#include "imaging/decode/JpegRegion.h"

#include <string>

namespace trimlark {

// The upright rectangle a lossless crop of `upright` writes: in the picture as stored, its left and top edges
// move out to the block grid, by less than one block, and its right and bottom edges stay.
PixelRect GrowToBlockGrid(const PixelRect& upright, const LosslessJpegLayout& layout);

// What a lossless crop wrote, or why it could not.
enum class LosslessResult
{
    Written,
    Refused,   // the transform cannot do it (reason set); nothing was written, the caller may re-encode
    Failed,    // the file could not be written (reason set)
    PathTaken, // without replace, a file had the output's name when the new one was complete
};

struct LosslessRequest
{
    PixelRect stored;    // on the block grid at its left and top, in the picture as stored
    int orientation = 1; // kept in the output, which stays as stored
    bool keepMetadata = false;
    bool replaceExisting = true;
};

// Writes the stored rectangle of the JPEG at sourcePath to outputPath without decoding it: libjpeg-turbo's
// transform copies the kept coded blocks. The output keeps the source's colour profile and its orientation; with
// keepMetadata it carries the source's EXIF (pixel dimensions of the new size, no thumbnail), IPTC and XMP as a
// re-encoded JPEG would, otherwise only an EXIF block holding the orientation. On Written, reason holds what of
// the metadata was dropped, or is empty.
LosslessResult WriteLosslessJpegCrop(const std::string& sourcePath, const std::string& outputPath,
                                     const LosslessRequest& request, std::string* reason);

} // namespace trimlark
