#pragma once

#include "app/Platform.h"
#include "customratio/CustomAspectRatioWindowController.h"
#include "imaging/ImageTools.h"
#include "settings/CropGeometry.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <QImage>
#include <QMainWindow>
#include <QSize>
#include <QThreadPool>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace trimlark {

class CropPreviewView;
class ImageListModel;
class ImageTableView;
class QualitySlider;
class Stepper;

// The main window: the image list, the crop and output settings, the crop preview and the crop run.
// Every control's objectName is its member name.
class ViewController : public QMainWindow
{
    Q_OBJECT

public:
    // The image of the selected row: its path and pixel size (read from the file's header); empty when none.
    struct CurrentImage
    {
        std::string path;
        PixelSize size;
    };

    explicit ViewController(std::unique_ptr<Platform> platform, QWidget* parent = nullptr);
    ~ViewController() override;

    // The settings as the controls hold them.
    CropSettings GetCropSettings() const;
    // Writes every setting into its control, with the quality label and the slider rule; runs no action,
    // refreshes nothing and marks nothing modified.
    void SetCropSettings(const CropSettings& settings);

    const std::vector<std::string>& ListImagePaths() const { return listImagePaths; }
    const CurrentImage& GetCurrentImage() const { return currentImage; }
    bool RateMessageShown() const { return rateMessageShown; }
    bool IsBusy() const { return busy_; }
    // Whether the latest preview request has not been shown yet.
    bool IsCropPreviewPending() const { return shownPreviewRequest_ != previewRequest_; }

    // The path of the profile the settings belong to; empty when none. Save writes here without a panel.
    std::string currentProfilePath;

    // Whether the settings changed since the last New, save or load: the window title ends in "*".
    bool IsModified() const;
    // Writes the settings and the custom ratio to currentProfilePath (not empty) as one complete file; the old
    // file stays until the new one is complete. Success gives the profile title (clearing the "*"); a failure
    // is reported and leaves the title as it was.
    void WriteProfile();

    // The custom aspect-ratio window's controller; its window exists only while it is open.
    CustomAspectRatioWindowController* CustomAspectRatioWindow() const { return windowControllerCustomAspectRatio; }

    static const QUrl& VideoTutorialUrl();
    static const QUrl& ReviewUrl();

public Q_SLOTS:
    // Settings actions: own effect, then the preview where the crop changes, then the modified mark.
    void OnAutoCropSelected();
    void OnCustomCropSelected();
    void OnCustomCropPixelsSelected();
    void OnCustomCropPercentsSelected();
    void OnAutoCropFormatSelected();
    void OnOriginCornerSelected();
    void OnCustomCropPixelsOriginXChanged();
    void OnCustomCropPixelsOriginYChanged();
    void OnCustomCropPixelsWidthChanged();
    void OnCustomCropPixelsHeightChanged();
    void OnCustomCropPercentsOriginXChanged();
    void OnCustomCropPercentsOriginYChanged();
    void OnCustomCropPercentsWidthChanged();
    void OnCustomCropPercentsHeightChanged();
    void OnStepperCustomCropPercentsOriginXChanged();
    void OnStepperCustomCropPercentsOriginYChanged();
    void OnStepperCustomCropPercentsWidthChanged();
    void OnStepperCustomCropPercentsHeightChanged();
    void OnFormatSelected();
    void OnQualityChanged();
    void OnNameChanged();
    void OnBrowse();

    // The image list.
    void OnAddImages();
    void OnRemoveSelected();
    void OnRemoveAll();
    // Files opened with the app from outside: appended when their extension is accepted and not listed yet.
    void openData(const QStringList& paths);

    // Selection and preview.
    void LoadSelectedImage();
    // Labels at once; the preview is drawn off the GUI thread and shown when it is still the latest request.
    void UpdateCropPreview();
    void ReloadImageList();
    void UpdateDimensionLabels();

    // The crop run.
    void OnCropImages();
    void DisableControls();
    void EnableControls();
    void CropImagesFinished(bool allImagesCropped);

    // Every setting back to its default; the list emptied. Marks nothing modified.
    void ResetToDefaults();
    // Appends the unsaved-changes mark "*" to the window title, unless it ends in one already.
    void MarkModified();

    // Profile commands. New, Load, Quit and closing the window ask first when there are unsaved changes.
    void OnFileNew();
    void OnLoadProfile();
    // Does nothing without unsaved changes; writes at once when the profile has a path, else asks for one.
    void OnSaveProfile();
    void OnSaveProfileAs();

