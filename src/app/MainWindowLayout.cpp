#include "app/MainWindowLayout.h"

#include "app/ColourButton.h"
#include "app/CropPreviewView.h"
#include "app/ImageTableView.h"
#include "app/QualitySlider.h"
#include "app/Stepper.h"
#include "app/ThumbnailGridView.h"
#include "base/Numbers.h"
#include "imaging/Codecs.h"
#include "settings/OutputSize.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace trimlark {

namespace {

// Gives a widget its member name as objectName, so tests and screenshots find it.
template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A crop field; when its text is no number (whoever set it) it is marked, and its leading number, or 0, is used.
QLineEdit* MakeNumberField(const char* name)
{
    auto* field = Named(new QLineEdit, name);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(90);
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        const bool invalid = !ReadsAsNumber(text.toStdString());
        field->setProperty("invalid", invalid);
        field->setStyleSheet(invalid ? QStringLiteral("QLineEdit { background: #ffd8d8; }") : QString());
        field->setToolTip(invalid ? QObject::tr("Not a number: its leading number, or 0, is used") : QString());
    });
    return field;
}

} // namespace

DimensionLabels MainWindowLayout::ShownDimensionLabels() const
{
    return {labelOriginalDimensionsWidth->text().toStdString(), labelOriginalDimensionsHeight->text().toStdString(),
            labelOutputDimensionsWidth->text().toStdString(), labelOutputDimensionsHeight->text().toStdString()};
}

void MainWindowLayout::ShowDimensionLabels(const DimensionLabels& labels)
{
    labelOriginalDimensionsWidth->setText(QString::fromStdString(labels.originalWidth));
    labelOriginalDimensionsHeight->setText(QString::fromStdString(labels.originalHeight));
    labelOutputDimensionsWidth->setText(QString::fromStdString(labels.outputWidth));
    labelOutputDimensionsHeight->setText(QString::fromStdString(labels.outputHeight));
}

void MainWindowLayout::ShowImageCount(QAbstractItemModel& model)
{
    const auto show = [this, &model] {
        // Grouped in thousands with a comma, whatever the system's language.
        boxImages->setTitle(tr("Images (%1)").arg(QLocale(QLocale::English).toString(model.rowCount())));
    };
    QObject::connect(&model, &QAbstractItemModel::modelReset, boxImages, show);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, boxImages, show);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, boxImages, show);
    show();
}

