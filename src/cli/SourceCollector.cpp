#include "cli/SourceCollector.h"

#include "list/ImageListRules.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

namespace trimlark {

std::optional<std::vector<std::string>> SourceCollector::CollectSourcePaths(const std::vector<std::string>& arguments,
                                                                            std::string* reason)
{
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::unordered_set<std::string> listed;
    auto add = [&](const std::string& path) {
        if (!path.empty() && listed.insert(path).second)
            paths.push_back(path);
    };

    for (const std::string& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            add(argument);
            continue;
        }
        std::vector<std::string> images;
        fs::directory_iterator it(argument, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError) && HasAcceptedExtension(it->path().filename().string()))
                images.push_back(it->path().string());
        }
        if (ec) {
            if (reason)
                *reason = "Cannot read the folder " + argument + ": " + ec.message() + ".";
            return std::nullopt;
        }
        std::sort(images.begin(), images.end(), [](const std::string& a, const std::string& b) {
            return fs::path(a).filename().string() < fs::path(b).filename().string();
        });
        for (const std::string& image : images)
            add(image);
    }
    return paths;
}

} // namespace trimlark
