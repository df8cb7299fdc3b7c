#include "imaging/ImageTools.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// The main of every widget test program. Widget tests need a QApplication; listing the tests (done at build time) does
// not, and runs without a display.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    trimlark::ImageTools::Initialize();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
