#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QListView>
#include <QMimeData>
#include <QUrl>
#include <cmath>

namespace trimlark {
namespace {

using Paths = std::vector<std::string>;
// The veil over what the crop cuts away turns a solid colour c into 60 % white over 40 % c.
const QColor kVeiledBlue(153, 153, 255);

class ViewControllerList : public WindowFixture
{
public:
    Paths Listed() const { return window->ListImagePaths(); }
    QTableView* Table() const { return Find<QTableView>("tableViewImage"); }
    QPoint GapAbove(int row) const { return {40, Table()->rowViewportPosition(row) + 1}; }
    QPoint BelowTheRows() const { return {40, Table()->viewport()->height() - 4}; }

    // Drops files on the table (or another view) at a point as a file manager's drag would, with Shift held from
    // the start (which asks for a move); whether they were taken as a copy.
    bool DropAt(const QStringList& paths, QPoint at, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
                QAbstractItemView* view = nullptr)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop})
            QCoreApplication::sendEvent((view != nullptr ? view : Table())->viewport(), event);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction; // a "move" could delete the originals
    }
    QImage Preview() const { return Find<CropPreviewView>("imageViewCropPreview")->Image(); }
    // The shown preview's colour over the source pixel (x, yFromTop) of an image 400 pixels wide.
    QColor PixelOver(double x, double yFromTop) const
    {
        const double scale = PreviewShown() ? Preview().width() / 400.0 : 0;
        return Preview().pixelColor(static_cast<int>(std::floor(x * scale)),
                                    static_cast<int>(std::floor(yFromTop * scale)));
    }
};
using ViewControllerPreview = ViewControllerList;

class ViewControllerGrid : public ViewControllerList
{
public:
    QListView* Grid() const { return Find<QListView>("gridViewImage"); }
    QRect Cell(int row) const { return Grid()->visualRect(Grid()->model()->index(row, 0)); }
    void ClickCell(int row) const { QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Cell(row).center()); }
    // The cell's picture as shown, read along its middle row, then its middle column, as runs of clear blue "b"
    // and veiled blue "v" (other pixels skipped): "vbv/b" is a picture veiled at its left and right only.
    std::string Runs(int row) const
    {
        const QImage shot = Grid()->viewport()->grab().toImage();
        const QRect cell = Cell(row).intersected(shot.rect());
        const auto kind = [&](int x, int y) {
            const QColor c = shot.pixelColor(x, y);
            const auto near = [&](const QColor& to) {
                return std::abs(c.red() - to.red()) + std::abs(c.green() - to.green()) +
                           std::abs(c.blue() - to.blue()) <
                       24;
            };
            return near(Qt::blue) ? 'b' : near(kVeiledBlue) ? 'v' : ' ';
        };
        QRect blue; // the picture: every pixel of either kind
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                if (kind(x, y) != ' ')
                    blue |= QRect(x, y, 1, 1);
        std::string runs;
        const auto add = [&runs](char k) {
            if (k != ' ' && (runs.empty() || runs.back() != k))
                runs += k;
        };
        for (int x = blue.left(); x <= blue.right(); ++x)
            add(kind(x, blue.center().y()));
        runs += '/';
        for (int y = blue.top(); y <= blue.bottom(); ++y)
            add(kind(blue.center().x(), y));
        return runs;
    }
    // Pixels of the orange mark of an adjusted image in the cell.
    int MarkPixels(int row) const
    {
        const QImage shot = Grid()->viewport()->grab().toImage();
        int count = 0;
        const QRect cell = Cell(row).intersected(shot.rect());
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                count += shot.pixelColor(x, y) == QColor(0xf0, 0x8a, 0x24);
        return count;
    }
};

