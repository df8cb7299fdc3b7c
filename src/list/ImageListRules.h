#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trimlark {

// Lower-case extensions of the files the list takes from outside (open-with, drop, a folder given to the
// command-line tool): "jpg", "jpeg", "jpe", "jp2", "jpx", "png", "gif", "tif", "tiff", "bmp", "heif", "heic".
const std::vector<std::string>& AcceptedExtensions();

// Whether a path's extension, lower-cased, is one of AcceptedExtensions().
bool HasAcceptedExtension(std::string_view path);

} // namespace trimlark
