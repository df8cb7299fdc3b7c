#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trimlark {

inline constexpr std::string_view kFileNameToken = "[FileName]";
inline constexpr std::string_view kFileIndexToken = "[FileIndex]";

// The full output path of the index-th image (from 0) of a run. Pure: reads no file and no clock.
// The extension is formatName ("jpeg", "tif"...), or the source's own, spelled as in the source, for
// "original". An empty pattern means "[FileName]"; a pattern with neither token gets " ([FileIndex])" appended.
// "[FileName]" and "[FileIndex]" (index + 1) are replaced in one pass, so a token inside the source's name stays
// as it is. The folder is used as typed.
std::string GetOutputFilePath(std::int64_t index, std::string_view sourcePath, std::string_view namePattern,
                              std::string_view formatName, std::string_view outputFolder);

} // namespace trimlark
