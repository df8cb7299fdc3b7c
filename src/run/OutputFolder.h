#pragma once

#include <string>

namespace trimlark {

// Whether a run can write in its output folder, decided before its first image.
struct OutputFolderCheck
{
    enum class State
    {
        Ready,    // a folder the run can write in
        Missing,  // nothing at the path yet; CreateOutputFolder can make it and its missing parents
        Unusable, // a file in the way, a folder that cannot be written, or a parent that cannot be made
    };
    State state = State::Ready;
    std::string reason; // for Unusable: a whole sentence naming the folder
};

// Looks at the folder without changing anything. A missing folder is Missing only when its nearest existing parent
// is a folder that can be written; a link to a folder counts as the folder.
OutputFolderCheck CheckOutputFolder(const std::string& folder);

// Makes the folder and its missing parents, as mkdir -p does (modes from the umask); false, with the sentence
// naming the folder, when it cannot.
bool CreateOutputFolder(const std::string& folder, std::string* reason);

// "The folder <folder> does not exist. Create it?"
std::string CreateFolderQuestionText(const std::string& folder);

} // namespace trimlark
