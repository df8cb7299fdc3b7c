#include "run/OutputNaming.h"

#include "base/PathText.h"

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

} // namespace

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
