#include "ScriptedPlatform.h"

#include "app/NotificationCenter.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTableView>

namespace trimlark {

namespace {

// The next scripted panel answer; nothing (a cancelled panel) when the script has run out.
template <typename T> std::optional<T> TakeAnswer(std::deque<std::optional<T>>& answers)
{
    if (answers.empty() || !answers.front()) {
        if (!answers.empty())
            answers.pop_front();
        return std::nullopt;
    }
    T answer = *answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

int ScriptedPlatform::ShowAlert(const Alert& alert)
{
    alerts.push_back(alert);
    return answer ? answer(alert) : 0;
}

QStringList ScriptedPlatform::AlertTexts() const
{
    QStringList texts;
    for (const Alert& alert : alerts)
        texts << alert.informativeText;
    return texts;
}

std::optional<QStringList> ScriptedPlatform::ChooseImageFiles(const QString& startFolder, const QStringList&)
{
    fileStartFolders.push_back(startFolder);
    return TakeAnswer(fileAnswers);
}

std::optional<QString> ScriptedPlatform::ChooseFolder(const QString&, const QString&)
{
    return TakeAnswer(folderAnswers);
}

std::optional<QString> ScriptedPlatform::ChooseProfileToSave(const QString&, const QString& proposedName)
{
    saveProfileProposals.push_back(proposedName);
    return TakeAnswer(saveProfileAnswers);
}

std::optional<QString> ScriptedPlatform::ChooseProfileToLoad(const QString& startFolder)
{
    loadProfileStartFolders.push_back(startFolder);
    return TakeAnswer(loadProfileAnswers);
}

std::optional<QString> ScriptedPlatform::ReadPreference(const QString& key)
{
    const auto found = preferences_->find(key);
    if (found == preferences_->end())
        return std::nullopt;
    return found->second;
}

void WindowFixture::Relaunch()
{
    window.reset();
    auto scripted = std::make_unique<ScriptedPlatform>(preferences);
    platform = scripted.get();
    window = std::make_unique<ViewController>(std::move(scripted));
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        throw std::runtime_error("the window was not shown");
}

void WindowFixture::Click(const char* button) const
{
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
}

void WindowFixture::Trigger(const char* action) const
{
    window->findChild<QAction*>(action)->trigger();
}

void WindowFixture::ClickRow(int row) const
{
    auto* table = Find<QTableView>("tableViewImage");
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

QString WindowFixture::MakeImage(const QString& name, int width, int height, QColor color) const
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    const QString path = TempPath(name);
    if (!image.save(path))
        throw std::runtime_error("could not write " + path.toStdString());
    return path;
}

QString WindowFixture::WriteFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = TempPath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("could not write " + path.toStdString());
    return path;
}

QByteArray WindowFixture::ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WindowFixture::OpenWith(const QStringList& paths)
{
    Q_EMIT NotificationCenter::Default().openWith(paths);
}

} // namespace trimlark
