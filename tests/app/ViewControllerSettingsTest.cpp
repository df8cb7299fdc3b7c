#include "ScriptedPlatform.h"
#include "app/QualitySlider.h"
#include "app/Stepper.h"
#include "settings/ChoiceLists.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

namespace trimlark {
namespace {

using ViewControllerSettings = WindowFixture;

// What a settings control shows: a field's text, a list's index, a toggle's state, a stepper's or slider's value.
QString Shown(QWidget* control)
{
    if (auto* field = qobject_cast<QLineEdit*>(control))
        return field->text();
    if (auto* list = qobject_cast<QComboBox*>(control))
        return QString::number(list->currentIndex());
    if (auto* toggle = qobject_cast<QAbstractButton*>(control))
        return toggle->isChecked() ? "on" : "off";
    if (auto* stepper = qobject_cast<Stepper*>(control))
        return QString::number(stepper->Value());
    return QString::number(qobject_cast<QualitySlider*>(control)->Value());
}

TEST_F(ViewControllerSettings, EveryControlShowsItsOwnSettingAndReadsItBack)
{
    CropSettings s;
    s.radioAutoCrop = false;
    s.comboAutoCropFormat = 3;
    s.radioCustomCrop = true;
    s.comboOriginCorner = 2;
    s.radioCustomCropPixels = true;
    s.textFieldCustomCropPixelsOriginX = "11";
    s.textFieldCustomCropPixelsOriginY = "12";
    s.textFieldCustomCropPixelsWidth = "13";
    s.textFieldCustomCropPixelsHeight = "14";
    s.radioCustomCropPercents = false;
    s.textFieldCustomCropPercentsOriginX = "21";
    s.stepperCustomCropPercentsOriginX = 31;
    s.textFieldCustomCropPercentsOriginY = "22";
    s.stepperCustomCropPercentsOriginY = 32;
    s.textFieldCustomCropPercentsWidth = "23";
    s.stepperCustomCropPercentsWidth = 33;
    s.textFieldCustomCropPercentsHeight = "24";
    s.stepperCustomCropPercentsHeight = 34;
    s.comboFormat = FormatIndexOfTitle("PNG");
    s.sliderQuality = 79.9f;
    s.textFieldName = "n";
    s.textFieldOutputFolder = "/out";
    s.checkKeepEXIFInformationAndCreationDate = false;
    const std::pair<const char*, QString> shown[] = {
        {"radioAutoCrop", "off"},
        {"comboAutoCropFormat", "3"},
        {"radioCustomCrop", "on"},
        {"comboOriginCorner", "2"},
        {"radioCustomCropPixels", "on"},
        {"textFieldCustomCropPixelsOriginX", "11"},
        {"textFieldCustomCropPixelsOriginY", "12"},
        {"textFieldCustomCropPixelsWidth", "13"},
        {"textFieldCustomCropPixelsHeight", "14"},
        {"radioCustomCropPercents", "off"},
        {"textFieldCustomCropPercentsOriginX", "21"},
        {"stepperCustomCropPercentsOriginX", "31"},
        {"textFieldCustomCropPercentsOriginY", "22"},
        {"stepperCustomCropPercentsOriginY", "32"},
        {"textFieldCustomCropPercentsWidth", "23"},
        {"stepperCustomCropPercentsWidth", "33"},
        {"textFieldCustomCropPercentsHeight", "24"},
        {"stepperCustomCropPercentsHeight", "34"},
        {"comboFormat", QString::number(FormatIndexOfTitle("PNG"))},
        {"sliderQuality", "79.9"},
        {"textFieldName", "n"},
        {"textFieldOutputFolder", "/out"},
        {"checkKeepEXIFInformationAndCreationDate", "off"},
    };
    window->SetCropSettings(s);
    for (const auto& [name, text] : shown) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Shown(Find(name)), text);
    }
    EXPECT_EQ(window->GetCropSettings(), s);
    EXPECT_EQ(Find<QLabel>("labelQuality")->text(), "79"); // the whole part of 79.9
    EXPECT_FALSE(Find("sliderQuality")->isEnabled());       // PNG has no quality
    EXPECT_EQ(Title(), "Trimlark") << "setting from code marks nothing";

    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    window->ResetToDefaults();
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_EQ(Find<QTabWidget>("tabView")->currentIndex(), 0);
    EXPECT_TRUE(Find("sliderQuality")->isEnabled());
    EXPECT_EQ(Find<QLabel>("labelQuality")->text(), "80");
}

