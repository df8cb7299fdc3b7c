#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"
#include "app/NotificationCenter.h"

#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

using Paths = std::vector<std::string>;

class ListTest : public ::testing::Test, public WindowFixture
{
protected:
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }

    Paths ListedPaths() const { return window->ListImagePaths(); }

    QStringList TableRows() const
    {
        auto* table = Find<QTableView>("tableViewImage");
        QStringList rows;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            rows << table->model()->index(row, 0).data().toString();
        return rows;
    }

    // Drops files on the table's viewport at a point, as a drag from the file manager would.
    bool DropAt(const QStringList& paths, QPoint at, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        auto* table = Find<QTableView>("tableViewImage");
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &enter);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &move);
        QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &drop);
        lastDropAction = drop.dropAction();
        return drop.isAccepted();
    }

    // A point on the line between row - 1 and row (inside the view's margin for a gap).
    QPoint GapAbove(int row) const
    {
        auto* table = Find<QTableView>("tableViewImage");
        return {40, table->rowViewportPosition(row) + 1};
    }

    QPoint MiddleOf(int row) const
    {
        auto* table = Find<QTableView>("tableViewImage");
        return {40, table->rowViewportPosition(row) + table->rowHeight(row) / 2};
    }

    Qt::DropAction lastDropAction = Qt::IgnoreAction;
};

TEST_F(ListTest, AddImagesAppendsWithoutDuplicatesAndRemembersTheFolder)
{
    platform->fileAnswers.push_back(QStringList{"/photos/b.jpg", "/photos/a.png"});
    Click("buttonAddImages");
    EXPECT_EQ(ListedPaths(), (Paths{"/photos/b.jpg", "/photos/a.png"}));
    EXPECT_EQ(TableRows(), (QStringList{"/photos/b.jpg", "/photos/a.png"}));
    EXPECT_EQ(platform->ReadPreference("AddImages"), "/photos");

    // All already listed, from another folder's point of view: the folder is still remembered.
    platform->fileAnswers.push_back(QStringList{"/other/../photos/b.jpg", "/photos/b.jpg", "/photos/c.gif"});
    Click("buttonAddImages");
    EXPECT_EQ(ListedPaths(), (Paths{"/photos/b.jpg", "/photos/a.png", "/other/../photos/b.jpg", "/photos/c.gif"}));
    EXPECT_EQ(platform->ReadPreference("AddImages"), "/other/../photos");
    ASSERT_EQ(platform->fileStartFolders.size(), 2u);
    EXPECT_EQ(platform->fileStartFolders[1], "/photos");
    EXPECT_TRUE(platform->alerts.empty());
}

TEST_F(ListTest, AddImagesCancelledOrEmpty)
{
    platform->fileAnswers.push_back(std::nullopt);
    Click("buttonAddImages");
    EXPECT_TRUE(platform->alerts.empty());

    platform->fileAnswers.push_back(QStringList{});
    Click("buttonAddImages");
    ASSERT_EQ(platform->alerts.size(), 1u);
    EXPECT_EQ(platform->alerts[0].informativeText, "The images could not be loaded.");
    EXPECT_EQ(platform->alerts[0].buttons, QStringList{"OK"});
    EXPECT_EQ(platform->alerts[0].style, AlertStyle::Warning);
    EXPECT_TRUE(ListedPaths().empty());
    EXPECT_EQ(platform->ReadPreference("AddImages"), QString());
}

TEST_F(ListTest, OpenWithKeepsAcceptedFilesInOrder)
{
    Q_EMIT NotificationCenter::Default().openWith({"/in/A.JPG", "/in/c.psd", "/in/b.Tiff", "/in/noext", "/in/A.JPG"});
    EXPECT_EQ(ListedPaths(), (Paths{"/in/A.JPG", "/in/b.Tiff"}));
    Q_EMIT NotificationCenter::Default().openWith({"/in/d.heic"});
    EXPECT_EQ(ListedPaths(), (Paths{"/in/A.JPG", "/in/b.Tiff", "/in/d.heic"}));
}

TEST_F(ListTest, DropBetweenRowsInsertsAtTheGapInDragOrder)
{
    QStringList listed;
    for (int i = 0; i < 5; ++i)
        listed << MakeImage(QString("row%1.png").arg(i), 8, 8);
    Q_EMIT NotificationCenter::Default().openWith(listed);
    const QString x = MakeImage("x.png", 8, 8), y = MakeImage("y.png", 8, 8), z = MakeImage("z.png", 8, 8);

    // Gap 1, with a listed image and a missing one among the dragged: the next accepted image takes their place.
    ASSERT_TRUE(DropAt({x, listed[3], TempPath("missing.png"), y, z}, GapAbove(1)));
    EXPECT_EQ(lastDropAction, Qt::CopyAction); // never "moved": the file manager keeps its files
    const Paths expected{listed[0].toStdString(), x.toStdString(),         y.toStdString(),
                         z.toStdString(),         listed[1].toStdString(), listed[2].toStdString(),
                         listed[3].toStdString(), listed[4].toStdString()};
    EXPECT_EQ(ListedPaths(), expected);
    EXPECT_EQ(TableRows().size(), 8);
    EXPECT_EQ(TableRows()[1], x);
}

