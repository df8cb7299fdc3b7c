#include "app/ViewController.h"

#include "app/CropPreviewView.h"
#include "app/ImageListModel.h"
#include "app/ImageTableView.h"
#include "app/NotificationCenter.h"
#include "app/ProfileNames.h"
#include "app/QualitySlider.h"
#include "app/Stepper.h"
#include "list/CropPreviewDrawing.h"
#include "list/ImageListEditing.h"
#include "profile/ProfileFormat.h"
#include "run/CropJob.h"
#include "settings/ChoiceLists.h"
#include "settings/SettingsRules.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace trimlark {

namespace {

constexpr int kProgressScale = 10000;
const QString kAddImagesKey = QStringLiteral("AddImages");
const QString kOutputFolderKey = QStringLiteral("OutputFolder");
const QString kShowRateMessageKey = QStringLiteral("ShowRateMessage");
const QString kProposedProfileName = QStringLiteral("profile.tlp");
// A profile is a few hundred bytes; anything far larger is not one, and is not read into memory.
constexpr qint64 kMaxProfileBytes = 1 << 20;

QString ToQString(const std::string& text)
{
    return QString::fromStdString(text);
}

std::vector<std::string> ToPaths(const QStringList& list)
{
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& path : list)
        paths.push_back(path.toStdString());
    return paths;
}

// Gives a widget its member name as objectName, so tests and screenshots find it.
template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* MakeNumberField(const char* name)
{
    auto* field = Named(new QLineEdit, name);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(90);
    return field;
}

QImage ToQImage(const RgbaBitmap& bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return {};
    return QImage(bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.width * 4, QImage::Format_RGBA8888).copy();
}

} // namespace

const QUrl& ViewController::VideoTutorialUrl()
{
    static const QUrl url(QStringLiteral("https://trimlark.org/tutorial"));
    return url;
}

const QUrl& ViewController::ReviewUrl()
{
    static const QUrl url(QStringLiteral("https://trimlark.org/review"));
    return url;
}

ViewController::ViewController(std::unique_ptr<Platform> platform, QWidget* parent)
    : QMainWindow(parent), platform_(std::move(platform)), dataProvider(DataProvider::Shared())
{
    setObjectName(QStringLiteral("ViewController"));
    setWindowTitle(QStringLiteral("Trimlark"));
    platform_->SetDialogParent(this);
    previewPool_.setMaxThreadCount(2);
    runPool_.setMaxThreadCount(1);

    BuildLayout();
    BuildMenus();
    ConnectActions();
    FillChoiceLists();
    ResetToDefaults();
    for (const QString& key : {kAddImagesKey, kOutputFolderKey}) {
        if (!platform_->ReadPreference(key))
            platform_->WritePreference(key, QString());
    }
    connect(&NotificationCenter::Default(), &NotificationCenter::UpdateCropPreview, this,
            &ViewController::UpdateCropPreview);
    connect(&NotificationCenter::Default(), &NotificationCenter::openWith, this, &ViewController::openData);

    // The custom ratio window reports its changes as the app-wide "UpdateCropPreview" notification.
    windowControllerCustomAspectRatio = new CustomAspectRatioWindowController(this);
    connect(windowControllerCustomAspectRatio, &CustomAspectRatioWindowController::UpdateCropPreview,
            &NotificationCenter::Default(), &NotificationCenter::UpdateCropPreview);
}

ViewController::~ViewController()
{
    // A run still working (the app was quit during it) finishes its files first; the window goes away meanwhile.
    hide();
    previewPool_.clear();
    previewPool_.waitForDone();
    runPool_.waitForDone();
    // The model reads listImagePaths, which is gone before the child widgets are.
    tableViewImage->setModel(nullptr);
}

