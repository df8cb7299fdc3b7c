#include "customratio/ViewControllerCustomAspectRatio.h"

#include "WidgetTestSupport.h"
#include "customratio/CustomAspectRatioWindowController.h"
#include "customratio/RatioTermEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <limits>

namespace trimlark {
namespace {

using CustomAspectRatioWindow = RatioReset;

TEST(RatioTermEntry, StoresPositiveWholeNumbersAndResetsEverythingElseToOne)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    // What is typed, what is stored, and whether the field is reset to "1".
    const std::tuple<const char*, std::int64_t, bool> cases[] = {
        {"007", 7, false},
        {"0", 1, true},
        {"-3", 1, true},
        {"2.5", 1, true},
        {"", 1, true},
        {"1e3", 1, true},
        {"9223372036854775808", 1, true},     // one past the 64-bit range
        {"16777217", 16777216, false},        // 2^24 + 1 has no single-precision value: the even neighbour 2^24
        {"9223372036854775807", kMax, false}, // rounds up to 2^63 in single precision: limited to the largest
    };
    for (const auto& [text, value, resetField] : cases) {
        const RatioTermEntry entry = ReadRatioTerm(text);
        EXPECT_EQ(std::pair(entry.value, entry.resetField), std::pair(value, resetField)) << text;
    }
    // The text shown for a stored value reads back as that value; 2^63 - 2^39 is the largest float below 2^63.
    for (const std::int64_t value : {std::int64_t{1920}, std::int64_t{9223371487098961920}, kMax})
        EXPECT_EQ(ReadRatioTerm(RatioTermText(value)).value, value);
}

TEST_F(CustomAspectRatioWindow, ConfirmedEntryIsStoredBeforeThePreviewIsAskedFor)
{
    using Term = std::int64_t CustomRatio::*;
    // The field, the term it stores, the other term.
    const std::tuple<const char*, Term, Term> terms[] = {
        {"textFieldWidth", &CustomRatio::customWidth, &CustomRatio::customHeight},
        {"textFieldHeight", &CustomRatio::customHeight, &CustomRatio::customWidth}};
    for (const auto& [name, stored, other] : terms) {
        for (const auto& [typed, shown, value] : {std::tuple("16", "16", 16), {"2.5", "1", 1}}) {
            SCOPED_TRACE(testing::Message() << name << " " << typed);
            Shared().*stored = 5; // so that a stored 1 can only come from the entry
            Shared().*other = 3;
            ViewControllerCustomAspectRatio window;
            window.show();
            auto* field = window.findChild<QLineEdit*>(name);
            std::vector<std::int64_t> seenByPreview;
            QObject::connect(&window, &ViewControllerCustomAspectRatio::UpdateCropPreview,
                             [&, stored = stored] { seenByPreview.push_back(Shared().*stored); });
            TypeInto(field, typed);
            EXPECT_EQ(Shared().*stored, 5) << "nothing is stored before it is confirmed";
            QTest::keyClick(field, Qt::Key_Return);
            EXPECT_EQ(field->text(), shown);
            EXPECT_EQ(seenByPreview, std::vector<std::int64_t>{value});
            EXPECT_EQ(Shared().*other, 3);
        }
    }
}

TEST_F(CustomAspectRatioWindow, ClosingConfirmsTheEntryAndDestroyingCallsNothing)
{
    QPointer<ViewControllerCustomAspectRatio> closed = new ViewControllerCustomAspectRatio;
    closed->show();
    TypeInto(closed->textFieldWidth, "21");
    closed->close();
    EXPECT_EQ(Shared().customWidth, 21);
    EXPECT_FALSE(Shared().customWindowIsOpen);
    DeleteClosedWindows();
    EXPECT_TRUE(closed.isNull()) << "a closed window is deleted";

    auto window = std::make_unique<ViewControllerCustomAspectRatio>();
    window->show();
    QApplication::setActiveWindow(window.get());
    TypeInto(window->textFieldHeight, "5");
    ASSERT_EQ(QApplication::focusWidget(), window->textFieldHeight);
    // The field loses its focus while the window's base class is destroyed; the window's own part is gone then.
    window.reset();
    EXPECT_EQ(Shared().customHeight, 1);
    EXPECT_FALSE(Shared().customWindowIsOpen);
}

TEST_F(CustomAspectRatioWindow, ControllerKeepsOneWindowAndOneConnection)
{
    auto mainWindow = std::make_unique<QWidget>();
    auto* controller = new CustomAspectRatioWindowController(mainWindow.get());
    QSignalSpy updates(controller, &CustomAspectRatioWindowController::UpdateCropPreview);
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    TypeInto(first->textFieldHeight, "12");
    first->showMinimized();
    controller->Show();
    EXPECT_EQ(controller->Window(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(first->textFieldHeight->text(), "12") << "the typing in progress is not lost";

    controller->Close(); // confirms the 12
    EXPECT_EQ(controller->Window(), nullptr);
    // Shown again before the closed window's deferred deletion has run: that deletion leaves the new one be.
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> second = controller->Window();
    DeleteClosedWindows();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller->Window(), second.data());
    EXPECT_TRUE(Shared().customWindowIsOpen);
    EXPECT_EQ(second->textFieldHeight->text(), "12") << "a new window shows the stored values";
    Enter(second->textFieldWidth, "3");
    EXPECT_EQ(updates.count(), 2) << "each window reports each change once, through the controller";
    Shared().customWidth = 40; // as a profile load does: shown, not reported
    controller->ReloadValues();
    EXPECT_EQ(second->textFieldWidth->text(), "40");
    EXPECT_EQ(updates.count(), 2);

    mainWindow.reset();
    EXPECT_TRUE(second.isNull());
    EXPECT_FALSE(Shared().customWindowIsOpen);
}

} // namespace
} // namespace trimlark
