#include "list/ImageListEditing.h"

#include "list/ImageListRules.h"

#include <algorithm>

namespace trimlark {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& path)
{
    return std::find(list.begin(), list.end(), path) != list.end();
}

} // namespace

void AddPanelFiles(std::vector<std::string>& list, const std::vector<std::string>& paths)
{
    for (const auto& path : paths) {
        if (!path.empty() && !Contains(list, path))
            list.push_back(path);
    }
}

void AddOpenedFiles(std::vector<std::string>& list, const std::vector<std::string>& paths)
{
    for (const auto& path : paths) {
        if (!path.empty() && HasAcceptedExtension(path) && !Contains(list, path))
            list.push_back(path);
    }
}

std::vector<std::string> SelectDroppedFiles(const std::vector<std::string>& list, const std::vector<std::string>& paths,
                                            const std::function<bool(const std::string&)>& exists)
{
    std::vector<std::string> accepted;
    for (const auto& path : paths) {
        if (path.empty() || !exists(path) || Contains(list, path) || Contains(accepted, path))
            continue;
        if (HasAcceptedExtension(path))
            accepted.push_back(path);
    }
    return accepted;
}

} // namespace trimlark
