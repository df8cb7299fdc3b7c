#pragma once

#include "app/Platform.h"
#include "app/ViewController.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace trimlark {

// Answers the window's messages and panels from a script and keeps preferences in memory.
class ScriptedPlatform : public Platform
{
public:
    using Preferences = std::map<QString, QString>;

    explicit ScriptedPlatform(std::shared_ptr<Preferences> preferences) : preferences_(std::move(preferences)) {}

    void SetDialogParent(QWidget*) override {}
    int ShowAlert(const Alert& alert) override;
    std::optional<QStringList> ChooseImageFiles(const QString& startFolder, const QStringList& extensions) override;
    std::optional<QString> ChooseFolder(const QString& prompt, const QString& startFolder) override;
    std::optional<QString> ChooseProfileToSave(const QString& startFolder, const QString& proposedName) override;
    std::optional<QString> ChooseProfileToLoad(const QString& startFolder) override;
    std::optional<QString> ReadPreference(const QString& key) override;
    void WritePreference(const QString& key, const QString& value) override;
    void OpenUrl(const QUrl& url) override { openedUrls.push_back(url); }

    // Every message shown, in order.
    std::vector<Alert> alerts;
    // Picks the button of each message; the first (default) button when unset.
    std::function<int(const Alert&)> answer;
    // The answers of the file and folder panels, taken in turn; a panel with none left is cancelled.
    std::deque<std::optional<QStringList>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> saveProfileAnswers;
    std::deque<std::optional<QString>> loadProfileAnswers;
    // What the panels were asked with.
    std::vector<QString> fileStartFolders;
    std::vector<QString> folderPrompts;
    // The proposed name of each profile save panel; one entry per profile open panel.
    std::vector<QString> saveProfileProposals;
    std::vector<QString> loadProfileStartFolders;
    std::vector<QUrl> openedUrls;

private:
    std::shared_ptr<Preferences> preferences_;
};

// The main window with a scripted platform, shown on the offscreen screen.
class WindowFixture
{
public:
    WindowFixture();
    ~WindowFixture();

    // A new window (a new launch) over the same preferences.
    void Relaunch();

    template <typename Widget> Widget* Find(const char* name) const
    {
        auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr)
            throw std::runtime_error(std::string("no widget named ") + name);
        return widget;
    }

    // Writes a solid image file of the given size into the temporary folder; its full path.
    QString MakeImage(const QString& name, int width, int height, QColor color = QColor(0, 0, 255)) const;
    QString TempPath(const QString& name) const;

    // Waits (spinning the event loop) until the condition holds; false after a long timeout.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);

    // Clicks a radio or check box on its indicator.
    static void ClickToggle(QWidget* toggle);
    // Selects a choice list's item by title with the keyboard, as a user would.
    static void ChooseItem(QWidget* combo, const QString& title);
    // Replaces a text field's text by typing.
    static void TypeInto(QWidget* field, const QString& text);
    // Clicks a row of the image table.
    void ClickRow(int row) const;

    std::shared_ptr<ScriptedPlatform::Preferences> preferences = std::make_shared<ScriptedPlatform::Preferences>();
    ScriptedPlatform* platform = nullptr;
    std::unique_ptr<ViewController> window;
    QTemporaryDir temp;
};

} // namespace trimlark