void ViewController::BuildLayout()
{
    // The image list.
    tableViewImage = Named(new ImageTableView, "tableViewImage");
    imageListModel = Named(new ImageListModel(listImagePaths, this), "imageListModel");
    tableViewImage->setModel(imageListModel);
    imageListModel->SetDropHandler([this](int gap, const std::vector<std::string>& paths) { AcceptDrop(gap, paths); });
    buttonAddImages = Named(new QPushButton(tr("Add Images...")), "buttonAddImages");
    buttonRemoveSelected = Named(new QPushButton(tr("Remove Selected")), "buttonRemoveSelected");
    buttonRemoveAll = Named(new QPushButton(tr("Remove All")), "buttonRemoveAll");
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(buttonAddImages);
    listButtons->addStretch();
    listButtons->addWidget(buttonRemoveSelected);
    listButtons->addWidget(buttonRemoveAll);
    auto* listBox = new QGroupBox(tr("Images"));
    auto* listLayout = new QVBoxLayout(listBox);
    auto* dropHint = new QLabel(tr("Add images with the button, or drag them here from the file manager."));
    dropHint->setWordWrap(true);
    dropHint->setEnabled(false);
    listLayout->addWidget(tableViewImage, 1);
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
    dimensions->setColumnStretch(3, 1);
    dimensions->setHorizontalSpacing(18);
    auto* previewBox = new QGroupBox(tr("Crop Preview"));
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLayout->addWidget(imageViewCropPreview, 1);
    previewLayout->addLayout(dimensions);

    // The crop tab.
    radioAutoCrop = Named(new QRadioButton(tr("Automatic crop, centred")), "radioAutoCrop");
    comboAutoCropFormat = Named(new QComboBox, "comboAutoCropFormat");
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
    autoForm->addRow(tr("Aspect ratio:"), comboAutoCropFormat);

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
    outputForm->addRow(tr("File name:"), textFieldName);
    outputForm->addRow(tr("Output folder:"), folderRow);
    outputForm->addRow(QString(), checkKeepEXIFInformationAndCreationDate);

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
    buttonCropImages->setDefault(true);
    buttonCropImages->setMinimumWidth(160);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(progressIndicator, 1);
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
    setCentralWidget(central);
    // Room for every control on a 1366 x 768 screen, with the desktop's panel and the title bar.
    QSize size(1320, 680);
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableGeometry().size() - QSize(24, 64));
    resize(size);
}

void ViewController::BuildMenus()
{
    menuFile = Named(menuBar()->addMenu(tr("&File")), "menuFile");
    actionNew = Named(menuFile->addAction(tr("&New")), "actionNew");
    actionNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actionLoadProfile = Named(menuFile->addAction(tr("&Load Profile...")), "actionLoadProfile");
    actionLoadProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actionSaveProfile = Named(menuFile->addAction(tr("&Save Profile")), "actionSaveProfile");
    actionSaveProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actionSaveProfileAs = Named(menuFile->addAction(tr("Save Profile &As...")), "actionSaveProfileAs");
    actionSaveProfileAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    menuFile->addSeparator();
    actionQuit = Named(menuFile->addAction(tr("&Quit")), "actionQuit");
    actionQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actionQuit->setMenuRole(QAction::QuitRole);
    menuHelp = Named(menuBar()->addMenu(tr("&Help")), "menuHelp");
    actionVideoTutorial = Named(menuHelp->addAction(tr("Video Tutorial")), "actionVideoTutorial");
    connect(actionNew, &QAction::triggered, this, &ViewController::OnFileNew);
    connect(actionLoadProfile, &QAction::triggered, this, &ViewController::OnLoadProfile);
    connect(actionSaveProfile, &QAction::triggered, this, &ViewController::OnSaveProfile);
    connect(actionSaveProfileAs, &QAction::triggered, this, &ViewController::OnSaveProfileAs);
    connect(actionQuit, &QAction::triggered, this, &ViewController::OnAppQuit);
    connect(actionVideoTutorial, &QAction::triggered, this, &ViewController::OnVideoTutorial);
}

