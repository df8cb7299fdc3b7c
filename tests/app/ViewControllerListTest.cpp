#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"

#include <QMimeData>
#include <QUrl>

namespace trimlark {
namespace {

using Paths = std::vector<std::string>;

class ViewControllerList : public WindowFixture
{
public:
    Paths Listed() const { return window->ListImagePaths(); }
    QTableView* Table() const { return Find<QTableView>("tableViewImage"); }

    // Drops files on the table at a point as a file manager's drag would; whether they were taken as a copy.
    bool DropAt(const QStringList& paths, QPoint at, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop})
            QCoreApplication::sendEvent(Table()->viewport(), event);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction; // a "move" could delete the originals
    }
    QPoint GapAbove(int row) const { return {40, Table()->rowViewportPosition(row) + 1}; }
};

TEST_F(ViewControllerList, AddImagesAppendsAndRemembersTheFolder)
{
    platform->panelAnswers = {QStringList{"/photos/b.jpg", "/photos/a.png"},
                              QStringList{"/other/c.gif", "/photos/b.jpg"}, std::nullopt, QStringList{}};
    Click("buttonAddImages");
    Click("buttonAddImages");
    EXPECT_EQ(Listed(), (Paths{"/photos/b.jpg", "/photos/a.png", "/other/c.gif"}));
    EXPECT_EQ(Table()->model()->index(2, 0).data().toString(), "/other/c.gif");
    Click("buttonAddImages"); // cancelled: nothing said
    EXPECT_TRUE(platform->alerts.empty());
    Click("buttonAddImages"); // nothing chosen
    EXPECT_EQ(platform->AlertTexts(), QStringList{"The images could not be loaded."});
    EXPECT_EQ(platform->panels, (QStringList{"images ", "images /photos", "images /other", "images /other"}));
    OpenWith({"/in/A.JPG", "/in/c.psd", "/photos/a.png"}); // opened with the app: by extension, not twice
    EXPECT_EQ(Listed(), (Paths{"/photos/b.jpg", "/photos/a.png", "/other/c.gif", "/in/A.JPG"}));
}

TEST_F(ViewControllerList, DropsGoBetweenRows)
{
    const QString notes = WriteFile("notes.txt", "text");
    const std::tuple<const char*, int, Qt::DropActions, int> cases[] = {
        // name, the point's row (-1: below the rows, 10: in the middle of row 1), actions, where the files land
        {"gap above row 1", 1, Qt::CopyAction | Qt::MoveAction, 1},
        {"below the rows", -1, Qt::CopyAction | Qt::MoveAction, 2},
        {"onto a row", 10, Qt::CopyAction | Qt::MoveAction, -1},
        {"move only", 1, Qt::MoveAction, -1},
    };
    for (const auto& [name, row, actions, at] : cases) {
        SCOPED_TRACE(name);
        Trigger("actionNew");
        const QStringList listed{MakeImage("a.png", 8, 8), MakeImage("b.png", 8, 8)};
        OpenWith(listed);
        const QPoint point = row < 0     ? QPoint(40, Table()->viewport()->height() - 5)
                             : row == 10 ? GapAbove(1) + QPoint(0, Table()->rowHeight(1) / 2)
                                         : GapAbove(row);
        const QString x = MakeImage("x.png", 8, 8), y = MakeImage("y.png", 8, 8);
        // A listed, a missing and an unaccepted file are left out; the others keep their drag order.
        EXPECT_EQ(DropAt({x, listed[0], TempPath("missing.png"), notes, y}, point, actions), at >= 0);
        Paths expected{listed[0].toStdString(), listed[1].toStdString()};
        if (at >= 0)
            expected.insert(expected.begin() + at, {x.toStdString(), y.toStdString()});
        EXPECT_EQ(Listed(), expected);
        EXPECT_EQ(Table()->model()->rowCount(), static_cast<int>(expected.size()));
    }
    EXPECT_FALSE(DropAt({notes}, GapAbove(0))) << "nothing acceptable in it";
}

TEST_F(ViewControllerList, DropKeepsTheSelectedImageWhileOtherChangesClearIt)
{
    OpenWith({MakeImage("a.png", 40, 30), MakeImage("b.png", 40, 30)});
    ClickRow(0);
    ASSERT_TRUE(PreviewShown());
    ASSERT_TRUE(DropAt({MakeImage("c.png", 40, 30)}, GapAbove(1)));
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
    for (const int answer : {1, 0}) { // "No", then "Yes"
        platform->answer = [answer](const Alert&) { return answer; };
        Click("buttonRemoveAll");
        EXPECT_EQ(Listed().size(), answer == 1 ? 2u : 0u);
    }
    EXPECT_EQ(platform->AlertTexts().value(0), "Are you sure you want to remove all the images from the list?");
    EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
    EXPECT_EQ(Table()->model()->rowCount(), 0);
}

} // namespace
} // namespace trimlark
