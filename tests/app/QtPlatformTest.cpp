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
    QTimer::singleShot(0, cancel);
    QTimer::singleShot(2000, cancel); // should the first look come before the panel
    EXPECT_EQ(platform.ChooseImageFiles(QDir::tempPath(), {"jpg", "heic"}), std::nullopt);
    EXPECT_TRUE(options.testFlag(QFileDialog::ReadOnly));
    EXPECT_EQ(filters, QStringList{"Images (*.jpg *.JPG *.heic *.HEIC)"});
}

} // namespace
} // namespace trimlark
