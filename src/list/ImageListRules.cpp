#include "list/ImageListRules.h"

#include "run/OutputNaming.h"
#include "settings/ChoiceLists.h"

#include <algorithm>

namespace trimlark {

const std::vector<std::string>& AcceptedExtensions()
{
    static const std::vector<std::string> extensions{"jpg", "jpeg", "jpe",  "jp2", "jpx",  "png",
                                                     "gif", "tif",  "tiff", "bmp", "heif", "heic"};
    return extensions;
}

bool HasAcceptedExtension(std::string_view path)
{
    const std::string extension = LowerAscii(PathExtension(path));
    const auto& accepted = AcceptedExtensions();
    return std::find(accepted.begin(), accepted.end(), extension) != accepted.end();
}

} // namespace trimlark
