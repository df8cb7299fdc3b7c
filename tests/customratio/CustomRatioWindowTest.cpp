#include "WidgetTestSupport.h"
#include "customratio/CustomRatioViewController.h"
#include "customratio/CustomRatioWindowController.h"
#include "customratio/RatioTermEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <limits>
#include <ranges>

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

TEST_F(CustomAspectRatioWindow, WholeNumbersApplyAsTypedTheRestWhenConfirmedAndAreReportedThroughOneToolWindow)
{
    auto mainWindow = std::make_unique<QWidget>();
    auto* controller = new CustomAspectRatioWindowController(mainWindow.get());
    // The ratio as each report finds it.
    std::vector<CustomRatio> reported;
    QObject::connect(controller, &CustomAspectRatioWindowController::UpdateCropPreview,
                     [&] { reported.push_back(Shared().Ratio()); });
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    EXPECT_TRUE(first->windowType() == Qt::Tool && first->parentWidget() == mainWindow.get());
    QApplication::setActiveWindow(first);
    // Typed over the width's text, one after another; "\r" is Return, "\t" leaves the field, "\b" erases.
    const struct
    {
        const char* name;
        const char* input;
        const char* text;
        std::int64_t stored;
        std::vector<std::int64_t> reportedWidths;
    } entries[] = {
        {"typed and confirmed", "016\r", "016", 16, {16}}, // "0" waits, "01" is the stored 1
        {"cleared", "\b", "", 16, {}},
        {"typed", "7", "7", 7, {7}},
        {"left", "-3\t", "1", 1, {1}},
        {"returned", "2.5\r", "1", 1, {2, 1}}, // "2" applies, "2." waits
    };
    for (const auto& c : entries) {
        SCOPED_TRACE(c.name);
        reported.clear();
        TypeInto(first->textFieldWidth, c.input);
        EXPECT_EQ(first->textFieldWidth->text().toStdString(), c.text);
        const auto widths = reported | std::views::transform(&CustomRatio::customWidth);
        EXPECT_EQ(std::vector(widths.begin(), widths.end()), c.reportedWidths) << "stored before each report";
        EXPECT_EQ(Shared().customWidth, c.stored);
    }
    QTest::keyClick(first->checkWidthLargestDimension, Qt::Key_Space);
    EXPECT_EQ(reported.back(), (CustomRatio{1, 1, false}));
    TypeInto(first->textFieldHeight, "12."); // "12" is stored, "12." waits
    first->showMinimized();
    controller->Show();
    EXPECT_TRUE(controller->Window() == first && !first->isMinimized()) << "the same window, restored";
    EXPECT_EQ(first->textFieldHeight->text(), "12.") << "the entry waiting is not lost";

    // Each way of closing confirms the entry waiting; the next window may open before the last one is deleted.
    const std::pair<const char*, std::function<void(ViewControllerCustomAspectRatio*)>> closings[] = {
        {"main window", [&](auto*) { controller->Close(); }},
        {"Escape", [](auto* window) { QTest::keyClick(window->textFieldHeight, Qt::Key_Escape); }},
        {"Close button", [](auto* window) { QTest::mouseClick(window->buttonClose, Qt::LeftButton); }},
    };
    for (const auto& [name, close] : closings) {
        SCOPED_TRACE(name);
        controller->Show();
        ViewControllerCustomAspectRatio* window = controller->Window();
        EXPECT_FALSE(window->checkWidthLargestDimension->isChecked()) << "a new window shows the stored values";
        TypeInto(window->textFieldHeight, "12.");
        close(window);
        EXPECT_TRUE(controller->Window() == nullptr && !Shared().customWindowIsOpen);
        EXPECT_EQ(reported.back(), (CustomRatio{1, 1, false}));
    }
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> second = controller->Window();
    DeleteClosedWindows();
    EXPECT_TRUE(first.isNull()) << "a closed window is deleted";
    EXPECT_TRUE(Shared().customWindowIsOpen);
    const std::size_t reports = reported.size();
    Shared().customWidth = 40; // as a profile load does: shown, not reported
    controller->ReloadValues();
    EXPECT_EQ(second->textFieldWidth->text(), "40");
    EXPECT_EQ(reported.size(), reports);

    // Destroyed with the main window while a field has the focus: the entry is dropped and nothing is called.
    QApplication::setActiveWindow(second);
    TypeInto(second->textFieldHeight, "5.");
    ASSERT_EQ(QApplication::focusWidget(), second->textFieldHeight);
    mainWindow.reset();
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(Shared().Ratio(), (CustomRatio{40, 5, false}));
    EXPECT_FALSE(Shared().customWindowIsOpen);
}

} // namespace
} // namespace trimlark
