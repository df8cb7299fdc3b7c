#pragma once

#include "settings/DataProvider.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>

namespace trimlark {

// Puts the shared custom ratio back to its start-up state around every test.
class DataProviderReset : public ::testing::Test
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
        DataProvider& provider = DataProvider::Shared();
        provider.customWidth = 1;
        provider.customHeight = 1;
        provider.customWidthLargestDimension = true;
        provider.customWindowIsOpen = false;
    }

    // Closed windows delete themselves later; this is the "later".
    static void DeleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

// Types text into a field the way a user replaces its content, without confirming it.
inline void TypeInto(QLineEdit* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

// Types text into a field and confirms it with Return.
inline void Enter(QLineEdit* field, const QString& text)
{
    TypeInto(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

} // namespace trimlark
