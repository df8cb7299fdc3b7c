#include "ScriptedPlatform.h"
#include "app/Stepper.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

class SettingsTest : public ::testing::Test, public WindowFixture
{
protected:
    QString Text(const char* name) const
    {
        if (auto* field = window->findChild<QLineEdit*>(QString::fromLatin1(name)))
            return field->text();
        return Find<QLabel>(name)->text();
    }
    bool Checked(const char* name) const { return Find<QAbstractButton>(name)->isChecked(); }
};

TEST_F(SettingsTest, StartUpState)
{
    EXPECT_EQ(window->windowTitle(), "Trimlark");
    EXPECT_TRUE(Checked("radioAutoCrop"));
    EXPECT_FALSE(Checked("radioCustomCrop"));
    EXPECT_FALSE(Checked("radioCustomCropPixels"));
    EXPECT_TRUE(Checked("radioCustomCropPercents"));
    EXPECT_TRUE(Checked("checkKeepEXIFInformationAndCreationDate"));
    EXPECT_EQ(Find<QComboBox>("comboAutoCropFormat")->currentText(), "1:1");
    EXPECT_EQ(Find<QComboBox>("comboOriginCorner")->currentText(), "Bottom Left");
    EXPECT_EQ(Find<QComboBox>("comboFormat")->currentText(), "JPG");
    for (const char* name : {"textFieldCustomCropPixelsOriginX", "textFieldCustomCropPixelsOriginY",
                             "textFieldCustomCropPixelsWidth", "textFieldCustomCropPixelsHeight"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Text(name).toFloat(), 0.0f);
    }
    EXPECT_EQ(Text("textFieldCustomCropPercentsOriginX"), "20");
    EXPECT_EQ(Text("textFieldCustomCropPercentsOriginY"), "20");
    EXPECT_EQ(Text("textFieldCustomCropPercentsWidth"), "60");
    EXPECT_EQ(Text("textFieldCustomCropPercentsHeight"), "60");
    EXPECT_EQ(Text("labelQuality"), "80");
    EXPECT_TRUE(Find<QSlider>("sliderQuality")->isEnabled());
    EXPECT_EQ(Text("textFieldName"), "[FileName]_cropped ([FileIndex])");
    EXPECT_EQ(Text("textFieldOutputFolder"), "");
    EXPECT_EQ(Find<QTabWidget>("tabView")->currentIndex(), 0);
    EXPECT_EQ(Find<QProgressBar>("progressIndicator")->value(), 0);
    EXPECT_EQ(Find<QPushButton>("buttonCropImages")->text(), "Crop Images");
    for (const char* name : {"labelOriginalDimensionsWidth", "labelOutputDimensionsWidth"})
        EXPECT_EQ(Text(name), "Width: 0");
    for (const char* name : {"labelOriginalDimensionsHeight", "labelOutputDimensionsHeight"})
        EXPECT_EQ(Text(name), "Height: 0");
    EXPECT_TRUE(window->ListImagePaths().empty());
    EXPECT_FALSE(window->RateMessageShown());
    // The two folder preferences exist from the first start on, empty; the rating one does not.
    EXPECT_EQ(platform->ReadPreference("AddImages"), QString());
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), QString());
    EXPECT_FALSE(platform->ReadPreference("ShowRateMessage"));
}

TEST_F(SettingsTest, StartUpKeepsStoredFolders)
{
    (*preferences)["OutputFolder"] = "/srv/out";
    Relaunch();
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/out");
    // The field is not filled from the preference.
    EXPECT_EQ(Text("textFieldOutputFolder"), "");
}

TEST_F(SettingsTest, QualitySliderRuleFollowsTheFormat)
{
    struct Case
    {
        const char* format;
        bool enabled;
    };
    const Case cases[] = {
        {"PNG", false}, {"Original", true}, {"HEIC", false}, {"JPX", true},
        {"GIF", false}, {"JPEG", true},     {"TIF", false},  {"JP2", true},
    };
    auto* slider = Find<QSlider>("sliderQuality");
    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const int before = slider->value();
        ChooseItem(Find<QComboBox>("comboFormat"), c.format);
        EXPECT_EQ(slider->isEnabled(), c.enabled);
        EXPECT_EQ(slider->value(), before); // disabling keeps the value
    }
}

