#include "customratio/CustomAspectRatioWindowController.h"

#include "CustomRatioTestSupport.h"
#include "customratio/ViewControllerCustomAspectRatio.h"
#include "settings/DataProvider.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace trimlark {
namespace {

// A stand-in main window owning the controller, as the real one does.
class CustomAspectRatioWindowControllerTest : public DataProviderReset
{
protected:
    void SetUp() override
    {
        DataProviderReset::SetUp();
        mainWindow = std::make_unique<QWidget>();
        mainWindow->setWindowTitle(QStringLiteral("Trimlark - plan"));
        mainWindow->show();
        controller = new CustomAspectRatioWindowController(mainWindow.get());
    }

    void TearDown() override
    {
        mainWindow.reset();
        DataProviderReset::TearDown();
    }

    int WindowCount() const { return mainWindow->findChildren<ViewControllerCustomAspectRatio*>().size(); }

    std::unique_ptr<QWidget> mainWindow;
    CustomAspectRatioWindowController* controller = nullptr;
};

TEST_F(CustomAspectRatioWindowControllerTest, ShowMakesOneVisibleWindowAndMarksItOpen)
{
    EXPECT_EQ(controller->Window(), nullptr);

    controller->Show();

    ASSERT_NE(controller->Window(), nullptr);
    EXPECT_TRUE(controller->Window()->isVisible());
    EXPECT_TRUE(controller->Window()->isWindow());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(CustomAspectRatioWindowControllerTest, ShowWhileOpenReusesTheWindowWithItsTypedText)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    TypeInto(first->textFieldHeight, QStringLiteral("12"));

    controller->Show();

    EXPECT_EQ(controller->Window(), first.data());
    EXPECT_EQ(WindowCount(), 1);
    EXPECT_EQ(first->textFieldHeight->text(), QStringLiteral("12")) << "the typing in progress is not lost";
}

TEST_F(CustomAspectRatioWindowControllerTest, ShowRestoresAMinimisedWindow)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    first->showMinimized();
    ASSERT_TRUE(first->isMinimized());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen) << "minimising does not close";

    controller->Show();

    EXPECT_EQ(controller->Window(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(CustomAspectRatioWindowControllerTest, ShowAfterCloseMakesANewWindowWithTheLastValues)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    Enter(first->textFieldWidth, QStringLiteral("16"));
    Enter(first->textFieldHeight, QStringLiteral("9"));
    QTest::keyClick(first->checkWidthLargestDimension, Qt::Key_Space);
    first->close();
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
    EXPECT_EQ(controller->Window(), nullptr);
    DeleteClosedWindows();
    ASSERT_TRUE(first.isNull());

    controller->Show();

    ViewControllerCustomAspectRatio* second = controller->Window();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);
    EXPECT_EQ(second->textFieldWidth->text(), QStringLiteral("16"));
    EXPECT_EQ(second->textFieldHeight->text(), QStringLiteral("9"));
    EXPECT_FALSE(second->checkWidthLargestDimension->isChecked());
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(CustomAspectRatioWindowControllerTest, ClosedWindowDeletedLateLeavesTheNewWindowOpen)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> first = controller->Window();
    first->close();

    // "Custom" chosen again before the closed window's deferred deletion has run.
    controller->Show();
    ViewControllerCustomAspectRatio* second = controller->Window();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    DeleteClosedWindows();

    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(controller->Window(), second);
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);
}

TEST_F(CustomAspectRatioWindowControllerTest, ChangesInEveryWindowReachTheOneConnection)
{
    QSignalSpy updates(controller, &CustomAspectRatioWindowController::UpdateCropPreview);
    controller->Show();
    Enter(controller->Window()->textFieldWidth, QStringLiteral("3"));
    controller->Close();
    DeleteClosedWindows();
    controller->Show();
    Enter(controller->Window()->textFieldHeight, QStringLiteral("2"));
    QTest::keyClick(controller->Window()->checkWidthLargestDimension, Qt::Key_Space);

    EXPECT_EQ(updates.count(), 3);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{3, 2, false}));
    EXPECT_EQ(mainWindow->windowTitle(), QStringLiteral("Trimlark - plan"));
    EXPECT_FALSE(mainWindow->isWindowModified());
}

TEST_F(CustomAspectRatioWindowControllerTest, CloseForQuitClosesTheOpenWindow)
{
    controller->Close(); // nothing open: nothing happens
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);

    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> window = controller->Window();
    controller->Close();

    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
    EXPECT_EQ(controller->Window(), nullptr);
    DeleteClosedWindows();
    EXPECT_TRUE(window.isNull());
}

TEST_F(CustomAspectRatioWindowControllerTest, ReloadValuesRefreshesTheOpenWindow)
{
    controller->ReloadValues(); // nothing open: nothing happens
    controller->Show();
    DataProvider::Shared().customWidth = 40;

    controller->ReloadValues();

    EXPECT_EQ(controller->Window()->textFieldWidth->text(), QStringLiteral("40"));
}

TEST_F(CustomAspectRatioWindowControllerTest, DestroyingTheMainWindowClearsTheOpenFlag)
{
    controller->Show();
    QPointer<ViewControllerCustomAspectRatio> window = controller->Window();

    mainWindow.reset();

    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
}

} // namespace
} // namespace trimlark