void MainWindowLayout::BuildLayout(QMainWindow& window)
{
    // The image list.
    tableViewImage = Named(new ImageTableView, "tableViewImage");
    buttonAddImages = Named(new QPushButton(tr("Add Images...")), "buttonAddImages");
    buttonRemoveSelected = Named(new QPushButton(tr("Remove Selected")), "buttonRemoveSelected");
    buttonRemoveAll = Named(new QPushButton(tr("Remove All")), "buttonRemoveAll");
    gridViewImage = Named(new ThumbnailGridView, "gridViewImage");
    stackImages = Named(new QStackedWidget, "stackImages");
    stackImages->addWidget(tableViewImage);
    stackImages->addWidget(gridViewImage);
    buttonShowAsGrid = Named(new QToolButton, "buttonShowAsGrid");
    buttonShowAsGrid->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(buttonAddImages);
    listButtons->addWidget(buttonShowAsGrid);
    listButtons->addStretch();
    listButtons->addWidget(buttonRemoveSelected);
    listButtons->addWidget(buttonRemoveAll);
    auto* listBox = boxImages = Named(new QGroupBox(tr("Images")), "boxImages");
    auto* listLayout = new QVBoxLayout(listBox);
    auto* dropHint = new QLabel(tr("Add images with the button, or drag them here from the file manager."));
    dropHint->setWordWrap(true);
    dropHint->setEnabled(false);
    listLayout->addWidget(stackImages, 1);
    listLayout->addWidget(dropHint);
    listLayout->addLayout(listButtons);

    // The preview with the dimension labels.
    imageViewCropPreview = Named(new CropPreviewView, "imageViewCropPreview");
    labelOriginalDimensionsWidth = Named(new QLabel, "labelOriginalDimensionsWidth");
    labelOriginalDimensionsHeight = Named(new QLabel, "labelOriginalDimensionsHeight");
    labelOutputDimensionsWidth = Named(new QLabel, "labelOutputDimensionsWidth");
    labelOutputDimensionsHeight = Named(new QLabel, "labelOutputDimensionsHeight");
    auto* dimensions = new QGridLayout;
    auto* originalTitle = new QLabel(tr("<b>Original</b>"));
    auto* outputTitle = new QLabel(tr("<b>Output</b>"));
    dimensions->addWidget(originalTitle, 0, 0);
    dimensions->addWidget(labelOriginalDimensionsWidth, 0, 1);
    dimensions->addWidget(labelOriginalDimensionsHeight, 0, 2);
    dimensions->addWidget(outputTitle, 1, 0);
    dimensions->addWidget(labelOutputDimensionsWidth, 1, 1);
    dimensions->addWidget(labelOutputDimensionsHeight, 1, 2);
    buttonResetCrop = Named(new QPushButton(tr("Reset")), "buttonResetCrop");
    buttonResetCrop->setToolTip(tr("Give this image the shared crop again (Escape in the preview). Drag the crop in "
                                   "the preview, or move it with the arrow keys, to adjust it for this image."));
    buttonResetCrop->setEnabled(false);
    dimensions->addWidget(buttonResetCrop, 0, 4, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    dimensions->setColumnStretch(3, 1);
    dimensions->setHorizontalSpacing(18);
    auto* previewBox = new QGroupBox(tr("Crop Preview"));
    auto* previewLayout = new QVBoxLayout(previewBox);
    labelCropNote = Named(new QLabel(tr("No crop: the whole image will be written")), "labelCropNote");
    labelCropNote->hide();
    previewLayout->addWidget(imageViewCropPreview, 1);
    previewLayout->addWidget(labelCropNote);
    previewLayout->addLayout(dimensions);

    // The crop tab.
    radioAutoCrop = Named(new QRadioButton(tr("Automatic crop")), "radioAutoCrop");
    comboAutoCropFormat = Named(new QComboBox, "comboAutoCropFormat");
    comboAutoCropPosition = Named(new QComboBox, "comboAutoCropPosition");
    radioCustomCrop = Named(new QRadioButton(tr("Custom crop")), "radioCustomCrop");
    comboOriginCorner = Named(new QComboBox, "comboOriginCorner");
    radioCustomCropPixels = Named(new QRadioButton(tr("In pixels")), "radioCustomCropPixels");
    radioCustomCropPercents = Named(new QRadioButton(tr("In percents of the image size")), "radioCustomCropPercents");
    for (QRadioButton* radio : {radioAutoCrop, radioCustomCrop, radioCustomCropPixels, radioCustomCropPercents})
        radio->setAutoExclusive(false); // the pairs are kept by their actions, each pair on its own
    textFieldCustomCropPixelsOriginX = MakeNumberField("textFieldCustomCropPixelsOriginX");
    textFieldCustomCropPixelsOriginY = MakeNumberField("textFieldCustomCropPixelsOriginY");
    textFieldCustomCropPixelsWidth = MakeNumberField("textFieldCustomCropPixelsWidth");
    textFieldCustomCropPixelsHeight = MakeNumberField("textFieldCustomCropPixelsHeight");
    textFieldCustomCropPercentsOriginX = MakeNumberField("textFieldCustomCropPercentsOriginX");
    textFieldCustomCropPercentsOriginY = MakeNumberField("textFieldCustomCropPercentsOriginY");
    textFieldCustomCropPercentsWidth = MakeNumberField("textFieldCustomCropPercentsWidth");
    textFieldCustomCropPercentsHeight = MakeNumberField("textFieldCustomCropPercentsHeight");
    stepperCustomCropPercentsOriginX = Named(new Stepper, "stepperCustomCropPercentsOriginX");
    stepperCustomCropPercentsOriginY = Named(new Stepper, "stepperCustomCropPercentsOriginY");
    stepperCustomCropPercentsWidth = Named(new Stepper, "stepperCustomCropPercentsWidth");
    stepperCustomCropPercentsHeight = Named(new Stepper, "stepperCustomCropPercentsHeight");

    auto* autoForm = new QFormLayout;
    autoForm->setContentsMargins(24, 0, 0, 6);
    labelRatioFromSize = Named(new QLabel, "labelRatioFromSize");
    labelRatioFromSize->setEnabled(false);
    auto* ratioRow = new QHBoxLayout;
    ratioRow->addWidget(comboAutoCropFormat);
    ratioRow->addWidget(labelRatioFromSize, 1);
    autoForm->addRow(tr("Aspect ratio:"), ratioRow);
    autoForm->addRow(tr("Position:"), comboAutoCropPosition);

    auto* pixelsGrid = new QGridLayout;
    pixelsGrid->setContentsMargins(24, 0, 0, 6);
    pixelsGrid->addWidget(new QLabel(tr("X:")), 0, 0);
    pixelsGrid->addWidget(textFieldCustomCropPixelsOriginX, 0, 1);
    pixelsGrid->addWidget(new QLabel(tr("Y:")), 0, 3);
    pixelsGrid->addWidget(textFieldCustomCropPixelsOriginY, 0, 4);
    pixelsGrid->addWidget(new QLabel(tr("Width:")), 1, 0);
    pixelsGrid->addWidget(textFieldCustomCropPixelsWidth, 1, 1);
    pixelsGrid->addWidget(new QLabel(tr("Height:")), 1, 3);
    pixelsGrid->addWidget(textFieldCustomCropPixelsHeight, 1, 4);
    pixelsGrid->setColumnMinimumWidth(2, 18);
    pixelsGrid->setColumnStretch(6, 1);

    auto* percentsGrid = new QGridLayout;
    percentsGrid->setContentsMargins(24, 0, 0, 6);
    percentsGrid->addWidget(new QLabel(tr("X:")), 0, 0);
    percentsGrid->addWidget(textFieldCustomCropPercentsOriginX, 0, 1);
    percentsGrid->addWidget(stepperCustomCropPercentsOriginX, 0, 2);
    percentsGrid->addWidget(new QLabel(tr("Y:")), 0, 3);
    percentsGrid->addWidget(textFieldCustomCropPercentsOriginY, 0, 4);
    percentsGrid->addWidget(stepperCustomCropPercentsOriginY, 0, 5);
    percentsGrid->addWidget(new QLabel(tr("Width:")), 1, 0);
    percentsGrid->addWidget(textFieldCustomCropPercentsWidth, 1, 1);
    percentsGrid->addWidget(stepperCustomCropPercentsWidth, 1, 2);
    percentsGrid->addWidget(new QLabel(tr("Height:")), 1, 3);
    percentsGrid->addWidget(textFieldCustomCropPercentsHeight, 1, 4);
    percentsGrid->addWidget(stepperCustomCropPercentsHeight, 1, 5);
    percentsGrid->setColumnStretch(6, 1);

    auto* cornerForm = new QFormLayout;
    cornerForm->setContentsMargins(24, 0, 0, 6);
    cornerForm->addRow(tr("Measured from:"), comboOriginCorner);

    auto* cropTab = Named(new QWidget, "tabCrop");
    auto* cropLayout = new QVBoxLayout(cropTab);
    cropLayout->addWidget(radioAutoCrop);
    cropLayout->addLayout(autoForm);
    cropLayout->addWidget(radioCustomCrop);
    cropLayout->addLayout(cornerForm);
    auto* customLayout = new QVBoxLayout;
    customLayout->setContentsMargins(24, 0, 0, 0);
    customLayout->addWidget(radioCustomCropPixels);
    customLayout->addLayout(pixelsGrid);
    customLayout->addWidget(radioCustomCropPercents);
    customLayout->addLayout(percentsGrid);
    cropLayout->addLayout(customLayout);
    radioTrimBorders = Named(new QRadioButton(tr("Trim borders")), "radioTrimBorders");
    radioTrimBorders->setAutoExclusive(false);
    radioTrimBorders->setToolTip(tr("Cuts away each picture's border: the colour most of its edges share, and "
                                    "everything within the tolerance of it."));
    textFieldTrimTolerance = Named(new QLineEdit, "textFieldTrimTolerance");
    textFieldTrimMargin = Named(new QLineEdit, "textFieldTrimMargin");
    auto* trimForm = new QFormLayout;
    trimForm->setContentsMargins(24, 0, 0, 6);
    for (QLineEdit* field : {textFieldTrimTolerance, textFieldTrimMargin})
        field->setMaximumWidth(72);
    trimForm->addRow(tr("Tolerance:"), textFieldTrimTolerance);
    auto* marginRow = new QHBoxLayout;
    marginRow->addWidget(textFieldTrimMargin);
    marginRow->addWidget(new QLabel(tr("pixels")));
    marginRow->addStretch(1);
    trimForm->addRow(tr("Margin:"), marginRow);
    cropLayout->addWidget(radioTrimBorders);
    cropLayout->addLayout(trimForm);
    cropLayout->addStretch(1);

    // The output tab.
    comboFormat = Named(new QComboBox, "comboFormat");
    sliderQuality = Named(new QualitySlider, "sliderQuality");
    labelQuality = Named(new QLabel, "labelQuality");
    labelQuality->setMinimumWidth(30);
    labelQuality->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    textFieldName = Named(new QLineEdit, "textFieldName");
    textFieldName->setToolTip(tr("[FileName] is the image's own name, [FileIndex] its place in the list."));
    textFieldOutputFolder = Named(new QLineEdit, "textFieldOutputFolder");
    textFieldOutputFolder->setPlaceholderText(tr("Choose a folder"));
    buttonBrowse = Named(new QPushButton(tr("Browse...")), "buttonBrowse");
    checkKeepEXIFInformationAndCreationDate =
        Named(new QCheckBox(tr("Keep EXIF information and creation date")), "checkKeepEXIFInformationAndCreationDate");
    checkLosslessJpeg = Named(new QCheckBox(tr("Lossless JPEG crop (no re-encoding)")), "checkLosslessJpeg");
    checkLosslessJpeg->setToolTip(tr("A JPEG written as JPEG keeps its coded blocks: the crop grows up and left to "
                                     "the 8- or 16-pixel block grid, and the quality setting does not apply to it."));
    auto* losslessNote = new QLabel(tr("For JPEG sources written as JPEG; the quality does not apply to them."));
    losslessNote->setWordWrap(true);
    losslessNote->setEnabled(false);
    labelLosslessSizeNote = Named(new QLabel(tr("A lossless crop cannot change the size: it is off while a size is "
                                                "chosen.")),
                                  "labelLosslessSizeNote");
    labelLosslessSizeNote->setWordWrap(true);
    labelLosslessSizeNote->setEnabled(false);

    // The size group.
    comboSize = Named(new QComboBox, "comboSize");
    const auto sizeField = [](const char* name) {
        auto* field = Named(new QLineEdit, name);
        field->setMaximumWidth(72);
        return field;
    };
    textFieldSizeWidth = sizeField("textFieldSizeWidth");
    textFieldSizeHeight = sizeField("textFieldSizeHeight");
    textFieldSizePpi = sizeField("textFieldSizePpi");
    labelSizeBy = new QLabel(QStringLiteral("x"));
    labelSizePixels = new QLabel(tr("pixels"));
    comboSizeUnit = Named(new QComboBox, "comboSizeUnit");
    checkDoNotEnlarge = Named(new QCheckBox(tr("Do not enlarge")), "checkDoNotEnlarge");
    checkDoNotEnlarge->setToolTip(tr("A crop smaller than the size keeps its own size."));
    checkFillToSize = Named(new QCheckBox(tr("Fill to the size with")), "checkFillToSize");
    colorFill = Named(new ColourButton, "colorFill");
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(textFieldSizeWidth);
    sizeRow->addWidget(labelSizeBy);
    sizeRow->addWidget(textFieldSizeHeight);
    sizeRow->addWidget(labelSizePixels);
    sizeRow->addWidget(comboSizeUnit);
    sizeRow->addStretch(1);
    rowSizePpi = new QWidget;
    auto* ppiRow = new QHBoxLayout(rowSizePpi);
    ppiRow->setContentsMargins(0, 0, 0, 0);
    ppiRow->addWidget(new QLabel(tr("at")));
    ppiRow->addWidget(textFieldSizePpi);
    ppiRow->addWidget(new QLabel(tr("ppi")));
    ppiRow->addStretch(1);
    rowFill = new QWidget;
    auto* fillRow = new QHBoxLayout(rowFill);
    fillRow->setContentsMargins(0, 0, 0, 0);
    fillRow->addWidget(checkFillToSize);
    fillRow->addWidget(colorFill);
    fillRow->addStretch(1);
    auto* boxSize = Named(new QGroupBox(tr("Size")), "boxSize");
    auto* sizeLayout = new QVBoxLayout(boxSize);
    sizeLayout->addWidget(comboSize);
    sizeLayout->addLayout(sizeRow);
    sizeLayout->addWidget(rowSizePpi);
    sizeLayout->addWidget(checkDoNotEnlarge);
    sizeLayout->addWidget(rowFill);

    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(sliderQuality, 1);
    qualityRow->addWidget(labelQuality);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(textFieldOutputFolder, 1);
    folderRow->addWidget(buttonBrowse);
    auto* outputTab = Named(new QWidget, "tabOutput");
    auto* outputForm = new QFormLayout(outputTab);
    outputForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    outputForm->addRow(tr("Format:"), comboFormat);
    outputForm->addRow(tr("Quality:"), qualityRow);
    outputForm->addRow(boxSize);
    outputForm->addRow(tr("File name:"), textFieldName);
    outputForm->addRow(tr("Output folder:"), folderRow);
    outputForm->addRow(QString(), checkKeepEXIFInformationAndCreationDate);
    outputForm->addRow(QString(), checkLosslessJpeg);
    outputForm->addRow(QString(), losslessNote);
    outputForm->addRow(QString(), labelLosslessSizeNote);

    tabView = Named(new QTabWidget, "tabView");
    tabView->addTab(cropTab, tr("Crop"));
    tabView->addTab(outputTab, tr("Output"));
    tabView->setMinimumWidth(380);
    tabView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    // The run.
    progressIndicator = Named(new QProgressBar, "progressIndicator");
    progressIndicator->setRange(0, kProgressScale);
    progressIndicator->setTextVisible(false);
    buttonCropImages = Named(new QPushButton(tr("Crop Images")), "buttonCropImages");
    // The main action stands out by its bold title: drawn as a default button, its frame would look the same
    // focused or not (a default button does nothing for Return outside a dialog anyway).
    QFont bold = buttonCropImages->font();
    bold.setBold(true);
    buttonCropImages->setFont(bold);
    buttonCropImages->setMinimumWidth(160);
    buttonStop = Named(new QPushButton(tr("Stop")), "buttonStop");
    buttonStop->setToolTip(tr("No further image starts; the images in progress are finished and written whole."));
    buttonStop->hide();
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(progressIndicator, 1);
    runRow->addWidget(buttonStop);
    runRow->addWidget(buttonCropImages);

    auto* settingsColumn = new QWidget;
    auto* settingsLayout = new QVBoxLayout(settingsColumn);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    settingsLayout->addWidget(tabView, 1);

    auto* splitter = Named(new QSplitter(Qt::Horizontal), "splitterMain");
    splitter->addWidget(listBox);
    splitter->addWidget(previewBox);
    splitter->addWidget(settingsColumn);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 4);
    splitter->setStretchFactor(2, 0);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({360, 570, 390});

    auto* central = new QWidget;
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->addWidget(splitter, 1);
    centralLayout->addLayout(runRow);
    window.setCentralWidget(central);
    // Room for every control on a 1366 x 768 screen, with the desktop's panel and the title bar.
    QSize size(1320, 680);
    if (const QScreen* shown = window.screen())
        size = size.boundedTo(shown->availableGeometry().size() - QSize(24, 64));
    window.resize(size);
    FillChoiceLists();
}