TEST_F(SettingsTest, QualityLabelFollowsTheSlider)
{
    struct Case
    {
        const char* name;
        Qt::Key key;
        const char* label;
    };
    // Each row continues from the one before it.
    const Case cases[] = {
        {"end", Qt::Key_End, "100"},
        {"page down from 100", Qt::Key_PageDown, "90"},
        {"one step down", Qt::Key_Left, "89"},
        {"home", Qt::Key_Home, "1"},
        {"one step up from 1", Qt::Key_Right, "2"},
    };
    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    auto* slider = Find<QSlider>("sliderQuality");
    slider->setFocus();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::keyClick(slider, c.key);
        EXPECT_EQ(Text("labelQuality"), c.label);
    }
}

TEST_F(SettingsTest, FractionalQualityFromSettingsIsKeptAndLabelledByItsWholePart)
{
    CropSettings settings = window->GetCropSettings();
    settings.sliderQuality = 79.9f;
    window->SetCropSettings(settings);
    EXPECT_EQ(Text("labelQuality"), "79");
    EXPECT_EQ(window->GetCropSettings().sliderQuality, 79.9f);
}

TEST_F(SettingsTest, StepperOverwritesWhatWasTyped)
{
    auto* field = Find<QLineEdit>("textFieldCustomCropPercentsOriginX");
    auto* stepper = Find<Stepper>("stepperCustomCropPercentsOriginX");
    TypeInto(field, "35");
    EXPECT_EQ(field->text(), "35");
    EXPECT_EQ(stepper->Value(), 20.0f); // typing does not move it
    QTest::mouseClick(stepper->findChild<QToolButton*>("buttonUp"), Qt::LeftButton);
    EXPECT_EQ(field->text(), "21");
    QTest::mouseClick(stepper->findChild<QToolButton*>("buttonDown"), Qt::LeftButton);
    QTest::mouseClick(stepper->findChild<QToolButton*>("buttonDown"), Qt::LeftButton);
    EXPECT_EQ(field->text(), "19");
    EXPECT_EQ(window->GetCropSettings().stepperCustomCropPercentsOriginX, 19.0f);
}

TEST_F(SettingsTest, EachStepperWritesOnlyItsOwnField)
{
    const char* pairs[][2] = {
        {"stepperCustomCropPercentsOriginX", "textFieldCustomCropPercentsOriginX"},
        {"stepperCustomCropPercentsOriginY", "textFieldCustomCropPercentsOriginY"},
        {"stepperCustomCropPercentsWidth", "textFieldCustomCropPercentsWidth"},
        {"stepperCustomCropPercentsHeight", "textFieldCustomCropPercentsHeight"},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair[0]);
        const CropSettings before = window->GetCropSettings();
        auto* stepper = Find<Stepper>(pair[0]);
        const float expected = stepper->Value() + 1.0f;
        QTest::mouseClick(stepper->findChild<QToolButton*>("buttonUp"), Qt::LeftButton);
        EXPECT_EQ(Text(pair[1]).toFloat(), expected);
        CropSettings after = window->GetCropSettings();
        int changedFields = 0;
        changedFields += after.textFieldCustomCropPercentsOriginX != before.textFieldCustomCropPercentsOriginX;
        changedFields += after.textFieldCustomCropPercentsOriginY != before.textFieldCustomCropPercentsOriginY;
        changedFields += after.textFieldCustomCropPercentsWidth != before.textFieldCustomCropPercentsWidth;
        changedFields += after.textFieldCustomCropPercentsHeight != before.textFieldCustomCropPercentsHeight;
        EXPECT_EQ(changedFields, 1);
    }
}

