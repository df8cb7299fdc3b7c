#pragma once

#include "app/CropPreviewController.h"
#include "app/CropRunController.h"
#include "app/CropSettingsBinding.h"
#include "app/ImageListController.h"
#include "app/MainWindowLayout.h"
#include "app/Platform.h"
#include "app/ProfileDocument.h"
#include "app/RatePrompt.h"
#include "app/ShownCrop.h"
#include "customratio/CustomRatioWindowController.h"
#include "imaging/ImageTools.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <QMainWindow>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace trimlark {

struct CropPlan;

// The main window: the image list, the crop and output settings, the crop preview and the crop run. It wires
// its controls (see MainWindowLayout) to the parts that do the work. Every control's objectName is its member name.
class ViewController : public QMainWindow, private MainWindowLayout
{
    Q_OBJECT

public:
    // The image of the selected row: its path and pixel size (read from the file's header); empty when none.
    struct CurrentImage
    {
        std::string path;
        PixelSize size;
        std::optional<LosslessJpegLayout> jpeg; // what a lossless crop needs of a JPEG; nothing for others
    };

    explicit ViewController(std::unique_ptr<Platform> platform, QWidget* parent = nullptr);
    ~ViewController() override;

    // The settings as the controls hold them.
    CropSettings GetCropSettings() const;
    // Writes every setting into its control, with the quality label and the slider rule; runs no action,
    // refreshes nothing and marks nothing modified.
    void SetCropSettings(const CropSettings& settings);

    const std::vector<std::string>& ListImagePaths() const { return imageList_.Paths(); }
    const CurrentImage& GetCurrentImage() const { return currentImage; }
    bool RateMessageShown() const { return ratePrompt_.RateMessageShown(); }
    bool IsBusy() const { return busy_; }
    // Whether the latest preview request has not been shown yet.
    bool IsCropPreviewPending() const { return preview_.IsPending(); }

    // The path of the profile the settings belong to; empty when none. Save writes here without a panel.
    const std::string& CurrentProfilePath() const { return document_.CurrentProfilePath(); }
    // Whether the settings changed since the last New, save or load: the window title ends in "*".
    bool IsModified() const { return document_.IsModified(); }
    // Writes the settings and the custom ratio to the profile's path (not empty) as one complete file; the old
    // file stays until the new one is complete. Success gives the profile title (clearing the "*"); a failure
    // is reported and leaves the title as it was.
    void WriteProfile() { document_.Write(); }

    // The custom aspect-ratio window's controller; its window exists only while it is open.
    CustomAspectRatioWindowController* CustomAspectRatioWindow() const { return windowControllerCustomAspectRatio; }

    static QUrl VideoTutorialUrl() { return QUrl(QStringLiteral("https://trimlark.org/tutorial")); }
    static QUrl ReviewUrl() { return QUrl(QStringLiteral("https://trimlark.org/review")); }

public Q_SLOTS:
    // Settings actions: own effect, then the preview where the crop changes, then the modified mark.
    void OnAutoCropSelected() { SelectCropKind(radioAutoCrop); }
    void OnCustomCropSelected() { SelectCropKind(radioCustomCrop); }
    void OnTrimBordersSelected() { SelectCropKind(radioTrimBorders); }
    void OnCustomCropPixelsSelected() { SelectRadio(radioCustomCropPixels, radioCustomCropPercents); }
    void OnCustomCropPercentsSelected() { SelectRadio(radioCustomCropPercents, radioCustomCropPixels); }
    void OnAutoCropFormatSelected();
    void OnOriginCornerSelected() { CropSettingChanged(); }
    void OnAutoCropPositionSelected() { CropSettingChanged(); }
    void OnCustomCropPixelsOriginXChanged() { CropSettingChanged(); }
    void OnCustomCropPixelsOriginYChanged() { CropSettingChanged(); }
    void OnCustomCropPixelsWidthChanged() { CropSettingChanged(); }
    void OnCustomCropPixelsHeightChanged() { CropSettingChanged(); }
    // Typing a percent changes what the run writes and what a profile stores, as its stepper does.
    void OnCustomCropPercentsOriginXChanged() { CropSettingChanged(); }
    void OnCustomCropPercentsOriginYChanged() { CropSettingChanged(); }
    void OnCustomCropPercentsWidthChanged() { CropSettingChanged(); }
    void OnCustomCropPercentsHeightChanged() { CropSettingChanged(); }
    void OnStepperCustomCropPercentsOriginXChanged()
    {
        StepperChanged(stepperCustomCropPercentsOriginX, textFieldCustomCropPercentsOriginX);
    }
    void OnStepperCustomCropPercentsOriginYChanged()
    {
        StepperChanged(stepperCustomCropPercentsOriginY, textFieldCustomCropPercentsOriginY);
    }
    void OnStepperCustomCropPercentsWidthChanged()
    {
        StepperChanged(stepperCustomCropPercentsWidth, textFieldCustomCropPercentsWidth);
    }
    void OnStepperCustomCropPercentsHeightChanged()
    {
        StepperChanged(stepperCustomCropPercentsHeight, textFieldCustomCropPercentsHeight);
    }
    void OnFormatSelected();
    void OnQualityChanged();
    void OnNameChanged() { MarkModified(); }
    void OnBrowse();

    // The image list.
    void OnAddImages();
    void OnRemoveSelected();
    void OnRemoveAll();
    // Files opened with the app from outside: appended when their extension is accepted and not listed yet.
    void openData(const QStringList& paths);
    // The list shows as thumbnails (true) or as rows; the selection is the same in both.
    void OnShowAsGrid(bool grid);

