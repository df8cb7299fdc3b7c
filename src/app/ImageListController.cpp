#include "app/ImageListController.h"

#include "base/PathText.h"
#include "imaging/Codecs.h"
#include "list/ImageListEditing.h"
#include "list/ImageListRules.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace trimlark {

namespace {

const QString kAddImagesKey = QStringLiteral("AddImages");

} // namespace

ImageListController::ImageListController(Platform& platform) : platform_(platform), model_(listImagePaths)
{
    model_.setObjectName(QStringLiteral("imageListModel"));
    model_.SetDropHandler([this](int gap, const std::vector<std::string>& paths) { AcceptDrop(gap, paths); });
    model_.SetAdjustedTest([this](const std::string& path) { return adjustments_.contains(path); });
}

bool ImageListController::AddFromPanel()
{
    const QString start = platform_.ReadPreference(kAddImagesKey).value_or(QString());
    QStringList extensions;
    for (const auto& extension : PanelExtensions(CanReadHeif()))
        extensions << QString::fromStdString(extension);
    const auto chosen = platform_.ChooseImageFiles(start, extensions);
    if (!chosen)
        return false;
    if (chosen->isEmpty()) {
        Alert alert;
        alert.informativeText = tr("The images could not be loaded.");
        platform_.ShowAlert(alert);
        return false;
    }
    platform_.WritePreference(kAddImagesKey, QString::fromStdString(FolderOfPath(chosen->constFirst().toStdString())));
    std::vector<std::string> paths;
    for (const QString& path : *chosen)
        paths.push_back(path.toStdString());
    AddPanelFiles(listImagePaths, ExpandFolders(paths));
    return true;
}

void ImageListController::AddOpened(const QStringList& opened)
{
    std::vector<std::string> paths;
    for (const QString& path : opened)
        paths.push_back(path.toStdString());
    AddPaths(paths);
}

void ImageListController::AddPaths(const std::vector<std::string>& paths)
{
    AddOpenedFiles(listImagePaths, ExpandFolders(paths));
}

int ImageListController::RemoveRowsAt(const std::vector<int>& rows)
{
    const int next = RemoveRows(listImagePaths, rows);
    ForgetUnlisted();
    return next;
}

void ImageListController::Clear()
{
    listImagePaths.clear();
    adjustments_.clear();
}

const CropAdjustment* ImageListController::AdjustmentOf(const std::string& path) const
{
    const auto it = adjustments_.find(path);
    return it == adjustments_.end() ? nullptr : &it->second;
}

void ImageListController::SetAdjustment(const std::string& path, const std::optional<CropAdjustment>& adjustment)
{
    if (adjustment)
        adjustments_[path] = *adjustment;
    else
        adjustments_.erase(path);
    const auto row = std::find(listImagePaths.begin(), listImagePaths.end(), path) - listImagePaths.begin();
    model_.RowChanged(static_cast<int>(row));
}

void ImageListController::ClearAdjustments()
{
    adjustments_.clear();
    model_.Reload();
}

void ImageListController::ForgetUnlisted()
{
    if (adjustments_.empty())
        return;
    const std::set<std::string> listed(listImagePaths.begin(), listImagePaths.end());
    std::erase_if(adjustments_, [&listed](const auto& entry) { return !listed.contains(entry.first); });
}

bool ImageListController::RemoveAll()
{
    if (listImagePaths.empty())
        return false;
    Alert question;
    question.informativeText = tr("Are you sure you want to remove all the images from the list?");
    question.buttons = {tr("Yes"), tr("No")};
    question.escapeButton = 1;
    if (platform_.ShowAlert(question) != 0)
        return false;
    Clear();
    return true;
}

void ImageListController::AcceptDrop(int gap, const std::vector<std::string>& paths)
{
    const auto accepted = SelectDroppedFiles(listImagePaths, ExpandFolders(paths), [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(path, error);
    });
    if (accepted.empty())
        return;
    model_.BeginInsert(gap, static_cast<int>(accepted.size()));
    listImagePaths.insert(listImagePaths.begin() + gap, accepted.begin(), accepted.end());
    model_.EndInsert();
}

} // namespace trimlark
