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

// Whether writing this format needs the HEIF encoder, which not every system has.
bool NeedsHeifEncoder(OutputFormat format);

} // namespace trimlark