TEST_F(ViewControllerList, AddOpenAndRemoveImages)
{
    // The third panel is cancelled (nothing said), the fourth has nothing chosen.
    platform->panelAnswers = {QStringList{"/photos/b.jpg", "/photos/a.png"}, QStringList{"/other/c.gif"}, std::nullopt,
                              QStringList{}};
    for (int i = 0; i < 3; ++i)
        Click("buttonAddImages");
    // The menu's entry, under Ctrl+Shift+O (Ctrl+O loads a profile), opens the same panel.
    EXPECT_EQ(Find<QAction>("actionAddImages")->shortcut(), QKeySequence("Ctrl+Shift+O"));
    Trigger("actionAddImages");
    EXPECT_EQ(platform->alertTexts, QStringList{"The images could not be loaded."});
    EXPECT_EQ(platform->panels, (QStringList{"images ", "images /photos", "images /other", "images /other"}));
    OpenWith({"/in/A.JPG", "/in/c.psd"}); // opened with the app: taken by extension
    EXPECT_EQ(Listed(), (Paths{"/photos/b.jpg", "/photos/a.png", "/other/c.gif", "/in/A.JPG"}));
    EXPECT_EQ(Table()->model()->rowCount(), 4);
    ClickRow(1);
    QTest::keyClick(Table(), Qt::Key_End);
    EXPECT_EQ(Table()->currentIndex().row(), 3);
    QTest::keyClick(Table(), Qt::Key_Home);
    EXPECT_EQ(Table()->currentIndex().row(), 0);
    Table()->clearSelection();

    platform->ClearAlerts();
    Click("buttonRemoveSelected"); // nothing selected
    ClickRow(1);
    Click("buttonRemoveSelected");
    EXPECT_EQ(Listed(), (Paths{"/photos/b.jpg", "/other/c.gif", "/in/A.JPG"}));
    // The selection moved to the row after the removed one, so the Delete key removes that image next.
    QTest::keyClick(Table(), Qt::Key_Delete);
    EXPECT_EQ(Listed(), (Paths{"/photos/b.jpg", "/in/A.JPG"}));
    OpenWith({"/in/D.JPG"});
    // Rows picked with Ctrl go together, with the Delete key too; the title counts the rows. A folder opened with
    // the app gives its images.
    ClickRow(0);
    QTest::mouseClick(Table()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      Table()->visualRect(Table()->model()->index(1, 0)).center());
    QTest::keyClick(Table(), Qt::Key_Delete);
    const QString image = MakeImage("in-folder.png", 4, 4);
    OpenWith({QFileInfo(image).path()});
    EXPECT_EQ(Listed(), (Paths{"/in/D.JPG", image.toStdString()}));
    EXPECT_EQ(Find<QGroupBox>("boxImages")->title(), "Images (2)");
    Table()->setFocus();
    QTest::keyClick(Table(), Qt::Key_Tab);
    EXPECT_FALSE(Table()->hasFocus()) << "Tab leaves the list";
    for (const int answer : {1, 0, 0}) { // "No", "Yes", then an empty list asks nothing
        platform->answer = [answer](const Alert&) { return answer; };
        Click("buttonRemoveAll");
        EXPECT_EQ(Table()->model()->rowCount(), answer == 1 ? 2 : 0);
    }
    EXPECT_EQ(platform->alertTexts.size(), 2);
    EXPECT_EQ(platform->alerts[0].informativeText, "Are you sure you want to remove all the images from the list?");
    EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
}

