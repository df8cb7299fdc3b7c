#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trimlark {

// Builds the run's image list from command-line arguments.
class SourceCollector
{
public:
    // Files in the order given, each folder's images (accepted extensions, any case, not recursive) sorted by
    // name; a path already in the list is not added again. A file is taken whatever its extension; one that
    // does not exist stays in the list and fails to load. Nothing, with the reason, when a folder cannot be read.
    static std::optional<std::vector<std::string>> CollectSourcePaths(const std::vector<std::string>& arguments,
                                                                      std::string* reason);
};

} // namespace trimlark
