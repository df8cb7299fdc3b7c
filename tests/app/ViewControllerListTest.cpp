#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"

#include <QFile>
#include <QMimeData>
#include <QTableView>
#include <QUrl>

namespace trimlark {
namespace {

using Paths = std::vector<std::string>;

class ViewControllerList : public WindowFixture
{
public:
    Paths Listed() const { return window->ListImagePaths(); }
    QTableView* Table() const { return Find<QTableView>("tableViewImage"); }

    // Drops files on the table at a point, as a drag from the file manager would; whether it was taken.
    bool DropAt(const QStringList& paths, QPoint at, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Table()->viewport(), &enter);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Table()->viewport(), &move);
        QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Table()->viewport(), &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction; // never "moved": the files stay put
    }
    // A point on the line above a row, and one in its middle.
    QPoint GapAbove(int row) const { return {40, Table()->rowViewportPosition(row) + 1}; }
    QPoint MiddleOf(int row) const { return {40, Table()->rowViewportPosition(row) + Table()->rowHeight(row) / 2}; }
};

TEST_F(ViewControllerList, AddImagesAppendsAndRemembersTheFolder)
{
    platform->fileAnswers = {QStringList{"/photos/b.jpg", "/photos/a.png"},
                             QStringList{"/other/c.gif", "/photos/b.jpg"}, std::nullopt, QStringList{}};
    Click("buttonAddImages");
    Click("buttonAddImages"); // a listed file is not added twice
    EXPECT_EQ(Listed(), (Paths{"/photos/b.jpg", "/photos/a.png", "/other/c.gif"}));
    EXPECT_EQ(Table()->model()->index(2, 0).data().toString(), "/other/c.gif");
    EXPECT_EQ(platform->fileStartFolders, (std::vector<QString>{"", "/photos"}));
    EXPECT_EQ(platform->ReadPreference("AddImages"), "/other");
    Click("buttonAddImages"); // cancelled: nothing said
    EXPECT_TRUE(platform->alerts.empty());
    Click("buttonAddImages"); // nothing chosen
    EXPECT_EQ(platform->AlertTexts(), QStringList{"The images could not be loaded."});
    EXPECT_EQ(Listed().size(), 3u);
}

TEST_F(ViewControllerList, OpenWithKeepsAcceptedFilesInOrder)
{
    OpenWith({"/in/A.JPG", "/in/c.psd", "/in/b.Tiff", "/in/A.JPG"});
    EXPECT_EQ(Listed(), (Paths{"/in/A.JPG", "/in/b.Tiff"}));
}

TEST_F(ViewControllerList, DropsGoBetweenRowsAsCopies)
{
    struct Case
    {
        const char* name;
        std::function<QPoint(ViewControllerList&)> where;
        Qt::DropActions actions;
        bool taken;
        int at; // where the first dropped file lands
    };
    const Case cases[] = {
        {"gap above row 1", [](auto& t) { return t.GapAbove(1); }, Qt::CopyAction | Qt::MoveAction, true, 1},
        {"below the rows", [](auto& t) { return QPoint(40, t.Table()->viewport()->height() - 5); },
         Qt::CopyAction | Qt::MoveAction, true, 2},
        {"move only", [](auto& t) { return t.GapAbove(1); }, Qt::MoveAction, false, -1},
        {"onto a row", [](auto& t) { return t.MiddleOf(1); }, Qt::CopyAction | Qt::MoveAction, false, -1},
    };
    const QString notes = WriteFile("notes.txt", "text");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Trigger("actionNew");
        const QStringList listed{MakeImage("a.png", 8, 8), MakeImage("b.png", 8, 8)};
        OpenWith(listed);
        const QString x = MakeImage("x.png", 8, 8), y = MakeImage("y.png", 8, 8);
        // A listed, a missing and an unaccepted file are left out; the others keep their drag order.
        EXPECT_EQ(DropAt({x, listed[0], TempPath("missing.png"), notes, y}, c.where(*this), c.actions), c.taken);
        Paths expected = {listed[0].toStdString(), listed[1].toStdString()};
        if (c.taken)
            expected.insert(expected.begin() + c.at, {x.toStdString(), y.toStdString()});
        EXPECT_EQ(Listed(), expected);
        EXPECT_EQ(Table()->model()->rowCount(), static_cast<int>(expected.size()));
    }
    EXPECT_FALSE(DropAt({notes}, GapAbove(0))) << "nothing acceptable in it";
}

TEST_F(ViewControllerList, DropKeepsTheSelectedImageWhileOtherChangesClearIt)
{
    OpenWith({MakeImage("a.png", 40, 30), MakeImage("b.png", 40, 30)});
    ClickRow(0);
    ASSERT_TRUE(WaitUntil([&] { return !window->IsCropPreviewPending(); }));
    ASSERT_TRUE(DropAt({MakeImage("c.png", 40, 30)}, GapAbove(1)));
    EXPECT_FALSE(window->GetCurrentImage().path.empty());
    EXPECT_FALSE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());

    OpenWith({MakeImage("d.png", 40, 30)});
    EXPECT_TRUE(window->GetCurrentImage().path.empty());
    EXPECT_TRUE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());
}

TEST_F(ViewControllerList, RemoveSelectedAndRemoveAll)
{
    Click("buttonRemoveAll");
    EXPECT_TRUE(platform->alerts.empty()) << "an empty list asks nothing";
    OpenWith({"/r/a.jpg", "/r/b.jpg", "/r/c.jpg"});
    Click("buttonRemoveSelected"); // nothing selected
    ClickRow(1);
    Click("buttonRemoveSelected");
    EXPECT_EQ(Listed(), (Paths{"/r/a.jpg", "/r/c.jpg"}));

    platform->answer = [](const Alert&) { return 1; }; // "No"
    Click("buttonRemoveAll");
    EXPECT_EQ(platform->AlertTexts(), QStringList{"Are you sure you want to remove all the images from the list?"});
    EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
    EXPECT_EQ(Listed().size(), 2u);
    platform->answer = nullptr; // "Yes"
    Click("buttonRemoveAll");
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(Table()->model()->rowCount(), 0);
}

} // namespace
} // namespace trimlark
