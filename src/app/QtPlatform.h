#pragma once

#include "app/Platform.h"

#include <QPointer>
#include <QSettings>
#include <QWidget>

namespace trimlark {

// The desktop's messages (QMessageBox), panels (QFileDialog), preferences (QSettings "Trimlark"/"Trimlark")
// and browser (QDesktopServices).
class QtPlatform : public Platform
{
public:
    QtPlatform();

    void SetDialogParent(QWidget* parent) override;
    int ShowAlert(const Alert& alert) override;
    std::optional<QStringList> ChooseImageFiles(const QString& startFolder, const QStringList& extensions) override;
    std::optional<QString> ChooseFolder(const QString& prompt, const QString& startFolder) override;
    std::optional<QString> ChooseProfileToSave(const QString& startFolder, const QString& proposedName) override;
    std::optional<QString> ChooseProfileToLoad(const QString& startFolder) override;
    std::optional<QString> ChooseListToSave(const QString& startFolder, const QString& proposedName) override;
    std::optional<QString> ChooseListToOpen(const QString& startFolder) override;
    std::optional<QString> ChooseColour(const QString& current) override;
    std::optional<QString> ReadPreference(const QString& key) override;
    void WritePreference(const QString& key, const QString& value) override;
    bool OpenUrl(const QUrl& url) override;

private:
    QPointer<QWidget> parent_;
    QSettings settings_;
};

} // namespace trimlark
