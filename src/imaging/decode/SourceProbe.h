#pragma once

#include "imaging/ImageTools.h"
#include "imaging/WorkingImageImpl.h"
#include "imaging/decode/LoadLimits.h"

#include <optional>
#include <string>
#include <vips/vips8>

namespace trimlark {

// What the headers of an image file say, read without decoding pixels (BMP excepted: its decoder reads all).
struct SourceLayout
{
    SourceKind kind = SourceKind::Jpeg;
    std::string loader;   // the decoder's type name (VipsForeignLoadJpegFile...), so later opens need not sniff
    int largestPage = 0;  // the image with the most pixels (the first of equals); the file's picture
    int largestWidth = 0; // its upright size, the file's pixel size
    int largestHeight = 0;
    int orientation = 1; // to apply by hand (JPEG 2000 only; the others rotate in the decoder's pipeline)
    // The EXIF orientation that turns the picture as stored upright; 1 where the decoder hands it over upright
    // already (HEIF).
    int storedOrientation = 1;
    DecodeShape shape;                 // of the largest image: what decoding it for a save costs
    int frames = 1;                    // an animation's (GIF, WebP); its first is the file's picture
    std::optional<BlockGrid> jpegGrid; // JPEG: its block grid, for a lossless crop; nothing when libjpeg refuses it
};

// The layout of the file at path, or nothing (reason set when given) when no supported decoder reads it.
std::optional<SourceLayout> ProbeSource(const std::string& path, std::string* reason);

// The size a BMP file's header gives (bottom-up or top-down), or nothing when the file is not a BMP with a
// header this reader knows; read without a decoder.
std::optional<PixelSize> ReadBmpHeaderSize(const std::string& path);

// The decoder's name fragment, e.g. "Jpeg" for VipsForeignLoadJpegFile, mapped to a kind; nothing for
// decoders this program does not read from (text matrices, vector formats, slide scanners...).
std::optional<SourceKind> SourceKindOfLoader(const std::string& loaderName);

// Whether the decoder takes the "page" option and the file may hold images of different sizes.
bool HasIndependentPages(SourceKind kind);

// The file's image numbered page (the page matters for kinds with independent pages only) opened by the decoder
// the probe found (libvips' own choice when none is given), its decode failing on a file that ends early.
vips::VImage OpenPageOfFile(const std::string& path, const std::string& loader, SourceKind kind, int page,
                            VipsAccess access = VIPS_ACCESS_SEQUENTIAL);

} // namespace trimlark
