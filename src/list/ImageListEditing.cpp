#include "list/ImageListEditing.h"

#include "list/ImageListRules.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace trimlark {

namespace fs = std::filesystem;

namespace {

// The listed files' keys, for duplicate checks that stay fast on long lists.
std::unordered_set<std::string> Listed(const std::vector<std::string>& list)
{
    std::unordered_set<std::string> keys;
    keys.reserve(list.size());
    for (const std::string& path : list)
        keys.insert(FileKey(path));
    return keys;
}

// Appends the paths that pass `keep` and are not listed yet (nor earlier among paths).
void Append(std::vector<std::string>& list, const std::vector<std::string>& paths,
            const std::function<bool(const std::string&)>& keep)
{
    auto listed = Listed(list);
    for (const auto& path : paths) {
        if (!path.empty() && keep(path) && listed.insert(FileKey(path)).second)
            list.push_back(path);
    }
}

} // namespace

std::string FileKey(const std::string& path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) == 0)
        return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    std::error_code ec;
    return fs::absolute(fs::path(path), ec).lexically_normal().string();
}

std::vector<RepeatedFile> RemoveRepeatedFiles(std::vector<std::string>& paths)
{
    std::vector<RepeatedFile> repeated;
    std::unordered_map<std::string, std::size_t> first; // key -> index among the kept entries
    first.reserve(paths.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto [at, added] = first.try_emplace(FileKey(paths[i]), kept);
        if (!added) {
            repeated.push_back({std::move(paths[i]), paths[at->second]});
            continue;
        }
        if (kept != i)
            paths[kept] = std::move(paths[i]);
        ++kept;
    }
    paths.resize(kept);
    return repeated;
}

std::optional<std::vector<std::string>> ImagesInFolder(const std::string& folder, bool recursive, std::string* reason)
{
    std::vector<fs::path> images;
    std::error_code ec;
    auto take = [&](const fs::directory_entry& entry) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && HasAcceptedExtension(entry.path().filename().string()))
            images.push_back(entry.path());
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            take(*it);
    } else {
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec))
            take(*it);
    }
    if (ec) {
        if (reason)
            *reason = "Cannot read the folder " + folder + ": " + ec.message() + ".";
        return std::nullopt;
    }
    // By path components, so "a/x.png" comes before "a-b/x.png" whatever the bytes of "/" and "-" say; in one
    // folder that is by name.
    std::sort(images.begin(), images.end());
    std::vector<std::string> paths;
    paths.reserve(images.size());
    for (fs::path& image : images)
        paths.push_back(std::move(image).string());
    return paths;
}

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths)
{
    std::vector<std::string> expanded;
    expanded.reserve(paths.size());
    for (const auto& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            expanded.push_back(path);
        } else if (auto images = ImagesInFolder(path, false, nullptr)) {
            expanded.insert(expanded.end(), images->begin(), images->end());
        }
    }
    return expanded;
}

void AddPanelFiles(std::vector<std::string>& list, const std::vector<std::string>& paths)
{
    Append(list, paths, [](const std::string&) { return true; });
}

void AddOpenedFiles(std::vector<std::string>& list, const std::vector<std::string>& paths)
{
    Append(list, paths, [](const std::string& path) { return HasAcceptedExtension(path); });
}

std::vector<std::string> SelectDroppedFiles(const std::vector<std::string>& list, const std::vector<std::string>& paths,
                                            const std::function<bool(const std::string&)>& exists)
{
    std::vector<std::string> accepted;
    auto listed = Listed(list);
    for (const auto& path : paths) {
        if (path.empty() || !HasAcceptedExtension(path) || !exists(path) || !listed.insert(FileKey(path)).second)
            continue;
        accepted.push_back(path);
    }
    return accepted;
}

int RemoveRows(std::vector<std::string>& list, std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](int row) { return row < 0 || row >= static_cast<int>(list.size()); }),
               rows.end());
    if (rows.empty())
        return -1;
    std::size_t next = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (next < rows.size() && static_cast<int>(i) == rows[next]) {
            ++next;
            continue;
        }
        if (kept != i)
            list[kept] = std::move(list[i]);
        ++kept;
    }
    list.resize(kept);
    // The row after the first removed one now has its index; past the end, the last row.
    return list.empty() ? -1 : std::min(rows.front(), static_cast<int>(list.size()) - 1);
}

} // namespace trimlark
