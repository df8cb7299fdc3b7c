#include "app/QtPlatform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

// The real panel, read while it is open and then cancelled.
TEST(QtPlatform, AddImagesPanelMakesNoFoldersAndOffersTheGivenTypesInBothCases)
{
    QtPlatform platform;
    QFileDialog::Options options;
    QStringList filters;
    const auto cancel = [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            options = dialog->options();
            filters = dialog->nameFilters();
            dialog->reject();
        }
    };
    QObject scope; // the looks not taken end with the test
    QTimer::singleShot(0, &scope, cancel);
    QTimer::singleShot(2000, &scope, cancel); // should the first look come before the panel
    EXPECT_EQ(platform.ChooseImageFiles(QDir::tempPath(), {"jpg", "heic"}), std::nullopt);
    EXPECT_TRUE(options.testFlag(QFileDialog::ReadOnly));
    EXPECT_EQ(filters, QStringList{"Images (*.jpg *.JPG *.heic *.HEIC)"});
}

// A folder chosen in the panel comes back as it is (the list then takes its images) instead of being entered.
TEST(QtPlatform, AddImagesPanelGivesAChosenFolder)
{
    QtPlatform platform;
    const QString folder = QDir::tempPath();
    int looks = 0;
    const auto choose = [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            if (looks++ > 0)
                return dialog->reject(); // still open: the folder was entered
            dialog->selectFile(folder);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    };
    QObject scope; // the looks not taken end with the test
    for (const int ms : {0, 1000, 2000})
        QTimer::singleShot(ms, &scope, choose);
    EXPECT_EQ(platform.ChooseImageFiles(QDir::rootPath(), {"jpg"}), QStringList{folder});
}

} // namespace
} // namespace trimlark
