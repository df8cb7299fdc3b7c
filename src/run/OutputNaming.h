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

// The last path component of a path.
std::string_view LastPathComponent(std::string_view path);

// The text after the last full stop of the last path component; "" when there is none (a name that only
// starts with a full stop, like ".profile", has no extension).
std::string_view PathExtension(std::string_view path);

// The last path component without its extension and the full stop before it.
std::string_view BaseNameWithoutExtension(std::string_view path);

} // namespace trimlark