void MainWindowLayout::BuildMenus(QMainWindow& window)
{
    menuFile = Named(window.menuBar()->addMenu(tr("&File")), "menuFile");
    actionNew = Named(menuFile->addAction(tr("&New")), "actionNew");
    actionNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actionLoadProfile = Named(menuFile->addAction(tr("&Load Profile...")), "actionLoadProfile");
    actionLoadProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actionSaveProfile = Named(menuFile->addAction(tr("&Save Profile")), "actionSaveProfile");
    actionSaveProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actionSaveProfileAs = Named(menuFile->addAction(tr("Save Profile &As...")), "actionSaveProfileAs");
    actionSaveProfileAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    menuFile->addSeparator();
    actionOpenList = Named(menuFile->addAction(tr("Open &List...")), "actionOpenList");
    actionSaveList = Named(menuFile->addAction(tr("Save Lis&t...")), "actionSaveList");
    menuFile->addSeparator();
    // The list's and the run's buttons have their keys here, where the menu shows them; the buttons' tooltips
    // name them too.
    actionAddImages = Named(menuFile->addAction(tr("Add &Images...")), "actionAddImages");
    actionAddImages->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    actionCropImages = Named(menuFile->addAction(tr("&Crop Images")), "actionCropImages");
    actionCropImages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    const std::pair<QPushButton*, QAction*> keyed[] = {{buttonAddImages, actionAddImages},
                                                       {buttonCropImages, actionCropImages}};
    for (const auto& [button, action] : keyed)
        button->setToolTip(QStringLiteral("%1 (%2)").arg(action->text().remove('&').remove("..."),
                                                         action->shortcut().toString(QKeySequence::NativeText)));
    menuFile->addSeparator();
    actionQuit = Named(menuFile->addAction(tr("&Quit")), "actionQuit");
    actionQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actionQuit->setMenuRole(QAction::QuitRole);
    menuEdit = Named(window.menuBar()->addMenu(tr("&Edit")), "menuEdit");
    actionResetAllAdjustments = Named(menuEdit->addAction(tr("Reset All Adjustments")), "actionResetAllAdjustments");
    menuView = Named(window.menuBar()->addMenu(tr("&View")), "menuView");
    actionShowAsGrid = Named(menuView->addAction(tr("Show as &Grid")), "actionShowAsGrid");
    actionShowAsGrid->setIconText(tr("Grid"));
    actionShowAsGrid->setCheckable(true);
    actionShowAsGrid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    actionShowAsGrid->setToolTip(QStringLiteral("%1 (%2)").arg(
        actionShowAsGrid->text().remove('&'), actionShowAsGrid->shortcut().toString(QKeySequence::NativeText)));
    buttonShowAsGrid->setDefaultAction(actionShowAsGrid);
    menuHelp = Named(window.menuBar()->addMenu(tr("&Help")), "menuHelp");
    actionVideoTutorial = Named(menuHelp->addAction(tr("Video Tutorial")), "actionVideoTutorial");
}

