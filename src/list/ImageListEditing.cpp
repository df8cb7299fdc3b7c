#include "list/ImageListEditing.h"

#include "list/ImageListRules.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

namespace trimlark {

namespace fs = std::filesystem;

namespace {

// The listed paths, for duplicate checks that stay fast on long lists.
std::unordered_set<std::string_view> Listed(const std::vector<std::string>& list)
{
    return std::unordered_set<std::string_view>(list.begin(), list.end());
}

// Appends the paths that pass `keep` and are not listed yet (nor earlier among paths).
void Append(std::vector<std::string>& list, const std::vector<std::string>& paths,
            const std::function<bool(const std::string&)>& keep)
{
    auto listed = Listed(list);
    std::vector<std::string> added;
    added.reserve(paths.size()); // the set holds views of these strings: they must not move
    for (const auto& path : paths) {
        if (!path.empty() && !listed.contains(path) && keep(path)) {
            added.push_back(path);
            listed.insert(added.back());
        }
    }
    // The new entries go in after the checks: growing the list would move the strings the set points into.
    list.insert(list.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

} // namespace

std::optional<std::vector<std::string>> ImagesInFolder(const std::string& folder, std::string* reason)
{
    std::error_code ec;
    std::vector<std::string> images;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && HasAcceptedExtension(it->path().filename().string()))
            images.push_back(it->path().string());
    }
    if (ec) {
        if (reason)
            *reason = "Cannot read the folder " + folder + ": " + ec.message() + ".";
        return std::nullopt;
    }
    std::sort(images.begin(), images.end(), [](const std::string& a, const std::string& b) {
        return fs::path(a).filename().string() < fs::path(b).filename().string();
    });
    return images;
}

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths)
{
    std::vector<std::string> expanded;
    expanded.reserve(paths.size());
    for (const auto& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            expanded.push_back(path);
        } else if (auto images = ImagesInFolder(path, nullptr)) {
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
        if (path.empty() || listed.contains(path) || !HasAcceptedExtension(path) || !exists(path))
            continue;
        accepted.push_back(path);
        listed.insert(path); // a view of the caller's string, which outlives the set
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