TEST_F(ViewControllerList, DropsGoBetweenRows)
{
    const QString x = MakeImage("x.png", 8, 8), y = MakeImage("y.png", 8, 8), notes = WriteFile("notes.txt", "text");
    // Where the drop is, what the drag offers, and where the files land (-1: refused).
    const std::tuple<const char*, std::function<QPoint()>, Qt::DropActions, int> cases[] = {
        {"gap above row 1", [&] { return GapAbove(1); }, Qt::CopyAction | Qt::MoveAction, 1},
        {"below the rows", [&] { return BelowTheRows(); }, Qt::CopyAction | Qt::MoveAction, 2},
        {"onto a row", [&] { return GapAbove(1) + QPoint(0, Table()->rowHeight(1) / 2); }, Qt::CopyAction, -1},
        {"move only", [&] { return GapAbove(1); }, Qt::MoveAction, -1},
    };
    for (const auto& [name, point, actions, at] : cases) {
        SCOPED_TRACE(name);
        Trigger("actionNew");
        OpenWith({"/r/a.png", "/r/b.png"});
        // A missing and an unaccepted file are left out; the others keep their drag order.
        EXPECT_EQ(DropAt({x, TempPath("missing.png"), notes, y}, point(), actions), at >= 0);
        Paths expected{"/r/a.png", "/r/b.png"};
        if (at >= 0)
            expected.insert(expected.begin() + at, {x.toStdString(), y.toStdString()});
        EXPECT_EQ(Listed(), expected);
        EXPECT_EQ(Table()->model()->rowCount(), static_cast<int>(expected.size()));
    }
    EXPECT_FALSE(DropAt({notes}, GapAbove(0))) << "nothing acceptable in it";
    Trigger("actionNew");
    EXPECT_TRUE(DropAt({QFileInfo(x).path()}, GapAbove(0))) << "a folder gives its images";
    EXPECT_EQ(Listed(), (Paths{x.toStdString(), y.toStdString()}));
}

// "Subject" moves the clear square onto the one busy part of the picture, at the size the labels give.
TEST_F(ViewControllerPreview, SubjectMovesTheClearSquareOntoTheBusyPart)
{
    QImage image(400, 100, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 100; ++y)
        for (int x = 300; x < 400; ++x)
            image.setPixel(x, y, qRgb((x * 151 + y * 97) % 256, (x * 73 ^ y * 41) % 256, (x * y * 13) % 256));
    ASSERT_TRUE(image.save(TempPath("busy.png")));
    OpenWith({TempPath("busy.png")});
    ClickRow(0);
    EXPECT_EQ(PixelOver(200, 50), Qt::blue); // "1:1" centred: x 150-249
    ChooseItem(Find("comboAutoCropPosition"), "Subject");
    EXPECT_EQ(OutputLabels(), "Width: 100, Height: 100");
    EXPECT_EQ(PixelOver(200, 50), kVeiledBlue);
}

// With the lossless box on, a JPEG's output is the crop grown to the file's block grid: 16 pixels for the colour
// Qt's encoder halves both ways, so "1:1" of 400 x 300 (from x 50) grows left to x 48.
TEST_F(ViewControllerPreview, TheLosslessBoxShowsTheCropGrownToTheBlockGrid)
{
    OpenWith({MakeImage("photo.jpg", 400, 300)});
    ClickRow(0);
    EXPECT_EQ(OutputLabels(), "Width: 300, Height: 300");
    Click("checkLosslessJpeg");
    EXPECT_EQ(OutputLabels(), "Width: 302, Height: 300");
    // On the subject (a flat picture's is its top left) the crop starts on the grid: the labels follow the plan
    // the preview placed.
    ChooseItem(Find("comboAutoCropPosition"), "Subject");
    ASSERT_TRUE(PreviewShown());
    EXPECT_EQ(OutputLabels(), "Width: 300, Height: 300");
}

