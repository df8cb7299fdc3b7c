#include "ScriptedPlatform.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <stdexcept>

namespace trimlark {

int ScriptedPlatform::ShowAlert(const Alert& alert)
{
    alerts.push_back(alert);
    return answer ? answer(alert) : 0;
}

namespace {

// The next scripted panel answer; nothing (a cancelled panel) when the script has run out.
template <typename T>
std::optional<T> TakeAnswer(std::deque<std::optional<T>>& answers)
{
    if (answers.empty())
        return std::nullopt;
    const bool cancelled = !answers.front().has_value();
    T answer = cancelled ? T() : *answers.front();
    answers.pop_front();
    if (cancelled)
        return std::nullopt;
    return answer;
}

} // namespace

std::optional<QStringList> ScriptedPlatform::ChooseImageFiles(const QString& startFolder, const QStringList&)
{
    fileStartFolders.push_back(startFolder);
    return TakeAnswer(fileAnswers);
}

std::optional<QString> ScriptedPlatform::ChooseFolder(const QString& prompt, const QString&)
{
    folderPrompts.push_back(prompt);
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

void ScriptedPlatform::WritePreference(const QString& key, const QString& value)
{
    (*preferences_)[key] = value;
}

WindowFixture::WindowFixture()
{
    Relaunch();
}

WindowFixture::~WindowFixture()
{
    window.reset();
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

QString WindowFixture::MakeImage(const QString& name, int width, int height, QColor color) const
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    const QString path = TempPath(name);
    if (!image.save(path))
        throw std::runtime_error("could not write " + path.toStdString());
    return path;
}

QString WindowFixture::TempPath(const QString& name) const
{
    return temp.filePath(name);
}

bool WindowFixture::WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

void WindowFixture::ClickToggle(QWidget* toggle)
{
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2));
}

void WindowFixture::ChooseItem(QWidget* widget, const QString& title)
{
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (combo == nullptr || combo->findText(title) < 0)
        throw std::runtime_error("no item " + title.toStdString());
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != title; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

void WindowFixture::TypeInto(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void WindowFixture::ClickRow(int row) const
{
    auto* table = Find<QTableView>("tableViewImage");
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace trimlark
