#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace trimlark {

// The file types a working image can be written as.
enum class OutputFormat
{
    Jpeg,
    Jpeg2000, // always in the JP2 file format, also for .jpx
    Png,
    Tiff,
    Gif,
    Bmp,
    Heic, // HEIF and HEIC; only where the image library has an HEIF encoder
    Webp,
    Avif, // HEIF with AV1 pictures; only where the HEIF library has an AV1 encoder
};

// The encoders this system has of those that may be missing.
struct WritableFormats
{
    bool heif = false;
    bool webp = false;
    bool avif = false;

    // Whether a format can be written here (JPEG to BMP always).
    bool CanWrite(OutputFormat format) const;
};

// One image file type, named by its extension: the list takes files with it, the format list offers its title,
// the list shows its icon, and "Original" writes it with its encoder.
struct FileType
{
    std::string_view title;     // "JPG": the format list's entry, and the extension upper-cased
    std::string_view extension; // "jpg"
    std::string_view icon;      // the list row's icon
    OutputFormat format;
};

// Every file type, in the order of the format list and the add-images panel.
std::span<const FileType> FileTypes();

// The file type of an extension in any case ("JPG", "jpg"); nothing for others.
const FileType* FileTypeOfExtension(std::string_view extension);

// The file type of a path's extension (see PathExtension); nothing for others.
const FileType* FileTypeOfPath(std::string_view path);

// Whether reading this format needs the HEIF decoder, which not every system has.
bool NeedsHeifDecoder(OutputFormat format);

// Whether the format list offers the format after "Original": formats that came after "Original" was the last
// entry follow it, so that the entries before keep their indices in saved profiles.
bool ListedAfterOriginal(OutputFormat format);

} // namespace trimlark
