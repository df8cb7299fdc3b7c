#include "ScriptedPlatform.h"
#include "customratio/CustomRatioViewController.h"
#include "imaging/Codecs.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace trimlark {
namespace {

using ViewControllerSettings = WindowFixture;

TEST_F(ViewControllerSettings, EachControlChangesItsOwnSettingAndMarksTheProfileOnce)
{
    const int png = AvailableFormats().IndexOfTitle("PNG");
    // Clicks the buttons in turn.
    const auto click = [&](auto... buttons) { return [&, buttons...] { (Click(buttons), ...); }; };
    // Types into a field or chooses in a list.
    const auto give = [&](void (*input)(QWidget*, const QString&), const char* name, const char* text) {
        return [&, input, name, text] { input(Find(name), text); };
    };
    // Typing in a percent field leaves its stepper be; the stepper's click then overwrites the typing ("x%" and so
    // on below).
    const auto step = [&](const QString& term) {
        return [&, term] {
            TypeInto(Find("textFieldCustomCropPercents" + term), "35");
            Find("stepperCustomCropPercents" + term)->findChild<QAbstractButton*>("buttonUp")->click();
        };
    };
    // "Other Colour..." from the fill's menu, answered in the colour panel.
    const auto pickColour = [&] {
        platform->panelAnswers = {QStringList{"#123456"}};
        for (QAction* action : Find<QPushButton>("colorFill")->menu()->actions())
            if (action->text() == "Other Colour...")
                action->trigger();
    };
    // The user's action and what it makes of the default settings: every control reaches its own field, and New
    // (between rows) shows the defaults in every control again. The output tab's controls are used without
    // showing their tab: input goes to them directly.
    const std::tuple<const char*, std::function<void()>, CropSettings> cases[] = {
        {"custom crop", click("radioCustomCrop"), {.radioAutoCrop = false, .radioCustomCrop = true}},
        {"pixels", click("radioCustomCropPixels"), {.radioCustomCropPixels = true, .radioCustomCropPercents = false}},
        {"auto crop", click("radioCustomCrop", "radioAutoCrop"), {}},
        {"percents", click("radioCustomCropPixels", "radioCustomCropPercents"), {}},
        {"ratio list", give(ChooseItem, "comboAutoCropFormat", "4:3"), {.comboAutoCropFormat = 1}},
        {"corner list", give(ChooseItem, "comboOriginCorner", "Top Right"), {.comboOriginCorner = 3}},
        {"x", give(TypeInto, "textFieldCustomCropPixelsOriginX", "1"), {.textFieldCustomCropPixelsOriginX = "1"}},
        {"y", give(TypeInto, "textFieldCustomCropPixelsOriginY", "2"), {.textFieldCustomCropPixelsOriginY = "2"}},
        {"width", give(TypeInto, "textFieldCustomCropPixelsWidth", "3"), {.textFieldCustomCropPixelsWidth = "3"}},
        {"height", give(TypeInto, "textFieldCustomCropPixelsHeight", "4"), {.textFieldCustomCropPixelsHeight = "4"}},
        {"x%", step("OriginX"), {.textFieldCustomCropPercentsOriginX = "21", .stepperCustomCropPercentsOriginX = 21}},
        {"y%", step("OriginY"), {.textFieldCustomCropPercentsOriginY = "21", .stepperCustomCropPercentsOriginY = 21}},
        {"width%", step("Width"), {.textFieldCustomCropPercentsWidth = "61", .stepperCustomCropPercentsWidth = 61}},
        {"typed %",
         give(TypeInto, "textFieldCustomCropPercentsWidth", "35"),
         {.textFieldCustomCropPercentsWidth = "35"}},
        {"height%", step("Height"), {.textFieldCustomCropPercentsHeight = "61", .stepperCustomCropPercentsHeight = 61}},
        {"format list", give(ChooseItem, "comboFormat", "PNG"), {.comboFormat = png}},
        {"quality slider", [&] { QTest::keyClick(Find("sliderQuality"), Qt::Key_Left); }, {.sliderQuality = 79}},
        {"name field", give(TypeInto, "textFieldName", "[FileName]"), {.textFieldName = "[FileName]"}},
        {"size list", give(ChooseItem, "comboSize", "Print size"), {.comboSize = 4}},
        {"size width", give(TypeInto, "textFieldSizeWidth", "640"), {.textFieldSizeWidth = "640"}},
        {"size height", give(TypeInto, "textFieldSizeHeight", "480"), {.textFieldSizeHeight = "480"}},
        {"unit list", give(ChooseItem, "comboSizeUnit", "in"), {.comboSizeUnit = 2}},
        {"ppi", give(TypeInto, "textFieldSizePpi", "600"), {.textFieldSizePpi = "600"}},
        {"do not enlarge", click("checkDoNotEnlarge"), {.checkDoNotEnlarge = true}},
        {"fill", click("checkFillToSize"), {.checkFillToSize = true}},
        {"fill colour", pickColour, {.colorFill = "#123456"}},
        {"trim", click("radioTrimBorders"), {.radioAutoCrop = false, .radioTrimBorders = true}},
        {"trim back to auto", click("radioTrimBorders", "radioAutoCrop"), {}},
        {"tolerance", give(TypeInto, "textFieldTrimTolerance", "25"), {.textFieldTrimTolerance = "25"}},
        {"margin", give(TypeInto, "textFieldTrimMargin", "8"), {.textFieldTrimMargin = "8"}},
    };
    for (const auto& [name, act, expected] : cases) {
        SCOPED_TRACE(name);
        Trigger("actionNew"); // "Yes" to its question
        act();
        EXPECT_EQ(window->GetCropSettings(), expected);
        EXPECT_EQ(Title(), "Trimlark*");
        EXPECT_EQ(Find("sliderQuality")->isEnabled(), expected.comboFormat != png);
        EXPECT_EQ(Text("labelQuality"), QString::number(static_cast<int>(expected.sliderQuality)));
    }
    ChooseCorner();
    EXPECT_EQ(Title(), "Trimlark*") << "marked once";

    // The metadata box, the output folder (chosen in a panel, and remembered) and the list are no part of the crop.
    Trigger("actionNew");
    Click("checkKeepEXIFInformationAndCreationDate");
    UseWith("buttonBrowse", "/srv/crops");
    Click("buttonBrowse"); // cancelled: nothing changes
    OpenWith({"/in/a.png"});
    Trigger("actionVideoTutorial");
    EXPECT_EQ(window->GetCropSettings(),
              (CropSettings{.textFieldOutputFolder = "/srv/crops", .checkKeepEXIFInformationAndCreationDate = false}));
    EXPECT_EQ(Title(), "Trimlark");
    EXPECT_EQ(platform->ReadPreference("OutputFolder"), "/srv/crops");
    EXPECT_EQ(platform->openedUrls, std::vector<QUrl>{ViewController::VideoTutorialUrl()});
}

TEST_F(ViewControllerSettings, CustomRatioWindowOpensFromTheListAndRefreshesThePreviewWithoutMarking)
{
    OpenWith({MakeImage("landscape.png", 300, 200)});
    ClickRow(0);
    ChooseItem(Find("comboAutoCropFormat"), "Custom");
    auto* custom = window->CustomAspectRatioWindow()->Window();
    ASSERT_TRUE(custom != nullptr && custom->isVisible());
    UseWith("actionSaveProfileAs", TempPath("ratio.tlp"));
    Enter(custom->textFieldHeight, "9");
    Enter(custom->textFieldWidth, "16");
    EXPECT_EQ(OutputLabels(), "Width: 300, Height: 168"); // 300 * 9 / 16 = 168.75
    EXPECT_EQ(Title(), "Trimlark - ratio") << "the ratio window marks nothing";

    // A profile loaded while it is open (saved with 1:1) shows there, so that confirming a field keeps it.
    UseWith("actionLoadProfile", TempPath("ratio.tlp"));
    EXPECT_EQ(custom->textFieldWidth->text(), "1");
    QTest::keyClick(custom->textFieldWidth, Qt::Key_Return);
    EXPECT_EQ(Shared().Ratio(), CustomRatio{});
}

} // namespace
} // namespace trimlark