void ViewController::ConnectActions()
{
    // Only signals that user input sends are connected, so that setting a control from code runs no action.
    connect(radioAutoCrop, &QRadioButton::clicked, this, &ViewController::OnAutoCropSelected);
    connect(radioCustomCrop, &QRadioButton::clicked, this, &ViewController::OnCustomCropSelected);
    connect(radioCustomCropPixels, &QRadioButton::clicked, this, &ViewController::OnCustomCropPixelsSelected);
    connect(radioCustomCropPercents, &QRadioButton::clicked, this, &ViewController::OnCustomCropPercentsSelected);
    connect(comboAutoCropFormat, &QComboBox::activated, this, &ViewController::OnAutoCropFormatSelected);
    connect(comboOriginCorner, &QComboBox::activated, this, &ViewController::OnOriginCornerSelected);
    connect(textFieldCustomCropPixelsOriginX, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPixelsOriginXChanged);
    connect(textFieldCustomCropPixelsOriginY, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPixelsOriginYChanged);
    connect(textFieldCustomCropPixelsWidth, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPixelsWidthChanged);
    connect(textFieldCustomCropPixelsHeight, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPixelsHeightChanged);
    connect(textFieldCustomCropPercentsOriginX, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPercentsOriginXChanged);
    connect(textFieldCustomCropPercentsOriginY, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPercentsOriginYChanged);
    connect(textFieldCustomCropPercentsWidth, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPercentsWidthChanged);
    connect(textFieldCustomCropPercentsHeight, &QLineEdit::textEdited, this,
            &ViewController::OnCustomCropPercentsHeightChanged);
    connect(stepperCustomCropPercentsOriginX, &Stepper::valueStepped, this,
            &ViewController::OnStepperCustomCropPercentsOriginXChanged);
    connect(stepperCustomCropPercentsOriginY, &Stepper::valueStepped, this,
            &ViewController::OnStepperCustomCropPercentsOriginYChanged);
    connect(stepperCustomCropPercentsWidth, &Stepper::valueStepped, this,
            &ViewController::OnStepperCustomCropPercentsWidthChanged);
    connect(stepperCustomCropPercentsHeight, &Stepper::valueStepped, this,
            &ViewController::OnStepperCustomCropPercentsHeightChanged);
    connect(comboFormat, &QComboBox::activated, this, &ViewController::OnFormatSelected);
    connect(sliderQuality, &QualitySlider::qualityChanged, this, &ViewController::OnQualityChanged);
    connect(textFieldName, &QLineEdit::textEdited, this, &ViewController::OnNameChanged);
    connect(buttonBrowse, &QPushButton::clicked, this, &ViewController::OnBrowse);
    connect(buttonAddImages, &QPushButton::clicked, this, &ViewController::OnAddImages);
    connect(buttonRemoveSelected, &QPushButton::clicked, this, &ViewController::OnRemoveSelected);
    connect(buttonRemoveAll, &QPushButton::clicked, this, &ViewController::OnRemoveAll);
    connect(buttonCropImages, &QPushButton::clicked, this, &ViewController::OnCropImages);
    connect(tableViewImage->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ViewController::LoadSelectedImage);

    // A new view size wants a sharper (or smaller) preview; wait until resizing settles.
    previewResizeTimer_ = new QTimer(this);
    previewResizeTimer_->setSingleShot(true);
    previewResizeTimer_->setInterval(120);
    connect(previewResizeTimer_, &QTimer::timeout, this, [this] {
        if (currentImage.size.width > 0 && currentImage.size.height > 0)
            UpdateCropPreview();
    });
    connect(imageViewCropPreview, &CropPreviewView::displaySizeChanged, previewResizeTimer_,
            qOverload<>(&QTimer::start));
}

void ViewController::FillChoiceLists()
{
    const auto fill = [](QComboBox* combo, const std::vector<std::string>& titles) {
        combo->clear();
        for (const auto& title : titles)
            combo->addItem(ToQString(title));
    };
    fill(comboAutoCropFormat, AutoCropFormatTitles());
    fill(comboFormat, FormatTitles());
    fill(comboOriginCorner, OriginCornerTitles());
}

CropSettings ViewController::GetCropSettings() const
{
    CropSettings s;
    s.radioAutoCrop = radioAutoCrop->isChecked();
    s.comboAutoCropFormat = comboAutoCropFormat->currentIndex();
    s.radioCustomCrop = radioCustomCrop->isChecked();
    s.comboOriginCorner = comboOriginCorner->currentIndex();
    s.radioCustomCropPixels = radioCustomCropPixels->isChecked();
    s.textFieldCustomCropPixelsOriginX = textFieldCustomCropPixelsOriginX->text().toStdString();
    s.textFieldCustomCropPixelsOriginY = textFieldCustomCropPixelsOriginY->text().toStdString();
    s.textFieldCustomCropPixelsWidth = textFieldCustomCropPixelsWidth->text().toStdString();
    s.textFieldCustomCropPixelsHeight = textFieldCustomCropPixelsHeight->text().toStdString();
    s.radioCustomCropPercents = radioCustomCropPercents->isChecked();
    s.textFieldCustomCropPercentsOriginX = textFieldCustomCropPercentsOriginX->text().toStdString();
    s.stepperCustomCropPercentsOriginX = stepperCustomCropPercentsOriginX->Value();
    s.textFieldCustomCropPercentsOriginY = textFieldCustomCropPercentsOriginY->text().toStdString();
    s.stepperCustomCropPercentsOriginY = stepperCustomCropPercentsOriginY->Value();
    s.textFieldCustomCropPercentsWidth = textFieldCustomCropPercentsWidth->text().toStdString();
    s.stepperCustomCropPercentsWidth = stepperCustomCropPercentsWidth->Value();
    s.textFieldCustomCropPercentsHeight = textFieldCustomCropPercentsHeight->text().toStdString();
    s.stepperCustomCropPercentsHeight = stepperCustomCropPercentsHeight->Value();
    s.comboFormat = comboFormat->currentIndex();
    s.sliderQuality = sliderQuality->Value();
    s.textFieldName = textFieldName->text().toStdString();
    s.textFieldOutputFolder = textFieldOutputFolder->text().toStdString();
    s.checkKeepEXIFInformationAndCreationDate = checkKeepEXIFInformationAndCreationDate->isChecked();
    return s;
}

