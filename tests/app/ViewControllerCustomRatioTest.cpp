#include "ScriptedPlatform.h"
#include "app/NotificationCenter.h"
#include "customratio/ViewControllerCustomAspectRatio.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

class CustomRatioTest : public ::testing::Test, public WindowFixture
{
protected:
    void SetUp() override { ResetRatio(); }
    void TearDown() override
    {
        window.reset();
        DeleteClosedWindows();
        ResetRatio();
    }

    static void ResetRatio()
    {
        static_cast<CustomRatio&>(DataProvider::Shared()) = CustomRatio{};
        DataProvider::Shared().customWindowIsOpen = false;
    }
    static void DeleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    ViewControllerCustomAspectRatio* CustomWindow() const { return window->CustomAspectRatioWindow()->Window(); }
    int CustomWindowCount() const
    {
        return static_cast<int>(window->findChildren<ViewControllerCustomAspectRatio*>().size());
    }

    // "Custom" chosen from the ratio list, also when it is selected already.
    void ChooseCustom()
    {
        auto* combo = Find<QComboBox>("comboAutoCropFormat");
        if (combo->currentText() != "Custom")
            ChooseItem(combo, "Custom");
        else
            Q_EMIT combo->activated(combo->currentIndex());
    }

    static void Enter(QLineEdit* field, const QString& text)
    {
        TypeInto(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    QString Label(const char* name) const { return Find<QLabel>(name)->text(); }
};

TEST_F(CustomRatioTest, ChoosingCustomOpensTheWindowEachTime)
{
    ChooseCustom();
    QPointer<ViewControllerCustomAspectRatio> first = CustomWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->isWindow());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);

    // Chosen again while open: the same window comes forward, restored when minimised.
    first->showMinimized();
    ChooseCustom();
    EXPECT_EQ(CustomWindow(), first.data());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(CustomWindowCount(), 1);

    Enter(first->textFieldWidth, "16");
    first->close();
    DeleteClosedWindows();
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(CustomWindow(), nullptr);
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);

    // Chosen after closing: a new window with the stored values.
    ChooseCustom();
    ASSERT_NE(CustomWindow(), nullptr);
    EXPECT_TRUE(CustomWindow()->isVisible());
    EXPECT_EQ(CustomWindow()->textFieldWidth->text(), "16");
    EXPECT_EQ(CustomWindowCount(), 1);
}

TEST_F(CustomRatioTest, EntriesActOnThePreviewAndLeaveTheTitleAlone)
{
    struct Case
    {
        const char* typed;
        std::int64_t stored;
        const char* shown;
        const char* outputWidth;
        const char* outputHeight;
    };
    // Height 9, width along the longer side, on a 300 x 200 image.
    const Case cases[] = {
        {"16", 16, "16", "Width: 300", "Height: 168"}, // 16:9 is wider than 3:2: 300 x 300 * 9 / 16 = 168.75
        {"2.5", 1, "1", "Width: 22", "Height: 200"},   // 1:9: 200 / 9 = 22.2 x 200
        {" 4", 1, "1", "Width: 22", "Height: 200"},
        {"007", 7, "007", "Width: 155", "Height: 200"}, // 7:9: 200 * 7 / 9 = 155.6 x 200
        {"-3", 1, "1", "Width: 22", "Height: 200"},
        {"", 1, "1", "Width: 22", "Height: 200"},
        {"99999999999999999999", 1, "1", "Width: 22", "Height: 200"}, // beyond 64 bits
    };
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 300, 200)});
    ClickRow(0);
    ChooseCustom();
    auto* custom = CustomWindow();
    ASSERT_NE(custom, nullptr);
    Enter(custom->textFieldHeight, "9");
    platform->saveProfileAnswers.push_back(TempPath("ratio.tlp"));
    window->findChild<QAction*>("actionSaveProfileAs")->trigger();
    ASSERT_EQ(window->windowTitle(), "Trimlark - ratio");

    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Enter(custom->textFieldWidth, c.typed);
        EXPECT_EQ(DataProvider::Shared().customWidth, c.stored);
        EXPECT_EQ(custom->textFieldWidth->text(), c.shown);
        EXPECT_EQ(Label("labelOutputDimensionsWidth"), c.outputWidth);
        EXPECT_EQ(Label("labelOutputDimensionsHeight"), c.outputHeight);
        // A new preview was asked for; it is drawn off the GUI thread.
        EXPECT_TRUE(window->IsCropPreviewPending());
        EXPECT_TRUE(WaitUntil([&] { return !window->IsCropPreviewPending(); }));
        EXPECT_EQ(window->windowTitle(), "Trimlark - ratio");
    }

    // The check box, on a portrait image of 200 x 300: 16:9 with the width along the longer side is 168 x 300
    // (300 * 9 / 16 = 168.75); with the width along the horizontal side 200 x 112 (200 * 9 / 16 = 112.5).
    Enter(custom->textFieldWidth, "16");
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("portrait.png", 200, 300)});
    ClickRow(1);
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 168");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 300");
    custom->checkWidthLargestDimension->click();
    EXPECT_FALSE(DataProvider::Shared().customWidthLargestDimension);
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 200");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 112");
    EXPECT_EQ(window->windowTitle(), "Trimlark - ratio");
}

