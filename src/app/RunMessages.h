#pragma once

#include "app/Platform.h"
#include "run/CropJob.h"

#include <string>

namespace trimlark {

// The messages a crop run shows.
class RunMessages
{
public:
    // "The file ... already exists. Do you want to overwrite it?" with Yes, Yes to All, No, No to All; Escape
    // answers No.
    static Alert OverwriteQuestion(const std::string& outputPath);
    // "The file ... is one of the images being cropped. Replace the original?" with the same buttons and answers,
    // but No the default: Return keeps the original too.
    static Alert ReplaceSourceQuestion(const std::string& outputPath);
    static OverwriteAnswer OverwriteAnswerOf(int button);

    // "The folder ... does not exist. Create it?" with Create (index 0) and Cancel, which Escape answers.
    static Alert CreateFolderQuestion(const std::string& folder);

    // Open Output Folder found no program to open the folder with (no xdg-open).
    static QString NoFolderOpenerText(const std::string& folder);

    // Quit or closing the window during a run: "Stop and Quit" (index 0) or "Cancel".
    static Alert StopQuestion();

    // The run's result sentence with the counts; each failed file with its reason, and each image written whole
    // because its crop cut nothing out, as details; the buttons OK and Open Output Folder (index 1).
    static Alert Report(const CropRunResult& result);
};

} // namespace trimlark
