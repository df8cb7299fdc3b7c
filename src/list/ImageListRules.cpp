#include "list/ImageListRules.h"

#include "settings/FileTypes.h"

namespace trimlark {

std::vector<std::string> PanelExtensions(bool canReadHeif)
{
    std::vector<std::string> extensions;
    for (const FileType& type : FileTypes()) {
        if (canReadHeif || !NeedsHeifDecoder(type.format))
            extensions.emplace_back(type.extension);
    }
    return extensions;
}

bool HasAcceptedExtension(std::string_view path)
{
    return FileTypeOfPath(path) != nullptr;
}

std::string RowIconName(std::string_view path)
{
    const FileType* type = FileTypeOfPath(path);
    return type ? std::string(type->icon) : std::string();
}

} // namespace trimlark
