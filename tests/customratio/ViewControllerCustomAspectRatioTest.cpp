#include "customratio/ViewControllerCustomAspectRatio.h"

#include "WidgetTestSupport.h"
#include "customratio/CustomAspectRatioWindowController.h"
#include "customratio/RatioTermEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <limits>

namespace trimlark {
namespace {

using CustomAspectRatioWindow = RatioReset;

TEST(RatioTermEntry, KeepsTheSinglePrecisionValueTheFieldHolds)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    // 2^24 + 1 has no single-precision value: the even neighbour 2^24.
    EXPECT_EQ(ReadRatioTerm("16777217").value, 16777216);
    // The largest value rounds up to 2^63, one past the range: limited to the largest, and shown so that it reads
    // back as itself.
    EXPECT_EQ(ReadRatioTerm("9223372036854775807").value, kMax);
    EXPECT_EQ(ReadRatioTerm(RatioTermText(kMax)).value, kMax);
}

TEST_F(CustomAspectRatioWindow, EntriesAreStoredWhenConfirmedBeforeTheyAreReportedThroughOneWindow)
{
    auto mainWindow = std::make_unique<QWidget>();
    auto* controller = new CustomAspectRatioWindowController(mainWindow.get());
    // The ratio as each report finds it.
    std::vector<CustomRatio> reported;
    QObject::connect(controller, &CustomAspectRatioWindowController::UpdateCropPreview,
                     [&] { reported.push_back(Shared().Ratio()); });
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    Enter(first->textFieldWidth, "016");
    TypeInto(first->textFieldHeight, "12");
    first->showMinimized();
    controller->Show();
    EXPECT_EQ(controller->Window(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(first->textFieldHeight->text(), "12") << "the typing in progress is not lost";
    EXPECT_EQ(Shared().customHeight, 1) << "nor stored before it is confirmed";
    QTest::keyClick(first->checkWidthLargestDimension, Qt::Key_Space);
    controller->Close(); // confirms the 12
    EXPECT_EQ(controller->Window(), nullptr);
    EXPECT_FALSE(Shared().customWindowIsOpen);
    EXPECT_EQ(reported, (std::vector<CustomRatio>{{16, 1, true}, {16, 1, false}, {16, 12, false}}));

    // Shown again before the closed window's deferred deletion has run: that deletion leaves the new one be.
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> second = controller->Window();
    DeleteClosedWindows();
    EXPECT_TRUE(first.isNull()) << "a closed window is deleted";
    EXPECT_TRUE(Shared().customWindowIsOpen);
    EXPECT_EQ(second->textFieldHeight->text(), "12") << "a new window shows the stored values";
    EXPECT_FALSE(second->checkWidthLargestDimension->isChecked());
    // What is not a positive whole number is stored as 1, and the field shows it.
    Enter(second->textFieldWidth, "0");
    Enter(second->textFieldHeight, "2.5");
    EXPECT_EQ(second->textFieldWidth->text() + ":" + second->textFieldHeight->text(), "1:1");
    EXPECT_EQ(reported.size(), 5u) << "each change is reported once";
    EXPECT_EQ(reported.back(), (CustomRatio{1, 1, false}));
    Shared().customWidth = 40; // as a profile load does: shown, not reported
    controller->ReloadValues();
    EXPECT_EQ(second->textFieldWidth->text(), "40");
    EXPECT_EQ(reported.size(), 5u);

    // Destroyed with the main window while a field has the focus: the entry is dropped and nothing is called.
    QApplication::setActiveWindow(second);
    TypeInto(second->textFieldHeight, "5");
    ASSERT_EQ(QApplication::focusWidget(), second->textFieldHeight);
    mainWindow.reset();
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(Shared().Ratio(), (CustomRatio{40, 1, false}));
    EXPECT_FALSE(Shared().customWindowIsOpen);
}

} // namespace
} // namespace trimlark