void ViewController::SetCropSettings(const CropSettings& s)
{
    radioAutoCrop->setChecked(s.radioAutoCrop);
    comboAutoCropFormat->setCurrentIndex(s.comboAutoCropFormat);
    radioCustomCrop->setChecked(s.radioCustomCrop);
    comboOriginCorner->setCurrentIndex(s.comboOriginCorner);
    radioCustomCropPixels->setChecked(s.radioCustomCropPixels);
    textFieldCustomCropPixelsOriginX->setText(ToQString(s.textFieldCustomCropPixelsOriginX));
    textFieldCustomCropPixelsOriginY->setText(ToQString(s.textFieldCustomCropPixelsOriginY));
    textFieldCustomCropPixelsWidth->setText(ToQString(s.textFieldCustomCropPixelsWidth));
    textFieldCustomCropPixelsHeight->setText(ToQString(s.textFieldCustomCropPixelsHeight));
    radioCustomCropPercents->setChecked(s.radioCustomCropPercents);
    textFieldCustomCropPercentsOriginX->setText(ToQString(s.textFieldCustomCropPercentsOriginX));
    stepperCustomCropPercentsOriginX->SetValue(s.stepperCustomCropPercentsOriginX);
    textFieldCustomCropPercentsOriginY->setText(ToQString(s.textFieldCustomCropPercentsOriginY));
    stepperCustomCropPercentsOriginY->SetValue(s.stepperCustomCropPercentsOriginY);
    textFieldCustomCropPercentsWidth->setText(ToQString(s.textFieldCustomCropPercentsWidth));
    stepperCustomCropPercentsWidth->SetValue(s.stepperCustomCropPercentsWidth);
    textFieldCustomCropPercentsHeight->setText(ToQString(s.textFieldCustomCropPercentsHeight));
    stepperCustomCropPercentsHeight->SetValue(s.stepperCustomCropPercentsHeight);
    comboFormat->setCurrentIndex(s.comboFormat);
    sliderQuality->SetValue(s.sliderQuality);
    labelQuality->setText(ToQString(QualityLabelText(s.sliderQuality)));
    textFieldName->setText(ToQString(s.textFieldName));
    textFieldOutputFolder->setText(ToQString(s.textFieldOutputFolder));
    checkKeepEXIFInformationAndCreationDate->setChecked(s.checkKeepEXIFInformationAndCreationDate);
    ApplyQualitySliderRule();
}

void ViewController::ApplyQualitySliderRule()
{
    // While a run is busy the slider stays disabled; EnableControls applies the rule at its end.
    if (!busy_)
        sliderQuality->setEnabled(QualitySliderEnabled(comboFormat->currentIndex()));
}

// Settings actions ---------------------------------------------------------------------------------------------