    // Selection and preview.
    void LoadSelectedImage();
    // Labels at once; the preview is drawn off the GUI thread and shown when it is still the latest request.
    void UpdateCropPreview();
    void ReloadImageList();
    void UpdateDimensionLabels(const CropPlan& plan);
    // The crop of the selected image dragged or moved by keys in the preview (fractions of the picture): it becomes
    // the image's adjustment.
    void OnCropChanged(const QRectF& crop);
    // The selected image gets the shared crop again.
    void OnResetCrop();
    // Every image gets the shared crop again, after a question.
    void OnResetAllAdjustments();
    // The list of images with their adjustments, from and to a list file.
    void OnOpenList();
    void OnSaveList();
    // Sets (or with nothing, removes) a listed image's adjustment, as a drag in the preview would.
    void SetAdjustment(const std::string& path, const std::optional<CropAdjustment>& adjustment);

    // The crop run.
    void OnCropImages();
    void DisableControls();
    void EnableControls();
    // Stop: no further image starts; the images in progress are finished and written whole.
    void OnStopCropping();
    // The run report: the result message with the counts, each failed file with its reason, and a way to the
    // output folder.
    void CropImagesFinished(const CropRunResult& result);

    // Every setting back to its default; the list emptied. Marks nothing modified.
    void ResetToDefaults();
    // Appends the unsaved-changes mark "*" to the window title, unless it ends in one already.
    void MarkModified() { document_.MarkModified(); }

    // Profile commands. New, Load, Quit and closing the window ask first when there are unsaved changes.
    void OnFileNew();
    void OnLoadProfile();
    // Does nothing without unsaved changes; writes at once when the profile has a path, else asks for one.
    void OnSaveProfile() { document_.Save(); }
    void OnSaveProfileAs() { document_.SaveAs(); }

    void OnVideoTutorial() { platform_->OpenUrl(VideoTutorialUrl()); }
    void OnAppQuit();

    // Shows the window in front of the others (files were opened with the app): a minimised window is restored,
    // a maximised or full-screen one stays so.
    void BringForward();

Q_SIGNALS:
    // The run's completion has shown its messages.
    void cropRunFinished(bool allImagesCropped);
    // The window agreed to close; the app ends with it.
    void windowClosed();
    // Quit was chosen and agreed to; the app ends.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

    // Whether the window may close / the app may quit now (the place for the unsaved-changes question).
    bool WindowShouldClose();
    bool ApplicationShouldTerminate();
    // Opens the custom aspect-ratio window, or brings it forward when it is open.
    void ShowCustomAspectRatioWindow() { windowControllerCustomAspectRatio->Show(); }

private:
    void ConnectActions();
    // The grid over the table's model and selection, its thumbnails' crops and its actions.
    void SetUpGrid();
    // The crop shown for an image (in the preview and on its thumbnail) under the settings and its adjustment.
    ShownCropRequest CropRequestOf(const std::string& path, PixelSize size,
                                   const std::optional<LosslessJpegLayout>& jpeg) const;
    void ApplyQualitySliderRule();
    // The size group shows the fields of the size chosen; a size turns the lossless box off and, where it has a
    // shape, gives the automatic crop its ratio.
    void ApplySizeRule();
    void OnSizeChanged();
    // A setting that moves the crop changed: the preview and labels, then the modified mark.
    void CropSettingChanged();
    // One radio of a pair was clicked: it is on and its partner off, whatever their state before.
    void SelectRadio(QRadioButton* chosen, QRadioButton* partner);
    // One of the automatic, custom and trim crops, the others off.
    void SelectCropKind(QRadioButton* chosen);
    // A stepper click: its value into its text field, then the preview and the modified mark.
    void StepperChanged(const Stepper* stepper, QLineEdit* field);
    void SetProgress(double value);
    // The one place that enables and disables the controls a run locks.
    void SetControlsEnabled(bool enabled);
    // No image selected: no preview, zero sizes.
    void ClearCurrentImage();
    // Whether a list's changes not saved in its file may be lost: true when nothing is at stake (no list file and no
    // adjustment, or no change since it was saved), or the user agrees.
    bool MayDiscardList();
    void ClearCropPreview() { preview_.Clear(); }
    int ShowMessage(AlertStyle style, const QString& text);
    // Before a run: a missing output folder is made once the user agrees; one that cannot be used or made is
    // said. Whether the run may start.
    bool PrepareOutputFolder(const std::string& folder);
    // Quit or closing the window while a run works: whether to stop it after the images in progress and then end.
    // Unsaved settings are asked about before the run is stopped.
    bool AskToStopRun(bool closingWindow);

    std::unique_ptr<Platform> platform_;

    // State.
    CurrentImage currentImage;
    // What the border trim found, by file and values, for the preview's workers.
    class TrimFindings
    {
    public:
        std::optional<PixelRect> Get(const std::string& path, int tolerance, int margin);

    private:
        std::mutex mutex_;
        std::map<std::tuple<std::string, int, int>, std::optional<PixelRect>> found_;
    };
    std::shared_ptr<TrimFindings> trimFound_ = std::make_shared<TrimFindings>();
    std::string listPath_; // the list file last opened or saved
    DataProvider& dataProvider;
    bool busy_ = false;
    // Quit or closing the window came during a run and the user chose to stop: the app ends with the run.
    bool quitAfterRun_ = false;
    std::string runOutputFolder_;
    CustomAspectRatioWindowController* windowControllerCustomAspectRatio = nullptr;

    CropSettingsBinding settingsBinding_;
    ProfileDocument document_;
    ImageListController imageList_;
    RatePrompt ratePrompt_;
    // Declared last so that they are destroyed first: their destructors wait for work that posts back to them.
    CropPreviewController preview_;
    CropRunController run_;
};

} // namespace trimlark