// A size shows as the output's size; "Exactly" gives the automatic crop its shape (the ratio list gives way) and
// turns the lossless box off; a filled fit frames its canvas around the crop.
TEST_F(ViewControllerPreview, ASizeShowsItsOutputShapesTheCropAndFramesItsFill)
{
    OpenWith({MakeImage("photo.png", 400, 300)});
    ClickRow(0);
    TypeInto(Find("textFieldSizeWidth"), "200");
    TypeInto(Find("textFieldSizeHeight"), "100");
    ChooseItem(Find("comboSize"), "Exactly");
    EXPECT_EQ(OutputLabels(), "Width: 200, Height: 100");
    EXPECT_EQ(PixelOver(200, 60), Qt::blue); // 2:1 over the whole width: y 50-249
    EXPECT_EQ(PixelOver(200, 40), kVeiledBlue);
    EXPECT_FALSE(Find("checkLosslessJpeg")->isEnabled());
    EXPECT_FALSE(Find("comboAutoCropFormat")->isEnabled());
    EXPECT_EQ(Text("labelRatioFromSize"), "2:1 from the size");
    EXPECT_FALSE(Find<CropPreviewView>("imageViewCropPreview")->FillFrame());

    ChooseItem(Find("comboSize"), "Fit within");
    Click("checkFillToSize");
    EXPECT_TRUE(Find("comboAutoCropFormat")->isEnabled());
    EXPECT_EQ(OutputLabels(), "Width: 200, Height: 100");
    // "1:1" (300 x 300 from x 50) fits at 100 x 100 in the middle of 200 x 100: 150 more picture pixels each side.
    EXPECT_EQ(Find<CropPreviewView>("imageViewCropPreview")->FillFrame(), QRectF(-100 / 400.0, 0, 600 / 400.0, 1));
    ChooseItem(Find("comboSize"), "Keep the cropped size");
    EXPECT_EQ(OutputLabels(), "Width: 300, Height: 300");
    EXPECT_TRUE(Find("checkLosslessJpeg")->isEnabled());
}

// "Trim borders" shows what the search finds once the preview's worker has it; a picture without a border says so.
TEST_F(ViewControllerPreview, TheBorderTrimShowsWhatItFinds)
{
    QImage framed(400, 300, QImage::Format_RGB32);
    framed.fill(Qt::white);
    for (int y = 100; y < 200; ++y)
        for (int x = 50; x < 250; ++x)
            framed.setPixel(x, y, qRgb(0, 0, 255));
    ASSERT_TRUE(framed.save(TempPath("framed.png")));
    OpenWith({TempPath("framed.png"), MakeImage("flat.png", 40, 30)});
    ClickRow(0);
    Click("radioTrimBorders");
    ASSERT_TRUE(PreviewShown());
    EXPECT_EQ(OutputLabels(), "Width: 202, Height: 102"); // the blue block, and a pixel of smoothing on each side
    EXPECT_TRUE(Find("labelCropNote")->isHidden());
    ClickRow(1);
    ASSERT_TRUE(PreviewShown());
    EXPECT_FALSE(Find("labelCropNote")->isHidden());
    EXPECT_EQ(Text("labelCropNote"), "No border found: the whole image will be written");
}

