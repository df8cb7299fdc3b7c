#pragma once

#include "imaging/metadata/MetadataCarrier.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace trimlark {

// Passes an encoder's JPEG byte stream on to a file descriptor, with the fitted metadata put into its header on
// the way: the blocks go in right after the start of the file (or its leading JFIF segment), and the encoder's own
// EXIF segment gives way to the source's. Only the header is held in memory.
class MetadataInserter
{
public:
    MetadataInserter(int fd, const FittedMetadata& metadata);

    // False, with errno set, when the file cannot be written.
    bool Write(const void* data, std::size_t size);

    // Writes what is still held back; false, with errno set, when it cannot be written.
    bool Finish();

private:
    bool Flush(const void* data, std::size_t size);
    bool WriteJpegHeader();

    int fd_;
    const FittedMetadata& metadata_;
    std::string head_; // the stream's start, until the place for the metadata has been passed
    bool passed_ = false;
};

// The fitted metadata as PNG chunks for after the header chunk: the EXIF as eXIf, the XMP as iTXt, the IPTC as
// other programs keep it ("Raw profile type iptc").
std::string PngMetadataChunks(const FittedMetadata& metadata);

// Makes the TIFF an encoder wrote at byte offset shift of the file fd a TIFF of the whole file whose first
// directory also holds the tags of directory (a TIFF structure occupying the file's first shift bytes, as
// FitSourceMetadata makes it): the encoder's offsets are moved by shift, its tags win over the directory's, and
// the merged directory goes at the end of the file. False, with the reason, when the file cannot be read or
// written or the encoder's TIFF is not one this can merge.
bool MergeTiffDirectory(int fd, off_t shift, const std::vector<std::uint8_t>& directory, std::string* reason);

// Makes the EXIF chunk of the WebP file fd start with the TIFF header, as WebP defines the chunk: a JPEG segment's
// "Exif\0\0" prefix before it (libvips' encoder writes one) goes, and the chunks after it move up. A file without
// the prefix is left as it is. False, with the reason, when the file cannot be read or written or is no WebP this
// knows.
bool FixWebpExifChunk(int fd, std::string* reason);

} // namespace trimlark
