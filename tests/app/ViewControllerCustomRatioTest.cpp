#include "ScriptedPlatform.h"
#include "customratio/ViewControllerCustomAspectRatio.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>

namespace trimlark {
namespace {

class ViewControllerCustomRatio : public WindowFixture
{
public:
    ViewControllerCustomAspectRatio* CustomWindow() const { return window->CustomAspectRatioWindow()->Window(); }
    QStringList OutputLabels() const { return DimensionLabels().mid(2); }
};

TEST_F(ViewControllerCustomRatio, ChoosingCustomOpensItAndEntriesRefreshThePreview)
{
    OpenWith({MakeImage("landscape.png", 300, 200), MakeImage("portrait.png", 200, 300)});
    ClickRow(0);
    platform->panelAnswers.push_back(QStringList{TempPath("ratio.tlp")});
    Trigger("actionSaveProfileAs");
    ChooseItem(Find("comboAutoCropFormat"), "Custom");
    auto* custom = CustomWindow();
    ASSERT_NE(custom, nullptr);
    EXPECT_TRUE(custom->isVisible());
    Trigger("actionSaveProfile");
    ASSERT_EQ(Title(), "Trimlark - ratio");

    Enter(custom->textFieldHeight, "9");
    Enter(custom->textFieldWidth, "16");
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 300", "Height: 168"})); // 300 * 9 / 16 = 168.75
    EXPECT_TRUE(window->IsCropPreviewPending()) << "a new preview was asked for";
    // On the portrait image, 16:9 with the width along the longer side is 168 x 300; along the horizontal side
    // 200 x 112 (200 * 9 / 16 = 112.5).
    ClickRow(1);
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 168", "Height: 300"}));
    custom->checkWidthLargestDimension->click();
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 200", "Height: 112"}));
    EXPECT_EQ(Title(), "Trimlark - ratio") << "the ratio window marks nothing";
}

TEST_F(ViewControllerCustomRatio, LoadWhileOpenShowsTheLoadedRatio)
{
    static_cast<CustomRatio&>(DataProvider::Shared()) = {21, 9, false};
    const QString path = TempPath("wide.tlp");
    platform->panelAnswers = {QStringList{path}, QStringList{path}};
    Trigger("actionSaveProfileAs");
    Reset();
    ChooseItem(Find("comboAutoCropFormat"), "Custom");
    auto* custom = CustomWindow();
    Enter(custom->textFieldWidth, "4");
    Trigger("actionLoadProfile");
    EXPECT_EQ(custom->textFieldWidth->text(), "21");
    EXPECT_FALSE(custom->checkWidthLargestDimension->isChecked());
    QTest::keyClick(custom->textFieldWidth, Qt::Key_Return);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{21, 9, false})) << "confirming keeps the loaded value";
}

TEST_F(ViewControllerCustomRatio, LeavingTheAppClosesItUnlessRefused)
{
    // Quit or closing the main window, and the answer to the unsaved-changes question ("Yes" 0, "No" 1).
    for (const auto& [quit, answer] : {std::pair(true, 0), {false, 0}, {true, 1}, {false, 1}}) {
        SCOPED_TRACE(testing::Message() << (quit ? "Quit" : "close") << ", answer " << answer);
        Relaunch();
        ChooseItem(Find("comboAutoCropFormat"), "Custom"); // a setting action: the title is marked
        platform->answer = [answer](const Alert&) { return answer; };
        QPointer<ViewControllerCustomAspectRatio> custom = CustomWindow();
        if (quit)
            Trigger("actionQuit");
        else
            window->close();
        EXPECT_EQ(!custom.isNull() && custom->isVisible(), answer == 1);
        EXPECT_EQ(DataProvider::Shared().customWindowIsOpen, answer == 1);
    }
}

} // namespace
} // namespace trimlark
