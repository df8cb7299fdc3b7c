#include "customratio/ViewControllerCustomAspectRatio.h"

#include "CustomRatioTestSupport.h"
#include "settings/DataProvider.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace trimlark {
namespace {

using CustomAspectRatioWindow = DataProviderReset;

// One of the two ratio terms: its field and the DataProvider value it edits.
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

struct EntryCase
{
    const char* name;
    const char* typed;
    const char* shown;
    std::int64_t stored;
};

TEST_F(CustomAspectRatioWindow, ConfirmedEntryIsStoredOrTurnedIntoOne)
{
    const EntryCase cases[] = {
        {"whole number", "16", "16", 16},
        {"plus sign", "+5", "+5", 5},
        {"leading zeros keep the text", "007", "007", 7},
        {"decimal", "2.5", "1", 1},
        {"leading space", " 4", "1", 1},
        {"trailing space", "4 ", "1", 1},
        {"empty", "", "1", 1},
        {"letters", "abc", "1", 1},
        {"exponent", "1e3", "1", 1},
        {"zero", "0", "1", 1},
        {"negative", "-3", "1", 1},
        {"twenty digits", "12345678901234567890", "1", 1},
        // Rounds to 2^63 in single precision and is limited to the largest 64-bit value.
        {"largest", "9223372036854775807", "9223372036854775807", std::numeric_limits<std::int64_t>::max()},
    };
    for (const Term& term : kTerms) {
        for (const EntryCase& c : cases) {
            SCOPED_TRACE(std::string(term.name) + ": " + c.name);
            // 5 and 3 beforehand, so that a stored 1 can only come from the entry.
            DataProvider::Shared().*term.stored = 5;
            DataProvider::Shared().*term.other = 3;
            auto window = MakeShownWindow();
            QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);

            Enter(window.get()->*term.field, QString::fromUtf8(c.typed));

            EXPECT_EQ((window.get()->*term.field)->text().toStdString(), c.shown);
            EXPECT_EQ(DataProvider::Shared().*term.stored, c.stored);
            EXPECT_EQ(DataProvider::Shared().*term.other, 3);
            EXPECT_EQ(updates.count(), 1);
        }
    }
}

TEST_F(CustomAspectRatioWindow, PreviewIsAskedForOnlyAfterTheValueIsStored)
{
    for (const Term& term : kTerms) {
        SCOPED_TRACE(term.name);
        auto window = MakeShownWindow();
        std::vector<std::int64_t> seenByPreview;
        QObject::connect(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview, window.get(),
                         [&] { seenByPreview.push_back(DataProvider::Shared().*term.stored); });

        Enter(window.get()->*term.field, QStringLiteral("16"));
        Enter(window.get()->*term.field, QStringLiteral("-3"));

        EXPECT_EQ(seenByPreview, (std::vector<std::int64_t>{16, 1}));
    }
}

TEST_F(CustomAspectRatioWindow, TypingWithoutConfirmingChangesNothingYet)
{
    auto window = MakeShownWindow();
    QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);

    TypeInto(window->textFieldWidth, QString());
    TypeInto(window->textFieldWidth, QStringLiteral("2"));

    // Clearing the field to type a new number must not turn it into 1 half-way.
    EXPECT_EQ(window->textFieldWidth->text(), QStringLiteral("2"));
    EXPECT_EQ(DataProvider::Shared().customWidth, 1);
    EXPECT_EQ(updates.count(), 0);
}

struct ShownCase
{
    const char* name;
    CustomRatio stored;
    const char* width;
    const char* height;
};

