#pragma once

#include "app/Platform.h"
#include "profile/ProfileFormat.h"

#include <QCoreApplication>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace trimlark {

// The profile the window's settings belong to: its path, the unsaved-changes mark "*" at the end of the window
// title, the questions that guard unsaved changes, and reading and writing the profile file.
class ProfileDocument
{
    Q_DECLARE_TR_FUNCTIONS(trimlark::ViewController)

public:
    // current gives the settings and the custom ratio as they are now: what a save writes, and what a loaded
    // older profile keeps for the lines it lacks.
    ProfileDocument(QWidget& window, Platform& platform, std::function<ProfileContent()> current);

    // The path of the profile; empty when none. Save writes here without a panel.
    const std::string& CurrentProfilePath() const { return currentProfilePath; }

    // Whether the window title ends in "*" (a profile whose name ends in "*" counts as modified too).
    bool IsModified() const;
    // Appends "*" to the window title, unless it ends in one already.
    void MarkModified();

    // The question before New and Load when there are unsaved changes; false when the user answers "No".
    bool MayDiscardChanges();
    // No profile any more: the title is the app's name alone, without a mark.
    void SetUntitled();

    // Asks first when there are unsaved changes, then for a file. The whole file is checked before anything
    // changes: a file that is refused is reported and leaves the path and the title as they were. Loaded, it
    // becomes the current profile (titled after it, without a mark) and its content is returned to be shown.
    std::optional<ProfileContent> Load();
    // Does nothing without unsaved changes; writes at once when the profile has a path, else asks for one.
    void Save();
    // Asks for a path whatever the state and writes there; the path is kept even when the write fails.
    void SaveAs();
    // Writes the current content to the profile's path (not empty) as one complete file. Success gives the
    // profile's title (clearing the mark); a failure is reported and leaves the title as it was.
    void Write();

    // Quit: the unsaved-changes question, asked once; after "Yes" the windows closing on the way out ask nothing.
    bool MayQuit();
    // Closing the window: the same question, unless Quit was agreed to already.
    bool MayCloseWindow();

private:
    bool AskToDiscard(const QString& question);
    // Sets the title as given; a "[*]" in a profile's name is shown as it is, not as Qt's modified placeholder.
    void SetTitle(const QString& title);
    QString ProfileFolder() const;
    void ShowWarning(const QString& text);

    QWidget& window_;
    Platform& platform_;
    std::function<ProfileContent()> current_;
    std::string currentProfilePath;
    // Set once Quit was agreed to.
    bool quitting_ = false;
};

} // namespace trimlark