TEST_F(ViewControllerSettings, QualitySliderAndLabelFollowTheirControls)
{
    const std::pair<const char*, bool> formats[] = {{"PNG", false}, {"JPEG", true}, {"GIF", false}, {"Original", true}};
    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    for (const auto& [format, enabled] : formats) {
        SCOPED_TRACE(format);
        ChooseItem(Find("comboFormat"), format);
        EXPECT_EQ(Find("sliderQuality")->isEnabled(), enabled);
    }
    Find("sliderQuality")->setFocus();
    QTest::keyClick(Find("sliderQuality"), Qt::Key_Left);
    EXPECT_EQ(Find<QLabel>("labelQuality")->text(), "79");
}

TEST_F(ViewControllerSettings, EachStepperWritesOnlyItsOwnField)
{
    const char* const names[] = {"OriginX", "OriginY", "Width", "Height"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const QByteArray field = QByteArray("textFieldCustomCropPercents") + name;
        TypeInto(Find(field.constData()), "35"); // typing does not move the stepper: its click overwrites the text
        const CropSettings before = window->GetCropSettings();
        auto* stepper = Find<Stepper>((QByteArray("stepperCustomCropPercents") + name).constData());
        QTest::mouseClick(stepper->findChild<QToolButton*>("buttonUp"), Qt::LeftButton);
        const CropSettings after = window->GetCropSettings();
        EXPECT_EQ(Find<QLineEdit>(field.constData())->text(), QString::number(stepper->Value()));
        int changedFields = 0;
        for (const auto text : {&CropSettings::textFieldCustomCropPercentsOriginX,
                                &CropSettings::textFieldCustomCropPercentsOriginY,
                                &CropSettings::textFieldCustomCropPercentsWidth,
                                &CropSettings::textFieldCustomCropPercentsHeight})
            changedFields += after.*text != before.*text;
        EXPECT_EQ(changedFields, 1);
    }
}

TEST_F(ViewControllerSettings, RadioPairsAreKeptApartByTheirActions)
{
    struct Case
    {
        const char* click;
        bool autoCrop, custom, pixels, percents;
    };
    // Each row continues from the one before; the pixel/percent pair keeps its state under the auto crop.
    const Case cases[] = {
        {"radioCustomCrop", false, true, false, true},     {"radioCustomCropPixels", false, true, true, false},
        {"radioAutoCrop", true, false, true, false},       {"radioAutoCrop", true, false, true, false},
        {"radioCustomCropPercents", true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.click);
        ClickToggle(Find(c.click));
        const CropSettings s = window->GetCropSettings();
        EXPECT_EQ(s.radioAutoCrop, c.autoCrop);
        EXPECT_EQ(s.radioCustomCrop, c.custom);
        EXPECT_EQ(s.radioCustomCropPixels, c.pixels);
        EXPECT_EQ(s.radioCustomCropPercents, c.percents);
    }
}

TEST_F(ViewControllerSettings, BrowseSetsTheFolderAndRemembersIt)
{
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), QString()) << "created empty at the first start";
    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    platform->folderAnswers = {QString("/srv/crops"), std::nullopt};
    Click("buttonBrowse");
    Click("buttonBrowse"); // cancelled: nothing changes
    EXPECT_EQ(Find<QLineEdit>("textFieldOutputFolder")->text(), "/srv/crops");
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/crops");
    Relaunch();
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/crops");
    EXPECT_EQ(Find<QLineEdit>("textFieldOutputFolder")->text(), "") << "the field is not filled from it";
}

TEST_F(ViewControllerSettings, BringingForwardRestoresOnlyAMinimisedWindow)
{
    const std::pair<Qt::WindowStates, Qt::WindowStates> cases[] = {
        {Qt::WindowMaximized, Qt::WindowMaximized},
        {Qt::WindowMinimized, Qt::WindowNoState},
        {Qt::WindowMinimized | Qt::WindowMaximized, Qt::WindowMaximized},
    };
    for (const auto& [before, after] : cases) {
        window->setWindowState(before);
        window->BringForward();
        EXPECT_EQ(window->windowState() & ~Qt::WindowActive, after);
    }
    Trigger("actionVideoTutorial");
    EXPECT_EQ(platform->openedUrls, std::vector<QUrl>{ViewController::VideoTutorialUrl()});
}

} // namespace
} // namespace trimlark
