#pragma once

#include "WidgetTestSupport.h"
#include "app/NotificationCenter.h"
#include "app/Platform.h"
#include "app/ViewController.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

namespace trimlark {

using Preferences = QMap<QString, QString>;

// Answers the window's messages and panels from a script and keeps preferences in memory.
class ScriptedPlatform : public Platform
{
public:
    using Path = std::optional<QString>;
    using Paths = std::optional<QStringList>;

    explicit ScriptedPlatform(std::shared_ptr<Preferences> store) : preferences(std::move(store)) {}

    void SetDialogParent(QWidget*) override {}
    int ShowAlert(const Alert& alert) override
    {
        alerts.push_back(alert);
        alertTexts << (alert.messageText.isEmpty() ? alert.informativeText
                                                   : alert.messageText + " " + alert.informativeText);
        return answer ? answer(alert) : alert.defaultButton;
    }
    Paths ChooseImageFiles(const QString& start, const QStringList&) override { return Panel("images " + start); }
    Path ChooseFolder(const QString&, const QString&) override { return First(Panel("folder")); }
    Path ChooseProfileToSave(const QString&, const QString& name) override { return First(Panel("save " + name)); }
    Path ChooseProfileToLoad(const QString& start) override { return First(Panel("load " + start)); }
    Path ChooseListToSave(const QString&, const QString& name) override { return First(Panel("save list " + name)); }
    Path ChooseListToOpen(const QString&) override { return First(Panel("open list")); }
    Path ChooseColour(const QString& current) override { return First(Panel("colour " + current)); }
    Path ReadPreference(const QString& key) override
    {
        return preferences->contains(key) ? preferences->value(key) : Path();
    }
    void WritePreference(const QString& key, const QString& value) override { (*preferences)[key] = value; }
    bool OpenUrl(const QUrl& url) override
    {
        openedUrls.push_back(url);
        return opens;
    }

    void ClearAlerts() { alerts.clear(), alertTexts.clear(); }

    std::vector<Alert> alerts;
    QStringList alertTexts;
    // Picks the button of each message; the default button when unset.
    std::function<int(const Alert&)> answer;
    bool opens = true; // whether the desktop has a program for the addresses OpenUrl is given
    // The panels' answers in the order the panels open; a panel with none left is cancelled.
    QList<Paths> panelAnswers;
    // Each panel opened, with what it was opened with: "images <folder>", "folder", "save <name>", "load <folder>",
    // "save list <name>", "open list", "colour <current>".
    QStringList panels;
    std::vector<QUrl> openedUrls;
    std::shared_ptr<Preferences> preferences;

private:
    Paths Panel(const QString& opened)
    {
        panels << opened;
        return panelAnswers.isEmpty() ? std::nullopt : panelAnswers.takeFirst();
    }
    static Path First(const Paths& chosen) { return chosen ? Path(chosen->value(0)) : Path(); }
};

// The main window over a scripted platform, shown on the offscreen screen, with a temporary folder.
class WindowFixture : public RatioReset
{
public:
    WindowFixture() { Relaunch(); }

    // A new window (a new launch) over the same preferences.
    void Relaunch()
    {
        window.reset();
        auto scripted = std::make_unique<ScriptedPlatform>(preferences);
        platform = scripted.get();
        window = std::make_unique<ViewController>(std::move(scripted));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename Widget = QWidget> Widget* Find(const QString& name) const
    {
        if (auto* widget = window->findChild<Widget*>(name))
            return widget;
        throw std::runtime_error("no widget named " + name.toStdString());
    }
    QString Text(const QString& name) const { return Find(name)->property("text").toString(); }
    QString OutputLabels() const
    {
        return Text("labelOutputDimensionsWidth") + ", " + Text("labelOutputDimensionsHeight");
    }
    // The title as the window system shows it.
    QString Title() const { return window->windowHandle()->title(); }

    void Click(const QString& button) const { Find<QAbstractButton>(button)->click(); }
    void Trigger(const QString& action) const { Find<QAction>(action)->trigger(); }
    // Clicks a button or triggers an action (by name) whose panel answers with path.
    void UseWith(const QString& name, const QString& path) const
    {
        platform->panelAnswers << QStringList{path};
        name.startsWith("action") ? Trigger(name) : Click(name);
    }
    void ChooseCorner(const char* corner = "Top Right") const { ChooseItem(Find("comboOriginCorner"), corner); }
    void ClickRow(int row) const
    {
        auto* table = Find<QTableView>("tableViewImage");
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, 0)).center());
    }
    // Waits until the latest preview is shown; false when none came.
    bool PreviewShown() const
    {
        return QTest::qWaitFor([&] { return !window->IsCropPreviewPending(); });
    }

    // A solid blue image file in the temporary folder; its full path.
    QString MakeImage(const QString& name, int width, int height) const
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::blue);
        return image.save(TempPath(name)) ? TempPath(name) : QString();
    }
    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        QFile file(TempPath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    }
    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString TempPath(const QString& name) const { return temp.filePath(name); }
    // Files opened with the app from outside.
    static void OpenWith(const QStringList& paths) { Q_EMIT NotificationCenter::Default().openWith(paths); }

    std::shared_ptr<Preferences> preferences = std::make_shared<Preferences>();
    ScriptedPlatform* platform = nullptr;
    std::unique_ptr<ViewController> window;
    QTemporaryDir temp;
};

} // namespace trimlark
