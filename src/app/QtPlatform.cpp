#include "app/QtPlatform.h"

#include "app/ProfileNames.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace trimlark {

QtPlatform::QtPlatform() : settings_(QStringLiteral("Trimlark"), QStringLiteral("Trimlark")) {}

void QtPlatform::SetDialogParent(QWidget* parent)
{
    parent_ = parent;
}

int QtPlatform::ShowAlert(const Alert& alert)
{
    QMessageBox box(parent_);
    box.setWindowTitle(QStringLiteral("Trimlark"));
    switch (alert.style) {
    case AlertStyle::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case AlertStyle::Informational:
        box.setIcon(QMessageBox::Information);
        break;
    case AlertStyle::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    box.setDetailedText(alert.detailedText);
    std::vector<QPushButton*> buttons;
    for (const auto& title : alert.buttons) {
        // ActionRole keeps the buttons in the order they were added, whatever the desktop's button layout.
        buttons.push_back(box.addButton(title, QMessageBox::ActionRole));
    }
    if (!buttons.empty()) {
        if (alert.defaultButton >= 0 && alert.defaultButton < static_cast<int>(buttons.size()))
            box.setDefaultButton(buttons[static_cast<std::size_t>(alert.defaultButton)]);
        if (alert.escapeButton >= 0 && alert.escapeButton < static_cast<int>(buttons.size()))
            box.setEscapeButton(buttons[static_cast<std::size_t>(alert.escapeButton)]);
    }
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i])
            return static_cast<int>(i);
    }
    return alert.escapeButton;
}

namespace {

// The add-images panel, which also gives folders: Open on a selection that holds a folder returns it, where the
// usual panel would go into it (a double click still does). The list then takes the folder's images.
class FilesAndFoldersDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override
    {
        const QStringList chosen = selectedFiles();
        const bool allExist =
            std::all_of(chosen.begin(), chosen.end(), [](const QString& p) { return QFileInfo::exists(p); });
        const bool hasFolder =
            std::any_of(chosen.begin(), chosen.end(), [](const QString& p) { return QFileInfo(p).isDir(); });
        if (!chosen.isEmpty() && allExist && hasFolder)
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

std::optional<QStringList> QtPlatform::ChooseImageFiles(const QString& startFolder, const QStringList& extensions)
{
    QStringList patterns;
    for (const auto& extension : extensions)
        patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
    FilesAndFoldersDialog dialog(parent_, QStringLiteral("Add Images"), startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly); // no new folders from this panel
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFiles();
}

std::optional<QString> QtPlatform::ChooseFolder(const QString& prompt, const QString& startFolder)
{
    QFileDialog dialog(parent_, prompt, startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::ReadOnly); // no new folders from this panel
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

namespace {

const QString kProfileFilter = QStringLiteral("Trimlark profiles (*.tlp *.TLP)");

} // namespace

std::optional<QString> QtPlatform::ChooseProfileToSave(const QString& startFolder, const QString& proposedName)
{
    QFileDialog dialog(parent_, QStringLiteral("Save Profile"), startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(kProfileFilter);
    dialog.setDefaultSuffix(QStringLiteral("tlp"));
    dialog.selectFile(proposedName);
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString chosen = dialog.selectedFiles().constFirst();
        const QString path = WithProfileExtension(chosen);
        // The dialog asked about replacing the name as it stood ("plan.v2"); the name that gained the
        // extension here is asked about before anything is replaced.
        if (path == chosen || !QFileInfo::exists(path))
            return path;
        const auto answer = QMessageBox::question(
            parent_, QStringLiteral("Trimlark"),
            QStringLiteral("%1 already exists. Do you want to replace it?").arg(QDir::toNativeSeparators(path)));
        if (answer == QMessageBox::Yes)
            return path;
    }
    return std::nullopt;
}

std::optional<QString> QtPlatform::ChooseListToSave(const QString& startFolder, const QString& proposedName)
{
    QFileDialog dialog(parent_, QStringLiteral("Save List"), startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Image lists (*.jsonl)"));
    dialog.setDefaultSuffix(QStringLiteral("jsonl"));
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtPlatform::ChooseListToOpen(const QString& startFolder)
{
    QFileDialog dialog(parent_, QStringLiteral("Open List"), startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Image lists (*.jsonl);;All files (*)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtPlatform::ChooseColour(const QString& current)
{
    const QColor chosen = QColorDialog::getColor(QColor::fromString(current), parent_, QStringLiteral("Fill Colour"));
    if (!chosen.isValid())
        return std::nullopt;
    return chosen.name(QColor::HexRgb);
}

std::optional<QString> QtPlatform::ChooseProfileToLoad(const QString& startFolder)
{
    QFileDialog dialog(parent_, QStringLiteral("Load Profile"), startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly); // no new folders from this panel
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(kProfileFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtPlatform::ReadPreference(const QString& key)
{
    const QVariant value = settings_.value(key);
    if (!value.isValid() || !value.canConvert<QString>())
        return std::nullopt;
    return value.toString();
}

void QtPlatform::WritePreference(const QString& key, const QString& value)
{
    settings_.setValue(key, value);
    settings_.sync();
}

bool QtPlatform::OpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace trimlark
