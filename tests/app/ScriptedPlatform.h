#pragma once

#include "WidgetTestSupport.h"
#include "app/Platform.h"
#include "app/ViewController.h"

#include <QColor>
#include <QTemporaryDir>
#include <deque>
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
    void WritePreference(const QString& key, const QString& value) override { (*preferences_)[key] = value; }
    void OpenUrl(const QUrl& url) override { openedUrls.push_back(url); }

    // The texts of the messages shown, in order.
    QStringList AlertTexts() const;

    // Every message shown, in order.
    std::vector<Alert> alerts;
    // Picks the button of each message; the first (default) button when unset.
    std::function<int(const Alert&)> answer;
    // The answers of the panels, taken in turn; a panel with none left is cancelled.
    std::deque<std::optional<QStringList>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> saveProfileAnswers;
    std::deque<std::optional<QString>> loadProfileAnswers;
    // What the panels were opened with: the start folder of each image and profile panel, the proposed name
    // of each profile save panel.
    std::vector<QString> fileStartFolders;
    std::vector<QString> saveProfileProposals;
    std::vector<QString> loadProfileStartFolders;
    std::vector<QUrl> openedUrls;

private:
    std::shared_ptr<Preferences> preferences_;
};

// The main window over a scripted platform, shown on the offscreen screen, with a temporary folder.
class WindowFixture : public RatioReset
{
public:
    WindowFixture() { Relaunch(); }
    void TearDown() override
    {
        window.reset();
        RatioReset::TearDown();
    }

    // A new window (a new launch) over the same preferences.
    void Relaunch();

    template <typename Widget = QWidget> Widget* Find(const char* name) const
    {
        auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr)
            throw std::runtime_error(std::string("no widget named ") + name);
        return widget;
    }
    void Click(const char* button) const;
    void Trigger(const char* action) const;
    // Clicks a row of the image table.
    void ClickRow(int row) const;
    QString Title() const { return window->windowTitle(); }

    // A solid image file of the given size in the temporary folder; its full path.
    QString MakeImage(const QString& name, int width, int height, QColor color = QColor(0, 0, 255)) const;
    QString WriteFile(const QString& name, const QByteArray& bytes) const;
    static QByteArray ReadFile(const QString& path);
    QString TempPath(const QString& name) const { return temp.filePath(name); }
    // Files opened with the app from outside.
    static void OpenWith(const QStringList& paths);

    std::shared_ptr<ScriptedPlatform::Preferences> preferences = std::make_shared<ScriptedPlatform::Preferences>();
    ScriptedPlatform* platform = nullptr;
    std::unique_ptr<ViewController> window;
    QTemporaryDir temp;
};

} // namespace trimlark