CropSettingsBinding MainWindowLayout::BindSettings() const
{
    return {
        {radioAutoCrop, &CropSettings::radioAutoCrop},
        {comboAutoCropFormat, &CropSettings::comboAutoCropFormat},
        {comboAutoCropPosition, &CropSettings::comboAutoCropPosition},
        {radioCustomCrop, &CropSettings::radioCustomCrop},
        {comboOriginCorner, &CropSettings::comboOriginCorner},
        {radioCustomCropPixels, &CropSettings::radioCustomCropPixels},
        {textFieldCustomCropPixelsOriginX, &CropSettings::textFieldCustomCropPixelsOriginX},
        {textFieldCustomCropPixelsOriginY, &CropSettings::textFieldCustomCropPixelsOriginY},
        {textFieldCustomCropPixelsWidth, &CropSettings::textFieldCustomCropPixelsWidth},
        {textFieldCustomCropPixelsHeight, &CropSettings::textFieldCustomCropPixelsHeight},
        {radioCustomCropPercents, &CropSettings::radioCustomCropPercents},
        {textFieldCustomCropPercentsOriginX, &CropSettings::textFieldCustomCropPercentsOriginX},
        {stepperCustomCropPercentsOriginX, &CropSettings::stepperCustomCropPercentsOriginX},
        {textFieldCustomCropPercentsOriginY, &CropSettings::textFieldCustomCropPercentsOriginY},
        {stepperCustomCropPercentsOriginY, &CropSettings::stepperCustomCropPercentsOriginY},
        {textFieldCustomCropPercentsWidth, &CropSettings::textFieldCustomCropPercentsWidth},
        {stepperCustomCropPercentsWidth, &CropSettings::stepperCustomCropPercentsWidth},
        {textFieldCustomCropPercentsHeight, &CropSettings::textFieldCustomCropPercentsHeight},
        {stepperCustomCropPercentsHeight, &CropSettings::stepperCustomCropPercentsHeight},
        {comboFormat, &CropSettings::comboFormat},
        {sliderQuality, &CropSettings::sliderQuality},
        {textFieldName, &CropSettings::textFieldName},
        {textFieldOutputFolder, &CropSettings::textFieldOutputFolder},
        {checkKeepEXIFInformationAndCreationDate, &CropSettings::checkKeepEXIFInformationAndCreationDate},
        {checkLosslessJpeg, &CropSettings::checkLosslessJpeg},
        {comboSize, &CropSettings::comboSize},
        {textFieldSizeWidth, &CropSettings::textFieldSizeWidth},
        {textFieldSizeHeight, &CropSettings::textFieldSizeHeight},
        {comboSizeUnit, &CropSettings::comboSizeUnit},
        {textFieldSizePpi, &CropSettings::textFieldSizePpi},
        {checkDoNotEnlarge, &CropSettings::checkDoNotEnlarge},
        {checkFillToSize, &CropSettings::checkFillToSize},
        {colorFill, &CropSettings::colorFill},
        {radioTrimBorders, &CropSettings::radioTrimBorders},
        {textFieldTrimTolerance, &CropSettings::textFieldTrimTolerance},
        {textFieldTrimMargin, &CropSettings::textFieldTrimMargin},
    };
}

void MainWindowLayout::FillChoiceLists()
{
    const auto fill = [](QComboBox* combo, const std::vector<std::string>& titles) {
        combo->clear();
        for (const auto& title : titles)
            combo->addItem(QString::fromStdString(title));
    };
    fill(comboAutoCropFormat, AutoCropFormatTitles());
    fill(comboAutoCropPosition, AutoCropPositionTitles());
    fill(comboFormat, AvailableFormats().Titles());
    fill(comboOriginCorner, OriginCornerTitles());
    fill(comboSize, SizeModeTitles());
    fill(comboSizeUnit, PrintUnitTitles());
}

} // namespace trimlark
