#include "base/PathText.h"

#include <algorithm>

namespace trimlark {

namespace {

std::string_view WithoutTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// Position of the full stop that starts the extension in a last path component, or npos.
std::size_t ExtensionDot(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == 0 ? std::string_view::npos : dot;
}

} // namespace

std::string_view LastPathComponent(std::string_view path)
{
    path = WithoutTrailingSlashes(path);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

std::string_view PathExtension(std::string_view path)
{
    const std::string_view name = LastPathComponent(path);
    const std::size_t dot = ExtensionDot(name);
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
}

std::string_view BaseNameWithoutExtension(std::string_view path)
{
    const std::string_view name = LastPathComponent(path);
    const std::size_t dot = ExtensionDot(name);
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string FolderOfPath(std::string_view path)
{
    path = WithoutTrailingSlashes(path);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return lower;
}

} // namespace trimlark