TEST_F(CustomRatioTest, LoadWhileOpenShowsTheLoadedRatio)
{
    ChooseCustom();
    auto* custom = CustomWindow();
    ASSERT_NE(custom, nullptr);
    Enter(custom->textFieldWidth, "4");
    Enter(custom->textFieldHeight, "3");

    QByteArray bytes;
    for (const char* line : {"1", "5", "0", "1", "20", "20",   "20.0",       "20.0", "60", "60", "60.0", "60.0", "0",
                             "0", "0", "0", "0", "0",  "80.0", "[FileName]", "1",    "0",  "21", "9",    "0"})
        bytes += QByteArray(line) + '\n';
    QFile file(TempPath("wide.tlp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    platform->loadProfileAnswers.push_back(file.fileName());
    window->findChild<QAction*>("actionLoadProfile")->trigger();

    EXPECT_EQ(custom->textFieldWidth->text(), "21");
    EXPECT_EQ(custom->textFieldHeight->text(), "9");
    EXPECT_FALSE(custom->checkWidthLargestDimension->isChecked());
    // Confirming a field of the window afterwards keeps the loaded value.
    QTest::keyClick(custom->textFieldWidth, Qt::Key_Return);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{21, 9, false}));
}

TEST_F(CustomRatioTest, QuitAndClosingTheMainWindowCloseIt)
{
    struct Case
    {
        const char* name;
        void (*leave)(ViewController&);
    };
    const Case cases[] = {
        {"Quit", [](ViewController& w) { w.findChild<QAction*>("actionQuit")->trigger(); }},
        {"close", [](ViewController& w) { w.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Relaunch();
        ChooseCustom();
        QPointer<ViewControllerCustomAspectRatio> custom = CustomWindow();
        ASSERT_NE(custom, nullptr);
        c.leave(*window);
        EXPECT_EQ(CustomWindow(), nullptr);
        EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
        EXPECT_TRUE(custom.isNull() || !custom->isVisible());
    }
}

TEST_F(CustomRatioTest, AnsweringNoKeepsItOpen)
{
    ChooseCustom(); // a setting action: the title is marked
    ASSERT_TRUE(window->IsModified());
    platform->answer = [](const Alert&) { return 1; };
    window->findChild<QAction*>("actionQuit")->trigger();
    window->close();
    ASSERT_NE(CustomWindow(), nullptr);
    EXPECT_TRUE(CustomWindow()->isVisible());
    EXPECT_TRUE(DataProvider::Shared().customWindowIsOpen);
}

TEST_F(CustomRatioTest, MainWindowGoesAwayWhileAnEntryIsBeingTyped)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 300, 200)});
    ClickRow(0);
    ChooseCustom();
    auto* custom = CustomWindow();
    ASSERT_NE(custom, nullptr);
    QApplication::setActiveWindow(custom);
    custom->textFieldWidth->setFocus();
    TypeInto(custom->textFieldWidth, "5");
    ASSERT_EQ(QApplication::focusWidget(), custom->textFieldWidth);
    // The field loses its focus as its window is destroyed with the main window; by then neither window may be
    // called. The entry was never confirmed (closing the window would have).
    window.reset();
    EXPECT_EQ(DataProvider::Shared().customWidth, 1);
}

} // namespace
} // namespace trimlark
