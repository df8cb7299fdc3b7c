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

std::optional<std::vector<std::string>> SourceCollector::CollectSourcePaths(const std::vector<std::string>& arguments,
                                                                            const SourceOptions& options,
                                                                            std::string* reason,
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
    for (RepeatedFile& repeated : RemoveRepeatedFiles(paths)) {
        if (notes && repeated.dropped != repeated.kept)
            notes->push_back(repeated.dropped + " is the same file as " + repeated.kept + "; it is cropped once");
    }
    return paths;
}

} // namespace trimlark
