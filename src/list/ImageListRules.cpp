#include "list/ImageListRules.h"

#include "run/OutputNaming.h"

#include <algorithm>

namespace trimlark {

const std::vector<std::string>& AcceptedExtensions()
{
    static const std::vector<std::string> extensions{"jpg", "jpeg", "jpe", "jp2",  "jpx",  "png",
                                                     "gif", "tif",  "tiff", "bmp", "heif", "heic"};
    return extensions;
}

bool HasAcceptedExtension(std::string_view path)
{
    std::string extension(PathExtension(path));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    const auto& accepted = AcceptedExtensions();
    return std::find(accepted.begin(), accepted.end(), extension) != accepted.end();
}

} // namespace trimlark
