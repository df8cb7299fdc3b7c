#pragma once

#include "app/ImageListModel.h"
#include "app/Platform.h"
#include "settings/CropAdjustment.h"

#include <QCoreApplication>
#include <map>
#include <string>
#include <vector>

namespace trimlark {

// The image list: its paths in list order, the table model that shows them, and the ways files join and leave
// it. A drop between rows is inserted at once and keeps the table's selection; after any other change the owner
// reloads the rows (Model().Reload()) along with whatever depends on them.
class ImageListController
{
    Q_DECLARE_TR_FUNCTIONS(trimlark::ViewController)

public:
    explicit ImageListController(Platform& platform);

    const std::vector<std::string>& Paths() const { return listImagePaths; }
    ImageListModel& Model() { return model_; }

    // The add-images panel, starting in the folder of the first file chosen last time. True when it gave files
    // (they are appended, skipping those listed); a panel that gives none is reported, a cancelled one is not.
    bool AddFromPanel();
    // Files opened with the app from outside: appended when their extension is accepted and not listed yet. Here,
    // in the panel and in a drop, a folder stands for its images (not its subfolders'), sorted by name.
    void AddOpened(const QStringList& paths);
    // The same for paths as the file system spells them (a list file's, whose bytes need not be UTF-8).
    void AddPaths(const std::vector<std::string>& paths);
    // Removes the rows (see RemoveRows) and their adjustments; the row to select next, or -1.
    int RemoveRowsAt(const std::vector<int>& rows);
    // Asks first; true when the list was not empty and the user agreed.
    bool RemoveAll();
    void Clear();

    // The crop adjusted by hand for a listed image; nothing when it has none. Adjustments belong to the list: they
    // leave with their image.
    const CropAdjustment* AdjustmentOf(const std::string& path) const;
    // Sets (or with nothing, removes) the image's adjustment and updates its row.
    void SetAdjustment(const std::string& path, const std::optional<CropAdjustment>& adjustment);
    std::size_t AdjustedCount() const { return adjustments_.size(); }
    void ClearAdjustments();

    // Whether the images or their adjustments differ from the list as last saved or opened (an empty list at
    // first).
    bool ChangedSinceSaved() const { return listImagePaths != saved_.first || adjustments_ != saved_.second; }
    void MarkSaved() { saved_ = {listImagePaths, adjustments_}; }

private:
    void AcceptDrop(int gap, const std::vector<std::string>& paths);

    Platform& platform_;
    void ForgetUnlisted();

    std::vector<std::string> listImagePaths;
    std::map<std::string, CropAdjustment> adjustments_;
    std::pair<std::vector<std::string>, std::map<std::string, CropAdjustment>> saved_;
    ImageListModel model_;
};

} // namespace trimlark
