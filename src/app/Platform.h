#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QWidget;

namespace trimlark {

enum class AlertStyle
{
    Warning,
    Informational,
    Question, // an invitation the user may decline, such as the rating prompt
};

// A modal message: the sentence as informative text, buttons in order.
struct Alert
{
    AlertStyle style = AlertStyle::Warning;
    // A headline above the sentence, for a message whose sentence is its reason ("Could not load profile.");
    // none when empty.
    QString messageText;
    QString informativeText;
    // Shown on request below the message (a run's failed files, say); none when empty.
    QString detailedText;
    QStringList buttons{QStringLiteral("OK")};
    // The button Return presses.
    int defaultButton = 0;
    // The answer when the message is dismissed without a button (Escape, closing it).
    int escapeButton = 0;
};

// What the windows need of the desktop: messages, file panels, the per-user preferences and the browser.
// The desktop implementation is QtPlatform; tests answer through a scripted one.
class Platform
{
public:
    virtual ~Platform() = default;

    // The window that messages and panels belong to.
    virtual void SetDialogParent(QWidget* parent) = 0;

    // Shows the message modally; the index of the button chosen.
    virtual int ShowAlert(const Alert& alert) = 0;

    // Several existing image files (extensions lower case; upper-case spellings are offered too), starting in
    // startFolder when it is not empty. Nothing when the user cancels; the files in the panel's order otherwise.
    virtual std::optional<QStringList> ChooseImageFiles(const QString& startFolder, const QStringList& extensions) = 0;

    // One folder, with `prompt` on the accept button; no folders are created. Nothing when cancelled.
    virtual std::optional<QString> ChooseFolder(const QString& prompt, const QString& startFolder) = 0;

    // The profile save panel: type "tlp" with the extension visible, proposedName in the name field, starting in
    // startFolder when it is not empty. Nothing when cancelled; otherwise the chosen path, which ends in ".tlp"
    // (a name typed without it gets it).
    virtual std::optional<QString> ChooseProfileToSave(const QString& startFolder, const QString& proposedName) = 0;

    // The profile open panel: one existing ".tlp" file, no folders, no new folders. Nothing when cancelled.
    virtual std::optional<QString> ChooseProfileToLoad(const QString& startFolder) = 0;

    // The list file save panel: type "jsonl", proposedName in the name field, starting in startFolder when it is not
    // empty. Nothing when cancelled; otherwise the chosen path, which ends in ".jsonl" (a name typed without it
    // gets it).
    virtual std::optional<QString> ChooseListToSave(const QString& startFolder, const QString& proposedName) = 0;
    // The list file open panel: one existing file. Nothing when cancelled.
    virtual std::optional<QString> ChooseListToOpen(const QString& startFolder) = 0;

    // A colour, starting from current ("#rrggbb"); nothing when cancelled, "#rrggbb" otherwise.
    virtual std::optional<QString> ChooseColour(const QString& current) = 0;

    // A per-user preference: nothing when the key holds no text.
    virtual std::optional<QString> ReadPreference(const QString& key) = 0;
    // Stores the preference and writes the store out at once.
    virtual void WritePreference(const QString& key, const QString& value) = 0;

    // Opens the address in the default browser, or a local folder in the file manager; false when the desktop
    // has no program for it.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

} // namespace trimlark
