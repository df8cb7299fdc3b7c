#pragma once

#include "imaging/WorkingImageImpl.h"
#include "settings/FileTypes.h"

#include <optional>
#include <string>

namespace trimlark {

struct WriteRequest
{
    OutputFormat format = OutputFormat::Jpeg;
    double quality = 1.0; // 0-1, for JPEG, JPEG 2000, WebP, HEIC and AVIF; 1 is lossless JPEG 2000 and WebP
    bool keepMetadata = false;
    bool replaceExisting = true; // false: the file is named only if nothing has its name when it is complete
};

// Decodes the working image's pixels from its file, converts them to 8-bit sRGB (alpha where the format and
// the source have it), encodes them once and writes the file atomically. Saved: reason then names what of the
// source's metadata the output could not carry (see FittedMetadata), a conversion to sRGB where the output cannot
// hold the picture's colour profile, later frames of an animation left out, and what the decoder warned, on one
// line, or is empty: metadata never stops an image from being written. Otherwise nothing was written, and reason
// tells the cause alone: SourceFailed when the source's pixels cannot be read, whatever stage of the save the
// decoder noticed it in ("the file ends early", or the decoder's sentence); PathTaken when a file had the path
// (without replaceExisting); Failed when the output cannot be written ("cannot write <path>: the disk is full").
SaveResult WriteWorkingImage(const WorkingImage::Impl& image, const std::string& path, const WriteRequest& request,
                             std::string* reason);

} // namespace trimlark
