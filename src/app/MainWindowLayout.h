#pragma once

#include "app/CropSettingsBinding.h"
#include "settings/CropGeometry.h"

#include <QCoreApplication>

class QAction;
class QCheckBox;
class QComboBox;
class QAbstractItemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace trimlark {

class ColourButton;
class CropPreviewView;
class ImageTableView;
class QualitySlider;
class Stepper;
class ThumbnailGridView;

// The main window's controls and how they are arranged. The window inherits them, so every control is reached
// by its member name; each control's objectName is that name. Building connects nothing.
class MainWindowLayout
{
    Q_DECLARE_TR_FUNCTIONS(trimlark::ViewController)

protected:
    // The progress indicator runs from 0 to this value.
    static constexpr int kProgressScale = 10000;

    // Makes the controls with their choice lists filled, sets them as the window's content and sizes the window
    // to fit the screen it is on.
    void BuildLayout(QMainWindow& window);
    // The File, View and Help menus with their shortcuts.
    void BuildMenus(QMainWindow& window);
    // Each settings control with the CropSettings field it shows: the one list of them.
    CropSettingsBinding BindSettings() const;
    // The four dimension labels' texts, as shown and to show.
    DimensionLabels ShownDimensionLabels() const;
    void ShowDimensionLabels(const DimensionLabels& labels);
    // The list's title follows the model's row count: "Images (1,204)".
    void ShowImageCount(QAbstractItemModel& model);

    QTabWidget* tabView = nullptr;
    QRadioButton* radioAutoCrop = nullptr;
    QComboBox* comboAutoCropFormat = nullptr;
    QComboBox* comboAutoCropPosition = nullptr; // "Centred" or "Subject"
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
    QRadioButton* radioTrimBorders = nullptr;
    QLineEdit* textFieldTrimTolerance = nullptr;
    QLineEdit* textFieldTrimMargin = nullptr;
    QComboBox* comboFormat = nullptr;
    QualitySlider* sliderQuality = nullptr;
    QLabel* labelQuality = nullptr;
    QLineEdit* textFieldName = nullptr;
    QLineEdit* textFieldOutputFolder = nullptr;
    QPushButton* buttonBrowse = nullptr;
    QCheckBox* checkKeepEXIFInformationAndCreationDate = nullptr;
    QCheckBox* checkLosslessJpeg = nullptr;
    QLabel* labelLosslessSizeNote = nullptr; // shown while a size is chosen, which a lossless crop cannot make
    // The size group.
    QComboBox* comboSize = nullptr;
    QLineEdit* textFieldSizeWidth = nullptr;
    QLabel* labelSizeBy = nullptr; // "x" between the width and the height
    QLineEdit* textFieldSizeHeight = nullptr;
    QLabel* labelSizePixels = nullptr; // "pixels", or the unit list for a print size
    QComboBox* comboSizeUnit = nullptr;
    QWidget* rowSizePpi = nullptr; // "at" the ppi field "ppi", for a print size
    QLineEdit* textFieldSizePpi = nullptr;
    QCheckBox* checkDoNotEnlarge = nullptr;
    QWidget* rowFill = nullptr; // the fill's box and colour, for "Fit within"
    QCheckBox* checkFillToSize = nullptr;
    ColourButton* colorFill = nullptr;
    QLabel* labelRatioFromSize = nullptr; // beside the ratio list while the size gives the ratio
    ImageTableView* tableViewImage = nullptr;
    // The same list as thumbnails, over the table's model and selection; the stack shows one of the two.
    ThumbnailGridView* gridViewImage = nullptr;
    QStackedWidget* stackImages = nullptr;
    QToolButton* buttonShowAsGrid = nullptr; // actionShowAsGrid beside the list's buttons, as "Grid"
    QPushButton* buttonAddImages = nullptr;
    QPushButton* buttonRemoveSelected = nullptr;
    QGroupBox* boxImages = nullptr;
    QPushButton* buttonRemoveAll = nullptr;
    CropPreviewView* imageViewCropPreview = nullptr;
    QLabel* labelOriginalDimensionsWidth = nullptr;
    QLabel* labelOriginalDimensionsHeight = nullptr;
    QLabel* labelOutputDimensionsWidth = nullptr;
    QLabel* labelOutputDimensionsHeight = nullptr;
    QLabel* labelCropNote = nullptr;        // shown when the crop cuts nothing and the whole image will be written
    QPushButton* buttonResetCrop = nullptr; // gives the selected image the shared crop again
    QProgressBar* progressIndicator = nullptr;
    QPushButton* buttonCropImages = nullptr;
    QPushButton* buttonStop = nullptr; // shown while a run works
    QMenu* menuFile = nullptr;
    QMenu* menuEdit = nullptr;
    QMenu* menuView = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* actionOpenList = nullptr;
    QAction* actionSaveList = nullptr;
    QAction* actionResetAllAdjustments = nullptr;
    QAction* actionNew = nullptr;
    QAction* actionLoadProfile = nullptr;
    QAction* actionSaveProfile = nullptr;
    QAction* actionSaveProfileAs = nullptr;
    QAction* actionAddImages = nullptr;
    QAction* actionCropImages = nullptr;
    QAction* actionQuit = nullptr;
    QAction* actionShowAsGrid = nullptr; // checked: the list shows as the grid
    QAction* actionVideoTutorial = nullptr;

private:
    void FillChoiceLists();
};

} // namespace trimlark
