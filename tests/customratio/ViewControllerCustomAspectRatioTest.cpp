#include "customratio/ViewControllerCustomAspectRatio.h"

#include "WidgetTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QSignalSpy>
#include <memory>

namespace trimlark {
namespace {

using CustomAspectRatioWindow = RatioReset;

// One of the two ratio terms: its field and the value it edits.
struct Term
{
    const char* name;
    QLineEdit* ViewControllerCustomAspectRatio::*field;
    std::int64_t CustomRatio::*stored;
    std::int64_t CustomRatio::*other;
};
const Term kTerms[] = {
    {"width", &ViewControllerCustomAspectRatio::textFieldWidth, &CustomRatio::customWidth, &CustomRatio::customHeight},
    {"height", &ViewControllerCustomAspectRatio::textFieldHeight, &CustomRatio::customHeight,
     &CustomRatio::customWidth},
};

std::unique_ptr<ViewControllerCustomAspectRatio> MakeShownWindow()
{
    auto window = std::make_unique<ViewControllerCustomAspectRatio>();
    window->show();
    return window;
}

TEST_F(CustomAspectRatioWindow, ConfirmedEntryIsStoredBeforeThePreviewIsAskedFor)
{
    const std::tuple<const char*, const char*, std::int64_t> cases[] = {
        {"16", "16", 16},
        {"007", "007", 7}, // the typed text stays
        {"2.5", "1", 1},   // not a whole number: the field shows 1
        {"0", "1", 1},
    };
    for (const Term& term : kTerms) {
        for (const auto& [typed, shown, stored] : cases) {
            SCOPED_TRACE(std::string(term.name) + " " + typed);
            Reset();
            DataProvider::Shared().*term.stored = 5; // so that a stored 1 can only come from the entry
            auto window = MakeShownWindow();
            std::vector<std::int64_t> seenByPreview;
            QObject::connect(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview,
                             [&, stored = term.stored] { seenByPreview.push_back(DataProvider::Shared().*stored); });
            Enter(window.get()->*term.field, typed);
            EXPECT_EQ((window.get()->*term.field)->text(), shown);
            EXPECT_EQ(seenByPreview, std::vector<std::int64_t>{stored});
            EXPECT_EQ(DataProvider::Shared().*term.other, 1) << "the other term is left alone";
        }
    }
}

TEST_F(CustomAspectRatioWindow, TypingWithoutConfirmingChangesNothingYet)
{
    auto window = MakeShownWindow();
    QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);
    TypeInto(window->textFieldWidth, "");
    TypeInto(window->textFieldWidth, "2");
    EXPECT_EQ(window->textFieldWidth->text(), "2") << "an empty field is not turned into 1 half-way";
    EXPECT_EQ(DataProvider::Shared().customWidth, 1);
    EXPECT_EQ(updates.count(), 0);
}

TEST_F(CustomAspectRatioWindow, ShowsTheStoredValuesAndConfirmingKeepsThem)
{
    const std::tuple<const char*, CustomRatio, const char*> cases[] = {
        {"16:9 along the horizontal side", {16, 9, false}, "16"},
        {"largest value", {std::numeric_limits<std::int64_t>::max(), 3, true}, "9223372036854775807"},
    };
    for (const auto& [name, stored, width] : cases) {
        SCOPED_TRACE(name);
        static_cast<CustomRatio&>(DataProvider::Shared()) = stored;
        auto window = MakeShownWindow();
        EXPECT_EQ(window->textFieldWidth->text(), width);
        EXPECT_EQ(window->textFieldHeight->text(), QString::number(stored.customHeight));
        EXPECT_EQ(window->checkWidthLargestDimension->isChecked(), stored.customWidthLargestDimension);
        QTest::keyClick(window->textFieldWidth, Qt::Key_Return);
        QTest::keyClick(window->textFieldHeight, Qt::Key_Return);
        EXPECT_EQ(DataProvider::Shared().Ratio(), stored);
    }
    // A profile load while the window is open: the new values are shown without reporting a change.
    auto window = MakeShownWindow();
    QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);
    static_cast<CustomRatio&>(DataProvider::Shared()) = {4, 5, false};
    window->ShowDataProviderValues();
    EXPECT_EQ(window->textFieldWidth->text(), "4");
    EXPECT_FALSE(window->checkWidthLargestDimension->isChecked());
    EXPECT_EQ(updates.count(), 0);
}

TEST_F(CustomAspectRatioWindow, CheckBoxSetsWhetherWidthLiesAlongTheLongerSide)
{
    auto window = MakeShownWindow();
    QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);
    for (const bool expected : {false, true}) {
        QTest::keyClick(window->checkWidthLargestDimension, Qt::Key_Space);
        EXPECT_EQ(DataProvider::Shared().customWidthLargestDimension, expected);
    }
    EXPECT_EQ(updates.count(), 2);
}

TEST_F(CustomAspectRatioWindow, ClosingConfirmsTheEntryAndClearsTheOpenFlag)
{
    const std::pair<const char*, std::int64_t> cases[] = {{"21", 21}, {"2.5", 1}};
    for (const auto& [typed, stored] : cases) {
        SCOPED_TRACE(typed);
        auto* window = new ViewControllerCustomAspectRatio;
        window->show();
        ASSERT_TRUE(DataProvider::Shared().customWindowIsOpen);
        QPointer<ViewControllerCustomAspectRatio> watched(window);
        TypeInto(window->textFieldWidth, typed);
        window->close();
        EXPECT_EQ(DataProvider::Shared().customWidth, stored);
        EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
        DeleteClosedWindows();
        EXPECT_TRUE(watched.isNull()) << "a closed window is deleted";
    }
}

TEST_F(CustomAspectRatioWindow, DestroyedWhileAnEntryIsBeingTypedCallsNothing)
{
    for (const Term& term : kTerms) {
        SCOPED_TRACE(term.name);
        auto window = MakeShownWindow();
        QApplication::setActiveWindow(window.get());
        TypeInto(window.get()->*term.field, "5");
        ASSERT_EQ(QApplication::focusWidget(), window.get()->*term.field);
        QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);
        // The field loses its focus while the window's base class is destroyed; the window's own part is gone.
        window.reset();
        EXPECT_EQ(DataProvider::Shared().*term.stored, 1);
        EXPECT_EQ(updates.count(), 0);
        EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
    }
}

} // namespace
} // namespace trimlark
