#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rules by which files join and leave the image list. Paths are compared as exact, case-sensitive
// strings: no links are resolved and no case is folded.
namespace trimlark {

// The images of a folder (accepted extensions, not its subfolders), sorted by name; absent, with the reason, when
// the folder cannot be read.
std::optional<std::vector<std::string>> ImagesInFolder(const std::string& folder, std::string* reason);

// The paths with each folder among them replaced by its images (see ImagesInFolder; a folder that cannot be read
// gives none). Files stay as they are, in their order.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

// Removes the entries at rows (any order; repeated rows and rows outside the list are ignored). The row the
// selection moves to: the one that followed the first removed entry, the last row when that was at the end,
// -1 when the list is now empty or nothing was removed.
int RemoveRows(std::vector<std::string>& list, std::vector<int> rows);

// Appends the files chosen in the add-images panel in their order. Empty paths and paths already listed are
// skipped; no extension test is made (the panel's type list is the filter).
void AddPanelFiles(std::vector<std::string>& list, const std::vector<std::string>& paths);

// Appends files opened with the application from outside: as the panel, and a path whose extension is not
// accepted is skipped too. Whether the file exists is not tested.
void AddOpenedFiles(std::vector<std::string>& list, const std::vector<std::string>& paths);

// The dropped files to insert at the drop gap, in drag order: a path is kept when it exists (exists()), is not
// already listed (nor earlier in the same drop) and has an accepted extension.
std::vector<std::string> SelectDroppedFiles(const std::vector<std::string>& list, const std::vector<std::string>& paths,
                                            const std::function<bool(const std::string&)>& exists);

} // namespace trimlark