    void OnVideoTutorial();
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
    void ShowCustomAspectRatioWindow();

private:
    void BuildLayout();
    void BuildMenus();
    void ConnectActions();
    void FillChoiceLists();
    void ApplyQualitySliderRule();
    // A stepper click: its value into its text field, then the preview and the modified mark.
    void StepperChanged(const Stepper& stepper, QLineEdit& field);
    void SetProgress(double value);
    void SetControlsEnabled(bool enabled);
    void ClearCurrentImage();
    void ClearCropPreview();
    void RequestCropPreview(const Rect& rect, int originCorner);
    void ShowCropPreview(quint64 request, const QImage& image, const std::string& path, QSize target,
                         const std::shared_ptr<const RgbaBitmap>& source);
    void AcceptDrop(int gap, const std::vector<std::string>& paths);
    void ShowRateMessage();
    int ShowMessage(AlertStyle style, const QString& text);
    // The unsaved-changes question when there are unsaved changes; false when the user answers "No".
    bool MayDiscardChanges(const QString& question);
    // Sets the title as given; a "[*]" in a profile's name is shown as it is, not as Qt's modified placeholder.
    void SetTitle(const QString& title);
    QString ProfileFolder() const;

    std::unique_ptr<Platform> platform_;

    // State.
    std::vector<std::string> listImagePaths;
    CurrentImage currentImage;
    DataProvider& dataProvider;
    bool rateMessageShown = false;
    bool busy_ = false;
    // Set once Quit was agreed to, so the windows closing on the way out ask nothing more.
    bool quitting_ = false;
    CustomAspectRatioWindowController* windowControllerCustomAspectRatio = nullptr;

    // The last decoded preview picture: reused while the image and the view's size stay the same.
    struct PreviewSource
    {
        std::string path;
        QSize target;
        std::shared_ptr<const RgbaBitmap> bitmap;
    };
    PreviewSource previewSource_;
    quint64 previewRequest_ = 0;
    quint64 shownPreviewRequest_ = 0;
    QTimer* previewResizeTimer_ = nullptr;

    // Controls.
    QTabWidget* tabView = nullptr;
    QRadioButton* radioAutoCrop = nullptr;
    QComboBox* comboAutoCropFormat = nullptr;
    QRadioButton* radioCustomCrop = nullptr;
    QComboBox* comboOriginCorner = nullptr;
    QRadioButton* radioCustomCropPixels = nullptr;
    QLineEdit* textFieldCustomCropPixelsOriginX = nullptr;
    QLineEdit* textFieldCustomCropPixelsOriginY = nullptr;
    QLineEdit* textFieldCustomCropPixelsWidth = nullptr;
    QLineEdit* textFieldCustomCropPixelsHeight = nullptr;
    QRadioButton* radioCustomCropPercents = nullptr;
    QLineEdit* textFieldCustomCropPercentsOriginX = nullptr;
    Stepper* stepperCustomCropPercentsOriginX = nullptr;
    QLineEdit* textFieldCustomCropPercentsOriginY = nullptr;
    Stepper* stepperCustomCropPercentsOriginY = nullptr;
    QLineEdit* textFieldCustomCropPercentsWidth = nullptr;
    Stepper* stepperCustomCropPercentsWidth = nullptr;
    QLineEdit* textFieldCustomCropPercentsHeight = nullptr;
    Stepper* stepperCustomCropPercentsHeight = nullptr;
    QComboBox* comboFormat = nullptr;
    QualitySlider* sliderQuality = nullptr;
    QLabel* labelQuality = nullptr;
    QLineEdit* textFieldName = nullptr;
    QLineEdit* textFieldOutputFolder = nullptr;
    QPushButton* buttonBrowse = nullptr;
    QCheckBox* checkKeepEXIFInformationAndCreationDate = nullptr;
    ImageTableView* tableViewImage = nullptr;
    ImageListModel* imageListModel = nullptr;
    QPushButton* buttonAddImages = nullptr;
    QPushButton* buttonRemoveSelected = nullptr;
    QPushButton* buttonRemoveAll = nullptr;
    CropPreviewView* imageViewCropPreview = nullptr;
    QLabel* labelOriginalDimensionsWidth = nullptr;
    QLabel* labelOriginalDimensionsHeight = nullptr;
    QLabel* labelOutputDimensionsWidth = nullptr;
    QLabel* labelOutputDimensionsHeight = nullptr;
    QProgressBar* progressIndicator = nullptr;
    QPushButton* buttonCropImages = nullptr;
    QMenu* menuFile = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* actionNew = nullptr;
    QAction* actionLoadProfile = nullptr;
    QAction* actionSaveProfile = nullptr;
    QAction* actionSaveProfileAs = nullptr;
    QAction* actionQuit = nullptr;
    QAction* actionVideoTutorial = nullptr;

    // Declared last so that they are destroyed first: their destructors wait for work that posts back here.
    QThreadPool previewPool_;
    QThreadPool runPool_;
};

} // namespace trimlark
