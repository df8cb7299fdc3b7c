#include "ScriptedPlatform.h"
#include "customratio/ViewControllerCustomAspectRatio.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>

namespace trimlark {
namespace {

class ViewControllerCustomRatio : public WindowFixture
{
public:
    ViewControllerCustomAspectRatio* CustomWindow() const { return window->CustomAspectRatioWindow()->Window(); }
    QStringList OutputLabels() const
    {
        return {Find<QLabel>("labelOutputDimensionsWidth")->text(), Find<QLabel>("labelOutputDimensionsHeight")->text()};
    }
    // "Custom" chosen from the ratio list, also when it is selected already.
    void ChooseCustom() const
    {
        auto* combo = Find<QComboBox>("comboAutoCropFormat");
        if (combo->currentText() != "Custom")
            ChooseItem(combo, "Custom");
        else
            Q_EMIT combo->activated(combo->currentIndex());
    }
};

TEST_F(ViewControllerCustomRatio, ChoosingCustomOpensTheOneWindow)
{
    ChooseCustom();
    QPointer<ViewControllerCustomAspectRatio> first = CustomWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->showMinimized();
    ChooseCustom();
    EXPECT_EQ(CustomWindow(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(window->findChildren<ViewControllerCustomAspectRatio*>().size(), 1);
}

TEST_F(ViewControllerCustomRatio, EntriesRefreshThePreviewAndLeaveTheTitleAlone)
{
    OpenWith({MakeImage("landscape.png", 300, 200), MakeImage("portrait.png", 200, 300)});
    ClickRow(0);
    ChooseCustom();
    auto* custom = CustomWindow();
    Enter(custom->textFieldHeight, "9");
    platform->saveProfileAnswers.push_back(TempPath("ratio.tlp"));
    Trigger("actionSaveProfileAs");
    ASSERT_EQ(Title(), "Trimlark - ratio");

    Enter(custom->textFieldWidth, "16");
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 300", "Height: 168"})); // 300 * 9 / 16 = 168.75
    EXPECT_TRUE(window->IsCropPreviewPending()) << "a new preview was asked for";
    Enter(custom->textFieldWidth, "-3"); // not a ratio term: 1
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 22", "Height: 200"})); // 1:9: 200 / 9 = 22.2
    // On the portrait image, 16:9 with the width along the longer side is 168 x 300; along the horizontal side
    // 200 x 112 (200 * 9 / 16 = 112.5).
    Enter(custom->textFieldWidth, "16");
    ClickRow(1);
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 168", "Height: 300"}));
    custom->checkWidthLargestDimension->click();
    EXPECT_EQ(OutputLabels(), (QStringList{"Width: 200", "Height: 112"}));
    EXPECT_EQ(Title(), "Trimlark - ratio");
}

TEST_F(ViewControllerCustomRatio, LoadWhileOpenShowsTheLoadedRatio)
{
    static_cast<CustomRatio&>(DataProvider::Shared()) = {21, 9, false};
    const QString path = TempPath("wide.tlp");
    platform->saveProfileAnswers.push_back(path);
    Trigger("actionSaveProfileAs");
    Reset();
    ChooseCustom();
    auto* custom = CustomWindow();
    Enter(custom->textFieldWidth, "4");
    platform->loadProfileAnswers.push_back(path);
    Trigger("actionLoadProfile");
    EXPECT_EQ(custom->textFieldWidth->text(), "21");
    EXPECT_EQ(custom->textFieldHeight->text(), "9");
    EXPECT_FALSE(custom->checkWidthLargestDimension->isChecked());
    QTest::keyClick(custom->textFieldWidth, Qt::Key_Return);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{21, 9, false})) << "confirming keeps the loaded value";
}

TEST_F(ViewControllerCustomRatio, LeavingTheAppClosesItUnlessRefused)
{
    struct Case
    {
        const char* name;
        bool quit;   // Quit, or closing the main window
        int answer;  // to the unsaved-changes question
        bool closed;
    };
    const Case cases[] = {
        {"Quit", true, 0, true},
        {"close", false, 0, true},
        {"Quit refused", true, 1, false},
        {"close refused", false, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Relaunch();
        ChooseCustom(); // a setting action: the title is marked
        platform->answer = [&](const Alert&) { return c.answer; };
        QPointer<ViewControllerCustomAspectRatio> custom = CustomWindow();
        if (c.quit)
            Trigger("actionQuit");
        else
            window->close();
        EXPECT_EQ(CustomWindow() == nullptr, c.closed);
        EXPECT_EQ(DataProvider::Shared().customWindowIsOpen, !c.closed);
        EXPECT_EQ(!custom.isNull() && custom->isVisible(), !c.closed);
    }
}

TEST_F(ViewControllerCustomRatio, MainWindowGoesAwayWhileAnEntryIsBeingTyped)
{
    OpenWith({MakeImage("photo.png", 300, 200)});
    ClickRow(0);
    ChooseCustom();
    auto* custom = CustomWindow();
    QApplication::setActiveWindow(custom);
    TypeInto(custom->textFieldWidth, "5");
    ASSERT_EQ(QApplication::focusWidget(), custom->textFieldWidth);
    // The field loses its focus as its window goes with the main window; by then neither may be called.
    window.reset();
    EXPECT_EQ(DataProvider::Shared().customWidth, 1) << "the entry was never confirmed";
}

} // namespace
} // namespace trimlark
