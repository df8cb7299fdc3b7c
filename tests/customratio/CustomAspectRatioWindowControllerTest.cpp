#include "customratio/CustomAspectRatioWindowController.h"

#include "WidgetTestSupport.h"
#include "customratio/ViewControllerCustomAspectRatio.h"

#include <QCheckBox>
#include <QPointer>
#include <QSignalSpy>
#include <memory>

namespace trimlark {
namespace {

// A stand-in main window owning the controller, as the real one does.
class CustomAspectRatioWindowControllerTest : public RatioReset
{
protected:
    void SetUp() override
    {
        RatioReset::SetUp();
        mainWindow->show();
        controller = new CustomAspectRatioWindowController(mainWindow.get());
    }
    void TearDown() override
    {
        mainWindow.reset();
        RatioReset::TearDown();
    }
    int WindowCount() const { return mainWindow->findChildren<ViewControllerCustomAspectRatio*>().size(); }

    std::unique_ptr<QWidget> mainWindow = std::make_unique<QWidget>();
    CustomAspectRatioWindowController* controller = nullptr;
};

TEST_F(CustomAspectRatioWindowControllerTest, ShowWhileOpenBringsTheSameWindowForward)
{
    EXPECT_EQ(controller->Window(), nullptr);
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);
    TypeInto(first->textFieldHeight, "12");
    first->showMinimized();
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen) << "minimising does not close";

    controller->Show();
    EXPECT_EQ(controller->Window(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(first->textFieldHeight->text(), "12") << "the typing in progress is not lost";
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(CustomAspectRatioWindowControllerTest, ShowAfterCloseMakesANewWindowWithTheStoredValues)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    Enter(first->textFieldWidth, "16");
    QTest::keyClick(first->checkWidthLargestDimension, Qt::Key_Space);
    controller->Close();
    EXPECT_EQ(controller->Window(), nullptr);
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);

    // Shown again before the closed window's deferred deletion has run.
    controller->Show();
    ViewControllerCustomAspectRatio* second = controller->Window();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    DeleteClosedWindows();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller->Window(), second);
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen) << "the late deletion leaves the new window's flag";
    EXPECT_EQ(second->textFieldWidth->text(), "16");
    EXPECT_FALSE(second->checkWidthLargestDimension->isChecked());
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(CustomAspectRatioWindowControllerTest, ChangesInEveryWindowReachTheOneConnection)
{
    QSignalSpy updates(controller, &CustomAspectRatioWindowController::UpdateCropPreview);
    controller->ReloadValues(); // nothing open: nothing happens
    controller->Close();
    controller->Show();
    Enter(controller->Window()->textFieldWidth, "3");
    controller->Close();
    DeleteClosedWindows();
    controller->Show();
    Enter(controller->Window()->textFieldHeight, "2");
    DataProvider::Shared().customWidth = 40;
    controller->ReloadValues();
    EXPECT_EQ(controller->Window()->textFieldWidth->text(), "40");
    EXPECT_EQ(updates.count(), 2);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{40, 2, true}));
}

TEST_F(CustomAspectRatioWindowControllerTest, DestroyingTheMainWindowClosesIt)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> window = controller->Window();
    mainWindow.reset();
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
}

} // namespace
} // namespace trimlark
