#include "run/OutputNaming.h"

#include "base/PathText.h"

namespace trimlark {

namespace {

// The pattern with each token replaced, in one pass from the left: text a replacement brings in is never
// read again, so a source named "[FileIndex].jpg" keeps that name.
std::string SubstituteTokens(std::string_view pattern, std::string_view fileName, std::string_view fileIndex)
{
    std::string text;
    while (!pattern.empty()) {
        if (pattern.starts_with(kFileNameToken)) {
            text += fileName;
            pattern.remove_prefix(kFileNameToken.size());
        } else if (pattern.starts_with(kFileIndexToken)) {
            text += fileIndex;
            pattern.remove_prefix(kFileIndexToken.size());
        } else {
            text += pattern.front();
            pattern.remove_prefix(1);
        }
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

    const std::string name = SubstituteTokens(pattern, BaseNameWithoutExtension(sourcePath), std::to_string(index + 1));

    std::string path(outputFolder);
    path += '/';
    path += name;
    path += '.';
    path += extension;
    return path;
}

} // namespace trimlark
