#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trimlark {

// Lower-case extensions the add-images panel offers, in its order: "jpg", "jpeg", "jpe", "jp2", "jpx", "png",
// "tiff", "tif", "gif", "bmp", "heif", "heic", "webp", "avif"; those of HEIF files only where they can be read.
std::vector<std::string> PanelExtensions(bool canReadHeif);

// Whether a path's extension, in any case, is one of the image types the list takes (the panel's with HEIF).
bool HasAcceptedExtension(std::string_view path);

// The name of a row's format icon ("JPG", "PNG", "TIF", "GIF", "BMP", "HEIF", "HEIC", "WEBP", "AVIF") by the path's
// extension in any case; "" when the row gets no icon.
std::string RowIconName(std::string_view path);

} // namespace trimlark
