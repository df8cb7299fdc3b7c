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
// "[FileName]" is replaced first, then "[FileIndex]" (by index + 1). The folder is used as typed.
std::string GetOutputFilePath(std::int64_t index, std::string_view sourcePath, std::string_view namePattern,
                              std::string_view formatName, std::string_view outputFolder);

} // namespace trimlark
