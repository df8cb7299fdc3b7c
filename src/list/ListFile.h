#pragma once

#include "settings/CropAdjustment.h"

#include <cstddef>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// List files: the images of a list with the crops adjusted by hand for them, as JSON Lines, one object per image:
//   {"path":"a.jpg","crop":{"x":10,"y":20,"w":300,"h":200}}   a rectangle (x, y: its left and top edges)
//   {"path":"b.jpg","centre":{"x":512.5,"y":300}}            an automatic crop's centre
//   {"path":"c.jpg"}                                          no adjustment
// Paths beside or below the list's folder are stored relative to it, others absolute. A path that is no UTF-8 is
// stored readable with U+FFFD for each stray byte under "path", and byte for byte, in base64, under "path_base64".
// A line without "path" (nor "path_base64") takes its path from "source" and "source_base64", so a run report reads
// as a list; fields the list does not know are ignored.
namespace trimlark {

// One image of a list and the crop adjusted by hand for it, if any.
struct ListEntry
{
    std::string path;
    std::optional<CropAdjustment> adjustment;

    bool operator==(const ListEntry&) const = default;
};

// A list of a hundred thousand images takes a few megabytes; a larger file is no list and is not read into memory.
inline constexpr std::size_t kMaxListFileBytes = std::size_t{64} << 20;

// A coordinate or size beyond this lies off any image a decoder opens, and is refused as such.
inline constexpr double kMaxListCoordinate = 1e9;

// The list file at path, relative paths resolved against its folder. Nothing, with the reason in a few words
// ("No such file or directory", "line 7: the crop has no width (w)"), when the path is not a regular file (a folder,
// a pipe: never waited on), is larger than kMaxListFileBytes or unreadable, or any line is refused (see ReadListText).
std::optional<std::vector<ListEntry>> ReadListFile(const std::string& path, std::string* reason = nullptr);

// The entries of a list's text, relative paths resolved against listFolder ("" for the working folder). Blank lines
// are skipped. One refused line refuses the whole text, the reason starting with its number: a line that is not a
// JSON object, names no path (or an empty one, or one holding a NUL byte), has base64 that is not or that names
// another file than its readable path, has both a crop and a centre, or a crop or centre that is not an object,
// misses a number, holds one that is not finite or beyond kMaxListCoordinate, or a width or height not above 0.
// Rectangles reaching off the image are kept: the image's size is not known here.
std::optional<std::vector<ListEntry>> ReadListText(std::string_view text, const std::string& listFolder,
                                                   std::string* reason = nullptr);

// The text of a list file in listFolder, one line per entry, in order.
std::string WriteListText(const std::vector<ListEntry>& entries, const std::string& listFolder);

// Writes the list file at path. It replaces an old file only once complete; false, with the reason, when it cannot
// be written (an old file then stays as it was) or the path holds something other than a regular file.
bool SaveListFile(const std::string& path, const std::vector<ListEntry>& entries, std::string* reason = nullptr);

// The pieces of a list line, for other JSON Lines that should read back as a list (the run report).
// The path as a list in listFolder stores it: relative to the folder when it lies in or below it, else absolute.
// A path or folder with a ".." step is stored absolute: through a link, its lexical form may name another file.
std::string PathInList(const std::string& path, const std::string& listFolder);
// Adds the path under name, and, when it is no UTF-8, its bytes in base64 under name + "_base64". Dump the line with
// error_handler_t::replace, which writes U+FFFD for each stray byte.
void AddPathFields(nlohmann::ordered_json& line, const std::string& name, const std::string& path);
// Adds "crop" (a rectangle) or "centre".
void AddAdjustmentField(nlohmann::ordered_json& line, const CropAdjustment& adjustment);

} // namespace trimlark
