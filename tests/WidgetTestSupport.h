#pragma once

#include "settings/DataProvider.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

// What the widget test programs share: user input as a user gives it, and the shared custom ratio put back.
namespace trimlark {

// Replaces a field's text by typing, without confirming it.
inline void TypeInto(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

// Types the text and confirms it with Return.
inline void Enter(QWidget* field, const QString& text)
{
    TypeInto(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

// Clicks a radio or check box on its indicator.
inline void ClickToggle(QWidget* toggle)
{
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2));
}

// Selects a choice list's item by title with the keyboard, so that the list reports it as a user's choice.
inline void ChooseItem(QWidget* widget, const QString& title)
{
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (combo == nullptr || combo->findText(title) < 0)
        throw std::runtime_error("no item " + title.toStdString());
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != title; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

// Spins the event loop until the condition holds; false after the timeout.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 30000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Closed windows delete themselves later; this is the "later".
inline void DeleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Puts the shared custom ratio back to its start-up state around every test.
class RatioReset : public ::testing::Test
{
protected:
    void SetUp() override { Reset(); }
    void TearDown() override
    {
        DeleteClosedWindows();
        Reset();
    }
    static void Reset()
    {
        static_cast<CustomRatio&>(DataProvider::Shared()) = CustomRatio{};
        DataProvider::Shared().customWindowIsOpen = false;
    }
};

} // namespace trimlark
