#pragma once

#include "list/ListFile.h"

#include <optional>
#include <string>
#include <vector>

namespace trimlark {

// How the run's image list is gathered.
struct SourceOptions
{
    bool recursive = false;    // folders give the images of their sub-folders too
    std::string filesFrom;     // a list of paths to read as well ("-": standard input); empty: none
    bool nulSeparated = false; // the list's paths end in NUL bytes instead of line feeds
    std::string listFile;      // a list file whose images join the run with their adjusted crops; empty: none
    std::string cropsFile;     // a list file whose adjusted crops apply to the run's images it names; empty: none
};

// Builds the run's image list from command-line arguments and a list of paths.
class SourceCollector
{
public:
    // Longest entry a list may hold; a longer one is no path (a binary file, a list without separators).
    static constexpr std::size_t kMaxListEntry = 4096;

    // The arguments in the order given, then the list's entries (lines, or NUL-terminated; empty ones are
    // ignored), each taken as an argument is, then the list file's images, each taken as a file. A folder gives its
    // images (accepted extensions, any case) sorted by name, or with recursive those of its whole tree sorted by
    // path (links to folders are not followed). A path naming a file already in the list, however spelled, is not
    // added again; notes, when given, gets a sentence for each such path spelled differently. A file is taken
    // whatever its extension; one that does not exist stays in the list and fails to load. Each image gets the
    // crop the crops file adjusts for its file (however spelled), else the one the list file does; within a file
    // the first crop given for a file counts. notes gets a sentence when crops of the crops file name no image of the
    // run. Nothing, with the reason, when a folder or a list cannot be read, the list holds an entry too long or,
    // as lines, a NUL byte, or a list file is refused ("Cannot read --list l.jsonl: line 7: the crop has no
    // width (w).").
    static std::optional<std::vector<ListEntry>> CollectSources(const std::vector<std::string>& arguments,
                                                                const SourceOptions& options, std::string* reason,
                                                                std::vector<std::string>* notes = nullptr);
};

} // namespace trimlark
