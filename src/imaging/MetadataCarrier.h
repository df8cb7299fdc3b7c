#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trimlark {

// The source's EXIF, IPTC and XMP made fit for a cropped, upright output of width x height pixels: no EXIF
// thumbnail (it would show the cropped-away picture), orientation 1, pixel dimensions of the output, and none
// of the tags that describe the source file's own layout (strip offsets and the like).
struct CarriedMetadata
{
    std::vector<std::uint8_t> exif; // "Exif\0\0" + TIFF structure, as image libraries store it; empty if none
    std::string xmp;                // XMP packet; empty if none
};

// The EXIF orientation (1-8) Exiv2 reads from the file; 1 when there is none or the file cannot be read.
int ReadExifOrientation(const std::string& path);

// The carried metadata of a source, as blobs (for encoders that embed metadata themselves); nothing when the
// source holds none that Exiv2 can read.
std::optional<CarriedMetadata> MakeCarriedMetadata(const std::string& sourcePath, int width, int height);

// Puts the source's carried EXIF, IPTC and XMP into an encoded JPEG, PNG, TIFF or JPEG 2000 held in memory,
// leaving its pixel data as it is. False, with the reason, when Exiv2 cannot do it; encoded is then unchanged.
bool EmbedSourceMetadata(const std::string& sourcePath, int width, int height, std::vector<std::uint8_t>& encoded,
                         std::string* reason);

} // namespace trimlark
