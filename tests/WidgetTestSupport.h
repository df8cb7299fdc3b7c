#pragma once

#include "settings/DataProvider.h"

#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

// What the widget test programs share: input given as a user gives it, and the shared custom ratio put back.
namespace trimlark {

// Replaces a field's text by typing over all of it; Enter also confirms it with Return.
inline void TypeInto(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}
inline void Enter(QWidget* field, const QString& text)
{
    TypeInto(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

// Selects a choice list's item by title with the keyboard, so that the list reports a user's choice.
inline void ChooseItem(QWidget* list, const QString& title)
{
    auto* combo = qobject_cast<QComboBox*>(list);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != title; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentText(), title);
}

// Closed windows delete themselves later; this is the "later".
inline void DeleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Puts the shared custom ratio back to its start-up state before every test; closed windows go after it.
class RatioReset : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Reset();
        Shared().customWindowIsOpen = false;
    }
    void TearDown() override { DeleteClosedWindows(); }
    static DataProvider& Shared() { return DataProvider::Shared(); }
    static void Reset() { static_cast<CustomRatio&>(Shared()) = {}; }
};

} // namespace trimlark
