#include "list/ImageListEditing.h"

#include "list/ImageListRules.h"
#include "run/OutputNaming.h"
#include "settings/ChoiceLists.h"

#include <algorithm>

namespace trimlark {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& path)
{
    return std::find(list.begin(), list.end(), path) != list.end();
}

} // namespace

const std::vector<std::string>& OpenPanelExtensions()
{
    static const std::vector<std::string> extensions{"jpg",  "jpeg", "jpe", "jp2", "jpx",  "png",
                                                     "tiff", "tif",  "gif", "bmp", "heif", "heic"};
    return extensions;
}

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

std::string RowIconName(std::string_view path)
{
    const std::string extension = LowerAscii(PathExtension(path));
    if (extension == "jpg" || extension == "jpeg" || extension == "jpe" || extension == "jp2" || extension == "jpx")
        return "JPG";
    if (extension == "png")
        return "PNG";
    if (extension == "tiff" || extension == "tif")
        return "TIF";
    if (extension == "gif")
        return "GIF";
    if (extension == "bmp")
        return "BMP";
    if (extension == "heif")
        return "HEIF";
    if (extension == "heic")
        return "HEIC";
    return {};
}

std::string FolderOfPath(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

} // namespace trimlark
