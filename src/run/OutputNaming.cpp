#include "run/OutputNaming.h"

namespace trimlark {

namespace {

std::string ReplaceAll(std::string text, std::string_view token, std::string_view replacement)
{
    std::size_t at = 0;
    while ((at = text.find(token, at)) != std::string::npos) {
        text.replace(at, token.size(), replacement);
        at += replacement.size();
    }
    return text;
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
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
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

std::string GetOutputFilePath(std::int64_t index, std::string_view sourcePath, std::string_view namePattern,
                              std::string_view formatName, std::string_view outputFolder)
{
    const std::string_view extension = formatName == "original" ? PathExtension(sourcePath) : formatName;

    std::string pattern;
    if (namePattern.empty())
        pattern = kFileNameToken;
    else if (namePattern.find(kFileNameToken) != std::string_view::npos ||
             namePattern.find(kFileIndexToken) != std::string_view::npos)
        pattern = namePattern;
    else
        pattern = std::string(namePattern) + " (" + std::string(kFileIndexToken) + ")";

    std::string name = ReplaceAll(std::move(pattern), kFileNameToken, BaseNameWithoutExtension(sourcePath));
    name = ReplaceAll(std::move(name), kFileIndexToken, std::to_string(index + 1));

    std::string path(outputFolder);
    path += '/';
    path += name;
    path += '.';
    path += extension;
    return path;
}

} // namespace trimlark