void ViewController::OnAutoCropSelected()
{
    radioAutoCrop->setChecked(true);
    radioCustomCrop->setChecked(false);
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropSelected()
{
    radioCustomCrop->setChecked(true);
    radioAutoCrop->setChecked(false);
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropPixelsSelected()
{
    radioCustomCropPixels->setChecked(true);
    radioCustomCropPercents->setChecked(false);
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropPercentsSelected()
{
    radioCustomCropPercents->setChecked(true);
    radioCustomCropPixels->setChecked(false);
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnAutoCropFormatSelected()
{
    if (comboAutoCropFormat->currentIndex() == kCustomAutoCropFormatIndex)
        ShowCustomAspectRatioWindow();
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnOriginCornerSelected()
{
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropPixelsOriginXChanged()
{
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropPixelsOriginYChanged()
{
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropPixelsWidthChanged()
{
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnCustomCropPixelsHeightChanged()
{
    UpdateCropPreview();
    MarkModified();
}

// A typed percent shows in the preview at once. Only the steppers mark the profile modified; the fields' text is
// read whenever it is needed.
void ViewController::OnCustomCropPercentsOriginXChanged()
{
    UpdateCropPreview();
}

void ViewController::OnCustomCropPercentsOriginYChanged()
{
    UpdateCropPreview();
}

void ViewController::OnCustomCropPercentsWidthChanged()
{
    UpdateCropPreview();
}

void ViewController::OnCustomCropPercentsHeightChanged()
{
    UpdateCropPreview();
}

void ViewController::StepperChanged(const Stepper& stepper, QLineEdit& field)
{
    field.setText(ToQString(FormatFloatValue(stepper.Value())));
    UpdateCropPreview();
    MarkModified();
}

void ViewController::OnStepperCustomCropPercentsOriginXChanged()
{
    StepperChanged(*stepperCustomCropPercentsOriginX, *textFieldCustomCropPercentsOriginX);
}

void ViewController::OnStepperCustomCropPercentsOriginYChanged()
{
    StepperChanged(*stepperCustomCropPercentsOriginY, *textFieldCustomCropPercentsOriginY);
}

void ViewController::OnStepperCustomCropPercentsWidthChanged()
{
    StepperChanged(*stepperCustomCropPercentsWidth, *textFieldCustomCropPercentsWidth);
}

void ViewController::OnStepperCustomCropPercentsHeightChanged()
{
    StepperChanged(*stepperCustomCropPercentsHeight, *textFieldCustomCropPercentsHeight);
}

void ViewController::OnFormatSelected()
{
    ApplyQualitySliderRule();
    MarkModified();
}

void ViewController::OnQualityChanged()
{
    labelQuality->setText(ToQString(QualityLabelText(sliderQuality->Value())));
    MarkModified();
}

void ViewController::OnNameChanged()
{
    MarkModified();
}

void ViewController::OnBrowse()
{
    const QString start = platform_->ReadPreference(kOutputFolderKey).value_or(QString());
    const auto folder = platform_->ChooseFolder(tr("Select Folder"), start);
    if (!folder)
        return;
    textFieldOutputFolder->setText(*folder);
    platform_->WritePreference(kOutputFolderKey, *folder);
}

void ViewController::ShowCustomAspectRatioWindow()
{
    windowControllerCustomAspectRatio->Show();
}

// Profiles and the unsaved-changes mark ------------------------------------------------------------------------

bool ViewController::IsModified() const
{
    return windowTitle().endsWith(QLatin1Char('*'));
}

void ViewController::MarkModified()
{
    if (!IsModified())
        setWindowTitle(windowTitle() + QLatin1Char('*'));
}

void ViewController::SetTitle(const QString& title)
{
    // Qt shows "[*]" as its own modified placeholder; doubled, it is shown as typed.
    QString escaped = title;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(escaped);
}

bool ViewController::MayDiscardChanges(const QString& question)
{
    if (!IsModified())
        return true;
    Alert alert;
    alert.informativeText = question;
    alert.buttons = {tr("Yes"), tr("No")};
    alert.escapeButton = 1; // dismissing the question keeps the changes
    return platform_->ShowAlert(alert) != 1;
}

QString ViewController::ProfileFolder() const
{
    if (currentProfilePath.empty())
        return {};
    return QFileInfo(ToQString(currentProfilePath)).absolutePath();
}

void ViewController::OnFileNew()
{
    if (!MayDiscardChanges(tr("You have unsaved changes that will be lost. Continue?")))
        return;
    ResetToDefaults();
    currentProfilePath.clear();
    SetTitle(QString::fromUtf16(kUntitledWindowTitle));
}

void ViewController::OnSaveProfile()
{
    if (!IsModified())
        return;
    if (currentProfilePath.empty())
        OnSaveProfileAs();
    else
        WriteProfile();
}

void ViewController::OnSaveProfileAs()
{
    const auto chosen = platform_->ChooseProfileToSave(ProfileFolder(), kProposedProfileName);
    if (!chosen || chosen->isEmpty())
        return;
    // The path is kept even when the write fails, so that Save tries the same file again.
    currentProfilePath = chosen->toStdString();
    WriteProfile();
}

void ViewController::WriteProfile()
{
    const std::string text = WriteProfileText(GetCropSettings(), dataProvider.Ratio());
    // Written beside the old file and renamed over it once complete: a failed save leaves the old profile intact.
    QSaveFile file(ToQString(currentProfilePath));
    const bool written =
        file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) && file.commit();
    if (!written) {
        ShowMessage(AlertStyle::Warning, tr("Could not save profile."));
        return;
    }
    SetTitle(ProfileTitle(ToQString(currentProfilePath)));
}

void ViewController::OnLoadProfile()
{
    if (!MayDiscardChanges(tr("You have unsaved changes that will be lost. Continue?")))
        return;
    const auto chosen = platform_->ChooseProfileToLoad(ProfileFolder());
    if (!chosen || chosen->isEmpty())
        return;

    // The whole file is checked before anything changes; a refused file leaves the settings, the title and the
    // profile path as they were, so Save never writes over a file that did not load.
    std::optional<ProfileContent> content;
    QFile file(*chosen);
    if (QFileInfo(file).isFile() && file.size() <= kMaxProfileBytes && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.read(kMaxProfileBytes + 1);
        if (file.error() == QFileDevice::NoError && bytes.size() <= kMaxProfileBytes) {
            content = ReadProfileText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                      ProfileContent{GetCropSettings(), dataProvider.Ratio()});
        }
    }
    if (!content) {
        ShowMessage(AlertStyle::Warning, tr("Could not load profile."));
        return;
    }

    currentProfilePath = chosen->toStdString();
    SetCropSettings(content->settings);
    static_cast<CustomRatio&>(dataProvider) = content->customRatio;
    // An open custom ratio window shows the loaded ratio, so that confirming one of its fields later does not
    // put back the value it showed before.
    windowControllerCustomAspectRatio->ReloadValues();
    ReloadImageList();
    SetTitle(ProfileTitle(ToQString(currentProfilePath)));
}

void ViewController::ResetToDefaults()
{
    listImagePaths.clear();
    tabView->setCurrentIndex(0);
    SetCropSettings(CropSettings{});
    progressIndicator->setValue(0);
    if (!busy_)
        sliderQuality->setEnabled(true);
    ReloadImageList();
    ClearCropPreview();
}

// The image list ----------------------------------------------------------------------------------------------

void ViewController::OnAddImages()
{
    const QString start = platform_->ReadPreference(kAddImagesKey).value_or(QString());
    QStringList extensions;
    for (const auto& extension : OpenPanelExtensions())
        extensions << ToQString(extension);
    const auto chosen = platform_->ChooseImageFiles(start, extensions);
    if (!chosen)
        return;
    if (chosen->isEmpty()) {
        ShowMessage(AlertStyle::Warning, tr("The images could not be loaded."));
        return;
    }
    platform_->WritePreference(kAddImagesKey, ToQString(FolderOfPath(chosen->constFirst().toStdString())));
    AddPanelFiles(listImagePaths, ToPaths(*chosen));
    ReloadImageList();
}

void ViewController::OnRemoveSelected()
{
    if (listImagePaths.empty())
        return;
    const int row = tableViewImage->SelectedRow();
    if (row >= 0 && row < static_cast<int>(listImagePaths.size())) {
        listImagePaths.erase(listImagePaths.begin() + row);
        ReloadImageList();
    }
    ClearCropPreview();
}

void ViewController::OnRemoveAll()
{
    if (listImagePaths.empty())
        return;
    Alert question;
    question.informativeText = tr("Are you sure you want to remove all the images from the list?");
    question.buttons = {tr("Yes"), tr("No")};
    question.escapeButton = 1;
    if (platform_->ShowAlert(question) != 0)
        return;
    listImagePaths.clear();
    ReloadImageList();
    ClearCropPreview();
}

void ViewController::openData(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    AddOpenedFiles(listImagePaths, ToPaths(paths));
    ReloadImageList();
}

void ViewController::AcceptDrop(int gap, const std::vector<std::string>& paths)
{
    const auto accepted = SelectDroppedFiles(listImagePaths, paths, [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(path, error);
    });
    if (accepted.empty())
        return;
    // No reload: the selection, the current image and the preview stay as they are.
    imageListModel->BeginInsert(gap, static_cast<int>(accepted.size()));
    listImagePaths.insert(listImagePaths.begin() + gap, accepted.begin(), accepted.end());
    imageListModel->EndInsert();
}

// Selection and preview ---------------------------------------------------------------------------------------

void ViewController::LoadSelectedImage()
{
    const int row = tableViewImage->SelectedRow();
    if (row < 0 || row >= static_cast<int>(listImagePaths.size())) {
        ClearCurrentImage();
        UpdateDimensionLabels();
        return;
    }
    const std::string& path = listImagePaths[static_cast<std::size_t>(row)];
    // The header gives the size at once; the picture itself is decoded for the preview off this thread.
    const auto size = ImageTools::GetImagePixelSize(path);
    if (!size || size->width <= 0 || size->height <= 0) {
        ClearCurrentImage();
        UpdateDimensionLabels();
        return;
    }
    currentImage = {path, *size};
    UpdateCropPreview();
}

void ViewController::UpdateCropPreview()
{
    if (currentImage.size.width <= 0 || currentImage.size.height <= 0)
        return;
    const Rect rect =
        GetPreviewCropRect(GetCropSettings(), dataProvider.Ratio(), currentImage.size.width, currentImage.size.height);
    RequestCropPreview(rect, comboOriginCorner->currentIndex());
    UpdateDimensionLabels();
}

void ViewController::RequestCropPreview(const Rect& rect, int originCorner)
{
    const quint64 request = ++previewRequest_;
    const QSize target = imageViewCropPreview->DisplayPixelSize();
    const std::string path = currentImage.path;
    const PixelSize sourceSize = currentImage.size;
    std::shared_ptr<const RgbaBitmap> cached;
    if (previewSource_.bitmap && previewSource_.path == path && previewSource_.target == target)
        cached = previewSource_.bitmap;
    // Requests still waiting for a thread are out of date now.
    previewPool_.clear();
    previewPool_.start([this, request, target, path, sourceSize, cached, rect, originCorner] {
        std::shared_ptr<const RgbaBitmap> source = cached;
        if (!source) {
            // Decoding at the displayed size looks the same as drawing at full size and scaling down, and
            // lets the decoder skip most of the work (JPEG scales while it decodes).
            if (auto bitmap = ImageTools::LoadPreviewBitmap(path, target.width(), target.height()))
                source = std::make_shared<const RgbaBitmap>(std::move(*bitmap));
        }
        QImage image;
        if (source)
            image = ToQImage(DrawCropPreview(rect.x, rect.y, rect.w, rect.h, *source, sourceSize, originCorner));
        QMetaObject::invokeMethod(
            this,
            [this, request, image, path, target, source] { ShowCropPreview(request, image, path, target, source); },
            Qt::QueuedConnection);
    });
}

void ViewController::ShowCropPreview(quint64 request, const QImage& image, const std::string& path, QSize target,
                                     const std::shared_ptr<const RgbaBitmap>& source)
{
    if (source && path == currentImage.path)
        previewSource_ = {path, target, source};
    // A newer request (or a cleared selection) has taken over: this result is out of date.
    if (request != previewRequest_)
        return;
    shownPreviewRequest_ = request;
    imageViewCropPreview->SetImage(image);
}

void ViewController::ClearCurrentImage()
{
    currentImage = {};
    ClearCropPreview();
}

void ViewController::ClearCropPreview()
{
    shownPreviewRequest_ = ++previewRequest_;
    imageViewCropPreview->SetImage({});
}

void ViewController::ReloadImageList()
{
    imageListModel->Reload();
    ClearCurrentImage();
    previewSource_ = {};
    UpdateDimensionLabels();
}

void ViewController::UpdateDimensionLabels()
{
    DimensionLabels previous;
    previous.originalWidth = labelOriginalDimensionsWidth->text().toStdString();
    previous.originalHeight = labelOriginalDimensionsHeight->text().toStdString();
    previous.outputWidth = labelOutputDimensionsWidth->text().toStdString();
    previous.outputHeight = labelOutputDimensionsHeight->text().toStdString();
    const DimensionLabels labels = MakeDimensionLabels(GetCropSettings(), dataProvider.Ratio(), currentImage.size.width,
                                                       currentImage.size.height, previous);
    labelOriginalDimensionsWidth->setText(ToQString(labels.originalWidth));
    labelOriginalDimensionsHeight->setText(ToQString(labels.originalHeight));
    labelOutputDimensionsWidth->setText(ToQString(labels.outputWidth));
    labelOutputDimensionsHeight->setText(ToQString(labels.outputHeight));
}

// The crop run -----------------------------------------------------------------------------------------------

int ViewController::ShowMessage(AlertStyle style, const QString& text)
{
    Alert alert;
    alert.style = style;
    alert.informativeText = text;
    return platform_->ShowAlert(alert);
}

void ViewController::OnCropImages()
{
    if (busy_)
        return;
    const CropSettings settings = GetCropSettings();
    if (const auto refusal = CheckCropRun(listImagePaths, settings)) {
        ShowMessage(AlertStyle::Warning, ToQString(*refusal));
        return;
    }
    const std::vector<std::string> sourcePaths = listImagePaths;
    DisableControls();
    const CropJob job =
        BuildCropJob(sourcePaths, settings, dataProvider.Ratio(), [this](const std::string& outputPath) {
            Alert question;
            question.informativeText = ToQString(OverwriteQuestionText(outputPath));
            question.buttons = {tr("Yes"), tr("Yes to All"), tr("No"), tr("No to All")};
            question.escapeButton = 2; // dismissing the question keeps the existing file
            switch (platform_->ShowAlert(question)) {
            case 0:
                return OverwriteAnswer::Yes;
            case 1:
                return OverwriteAnswer::YesToAll;
            case 3:
                return OverwriteAnswer::NoToAll;
            default:
                return OverwriteAnswer::No;
            }
        });
    runPool_.start([this, job] {
        CropRunCallbacks callbacks;
        callbacks.progress = [this](double value) {
            QMetaObject::invokeMethod(
                this, [this, value] { SetProgress(value); }, Qt::QueuedConnection);
        };
        callbacks.imageDone = [](const ImageOutcome& outcome) {
            if (!outcome.reason.empty())
                std::fprintf(stderr, "%s: %s\n", outcome.sourcePath.c_str(), outcome.reason.c_str());
        };
        const CropRunResult result = CropImagesWork(job, callbacks);
        const bool allImagesCropped = result.allImagesCropped;
        QMetaObject::invokeMethod(
            this, [this, allImagesCropped] { CropImagesFinished(allImagesCropped); }, Qt::QueuedConnection);
    });
}

void ViewController::SetProgress(double value)
{
    progressIndicator->setValue(static_cast<int>(std::lround(value * kProgressScale)));
}

void ViewController::SetControlsEnabled(bool enabled)
{
    const std::initializer_list<QWidget*> controls{
        buttonAddImages,
        buttonRemoveSelected,
        buttonRemoveAll,
        radioAutoCrop,
        comboAutoCropFormat,
        radioCustomCrop,
        comboOriginCorner,
        radioCustomCropPixels,
        textFieldCustomCropPixelsOriginX,
        textFieldCustomCropPixelsOriginY,
        textFieldCustomCropPixelsWidth,
        textFieldCustomCropPixelsHeight,
        radioCustomCropPercents,
        textFieldCustomCropPercentsOriginX,
        stepperCustomCropPercentsOriginX,
        textFieldCustomCropPercentsOriginY,
        stepperCustomCropPercentsOriginY,
        textFieldCustomCropPercentsWidth,
        stepperCustomCropPercentsWidth,
        textFieldCustomCropPercentsHeight,
        stepperCustomCropPercentsHeight,
        comboFormat,
        sliderQuality,
        textFieldName,
        textFieldOutputFolder,
        checkKeepEXIFInformationAndCreationDate,
        buttonBrowse,
        buttonCropImages,
    };
    for (QWidget* control : controls)
        control->setEnabled(enabled);
}

void ViewController::DisableControls()
{
    busy_ = true;
    SetControlsEnabled(false);
    buttonCropImages->setText(tr("Cropping..."));
}

void ViewController::EnableControls()
{
    busy_ = false;
    SetControlsEnabled(true);
    buttonCropImages->setText(tr("Crop Images"));
    ApplyQualitySliderRule();
}

void ViewController::CropImagesFinished(bool allImagesCropped)
{
    progressIndicator->setValue(0);
    EnableControls();
    if (!allImagesCropped) {
        ShowMessage(AlertStyle::Warning, ToQString(std::string(kRunFailedMessage)));
    } else {
        ShowMessage(AlertStyle::Informational, ToQString(std::string(kRunSucceededMessage)));
        ShowRateMessage();
    }
    Q_EMIT cropRunFinished(allImagesCropped);
}

void ViewController::ShowRateMessage()
{
    const auto stored = platform_->ReadPreference(kShowRateMessageKey);
    if (!stored) {
        // The first successful run of a user asks nothing.
        platform_->WritePreference(kShowRateMessageKey, QStringLiteral("Yes"));
        return;
    }
    if (*stored != QStringLiteral("Yes") || rateMessageShown)
        return;
    Alert question;
    question.informativeText = tr("If you enjoy using Trimlark, would you mind taking a moment to rate it? "
                                  "Thanks for your support!");
    question.buttons = {tr("Yes, Rate Trimlark"), tr("Remind me later"), tr("No, Thanks")};
    question.escapeButton = 1;
    switch (platform_->ShowAlert(question)) {
    case 0:
        platform_->OpenUrl(ReviewUrl());
        platform_->WritePreference(kShowRateMessageKey, QStringLiteral("No"));
        break;
    case 2:
        platform_->WritePreference(kShowRateMessageKey, QStringLiteral("No"));
        break;
    default:
        break;
    }
    rateMessageShown = true;
}

// The shell -----------------------------------------------------------------------------------------------------

void ViewController::OnVideoTutorial()
{
    platform_->OpenUrl(VideoTutorialUrl());
}

void ViewController::BringForward()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void ViewController::OnAppQuit()
{
    if (ApplicationShouldTerminate())
        Q_EMIT quitRequested();
}

bool ViewController::ApplicationShouldTerminate()
{
    if (!quitting_) {
        if (!MayDiscardChanges(tr("You have unsaved changes that will be lost. Are you sure you want to exit the "
                                  "application?")))
            return false;
        quitting_ = true;
    }
    windowControllerCustomAspectRatio->Close();
    return true;
}

bool ViewController::WindowShouldClose()
{
    // Quit asked already; the window closing on the way out asks nothing more.
    if (!quitting_ && !MayDiscardChanges(tr("You have unsaved changes that will be lost. Are you sure you want to "
                                            "exit the application?")))
        return false;
    windowControllerCustomAspectRatio->Close();
    return true;
}

void ViewController::closeEvent(QCloseEvent* event)
{
    if (!WindowShouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT windowClosed();
}

} // namespace trimlark
