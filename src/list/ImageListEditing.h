#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rules by which files join and leave the image list. Two entries that name the same file are one image:
// paths are compared by the file they name (see FileKey), never by folding case.
namespace trimlark {

// What identifies the file a path names, whatever its spelling ("a.jpg", "./a.jpg", "/home/u/a.jpg", a link, a
// hard link): its device and inode where it can be looked up; otherwise the absolute path with "." and ".." steps
// and repeated "/" taken out.
std::string FileKey(const std::string& path);

// A later entry dropped from a list because it names the same file as an earlier one.
struct RepeatedFile
{
    std::string dropped;
    std::string kept;
};

// Keeps the first entry for each file (FileKey), in order; the entries dropped, in list order.
std::vector<RepeatedFile> RemoveRepeatedFiles(std::vector<std::string>& paths);

// The images of a folder (accepted extensions), sorted by name; with recursive, those of its whole tree, sorted
// by path. Absent, with the reason, when the folder cannot be read.
std::optional<std::vector<std::string>> ImagesInFolder(const std::string& folder, bool recursive, std::string* reason);

// The paths with each folder among them replaced by its images (see ImagesInFolder; a folder that cannot be read
// gives none). Files stay as they are, in their order.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

// Removes the entries at rows (any order; repeated rows and rows outside the list are ignored). The row the
// selection moves to: the one that followed the first removed entry, the last row when that was at the end,
// -1 when the list is now empty or nothing was removed.
int RemoveRows(std::vector<std::string>& list, std::vector<int> rows);

// Appends the files chosen in the add-images panel in their order. Empty paths and paths already listed are
// skipped (whatever their spelling); no extension test is made (the panel's type list is the filter).
void AddPanelFiles(std::vector<std::string>& list, const std::vector<std::string>& paths);

// Appends files opened with the application from outside: as the panel, and a path whose extension is not
// accepted is skipped too. Whether the file exists is not tested.
void AddOpenedFiles(std::vector<std::string>& list, const std::vector<std::string>& paths);

// The dropped files to insert at the drop gap, in drag order: a path is kept when it exists (exists()), is not
// already listed (nor earlier in the same drop, under any spelling) and has an accepted extension.
std::vector<std::string> SelectDroppedFiles(const std::vector<std::string>& list, const std::vector<std::string>& paths,
                                            const std::function<bool(const std::string&)>& exists);

} // namespace trimlark
