#include "app/ProfileDocument.h"

#include "app/ProfileNames.h"
#include "imaging/Codecs.h"
#include "profile/ProfileFile.h"

#include <QFileInfo>
#include <QWidget>

namespace trimlark {

namespace {

const QString kProposedProfileName = QStringLiteral("profile.tlp");

} // namespace

ProfileDocument::ProfileDocument(QWidget& window, Platform& platform, std::function<ProfileContent()> current)
    : window_(window), platform_(platform), current_(std::move(current))
{}

bool ProfileDocument::IsModified() const
{
    return window_.windowTitle().endsWith(QLatin1Char('*'));
}

void ProfileDocument::MarkModified()
{
    if (!IsModified())
        window_.setWindowTitle(window_.windowTitle() + QLatin1Char('*'));
}

void ProfileDocument::SetTitle(const QString& title)
{
    // Qt shows "[*]" as its own modified placeholder; doubled, it is shown as typed.
    QString escaped = title;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    window_.setWindowTitle(escaped);
}

bool ProfileDocument::AskToDiscard(const QString& question)
{
    if (!IsModified())
        return true;
    Alert alert;
    alert.informativeText = question;
    alert.buttons = {tr("Yes"), tr("No")};
    alert.escapeButton = 1; // dismissing the question keeps the changes
    return platform_.ShowAlert(alert) != 1;
}

bool ProfileDocument::MayDiscardChanges()
{
    return AskToDiscard(tr("You have unsaved changes that will be lost. Continue?"));
}

bool ProfileDocument::MayQuit()
{
    quitting_ = MayCloseWindow();
    return quitting_;
}

bool ProfileDocument::MayCloseWindow()
{
    return quitting_ ||
           AskToDiscard(
               tr("You have unsaved changes that will be lost. Are you sure you want to exit the application?"));
}

void ProfileDocument::SetUntitled()
{
    currentProfilePath.clear();
    SetTitle(QString::fromUtf16(kUntitledWindowTitle));
}

QString ProfileDocument::ProfileFolder() const
{
    if (currentProfilePath.empty())
        return {};
    return QFileInfo(QString::fromStdString(currentProfilePath)).absolutePath();
}

void ProfileDocument::ShowWarning(const QString& text)
{
    Alert alert;
    alert.informativeText = text;
    platform_.ShowAlert(alert);
}

std::optional<ProfileContent> ProfileDocument::Load()
{
    if (!MayDiscardChanges())
        return std::nullopt;
    const auto chosen = platform_.ChooseProfileToLoad(ProfileFolder());
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    std::string reason;
    const auto content = LoadProfileFile(chosen->toStdString(), current_(), AvailableFormats(), &reason);
    if (!content) {
        // Save keeps writing to the profile that loaded, never over a file that did not.
        Alert alert;
        alert.messageText = tr("Could not load profile.");
        alert.informativeText = QString::fromStdString(ProfileRefusalSentence(reason));
        platform_.ShowAlert(alert);
        return std::nullopt;
    }
    currentProfilePath = chosen->toStdString();
    SetTitle(ProfileTitle(QString::fromStdString(currentProfilePath)));
    return content;
}

void ProfileDocument::Save()
{
    if (!IsModified())
        return;
    if (currentProfilePath.empty())
        SaveAs();
    else
        Write();
}

void ProfileDocument::SaveAs()
{
    const auto chosen = platform_.ChooseProfileToSave(ProfileFolder(), kProposedProfileName);
    if (!chosen || chosen->isEmpty())
        return;
    // Kept even when the write fails, so that Save tries the same file again.
    currentProfilePath = chosen->toStdString();
    Write();
}

void ProfileDocument::Write()
{
    if (!SaveProfileFile(currentProfilePath, current_(), AvailableFormats())) {
        ShowWarning(tr("Could not save profile."));
        return;
    }
    SetTitle(ProfileTitle(QString::fromStdString(currentProfilePath)));
}

} // namespace trimlark
