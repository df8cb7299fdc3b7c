#include "ScriptedPlatform.h"
#include "app/QualitySlider.h"
#include "app/Stepper.h"
#include "imaging/Codecs.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <array>

namespace trimlark {
namespace {

using ViewControllerSettings = WindowFixture;

const QString kPercentTerms[] = {"OriginX", "OriginY", "Width", "Height"};

TEST_F(ViewControllerSettings, EveryControlShowsItsOwnSettingAndReadsItBack)
{
    // Every text field is set to its own name, every stepper to its place in kPercentTerms.
    CropSettings s;
    s.radioAutoCrop = false;
    s.comboAutoCropFormat = 3;
    s.radioCustomCrop = true;
    s.comboOriginCorner = 2;
    s.radioCustomCropPixels = true;
    s.textFieldCustomCropPixelsOriginX = "textFieldCustomCropPixelsOriginX";
    s.textFieldCustomCropPixelsOriginY = "textFieldCustomCropPixelsOriginY";
    s.textFieldCustomCropPixelsWidth = "textFieldCustomCropPixelsWidth";
    s.textFieldCustomCropPixelsHeight = "textFieldCustomCropPixelsHeight";
    s.radioCustomCropPercents = false;
    s.textFieldCustomCropPercentsOriginX = "textFieldCustomCropPercentsOriginX";
    s.stepperCustomCropPercentsOriginX = 0;
    s.textFieldCustomCropPercentsOriginY = "textFieldCustomCropPercentsOriginY";
    s.stepperCustomCropPercentsOriginY = 1;
    s.textFieldCustomCropPercentsWidth = "textFieldCustomCropPercentsWidth";
    s.stepperCustomCropPercentsWidth = 2;
    s.textFieldCustomCropPercentsHeight = "textFieldCustomCropPercentsHeight";
    s.stepperCustomCropPercentsHeight = 3;
    s.comboFormat = AvailableFormats().IndexOfTitle("PNG");
    s.sliderQuality = 79.9f;
    s.textFieldName = "textFieldName";
    s.textFieldOutputFolder = "textFieldOutputFolder";
    s.checkKeepEXIFInformationAndCreationDate = false;
    window->SetCropSettings(s);

    const auto fields = window->findChildren<QLineEdit*>(QRegularExpression("^textField"));
    EXPECT_EQ(fields.size(), 10);
    for (const QLineEdit* field : fields)
        EXPECT_EQ(field->text(), field->objectName());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Find<Stepper>("stepperCustomCropPercents" + kPercentTerms[i])->Value(), i);
    for (const auto& [name, index] :
         {std::pair("comboAutoCropFormat", 3), {"comboOriginCorner", 2}, {"comboFormat", s.comboFormat}})
        EXPECT_EQ(Find<QComboBox>(name)->currentIndex(), index) << name;
    EXPECT_FALSE(Find<QAbstractButton>("checkKeepEXIFInformationAndCreationDate")->isChecked());
    EXPECT_EQ(Find<QualitySlider>("sliderQuality")->Value(), 79.9f);
    EXPECT_EQ(Text("labelQuality"), "79");            // its whole part
    EXPECT_FALSE(Find("sliderQuality")->isEnabled()); // PNG has no quality
    EXPECT_EQ(window->GetCropSettings(), s);
    EXPECT_EQ(Title(), "Trimlark") << "setting from code marks nothing";

    Find<QTabWidget>("tabView")->setCurrentIndex(1);
    window->ResetToDefaults();
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_EQ(Find<QTabWidget>("tabView")->currentIndex(), 0);
    EXPECT_TRUE(Find("sliderQuality")->isEnabled());
    EXPECT_EQ(Text("labelQuality"), "80");
}

TEST_F(ViewControllerSettings, ControlsActAsTheirRulesSay)
{
    // The output folder: chosen in a panel and remembered (the preference exists, empty, from the first start).
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "");
    Browse("/srv/crops");
    Click("buttonBrowse"); // cancelled: nothing changes
    EXPECT_EQ(Text("textFieldOutputFolder"), "/srv/crops");
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/crops");
    Trigger("actionVideoTutorial");
    EXPECT_EQ(platform->openedUrls, std::vector<QUrl>{ViewController::VideoTutorialUrl()});

    for (const auto& [format, enabled] :
         {std::pair("PNG", false), {"JPEG", true}, {"GIF", false}, {"Original", true}}) {
        ChooseItem(Find("comboFormat"), format);
        EXPECT_EQ(Find("sliderQuality")->isEnabled(), enabled) << format;
    }
    QTest::keyClick(Find("sliderQuality"), Qt::Key_Left);
    EXPECT_EQ(Text("labelQuality"), "79");

    // A stepper's click overwrites what was typed beside it (typing does not move it), and nothing else.
    const auto percentTexts = [&] {
        QStringList texts;
        for (const QString& term : kPercentTerms)
            texts << Text("textFieldCustomCropPercents" + term);
        return texts;
    };
    for (int i = 0; i < 4; ++i) {
        TypeInto(Find("textFieldCustomCropPercents" + kPercentTerms[i]), "35");
        QStringList expected = percentTexts();
        StepUp(kPercentTerms[i]);
        expected[i] = QString::number(Find<Stepper>("stepperCustomCropPercents" + kPercentTerms[i])->Value());
        EXPECT_EQ(percentTexts(), expected) << kPercentTerms[i].toStdString();
    }

    // Each radio pair is kept apart by its actions. Each row continues from the one before; the pixel/percent
    // pair keeps its state under the auto crop.
    const std::pair<const char*, std::array<bool, 4>> clicks[] = {
        {"radioCustomCrop", {false, true, false, true}},         {"radioCustomCropPixels", {false, true, true, false}},
        {"radioAutoCrop", {true, false, true, false}},           {"radioAutoCrop", {true, false, true, false}},
        {"radioCustomCropPercents", {true, false, false, true}},
    };
    for (const auto& [radio, on] : clicks) {
        Click(radio);
        const CropSettings s = window->GetCropSettings();
        EXPECT_EQ((std::array{s.radioAutoCrop, s.radioCustomCrop, s.radioCustomCropPixels, s.radioCustomCropPercents}),
                  on)
            << radio;
    }
}

} // namespace
} // namespace trimlark
