#pragma once

#include "settings/FileTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trimlark {

// The source's EXIF, IPTC and XMP made fit for a cropped, upright output of width x height pixels in one format:
// no EXIF thumbnail or maker-note picture (they would show the cropped-away picture), orientation 1, pixel
// dimensions of the output, and none of the tags that describe the source file's own layout (strip offsets and
// the like). Each block is encoded as that format's file holds it; a block the format cannot hold, or that cannot
// be encoded, is left out and named in remark.
struct FittedMetadata
{
    // JPEG and PNG: a TIFF structure (the "Exif\0\0" header is the container's business). HEIC: with that header,
    // as image libraries keep it. TIFF: the output's own first directory and all it points to, XMP and IPTC
    // included, starting at the file's first byte.
    std::vector<std::uint8_t> exif;
    std::string xmp;                // XMP packet (JPEG, PNG, HEIC)
    std::vector<std::uint8_t> iptc; // a Photoshop resource block holding the IPTC (JPEG, PNG)
    std::string remark;             // e.g. "XMP dropped: 80 KB, more than a JPEG can hold"; empty when all fits

    bool Empty() const { return exif.empty() && xmp.empty() && iptc.empty(); }
};

// The output's type as a remark names it: "a JPEG", "a GIF", "an AVIF file".
const char* FormatName(OutputFormat format);

// The EXIF orientation (1-8) Exiv2 reads from the file; 1 when there is none or the file cannot be read.
int ReadExifOrientation(const std::string& path);

// The source's metadata fitted to an output format other than JPEG 2000. Empty, without a remark, when the
// source holds none that Exiv2 can read. orientation: the one the output's EXIF and XMP give (a lossless JPEG crop
// keeps its pixels as stored, and with them the source's orientation). ppi above 0: the EXIF's resolution, in
// pixels per inch (a print size's). A JPEG's damaged EXIF is left out and named, its other blocks carried; a tag
// the source holds twice (a PNG's EXIF in two chunks) is carried once.
FittedMetadata FitSourceMetadata(const std::string& sourcePath, int width, int height, OutputFormat format,
                                 int orientation = 1, double ppi = 0);

// An EXIF block (TIFF structure) holding only the orientation: what a lossless JPEG crop without metadata needs
// to display upright.
std::vector<std::uint8_t> OrientationOnlyExif(int orientation);

// Puts the source's carried EXIF, IPTC and XMP into an encoded JPEG 2000 held in memory, leaving its pixel data
// as it is. A block Exiv2 refuses is left out; the return value names it, or is empty.
std::string EmbedSourceMetadata(const std::string& sourcePath, int width, int height, double ppi,
                                std::vector<std::uint8_t>& encoded);

} // namespace trimlark