TEST_F(ListTest, DropOntoARowIsRefused)
{
    QStringList listed{MakeImage("a.png", 8, 8), MakeImage("b.png", 8, 8)};
    Q_EMIT NotificationCenter::Default().openWith(listed);
    const QString dropped = MakeImage("dropped.png", 8, 8);
    EXPECT_FALSE(DropAt({dropped}, MiddleOf(1)));
    EXPECT_EQ(ListedPaths().size(), 2u);
}

TEST_F(ListTest, DropBelowTheRowsAppendsAndMoveOnlyDragsAreRefused)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("a.png", 8, 8)});
    const QString b = MakeImage("b.png", 8, 8);
    auto* table = Find<QTableView>("tableViewImage");
    const QPoint below(40, table->viewport()->height() - 5);
    EXPECT_FALSE(DropAt({b}, below, Qt::MoveAction));
    EXPECT_EQ(ListedPaths().size(), 1u);
    EXPECT_TRUE(DropAt({b}, below));
    EXPECT_EQ(ListedPaths().back(), b.toStdString());
}

TEST_F(ListTest, DropOfOnlyUnacceptedFilesAddsNothing)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("a.png", 8, 8)});
    const QString text = TempPath("notes.txt");
    QFile(text).open(QIODevice::WriteOnly);
    EXPECT_FALSE(DropAt({text}, GapAbove(0)));
    EXPECT_EQ(ListedPaths().size(), 1u);
}

TEST_F(ListTest, DropKeepsTheSelectedImageWhileOtherChangesClearIt)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("a.png", 40, 30), MakeImage("b.png", 40, 30)});
    ClickRow(0);
    ASSERT_FALSE(window->GetCurrentImage().path.empty());
    ASSERT_TRUE(WaitUntil([&] { return !window->IsCropPreviewPending(); }));

    ASSERT_TRUE(DropAt({MakeImage("c.png", 40, 30)}, GapAbove(1)));
    EXPECT_FALSE(window->GetCurrentImage().path.empty());
    EXPECT_FALSE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());

    Q_EMIT NotificationCenter::Default().openWith({MakeImage("d.png", 40, 30)});
    EXPECT_TRUE(window->GetCurrentImage().path.empty());
    EXPECT_TRUE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());
}

TEST_F(ListTest, RemoveSelected)
{
    Q_EMIT NotificationCenter::Default().openWith({"/r/a.jpg", "/r/b.jpg", "/r/c.jpg"});
    // Nothing selected: nothing removed.
    Click("buttonRemoveSelected");
    EXPECT_EQ(ListedPaths().size(), 3u);
    ClickRow(1);
    Click("buttonRemoveSelected");
    EXPECT_EQ(ListedPaths(), (Paths{"/r/a.jpg", "/r/c.jpg"}));
    EXPECT_EQ(TableRows(), (QStringList{"/r/a.jpg", "/r/c.jpg"}));
    EXPECT_TRUE(platform->alerts.empty());
}

TEST_F(ListTest, RemoveAllAsksFirst)
{
    Click("buttonRemoveAll");
    EXPECT_TRUE(platform->alerts.empty()); // an empty list asks nothing

    Q_EMIT NotificationCenter::Default().openWith({"/r/a.jpg", "/r/b.jpg"});
    platform->answer = [](const Alert&) { return 1; }; // "No"
    Click("buttonRemoveAll");
    ASSERT_EQ(platform->alerts.size(), 1u);
    EXPECT_EQ(platform->alerts[0].informativeText, "Are you sure you want to remove all the images from the list?");
    EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
    EXPECT_EQ(ListedPaths().size(), 2u);

    platform->answer = [](const Alert&) { return 0; }; // "Yes"
    Click("buttonRemoveAll");
    EXPECT_TRUE(ListedPaths().empty());
    EXPECT_EQ(TableRows().size(), 0);
}

TEST_F(ListTest, RowsShowAFormatIconForKnownTypesOnly)
{
    Q_EMIT NotificationCenter::Default().openWith({"/i/a.jpeg", "/i/b.heic"});
    platform->fileAnswers.push_back(QStringList{"/i/c.psd"});
    Click("buttonAddImages");
    auto* model = Find<QTableView>("tableViewImage")->model();
    const QIcon jpeg = model->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    const QIcon heic = model->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
    EXPECT_FALSE(jpeg.pixmap(30, 16).isNull());
    EXPECT_FALSE(heic.pixmap(30, 16).isNull());
    EXPECT_NE(jpeg.pixmap(30, 16).toImage(), heic.pixmap(30, 16).toImage());
    EXPECT_FALSE(model->index(2, 0).data(Qt::DecorationRole).isValid());
}

} // namespace
} // namespace trimlark