TEST_F(ViewControllerPreview, FollowsTheSelectionTheCornerAndTypedPercents)
{
    OpenWith({MakeImage("landscape.png", 400, 300), WriteFile("broken.png", "this is not a picture")});
    ClickRow(0);
    // The labels come at once, from the header: "1:1" on 400 x 300 is 300 x 300, centred at x 50-349.
    EXPECT_EQ(OutputLabels(), "Width: 300, Height: 300");
    EXPECT_EQ(PixelOver(200, 150), Qt::blue);
    EXPECT_EQ(PixelOver(20, 150), kVeiledBlue);

    // Typed percents show at once: x 50 %, width 30 % of 400; height the default 60 % of 300.
    Click("radioCustomCrop");
    TypeInto(Find("textFieldCustomCropPercentsOriginX"), "50");
    TypeInto(Find("textFieldCustomCropPercentsWidth"), "30");
    EXPECT_EQ(OutputLabels(), "Width: 120, Height: 180");
    EXPECT_EQ(PixelOver(190, 150), kVeiledBlue);

    // A 100 x 100 pixel square sits at the chosen corner: a source point (from the top) inside it is clear, the
    // opposite corner veiled.
    Click("radioCustomCropPixels");
    TypeInto(Find("textFieldCustomCropPixelsWidth"), "100");
    TypeInto(Find("textFieldCustomCropPixelsHeight"), "100");
    for (const auto& [corner, x, y] : {std::tuple("Top Left", 50, 50), {"Bottom Right", 350, 250}}) {
        ChooseCorner(corner);
        EXPECT_EQ(PixelOver(x, y), Qt::blue) << corner;
        EXPECT_EQ(PixelOver(400 - x, 300 - y), kVeiledBlue) << corner;
    }
    // A crop that cuts nothing writes the whole image: the preview shows it all, with a note. A field whose text is
    // no number is marked.
    QWidget* width = Find("textFieldCustomCropPixelsWidth");
    TypeInto(width, "abc");
    EXPECT_EQ(PixelOver(50, 50), Qt::blue);
    EXPECT_FALSE(Find("labelCropNote")->isHidden());
    EXPECT_TRUE(width->property("invalid").toBool());
    TypeInto(width, "100");
    EXPECT_EQ(PixelOver(50, 50), kVeiledBlue);
    EXPECT_TRUE(Find("labelCropNote")->isHidden());
    EXPECT_FALSE(width->property("invalid").toBool());

    // A drop keeps the selected image and its preview; an unreadable file, or a click below the rows, leaves
    // nothing selected to show.
    ASSERT_TRUE(DropAt({MakeImage("c.png", 8, 8)}, GapAbove(1)));
    EXPECT_FALSE(Preview().isNull());
    for (const bool belowTheRows : {false, true}) {
        ClickRow(0);
        ASSERT_TRUE(PreviewShown() && !Preview().isNull());
        belowTheRows ? QTest::mouseClick(Table()->viewport(), Qt::LeftButton, {}, BelowTheRows()) : ClickRow(2);
        EXPECT_TRUE(window->GetCurrentImage().path.empty());
        EXPECT_TRUE(Preview().isNull());
        EXPECT_EQ(OutputLabels(), "Width: 0, Height: 0");
    }
    // So does a file whose header reads but whose pixels do not, once its decoding has failed.
    const QByteArray whole = ReadFile(MakeImage("whole.jpg", 400, 300));
    OpenWith({WriteFile("cut.jpg", whole.left(whole.size() / 2))});
    ClickRow(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->GetCurrentImage().path.empty(); }));
    EXPECT_EQ(OutputLabels(), "Width: 0, Height: 0");
}

TEST_F(ViewControllerGrid, ThumbnailsShowEachCropAndShareTheSelection)
{
    const QString wide = MakeImage("wide.png", 400, 200), tall = MakeImage("tall.png", 200, 400);
    OpenWith({wide, tall});
    Trigger("actionShowAsGrid");
    ASSERT_TRUE(Grid()->isVisible());
    EXPECT_FALSE(Table()->isVisible());
    // "1:1" keeps the middle square: the wide picture's sides are veiled, the tall one's top and bottom.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Runs(0) == "vbv/b" && Runs(1) == "b/vbv"; })) << Runs(0) << " " << Runs(1);

    // A click on a thumbnail selects its image, for the preview and in the table.
    ClickCell(1);
    EXPECT_EQ(window->GetCurrentImage().path, tall.toStdString());
    EXPECT_EQ(OutputLabels(), "Width: 200, Height: 200");
    EXPECT_TRUE(Table()->selectionModel()->isRowSelected(1));

    // An adjusted image is marked, and shows its own crop: here the wide picture's left square.
    window->SetAdjustment(wide.toStdString(), CropAdjustment{CropAdjustment::Kind::Rectangle, 0, 0, 200, 200});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Runs(0) == "bv/b"; })) << Runs(0);
    EXPECT_GT(MarkPixels(0), 0);
    EXPECT_EQ(MarkPixels(1), 0);
    // The settings reach the thumbnails: the default percents (20 % in, 60 % across) veil all four sides.
    Click("radioCustomCrop");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Runs(1) == "vbv/vbv"; })) << Runs(1);

    // Delete removes the selected image; a file dropped onto a thumbnail's left half goes before it.
    QTest::keyClick(Grid(), Qt::Key_Delete);
    EXPECT_EQ(Listed(), (Paths{wide.toStdString()}));
    const QString dropped = MakeImage("dropped.png", 8, 8);
    ASSERT_TRUE(DropAt({dropped}, Cell(0).center() - QPoint(20, 0), Qt::CopyAction, Grid()));
    EXPECT_EQ(Listed(), (Paths{dropped.toStdString(), wide.toStdString()}));
}

} // namespace
} // namespace trimlark
