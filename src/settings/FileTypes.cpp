#include "settings/FileTypes.h"

#include "base/PathText.h"

namespace trimlark {

namespace {

constexpr FileType kFileTypes[] = {
    {"JPG", "jpg", "JPG", OutputFormat::Jpeg},     {"JPEG", "jpeg", "JPG", OutputFormat::Jpeg},
    {"JPE", "jpe", "JPG", OutputFormat::Jpeg},     {"JP2", "jp2", "JPG", OutputFormat::Jpeg2000},
    {"JPX", "jpx", "JPG", OutputFormat::Jpeg2000}, {"PNG", "png", "PNG", OutputFormat::Png},
    {"TIFF", "tiff", "TIF", OutputFormat::Tiff},   {"TIF", "tif", "TIF", OutputFormat::Tiff},
    {"GIF", "gif", "GIF", OutputFormat::Gif},      {"BMP", "bmp", "BMP", OutputFormat::Bmp},
    {"HEIF", "heif", "HEIF", OutputFormat::Heic},  {"HEIC", "heic", "HEIC", OutputFormat::Heic},
    {"WEBP", "webp", "WEBP", OutputFormat::Webp},  {"AVIF", "avif", "AVIF", OutputFormat::Avif},
};

} // namespace

std::span<const FileType> FileTypes()
{
    return kFileTypes;
}

const FileType* FileTypeOfExtension(std::string_view extension)
{
    const std::string lower = LowerAscii(extension);
    for (const FileType& type : kFileTypes) {
        if (type.extension == lower)
            return &type;
    }
    return nullptr;
}

const FileType* FileTypeOfPath(std::string_view path)
{
    return FileTypeOfExtension(PathExtension(path));
}

bool WritableFormats::CanWrite(OutputFormat format) const
{
    switch (format) {
    case OutputFormat::Heic:
        return heif;
    case OutputFormat::Webp:
        return webp;
    case OutputFormat::Avif:
        return avif;
    default:
        return true;
    }
}

bool NeedsHeifDecoder(OutputFormat format)
{
    return format == OutputFormat::Heic || format == OutputFormat::Avif;
}

bool ListedAfterOriginal(OutputFormat format)
{
    return format == OutputFormat::Webp || format == OutputFormat::Avif;
}

} // namespace trimlark
