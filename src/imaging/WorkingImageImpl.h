#pragma once

#include "base/HeldFile.h"
#include "imaging/ImageTools.h"
#include "settings/OutputSize.h"

#include <optional>
#include <string>

namespace trimlark {

// The decoders behind the formats a working image can come from.
enum class SourceKind
{
    Jpeg,
    Png,
    Tiff,
    Gif,
    Heif,
    Jpeg2000,
    Webp,
    Ppm,
    Magick, // BMP and the other formats only ImageMagick reads
};

// How to rebuild a working image's pixels from its file. Nothing is decoded until a save asks for the pixels,
// and then they stream from the file where its format allows, so holding a working image costs no memory.
// The file stays open while the image lives: a save reads the picture that was loaded, even over its own
// source.
struct WorkingImage::Impl
{
    std::string sourcePath;
    std::shared_ptr<const HeldFile> file;
    SourceKind kind = SourceKind::Jpeg;
    std::string loader;        // the decoder the load found for the file
    int page = 0;              // the file's largest image
    int orientation = 1;       // EXIF orientation applied by hand (JPEG 2000 decoders ignore it)
    int storedOrientation = 1; // the orientation that turns the file's picture as stored upright
    int uprightWidth = 0;      // of that image after orientation: the file's pixel size
    int uprightHeight = 0;
    // The pixel region of the upright image this working image shows, top-left origin.
    int left = 0;
    int top = 0;
    int pixelWidth = 0;
    int pixelHeight = 0;
    // The logical size; fractional after a crop whose clipped size is fractional.
    double width = 0;
    double height = 0;
    // Bytes the decoder holds at once while it reads the picture for a save.
    double decodeBytes = 0;
    // An animation's frames (GIF, WebP); only the first is written.
    int frames = 1;
    // JPEG: what a lossless crop holds: the coded blocks of the whole picture, and the file read whole.
    double coefficientBytes = 0;
    double fileBytes = 0;
    std::optional<BlockGrid>
        blockGrid; // JPEG: read with the load, for a lossless crop; nothing when libjpeg refuses it
    // The size step: the region's pixels scaled to scaledWidth x scaledHeight (0: as they are) and, with a fill,
    // centred on a canvas of the logical size filled with its colour; the output's resolution (0: the source's).
    int scaledWidth = 0;
    int scaledHeight = 0;
    std::optional<FillColour> fill;
    double ppi = 0;
    // What the decoder warned while the file was loaded, on one line; empty when nothing.
    std::string loadWarnings;

    // The output's pixel size.
    int OutputWidth() const { return scaledWidth <= 0 ? pixelWidth : fill ? static_cast<int>(width) : scaledWidth; }
    int OutputHeight() const
    {
        return scaledHeight <= 0 ? pixelHeight : fill ? static_cast<int>(height) : scaledHeight;
    }

    // Where to read the loaded file's content.
    const std::string& ReadPath() const { return file ? file->ReadPath() : sourcePath; }
};

} // namespace trimlark
