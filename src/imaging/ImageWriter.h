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
// the source have it), encodes them once and writes the file atomically. False, with the reason, when
// nothing was written. True when written; reason then names what of the source's metadata the output could not
// carry (see FittedMetadata), and a conversion to sRGB where the output cannot hold the picture's colour profile,
// or is empty: metadata never stops an image from being written. When nothing was
// written, pathTaken tells whether that was because the path was taken (without replaceExisting). Either way the
// reason ends with what the decoder warned, if anything, on the same line.
bool WriteWorkingImage(const WorkingImage::Impl& image, const std::string& path, const WriteRequest& request,
                       std::string* reason, bool* pathTaken = nullptr);

} // namespace trimlark