TEST_F(CustomAspectRatioWindow, NewWindowShowsTheStoredValues)
{
    const ShownCase cases[] = {
        {"defaults", {}, "1", "1"},
        {"16:9 along the horizontal side", {16, 9, false}, "16", "9"},
        {"largest value", {std::numeric_limits<std::int64_t>::max(), 3, true}, "9223372036854775807", "3"},
    };
    for (const ShownCase& c : cases) {
        SCOPED_TRACE(c.name);
        static_cast<CustomRatio&>(DataProvider::Shared()) = c.stored;
        auto window = MakeShownWindow();
        QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);

        EXPECT_EQ(window->textFieldWidth->text().toStdString(), c.width);
        EXPECT_EQ(window->textFieldHeight->text().toStdString(), c.height);
        EXPECT_EQ(window->checkWidthLargestDimension->isChecked(), c.stored.customWidthLargestDimension);

        // Confirming the fields as shown keeps what was stored.
        QTest::keyClick(window->textFieldWidth, Qt::Key_Return);
        QTest::keyClick(window->textFieldHeight, Qt::Key_Return);
        EXPECT_EQ(DataProvider::Shared().Ratio(), c.stored);
        EXPECT_EQ(updates.count(), 2);
    }
}

TEST_F(CustomAspectRatioWindow, CheckBoxSetsWhetherWidthLiesAlongTheLongerSide)
{
    DataProvider::Shared().customWidthLargestDimension = false;
    auto window = MakeShownWindow();
    QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);

    QTest::keyClick(window->checkWidthLargestDimension, Qt::Key_Space);
    EXPECT_TRUE(DataProvider::Shared().customWidthLargestDimension);
    EXPECT_EQ(updates.count(), 1);

    QTest::keyClick(window->checkWidthLargestDimension, Qt::Key_Space);
    EXPECT_FALSE(DataProvider::Shared().customWidthLargestDimension);
    EXPECT_EQ(updates.count(), 2);
}

TEST_F(CustomAspectRatioWindow, ControlsAreFoundByTheirNames)
{
    auto window = MakeShownWindow();
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("textFieldWidth")), window->textFieldWidth);
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("textFieldHeight")), window->textFieldHeight);
    EXPECT_EQ(window->findChild<QCheckBox*>(QStringLiteral("checkWidthLargestDimension")),
              window->checkWidthLargestDimension);
}

TEST_F(CustomAspectRatioWindow, ReloadShowsNewValuesWithoutReportingAChange)
{
    auto window = MakeShownWindow();
    QSignalSpy updates(window.get(), &ViewControllerCustomAspectRatio::UpdateCropPreview);
    // What a profile load does while the window is open.
    static_cast<CustomRatio&>(DataProvider::Shared()) = CustomRatio{4, 5, false};

    window->ShowDataProviderValues();

    EXPECT_EQ(window->textFieldWidth->text(), QStringLiteral("4"));
    EXPECT_EQ(window->textFieldHeight->text(), QStringLiteral("5"));
    EXPECT_FALSE(window->checkWidthLargestDimension->isChecked());
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{4, 5, false}));
    EXPECT_EQ(updates.count(), 0);
}

TEST_F(CustomAspectRatioWindow, ClosingKeepsAnUnconfirmedEntryAndClearsTheOpenFlag)
{
    struct
    {
        const char* name;
        const char* typed;
        std::int64_t stored;
    } const cases[] = {
        {"number", "21", 21},
        {"not a number", "2.5", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DataProvider::Shared().customWidth = 5;
        auto* window = new ViewControllerCustomAspectRatio;
        window->show();
        ASSERT_TRUE(DataProvider::Shared().customWindowIsOpen);
        QPointer<ViewControllerCustomAspectRatio> watched(window);
        QSignalSpy updates(window, &ViewControllerCustomAspectRatio::UpdateCropPreview);
        TypeInto(window->textFieldWidth, QString::fromUtf8(c.typed));

        window->close();

        EXPECT_EQ(DataProvider::Shared().customWidth, c.stored);
        EXPECT_GE(updates.count(), 1);
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
        QLineEdit* field = window.get()->*term.field;
        field->setFocus();
        TypeInto(field, QStringLiteral("5"));
        ASSERT_EQ(QApplication::focusWidget(), field);
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
