#include "app/ViewController.h"

#include "app/ColourButton.h"
#include "app/CropPreviewView.h"
#include "app/ImageTableView.h"
#include "app/NotificationCenter.h"
#include "app/QualitySlider.h"
#include "app/RunMessages.h"
#include "app/ShownCrop.h"
#include "app/Stepper.h"
#include "app/ThumbnailGridView.h"
#include "base/Numbers.h"
#include "imaging/Codecs.h"
#include "list/ListFile.h"
#include "run/CropJob.h"
#include "run/OutputFolder.h"
#include "settings/CropGeometry.h"
#include "settings/OutputSize.h"
#include "settings/SettingsRules.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <cmath>
#include <numeric>
#include <utility>

namespace trimlark {

namespace {

const QString kOutputFolderKey = QStringLiteral("OutputFolder");

QString ToQString(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

ViewController::ViewController(std::unique_ptr<Platform> platform, QWidget* parent)
    : QMainWindow(parent), platform_(std::move(platform)), dataProvider(DataProvider::Shared()),
      document_(*this, *platform_,
                [this] {
                    return ProfileContent{GetCropSettings(), dataProvider.Ratio()};
                }),
      imageList_(*platform_), ratePrompt_(*platform_, ReviewUrl())
{
    setObjectName(QStringLiteral("ViewController"));
    setWindowTitle(QStringLiteral("Trimlark"));
    platform_->SetDialogParent(this);

    BuildLayout(*this);
    BuildMenus(*this);
    tableViewImage->setModel(&imageList_.Model());
    SetUpGrid();
    settingsBinding_ = BindSettings();
    ConnectActions();
    ResetToDefaults();
    for (const QString& key : {QStringLiteral("AddImages"), kOutputFolderKey}) {
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
    preview_.Stop();
    run_.WaitForDone();
    // The model goes with the list, before the child widgets do.
    gridViewImage->setModel(nullptr);
    tableViewImage->setModel(nullptr);
}

void ViewController::ConnectActions()
{
    connect(actionNew, &QAction::triggered, this, &ViewController::OnFileNew);
    connect(actionLoadProfile, &QAction::triggered, this, &ViewController::OnLoadProfile);
    connect(actionSaveProfile, &QAction::triggered, this, &ViewController::OnSaveProfile);
    connect(actionSaveProfileAs, &QAction::triggered, this, &ViewController::OnSaveProfileAs);
    connect(actionQuit, &QAction::triggered, this, &ViewController::OnAppQuit);
    connect(actionAddImages, &QAction::triggered, this, &ViewController::OnAddImages);
    connect(actionCropImages, &QAction::triggered, this, &ViewController::OnCropImages);
    connect(actionVideoTutorial, &QAction::triggered, this, &ViewController::OnVideoTutorial);
    // Only signals that user input sends are connected, so that setting a control from code runs no action.
    connect(radioAutoCrop, &QRadioButton::clicked, this, &ViewController::OnAutoCropSelected);
    connect(radioCustomCrop, &QRadioButton::clicked, this, &ViewController::OnCustomCropSelected);
    connect(radioTrimBorders, &QRadioButton::clicked, this, &ViewController::OnTrimBordersSelected);
    connect(radioCustomCropPixels, &QRadioButton::clicked, this, &ViewController::OnCustomCropPixelsSelected);
    connect(radioCustomCropPercents, &QRadioButton::clicked, this, &ViewController::OnCustomCropPercentsSelected);
    connect(comboAutoCropFormat, &QComboBox::activated, this, &ViewController::OnAutoCropFormatSelected);
    connect(comboAutoCropPosition, &QComboBox::activated, this, &ViewController::OnAutoCropPositionSelected);
    connect(comboOriginCorner, &QComboBox::activated, this, &ViewController::OnOriginCornerSelected);
    const std::pair<QLineEdit*, void (ViewController::*)()> fields[] = {
        {textFieldCustomCropPixelsOriginX, &ViewController::OnCustomCropPixelsOriginXChanged},
        {textFieldCustomCropPixelsOriginY, &ViewController::OnCustomCropPixelsOriginYChanged},
        {textFieldCustomCropPixelsWidth, &ViewController::OnCustomCropPixelsWidthChanged},
        {textFieldCustomCropPixelsHeight, &ViewController::OnCustomCropPixelsHeightChanged},
        {textFieldCustomCropPercentsOriginX, &ViewController::OnCustomCropPercentsOriginXChanged},
        {textFieldCustomCropPercentsOriginY, &ViewController::OnCustomCropPercentsOriginYChanged},
        {textFieldCustomCropPercentsWidth, &ViewController::OnCustomCropPercentsWidthChanged},
        {textFieldCustomCropPercentsHeight, &ViewController::OnCustomCropPercentsHeightChanged},
        {textFieldName, &ViewController::OnNameChanged},
        {textFieldTrimTolerance, &ViewController::CropSettingChanged},
        {textFieldTrimMargin, &ViewController::CropSettingChanged},
    };
    for (const auto& [field, slot] : fields)
        connect(field, &QLineEdit::textEdited, this, slot);
    const std::pair<Stepper*, void (ViewController::*)()> steppers[] = {
        {stepperCustomCropPercentsOriginX, &ViewController::OnStepperCustomCropPercentsOriginXChanged},
        {stepperCustomCropPercentsOriginY, &ViewController::OnStepperCustomCropPercentsOriginYChanged},
        {stepperCustomCropPercentsWidth, &ViewController::OnStepperCustomCropPercentsWidthChanged},
        {stepperCustomCropPercentsHeight, &ViewController::OnStepperCustomCropPercentsHeightChanged},
    };
    for (const auto& [stepper, slot] : steppers)
        connect(stepper, &Stepper::valueStepped, this, slot);
    connect(comboFormat, &QComboBox::activated, this, &ViewController::OnFormatSelected);
    connect(checkLosslessJpeg, &QCheckBox::clicked, this, &ViewController::CropSettingChanged);
    for (QComboBox* combo : {comboSize, comboSizeUnit})
        connect(combo, &QComboBox::activated, this, &ViewController::OnSizeChanged);
    for (QLineEdit* field : {textFieldSizeWidth, textFieldSizeHeight, textFieldSizePpi})
        connect(field, &QLineEdit::textEdited, this, &ViewController::OnSizeChanged);
    for (QCheckBox* box : {checkDoNotEnlarge, checkFillToSize})
        connect(box, &QCheckBox::clicked, this, &ViewController::OnSizeChanged);
    connect(colorFill, &ColourButton::colourChosen, this, &ViewController::CropSettingChanged);
    connect(imageViewCropPreview, &CropPreviewView::cropChanged, this, &ViewController::OnCropChanged);
    connect(imageViewCropPreview, &CropPreviewView::resetRequested, this, &ViewController::OnResetCrop);
    connect(buttonResetCrop, &QPushButton::clicked, this, &ViewController::OnResetCrop);
    connect(actionResetAllAdjustments, &QAction::triggered, this, &ViewController::OnResetAllAdjustments);
    connect(actionOpenList, &QAction::triggered, this, &ViewController::OnOpenList);
    connect(actionSaveList, &QAction::triggered, this, &ViewController::OnSaveList);
    colorFill->SetChooser([this](const QString& current) { return platform_->ChooseColour(current); });
    connect(sliderQuality, &QualitySlider::qualityChanged, this, &ViewController::OnQualityChanged);
    connect(buttonBrowse, &QPushButton::clicked, this, &ViewController::OnBrowse);
    connect(buttonAddImages, &QPushButton::clicked, this, &ViewController::OnAddImages);
    connect(buttonRemoveSelected, &QPushButton::clicked, this, &ViewController::OnRemoveSelected);
    connect(tableViewImage, &ImageTableView::removeRequested, this, &ViewController::OnRemoveSelected);
    ShowImageCount(imageList_.Model());
    connect(buttonRemoveAll, &QPushButton::clicked, this, &ViewController::OnRemoveAll);
    connect(buttonCropImages, &QPushButton::clicked, this, &ViewController::OnCropImages);
    connect(buttonStop, &QPushButton::clicked, this, &ViewController::OnStopCropping);
    connect(tableViewImage->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ViewController::LoadSelectedImage);

    connect(&preview_, &CropPreviewController::previewReady, imageViewCropPreview, &CropPreviewView::SetImage);
    connect(&preview_, &CropPreviewController::planPlaced, this, &ViewController::UpdateDimensionLabels);
    connect(&preview_, &CropPreviewController::refreshDue, this, &ViewController::UpdateCropPreview);
    // A file whose pixels cannot be decoded shows as no selection: no sizes over an empty preview.
    connect(&preview_, &CropPreviewController::pictureUnreadable, this, &ViewController::ClearCurrentImage);
    connect(imageViewCropPreview, &CropPreviewView::displaySizeChanged, &preview_, &CropPreviewController::ViewResized);
    connect(&run_, &CropRunController::progressChanged, this, &ViewController::SetProgress);
    connect(&run_, &CropRunController::finished, this, &ViewController::CropImagesFinished);
}

CropSettings ViewController::GetCropSettings() const
{
    return settingsBinding_.Get();
}

void ViewController::SetCropSettings(const CropSettings& settings)
{
    settingsBinding_.Set(settings);
    labelQuality->setText(ToQString(QualityLabelText(settings.sliderQuality)));
    ApplyQualitySliderRule();
    ApplySizeRule();
}

void ViewController::ApplySizeRule()
{
    const auto mode = static_cast<SizeMode>(std::max(0, comboSize->currentIndex()));
    const bool sized = mode != SizeMode::Keep;
    const bool print = mode == SizeMode::PrintSize;
    for (QWidget* shown : {static_cast<QWidget*>(textFieldSizeWidth), static_cast<QWidget*>(checkDoNotEnlarge)})
        shown->setVisible(sized);
    for (QWidget* shown : {static_cast<QWidget*>(textFieldSizeHeight), static_cast<QWidget*>(labelSizeBy)})
        shown->setVisible(sized && mode != SizeMode::LongSide);
    labelSizePixels->setVisible(sized && !print);
    comboSizeUnit->setVisible(print);
    rowSizePpi->setVisible(print);
    rowFill->setVisible(mode == SizeMode::FitWithin);
    colorFill->SetTransparentOffered(AvailableFormats().OutputFormatAt(comboFormat->currentIndex(), "") !=
                                     OutputFormat::Jpeg);
    labelLosslessSizeNote->setVisible(sized);
    const auto request = ReadSizeRequest(GetCropSettings());
    const bool shaped = request && (mode == SizeMode::Exactly || print);
    labelRatioFromSize->setVisible(shaped);
    if (shaped) {
        const auto ratio = *SizeCropRatio(*request, 1, 0); // as for a landscape picture
        const auto divisor = std::gcd(ratio.along, ratio.across);
        labelRatioFromSize->setText(tr("%1:%2 from the size").arg(ratio.along / divisor).arg(ratio.across / divisor));
    }
    // While a run is busy these stay disabled; EnableControls applies the rule at its end.
    if (busy_)
        return;
    checkLosslessJpeg->setEnabled(!sized);
    comboAutoCropFormat->setEnabled(!shaped);
    colorFill->setEnabled(checkFillToSize->isChecked());
}

void ViewController::OnSizeChanged()
{
    ApplySizeRule();
    CropSettingChanged();
}

void ViewController::ApplyQualitySliderRule()
{
    // While a run is busy the slider stays disabled; EnableControls applies the rule at its end.
    if (!busy_)
        sliderQuality->setEnabled(AvailableFormats().QualityApplies(comboFormat->currentIndex()));
}

// Settings actions ---------------------------------------------------------------------------------------------

void ViewController::CropSettingChanged()
{
    gridViewImage->CropsChanged();
    UpdateCropPreview();
    MarkModified();
}

void ViewController::SelectRadio(QRadioButton* chosen, QRadioButton* partner)
{
    chosen->setChecked(true);
    partner->setChecked(false);
    CropSettingChanged();
}

void ViewController::SelectCropKind(QRadioButton* chosen)
{
    for (QRadioButton* kind : {radioAutoCrop, radioCustomCrop, radioTrimBorders})
        kind->setChecked(kind == chosen);
    CropSettingChanged();
}

void ViewController::StepperChanged(const Stepper* stepper, QLineEdit* field)
{
    field->setText(ToQString(FormatFloatValue(stepper->Value())));
    CropSettingChanged();
}

void ViewController::OnAutoCropFormatSelected()
{
    if (comboAutoCropFormat->currentIndex() == kCustomAutoCropFormatIndex)
        ShowCustomAspectRatioWindow();
    CropSettingChanged();
}

void ViewController::OnFormatSelected()
{
    ApplyQualitySliderRule();
    ApplySizeRule();      // the fill offers transparency where the format has alpha
    CropSettingChanged(); // a lossless crop applies to JPEG output only
}

void ViewController::OnQualityChanged()
{
    labelQuality->setText(ToQString(QualityLabelText(sliderQuality->Value())));
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

// Profiles ----------------------------------------------------------------------------------------------------

void ViewController::OnFileNew()
{
    if (!document_.MayDiscardChanges())
        return;
    ResetToDefaults();
    document_.SetUntitled();
}

void ViewController::OnLoadProfile()
{
    const auto content = document_.Load();
    if (!content)
        return;
    SetCropSettings(content->settings);
    static_cast<CustomRatio&>(dataProvider) = content->customRatio;
    // An open custom ratio window shows the loaded ratio, so that confirming one of its fields later does not
    // put back the value it showed before.
    windowControllerCustomAspectRatio->ReloadValues();
    ReloadImageList();
}

void ViewController::ResetToDefaults()
{
    imageList_.Clear();
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
    if (imageList_.AddFromPanel())
        ReloadImageList();
}

void ViewController::OnRemoveSelected()
{
    if (imageList_.Paths().empty())
        return;
    const int next = imageList_.RemoveRowsAt(tableViewImage->SelectedRows());
    ReloadImageList(); // also when nothing was selected: the preview is cleared
    if (next >= 0)
        tableViewImage->selectRow(next);
}

void ViewController::OnRemoveAll()
{
    if (!imageList_.RemoveAll())
        return;
    ReloadImageList();
    ClearCropPreview();
}

void ViewController::openData(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    imageList_.AddOpened(paths);
    ReloadImageList();
}

// Selection and preview ---------------------------------------------------------------------------------------

void ViewController::LoadSelectedImage()
{
    const int row = tableViewImage->SelectedRow();
    const auto& paths = imageList_.Paths();
    // The headers give the size and the JPEG layout at once, in one read; the picture itself is decoded for the
    // preview off this thread.
    std::optional<ImageProbe> probe;
    if (row >= 0 && row < static_cast<int>(paths.size()))
        probe = ImageTools::ProbeImage(paths[static_cast<std::size_t>(row)]);
    if (!probe || probe->size.width <= 0 || probe->size.height <= 0)
        return ClearCurrentImage();
    currentImage = {paths[static_cast<std::size_t>(row)], probe->size, probe->jpeg};
    std::vector<std::string> neighbours; // the next row first: lists are mostly walked down
    for (const int next : {row + 1, row - 1})
        if (next >= 0 && next < static_cast<int>(paths.size()))
            neighbours.push_back(paths[static_cast<std::size_t>(next)]);
    preview_.SetNeighbours(std::move(neighbours));
    UpdateCropPreview();
}

void ViewController::UpdateCropPreview()
{
    if (currentImage.size.width <= 0 || currentImage.size.height <= 0)
        return;
    ShownCropRequest shown = CropRequestOf(currentImage.path, currentImage.size, currentImage.jpeg);
    preview_.Request(currentImage.path, currentImage.size, imageViewCropPreview->DisplayPixelSize(), shown.plan,
                     std::move(shown.placeOnPicture));
    UpdateDimensionLabels(shown.plan);
}

ShownCropRequest ViewController::CropRequestOf(const std::string& path, PixelSize size,
                                               const std::optional<LosslessJpegLayout>& jpeg) const
{
    // A refused crop writes the whole image, so nothing is veiled; a lossless one shows its grown region.
    const CropSettings settings = GetCropSettings();
    const CustomRatio ratio = dataProvider.Ratio();
    const CropAdjustment* adjustment = imageList_.AdjustmentOf(path);
    ShownCropRequest shown{GetShownCrop(path, size, jpeg, settings, ratio, nullptr, adjustment), {}};
    if (PlacesOnSubject(settings) && !adjustment) {
        shown.placeOnPicture = [path, size, jpeg, settings, ratio](const RgbaBitmap& sample) {
            return GetShownCrop(path, size, jpeg, settings, ratio, &sample);
        };
    }
    // The border is looked for off this thread, once per file and values (the whole picture is decoded for it).
    const auto trim = ReadTrimRequest(settings);
    if (GetCropMode(settings) == CropMode::TrimBorders && trim &&
        !(adjustment && adjustment->kind == CropAdjustment::Kind::Rectangle)) {
        const std::optional<CropAdjustment> own = adjustment ? std::optional(*adjustment) : std::nullopt;
        shown.placeOnPicture = [path, size, jpeg, settings, ratio, own, trim = *trim,
                                found = trimFound_](const RgbaBitmap&) {
            const auto trimmed = found->Get(path, trim.tolerance, trim.margin);
            return GetShownCrop(path, size, jpeg, settings, ratio, nullptr, own ? &*own : nullptr, &trimmed);
        };
    }
    return shown;
}

void ViewController::ClearCurrentImage()
{
    currentImage = {};
    ClearCropPreview();
    UpdateDimensionLabels({});
}

void ViewController::ReloadImageList()
{
    imageList_.Model().Reload();
    preview_.ForgetPicture();
    ClearCurrentImage();
}

void ViewController::UpdateDimensionLabels(const CropPlan& plan)
{
    ShowDimensionLabels(MakeDimensionLabels(plan, currentImage.size, ShownDimensionLabels()));
    labelCropNote->setVisible(currentImage.size.width > 0 && plan.refused);
    labelCropNote->setText(GetCropMode(GetCropSettings()) == CropMode::TrimBorders
                               ? tr("No border found: the whole image will be written")
                               : tr("No crop: the whole image will be written"));
    const auto [W, H] = currentImage.size;
    std::optional<QRectF> frame;
    if (const auto fill = W > 0 && H > 0 ? plan.FillFrame(W, H) : std::nullopt)
        frame = QRectF(fill->x / W, fill->y / H, fill->w / W, fill->h / H);
    const FillColour colour = plan.fill.value_or(FillColour{});
    imageViewCropPreview->SetFillFrame(frame, QColor(colour.red, colour.green, colour.blue, colour.alpha));
    // The crop that can be dragged: the cut as written (a lossless crop's grown region is not dragged itself).
    std::optional<QRectF> crop;
    if (const auto cut = W > 0 && H > 0 && !plan.lossless ? plan.CutRegion(W, H) : std::nullopt)
        crop = QRectF(cut->x / W, cut->y / H, cut->w / W, cut->h / H);
    const CropMode mode = GetCropMode(GetCropSettings());
    imageViewCropPreview->SetCropRect(crop, mode == CropMode::CustomPixels || mode == CropMode::CustomPercents,
                                      QSizeF(W, H));
    buttonResetCrop->setEnabled(!busy_ && imageList_.AdjustmentOf(currentImage.path) != nullptr);
}

std::optional<PixelRect> ViewController::TrimFindings::Get(const std::string& path, int tolerance, int margin)
{
    const auto key = std::tuple(path, tolerance, margin);
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = found_.find(key); it != found_.end())
            return it->second;
    }
    auto found = ImageTools::FindBorderTrim(path, tolerance, margin);
    const std::lock_guard lock(mutex_);
    if (found_.size() > 64)
        found_.clear(); // a handful of files at a time are looked at; an edited file is looked at anew later
    found_[key] = found;
    return found;
}

// Adjustments and list files -----------------------------------------------------------------------------------

void ViewController::SetAdjustment(const std::string& path, const std::optional<CropAdjustment>& adjustment)
{
    imageList_.SetAdjustment(path, adjustment);
    if (path == currentImage.path)
        UpdateCropPreview();
}

void ViewController::OnCropChanged(const QRectF& crop)
{
    const auto [W, H] = currentImage.size;
    if (busy_ || currentImage.path.empty() || W <= 0 || H <= 0)
        return;
    CropAdjustment adjustment;
    if (GetCropMode(GetCropSettings()) == CropMode::Auto) {
        adjustment.kind = CropAdjustment::Kind::Centre;
        adjustment.x = crop.center().x() * W;
        adjustment.y = crop.center().y() * H;
    } else {
        adjustment.kind = CropAdjustment::Kind::Rectangle;
        adjustment.x = std::round(crop.left() * W);
        adjustment.y = std::round(crop.top() * H);
        adjustment.w = std::max(1.0, std::round(crop.width() * W));
        adjustment.h = std::max(1.0, std::round(crop.height() * H));
    }
    SetAdjustment(currentImage.path, adjustment);
}

void ViewController::OnResetCrop()
{
    if (!busy_ && imageList_.AdjustmentOf(currentImage.path))
        SetAdjustment(currentImage.path, std::nullopt);
}

void ViewController::OnResetAllAdjustments()
{
    if (busy_ || imageList_.AdjustedCount() == 0)
        return;
    Alert question;
    question.informativeText =
        tr("Give every image the shared crop again? The crops adjusted for %n image(s) will be lost.", "",
           static_cast<int>(imageList_.AdjustedCount()));
    question.buttons = {tr("Reset All"), tr("Cancel")};
    question.escapeButton = 1;
    if (platform_->ShowAlert(question) != 0)
        return;
    imageList_.ClearAdjustments();
    UpdateCropPreview();
}

bool ViewController::MayDiscardList()
{
    if (!imageList_.ChangedSinceSaved() || (imageList_.AdjustedCount() == 0 && listPath_.empty()))
        return true;
    Alert question;
    question.informativeText = imageList_.AdjustedCount() > 0
                                   ? tr("The list of images and the crops adjusted for %n image(s) have changes that "
                                        "are not saved in a list file and will be lost. Continue?",
                                        "", static_cast<int>(imageList_.AdjustedCount()))
                                   : tr("The list of images has changes that are not saved in its list file and will "
                                        "be lost. Continue?");
    question.buttons = {tr("Yes"), tr("No")};
    question.escapeButton = 1;
    question.defaultButton = 1;
    return platform_->ShowAlert(question) == 0;
}

void ViewController::OnOpenList()
{
    if (busy_ || !MayDiscardList())
        return;
    const QString start = listPath_.empty() ? QString() : QFileInfo(QString::fromStdString(listPath_)).absolutePath();
    const auto chosen = platform_->ChooseListToOpen(start);
    if (!chosen || chosen->isEmpty())
        return;
    std::string reason;
    const auto entries = ReadListFile(chosen->toStdString(), &reason);
    if (!entries) {
        Alert alert;
        alert.messageText = tr("Could not open the list.");
        alert.informativeText = QString::fromStdString(reason);
        platform_->ShowAlert(alert);
        return;
    }
    imageList_.Clear();
    std::vector<std::string> paths;
    for (const ListEntry& entry : *entries)
        paths.push_back(entry.path);
    imageList_.AddPaths(paths);
    for (const ListEntry& entry : *entries) {
        if (entry.adjustment)
            imageList_.SetAdjustment(entry.path, entry.adjustment);
    }
    listPath_ = chosen->toStdString();
    imageList_.MarkSaved();
    ReloadImageList();
}

void ViewController::OnSaveList()
{
    if (imageList_.Paths().empty())
        return;
    const QString start = listPath_.empty() ? QString() : QFileInfo(QString::fromStdString(listPath_)).absolutePath();
    const auto chosen = platform_->ChooseListToSave(start, QStringLiteral("images.jsonl"));
    if (!chosen || chosen->isEmpty())
        return;
    std::vector<ListEntry> entries;
    for (const std::string& path : imageList_.Paths()) {
        const CropAdjustment* adjustment = imageList_.AdjustmentOf(path);
        entries.push_back({path, adjustment ? std::optional(*adjustment) : std::nullopt});
    }
    std::string reason;
    if (!SaveListFile(chosen->toStdString(), entries, &reason)) {
        Alert alert;
        alert.messageText = tr("Could not save the list.");
        alert.informativeText = QString::fromStdString(reason);
        platform_->ShowAlert(alert);
        return;
    }
    listPath_ = chosen->toStdString();
    imageList_.MarkSaved();
}

// The grid -----------------------------------------------------------------------------------------------------

void ViewController::SetUpGrid()
{
    // The grid shares the table's selection, which the preview follows.
    gridViewImage->setModel(&imageList_.Model());
    gridViewImage->setSelectionModel(tableViewImage->selectionModel());
    gridViewImage->SetCropOf([this](const std::string& path, const ImageProbe& probe) {
        return CropRequestOf(path, probe.size, probe.jpeg);
    });
    // The settings change in the window's controls (CropSettingChanged) and in the custom ratio window.
    connect(&NotificationCenter::Default(), &NotificationCenter::UpdateCropPreview, gridViewImage,
            &ThumbnailGridView::CropsChanged);
    connect(gridViewImage, &ThumbnailGridView::removeRequested, this, &ViewController::OnRemoveSelected);
    connect(actionShowAsGrid, &QAction::toggled, this, &ViewController::OnShowAsGrid);
}

void ViewController::OnShowAsGrid(bool grid)
{
    QAbstractItemView* shown = grid ? static_cast<QAbstractItemView*>(gridViewImage) : tableViewImage;
    stackImages->setCurrentWidget(shown);
    if (shown->currentIndex().isValid())
        shown->scrollTo(shown->currentIndex());
    shown->setFocus();
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
    if (std::string refusal; !CheckCropRun(imageList_.Paths(), settings, &refusal)) {
        ShowMessage(AlertStyle::Warning, ToQString(refusal));
        return;
    }
    if (!PrepareOutputFolder(settings.textFieldOutputFolder))
        return;
    runOutputFolder_ = settings.textFieldOutputFolder;
    DisableControls();
    const auto asking = [this](Alert (*question)(const std::string&)) {
        return [this, question](const std::string& path) {
            return RunMessages::OverwriteAnswerOf(platform_->ShowAlert(question(path)));
        };
    };
    CropJob job = BuildCropJob(imageList_.Paths(), settings, dataProvider.Ratio(),
                               asking(&RunMessages::OverwriteQuestion), asking(&RunMessages::ReplaceSourceQuestion));
    for (CropJobImage& image : job.images) {
        if (const CropAdjustment* adjustment = imageList_.AdjustmentOf(image.sourcePath))
            image.adjustment = *adjustment;
    }
    run_.Start(std::move(job));
}

bool ViewController::PrepareOutputFolder(const std::string& folder)
{
    const OutputFolderCheck check = CheckOutputFolder(folder);
    std::string reason = check.reason;
    if (check.state == OutputFolderCheck::State::Missing) {
        if (platform_->ShowAlert(RunMessages::CreateFolderQuestion(folder)) != 0)
            return false;
        if (CreateOutputFolder(folder, &reason))
            return true;
    } else if (check.state == OutputFolderCheck::State::Ready) {
        return true;
    }
    ShowMessage(AlertStyle::Warning, ToQString(reason));
    return false;
}

void ViewController::SetProgress(double value)
{
    progressIndicator->setValue(static_cast<int>(std::lround(value * kProgressScale)));
}

void ViewController::SetControlsEnabled(bool enabled)
{
    settingsBinding_.SetEnabled(enabled);
    for (QPushButton* button : {buttonAddImages, buttonRemoveSelected, buttonRemoveAll, buttonBrowse, buttonCropImages})
        button->setEnabled(enabled);
    for (QAction* action :
         {actionAddImages, actionCropImages, actionOpenList, actionResetAllAdjustments, actionShowAsGrid})
        action->setEnabled(enabled);
    buttonResetCrop->setEnabled(enabled && imageList_.AdjustmentOf(currentImage.path) != nullptr);
}

void ViewController::DisableControls()
{
    busy_ = true;
    SetControlsEnabled(false);
    buttonCropImages->setText(tr("Cropping..."));
    buttonStop->setText(tr("Stop"));
    buttonStop->setEnabled(true);
    buttonStop->show();
}

void ViewController::EnableControls()
{
    busy_ = false;
    SetControlsEnabled(true);
    buttonCropImages->setText(tr("Crop Images"));
    buttonStop->hide();
    ApplyQualitySliderRule();
    ApplySizeRule();
}

void ViewController::OnStopCropping()
{
    if (!busy_)
        return;
    run_.Stop();
    buttonStop->setEnabled(false);
    buttonStop->setText(tr("Stopping..."));
}

bool ViewController::AskToStopRun(bool closingWindow)
{
    if (platform_->ShowAlert(RunMessages::StopQuestion()) != 0)
        return false;
    // Unsaved settings are asked about while the run still works, so that keeping them leaves it running.
    if (!(closingWindow ? WindowShouldClose() : ApplicationShouldTerminate()))
        return false;
    if (!busy_) { // the run ended while the questions were open
        Q_EMIT quitRequested();
        return true;
    }
    OnStopCropping();
    quitAfterRun_ = true;
    return true;
}

void ViewController::CropImagesFinished(const CropRunResult& result)
{
    progressIndicator->setValue(0);
    EnableControls();
    if (std::exchange(quitAfterRun_, false)) {
        Q_EMIT quitRequested();
        return;
    }
    if (platform_->ShowAlert(RunMessages::Report(result)) == 1)
        if (!platform_->OpenUrl(QUrl::fromLocalFile(ToQString(runOutputFolder_))))
            ShowMessage(AlertStyle::Warning, RunMessages::NoFolderOpenerText(runOutputFolder_));
    if (result.allImagesCropped && !result.stopped)
        ratePrompt_.ShowRateMessage();
    Q_EMIT cropRunFinished(result.allImagesCropped);
}

// The shell -----------------------------------------------------------------------------------------------------

void ViewController::BringForward()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void ViewController::OnAppQuit()
{
    // During a run the app ends with it, once the user agreed to stop it.
    if (busy_) {
        AskToStopRun(false);
        return;
    }
    if (ApplicationShouldTerminate())
        Q_EMIT quitRequested();
}

bool ViewController::ApplicationShouldTerminate()
{
    if (!MayDiscardList() || !document_.MayQuit())
        return false;
    windowControllerCustomAspectRatio->Close();
    return true;
}

bool ViewController::WindowShouldClose()
{
    if (!MayDiscardList() || !document_.MayCloseWindow())
        return false;
    windowControllerCustomAspectRatio->Close();
    return true;
}

void ViewController::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        AskToStopRun(true);
        return;
    }
    if (!WindowShouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT windowClosed();
}

} // namespace trimlark
