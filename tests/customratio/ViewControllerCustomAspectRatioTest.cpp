#include "customratio/ViewControllerCustomAspectRatio.h"

#include "WidgetTestSupport.h"
#include "customratio/CustomAspectRatioWindowController.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>

namespace trimlark {
namespace {

using CustomAspectRatioWindow = RatioReset;

TEST_F(CustomAspectRatioWindow, ConfirmedEntryIsStoredBeforeThePreviewIsAskedFor)
{
    using Term = std::int64_t CustomRatio::*;
    const std::tuple<QLineEdit * ViewControllerCustomAspectRatio::*, Term, Term> terms[] = {
        {&ViewControllerCustomAspectRatio::textFieldWidth, &CustomRatio::customWidth, &CustomRatio::customHeight},
        {&ViewControllerCustomAspectRatio::textFieldHeight, &CustomRatio::customHeight, &CustomRatio::customWidth},
    };
    const std::tuple<const char*, const char*, std::int64_t> cases[] = {
        {"16", "16", 16}, {"007", "007", 7}, {"2.5", "1", 1}, {"0", "1", 1}}; // typed, shown, stored
    for (const auto& [field, stored, other] : terms) {
        for (const auto& [typed, shown, value] : cases) {
            DataProvider::Shared().*stored = 5; // so that a stored 1 can only come from the entry
            DataProvider::Shared().*other = 3;
            ViewControllerCustomAspectRatio window;
            window.show();
            std::vector<std::int64_t> seenByPreview;
            QObject::connect(&window, &ViewControllerCustomAspectRatio::UpdateCropPreview,
                             [&, stored = stored] { seenByPreview.push_back(DataProvider::Shared().*stored); });
            TypeInto(window.*field, typed);
            EXPECT_EQ(DataProvider::Shared().*stored, 5) << "nothing is stored before it is confirmed";
            QTest::keyClick(window.*field, Qt::Key_Return);
            EXPECT_EQ((window.*field)->text(), shown) << typed;
            EXPECT_EQ(seenByPreview, std::vector<std::int64_t>{value}) << typed;
            EXPECT_EQ(DataProvider::Shared().*other, 3);
        }
    }
}

TEST_F(CustomAspectRatioWindow, ClosingConfirmsTheEntryAndDestroyingCallsNothing)
{
    for (const auto& [typed, stored] : {std::pair("21", 21), {"2.5", 1}}) {
        auto* window = new ViewControllerCustomAspectRatio;
        window->show();
        QPointer<ViewControllerCustomAspectRatio> watched(window);
        TypeInto(window->textFieldWidth, typed);
        window->close();
        EXPECT_EQ(DataProvider::Shared().customWidth, stored) << typed;
        EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
        DeleteClosedWindows();
        EXPECT_TRUE(watched.isNull()) << "a closed window is deleted";
    }
    Reset();
    auto window = std::make_unique<ViewControllerCustomAspectRatio>();
    window->show();
    QApplication::setActiveWindow(window.get());
    TypeInto(window->textFieldHeight, "5");
    ASSERT_EQ(QApplication::focusWidget(), window->textFieldHeight);
    // The field loses its focus while the window's base class is destroyed; the window's own part is gone then.
    window.reset();
    EXPECT_EQ(DataProvider::Shared().customHeight, 1);
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
}

TEST_F(CustomAspectRatioWindow, ControllerKeepsOneWindowAndOneConnection)
{
    auto mainWindow = std::make_unique<QWidget>();
    auto* controller = new CustomAspectRatioWindowController(mainWindow.get());
    QSignalSpy updates(controller, &CustomAspectRatioWindowController::UpdateCropPreview);
    controller->ReloadValues(); // nothing open: nothing happens
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    TypeInto(first->textFieldHeight, "12");
    first->showMinimized();
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen) << "minimising does not close";
    controller->Show();
    EXPECT_EQ(controller->Window(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(first->textFieldHeight->text(), "12") << "the typing in progress is not lost";

    QTest::keyClick(first->checkWidthLargestDimension, Qt::Key_Space);
    controller->Close(); // confirms the 12
    EXPECT_EQ(controller->Window(), nullptr);
    // Shown again before the closed window's deferred deletion has run: that deletion leaves the new one be.
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> second = controller->Window();
    DeleteClosedWindows();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller->Window(), second.data());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);
    EXPECT_EQ(second->textFieldHeight->text(), "12") << "a new window shows the stored values";
    EXPECT_FALSE(second->checkWidthLargestDimension->isChecked());
    Enter(second->textFieldWidth, "3");
    EXPECT_EQ(updates.count(), 3) << "every window reports through the controller";
    DataProvider::Shared().customWidth = 40; // as a profile load does: shown, not reported
    controller->ReloadValues();
    EXPECT_EQ(second->textFieldWidth->text(), "40");
    EXPECT_EQ(updates.count(), 3);
    EXPECT_EQ(mainWindow->findChildren<ViewControllerCustomAspectRatio*>().size(), 1);

    mainWindow.reset();
    EXPECT_TRUE(second.isNull());
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
}

} // namespace
} // namespace trimlark
