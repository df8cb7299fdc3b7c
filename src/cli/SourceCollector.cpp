#include "cli/SourceCollector.h"

#include "base/Reason.h"
#include "list/ImageListEditing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <unordered_map>

namespace trimlark {

namespace {

namespace fs = std::filesystem;

// Appends a folder's images: its own sorted by name, or its whole tree's sorted by path.
bool AddFolder(const std::string& folder, bool recursive, std::vector<std::string>& paths, std::string* reason)
{
    auto images = ImagesInFolder(folder, recursive, reason);
    if (!images)
        return false;
    paths.insert(paths.end(), std::make_move_iterator(images->begin()), std::make_move_iterator(images->end()));
    return true;
}

// Calls add for each non-empty entry of the list; false, with the reason, once it turns out unreadable.
bool ReadPathList(std::FILE* stream, const std::string& name, bool nulSeparated,
                  const std::function<bool(const std::string&)>& add, std::string* reason)
{
    const int separator = nulSeparated ? '\0' : '\n';
    std::string entry;
    std::size_t number = 1;
    auto refuse = [&](const std::string& why) {
        return Fail(reason, "Cannot read the list " + name + ": " + why + ".");
    };
    for (int c; (c = getc_unlocked(stream)) != EOF;) {
        if (c == separator) {
            if (!entry.empty() && !add(entry))
                return false;
            entry.clear();
            ++number;
        } else if (c == '\0') {
            return refuse("line " + std::to_string(number) + " holds a NUL byte (-0 reads NUL-separated lists)");
        } else if (entry.size() == SourceCollector::kMaxListEntry) {
            return refuse("entry " + std::to_string(number) + " is longer than " +
                          std::to_string(SourceCollector::kMaxListEntry) + " bytes");
        } else {
            entry.push_back(static_cast<char>(c));
        }
    }
    if (std::ferror(stream))
        return refuse(std::strerror(errno));
    return entry.empty() || add(entry);
}

} // namespace

std::optional<std::vector<ListEntry>> SourceCollector::CollectSources(const std::vector<std::string>& arguments,
                                                                      const SourceOptions& options, std::string* reason,
                                                                      std::vector<std::string>* notes)
{
    std::vector<std::string> paths;
    auto add = [&](const std::string& argument) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            paths.push_back(argument);
            return true;
        }
        return AddFolder(argument, options.recursive, paths, reason);
    };
    for (const std::string& argument : arguments)
        if (!argument.empty() && !add(argument))
            return std::nullopt;

    if (!options.filesFrom.empty()) {
        const bool standardInput = options.filesFrom == "-";
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
            standardInput ? nullptr : std::fopen(options.filesFrom.c_str(), "rb"), &std::fclose);
        if (!standardInput && !file) {
            Fail(reason, "Cannot read the list " + options.filesFrom + ": " + std::strerror(errno) + ".");
            return std::nullopt;
        }
        const std::string name = standardInput ? "on standard input" : options.filesFrom;
        if (!ReadPathList(standardInput ? stdin : file.get(), name, options.nulSeparated, add, reason))
            return std::nullopt;
    }

    // The adjusted crops by the file they are for (FileKey), so that any spelling of it finds them.
    using Crops = std::unordered_map<std::string, CropAdjustment>;
    auto readCrops = [&](const std::string& file, const char* option, Crops& crops, bool addImages) {
        std::string why;
        auto entries = ReadListFile(file, &why);
        if (!entries)
            return Fail(reason, "Cannot read " + std::string(option) + " " + file + ": " + why + ".");
        for (ListEntry& entry : *entries) {
            if (entry.adjustment)
                crops.try_emplace(FileKey(entry.path), *entry.adjustment);
            if (addImages)
                paths.push_back(std::move(entry.path));
        }
        return true;
    };
    Crops listed, overlaid;
    if (!options.listFile.empty() && !readCrops(options.listFile, "--list", listed, true))
        return std::nullopt;
    if (!options.cropsFile.empty() && !readCrops(options.cropsFile, "--crops", overlaid, false))
        return std::nullopt;

    for (RepeatedFile& repeated : RemoveRepeatedFiles(paths)) {
        if (notes && repeated.dropped != repeated.kept)
            notes->push_back(repeated.dropped + " is the same file as " + repeated.kept + "; it is cropped once");
    }
    std::vector<ListEntry> sources;
    sources.reserve(paths.size());
    std::size_t used = 0; // crops of the crops file that found their image: one each at most, the list has no repeats
    for (std::string& path : paths) {
        ListEntry& source = sources.emplace_back(ListEntry{std::move(path), std::nullopt});
        if (listed.empty() && overlaid.empty())
            continue;
        const std::string key = FileKey(source.path);
        if (const auto crop = overlaid.find(key); crop != overlaid.end()) {
            source.adjustment = crop->second;
            ++used;
        } else if (const auto listedCrop = listed.find(key); listedCrop != listed.end()) {
            source.adjustment = listedCrop->second;
        }
    }
    if (notes && used < overlaid.size()) {
        const std::size_t unused = overlaid.size() - used;
        notes->push_back(
            "--crops " + options.cropsFile + ": " + std::to_string(unused) +
            (unused == 1 ? " crop names no image of the run and is" : " crops name no image of the run and are") +
            " not used");
    }
    return sources;
}

} // namespace trimlark
