#pragma once

#include "WidgetTestSupport.h"
#include "app/NotificationCenter.h"
#include "app/Platform.h"
#include "app/ViewController.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QImage>
#include <QTableView>
#include <QTemporaryDir>
#include <deque>
#include <map>

namespace trimlark {

using Preferences = std::map<QString, QString>;

// Answers the window's messages and panels from a script and keeps preferences in memory.
class ScriptedPlatform : public Platform
{
public:
    explicit ScriptedPlatform(std::shared_ptr<Preferences> store) : preferences(std::move(store)) {}

    void SetDialogParent(QWidget*) override {}
    int ShowAlert(const Alert& alert) override
    {
        alerts.push_back(alert);
        return answer ? answer(alert) : 0;
    }
    std::optional<QStringList> ChooseImageFiles(const QString& start, const QStringList&) override
    {
        return Panel("images " + start);
    }
    std::optional<QString> ChooseFolder(const QString&, const QString&) override { return First(Panel("folder")); }
    std::optional<QString> ChooseProfileToSave(const QString&, const QString& name) override
    {
        return First(Panel("save " + name));
    }
    std::optional<QString> ChooseProfileToLoad(const QString& start) override { return First(Panel("load " + start)); }
    std::optional<QString> ReadPreference(const QString& key) override
    {
        return preferences->contains(key) ? std::optional(preferences->at(key)) : std::nullopt;
    }
    void WritePreference(const QString& key, const QString& value) override { (*preferences)[key] = value; }
    void OpenUrl(const QUrl& url) override { openedUrls.push_back(url); }

    QStringList AlertTexts() const
    {
        QStringList texts;
        for (const Alert& alert : alerts)
            texts << alert.informativeText;
        return texts;
    }

    std::vector<Alert> alerts;
    // Picks the button of each message; the first (default) button when unset.
    std::function<int(const Alert&)> answer;
    // The panels' answers in the order the panels open; a panel with none left is cancelled.
    std::deque<std::optional<QStringList>> panelAnswers;
    // Each panel opened, with what it was opened with: "images <folder>", "folder", "save <name>", "load <folder>".
    QStringList panels;
    std::vector<QUrl> openedUrls;
    std::shared_ptr<Preferences> preferences;

private:
    std::optional<QStringList> Panel(const QString& opened)
    {
        panels << opened;
        if (panelAnswers.empty())
            return std::nullopt;
        const std::optional<QStringList> chosen = panelAnswers.front();
        panelAnswers.pop_front();
        return chosen;
    }
    static std::optional<QString> First(const std::optional<QStringList>& chosen)
    {
        return chosen ? std::optional(chosen->value(0)) : std::nullopt;
    }
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
        auto* widget = window->findChild<Widget*>(name);
        if (widget == nullptr)
            throw std::runtime_error("no widget named " + name.toStdString());
        return widget;
    }
    // The text a field, label or button shows.
    QString Text(const QString& name) const { return Find(name)->property("text").toString(); }
    QStringList DimensionLabels() const
    {
        QStringList texts;
        for (const char* name : {"labelOriginalDimensionsWidth", "labelOriginalDimensionsHeight",
                                 "labelOutputDimensionsWidth", "labelOutputDimensionsHeight"})
            texts << Text(name);
        return texts;
    }
    QString Title() const { return window->windowTitle(); }

    void Click(const QString& button) const { Find<QAbstractButton>(button)->click(); }
    void Trigger(const char* action) const { window->findChild<QAction*>(action)->trigger(); }
    // The up arrow of a percent's stepper: term is "OriginX", "OriginY", "Width" or "Height".
    void StepUp(const QString& term) const
    {
        Find("stepperCustomCropPercents" + term)->findChild<QAbstractButton*>("buttonUp")->click();
    }
    void Browse(const QString& folder) const
    {
        platform->panelAnswers.push_back(QStringList{folder});
        Click("buttonBrowse");
    }
    void ClickRow(int row) const
    {
        auto* table = Find<QTableView>("tableViewImage");
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, 0)).center());
    }
    // Waits until the latest preview is shown; false when none came.
    bool PreviewShown() const
    {
        return QTest::qWaitFor([&] { return !window->IsCropPreviewPending(); }, 30000);
    }

    // A solid image file in the temporary folder; its full path.
    QString MakeImage(const QString& name, int width, int height, QColor color = Qt::blue) const
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(color);
        image.save(TempPath(name));
        return TempPath(name);
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