TEST_F(SettingsTest, RadioPairsAreKeptApartByTheirActions)
{
    struct Case
    {
        const char* click;
        bool autoCrop, custom, pixels, percents;
    };
    // Each row continues from the one before it.
    const Case cases[] = {
        {"radioCustomCrop", false, true, false, true},
        {"radioCustomCropPixels", false, true, true, false},
        // The pixel/percent pair keeps its state under the auto crop.
        {"radioAutoCrop", true, false, true, false},
        // Clicking the radio that is on leaves it on.
        {"radioAutoCrop", true, false, true, false},
        {"radioCustomCropPercents", true, false, false, true},
        {"radioCustomCrop", false, true, false, true},
        {"radioCustomCrop", false, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.click);
        ClickToggle(Find<QRadioButton>(c.click));
        EXPECT_EQ(Checked("radioAutoCrop"), c.autoCrop);
        EXPECT_EQ(Checked("radioCustomCrop"), c.custom);
        EXPECT_EQ(Checked("radioCustomCropPixels"), c.pixels);
        EXPECT_EQ(Checked("radioCustomCropPercents"), c.percents);
    }
}

TEST_F(SettingsTest, BrowseSetsTheFolderAndRemembersIt)
{
    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    platform->folderAnswers.push_back(QString("/srv/crops"));
    QTest::mouseClick(Find<QPushButton>("buttonBrowse"), Qt::LeftButton);
    ASSERT_EQ(platform->folderPrompts.size(), 1u);
    EXPECT_EQ(platform->folderPrompts[0], "Select Folder");
    EXPECT_EQ(Text("textFieldOutputFolder"), "/srv/crops");
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/crops");

    // Cancelling changes nothing.
    QTest::mouseClick(Find<QPushButton>("buttonBrowse"), Qt::LeftButton);
    EXPECT_EQ(Text("textFieldOutputFolder"), "/srv/crops");
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/crops");
}

TEST_F(SettingsTest, ResetToDefaultsRestoresEveryControl)
{
    CropSettings changed;
    changed.radioAutoCrop = false;
    changed.radioCustomCrop = true;
    changed.comboAutoCropFormat = 3;
    changed.comboOriginCorner = 2;
    changed.radioCustomCropPixels = true;
    changed.radioCustomCropPercents = false;
    changed.textFieldCustomCropPixelsWidth = "640";
    changed.textFieldCustomCropPercentsHeight = "12.5";
    changed.stepperCustomCropPercentsHeight = 12.5f;
    changed.comboFormat = 5;
    changed.sliderQuality = 33.0f;
    changed.textFieldName = "x";
    changed.textFieldOutputFolder = "/tmp";
    changed.checkKeepEXIFInformationAndCreationDate = false;
    window->SetCropSettings(changed);
    ASSERT_EQ(window->GetCropSettings(), changed);
    EXPECT_FALSE(Find<QSlider>("sliderQuality")->isEnabled()); // "PNG"
    Find<QTabWidget>("tabView")->setCurrentIndex(1);

    window->ResetToDefaults();
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_EQ(Find<QTabWidget>("tabView")->currentIndex(), 0);
    EXPECT_TRUE(Find<QSlider>("sliderQuality")->isEnabled());
    EXPECT_EQ(Text("labelQuality"), "80");
}

TEST_F(SettingsTest, ClosingTheWindowEndsTheApp)
{
    QSignalSpy closed(window.get(), &ViewController::windowClosed);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(SettingsTest, BringingForwardRestoresOnlyAMinimisedWindow)
{
    struct Case
    {
        const char* name;
        Qt::WindowStates before;
        Qt::WindowStates after;
    };
    const Case cases[] = {
        {"normal", Qt::WindowNoState, Qt::WindowNoState},
        {"maximised", Qt::WindowMaximized, Qt::WindowMaximized},
        {"full screen", Qt::WindowFullScreen, Qt::WindowFullScreen},
        {"minimised", Qt::WindowMinimized, Qt::WindowNoState},
        {"minimised from maximised", Qt::WindowMinimized | Qt::WindowMaximized, Qt::WindowMaximized},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->setWindowState(c.before);
        window->BringForward();
        EXPECT_EQ(window->windowState() & ~Qt::WindowActive, c.after);
        EXPECT_TRUE(window->isVisible());
    }
}

TEST_F(SettingsTest, VideoTutorialOpensItsPage)
{
    window->findChild<QAction*>("actionVideoTutorial")->trigger();
    ASSERT_EQ(platform->openedUrls.size(), 1u);
    EXPECT_EQ(platform->openedUrls[0], ViewController::VideoTutorialUrl());
}

} // namespace
} // namespace trimlark
