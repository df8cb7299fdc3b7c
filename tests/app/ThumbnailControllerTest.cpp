#include "app/ThumbnailController.h"

#include "TestImages.h"
#include "app/ImageListModel.h"
#include "app/ThumbnailGridView.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

// The controller asked as the grid's painting asks: again on every turn of the event loop until it is up to date.
class Thumbnails : public ::testing::Test
{
protected:
    Thumbnails()
    {
        thumbnails.SetCropOf([this](const std::string&, const ImageProbe&) { return ShownCropRequest{plan, {}}; });
    }
    bool Current(const std::vector<std::string>& paths)
    {
        const auto current = [&] {
            bool all = true;
            for (std::size_t row = 0; row < paths.size(); ++row) {
                thumbnails.Get(paths[row], static_cast<int>(row));
                all = all && thumbnails.IsCurrent(paths[row]);
            }
            return all;
        };
        return QTest::qWaitFor(current, 10000);
    }
    QImage Shown(const std::string& path) { return Current({path}) ? thumbnails.Get(path, 0).image : QImage(); }
    std::string Solid(const char* name, int width, int height, Qt::GlobalColor colour) const
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        image.save(QString::fromStdString(folder.Path(name)));
        return folder.Path(name);
    }
    static CropPlan Square(double x) { return CropPlan{.rect = {x, 0, 200, 200}, .corner = OriginCorner::TopLeft}; }

    test::TempFolder folder;
    ThumbnailController thumbnails{160};
    CropPlan plan = Square(0);
};

TEST_F(Thumbnails, FollowTheLatestCropAndTheFileAndGiveUpOnAnUnreadableOne)
{
    const std::string path = Solid("wide.png", 400, 200, Qt::blue); // drawn at 160 x 80
    const QColor veiled(153, 153, 255);
    EXPECT_EQ(Shown(path).pixelColor(10, 40), QColor(Qt::blue)) << "the left square is kept";
    // The right square is asked for, then the left one again before the right one is drawn: the left one is
    // shown in the end, not the drawing that was under way.
    plan = Square(200);
    thumbnails.CropsChanged();
    thumbnails.Get(path, 0);
    plan = Square(0);
    thumbnails.CropsChanged();
    EXPECT_EQ(Shown(path).pixelColor(10, 40), QColor(Qt::blue));
    plan = Square(200);
    thumbnails.CropsChanged();
    EXPECT_EQ(Shown(path).pixelColor(10, 40), veiled);

    // A file changed on disk is read again once the list is reloaded.
    Solid("wide.png", 200, 400, Qt::blue);
    thumbnails.ListReloaded();
    EXPECT_EQ(Shown(path).size(), QSize(80, 160));

    // A file that is no picture is unreadable, and is not tried again.
    const std::string broken = folder.Path("broken.png");
    test::WriteBytes(broken, "not a picture");
    ASSERT_TRUE(Current({broken}));
    QSignalSpy ready(&thumbnails, &ThumbnailController::thumbnailReady);
    for (int turn = 0; turn < 20; ++turn) {
        EXPECT_TRUE(thumbnails.Get(broken, 0).unreadable);
        QTest::qWait(5);
    }
    EXPECT_EQ(ready.count(), 0);
}

// A crop placed on the picture ("Subject", a border trim) is placed again when the settings or the image's own crop
// change, though the plan made at once stays the same.
TEST_F(Thumbnails, APlacedCropIsPlacedAgainWhenTheSettingsOrItsOwnCropChange)
{
    const std::string path = Solid("wide.png", 400, 200, Qt::blue);
    std::atomic<double> placedAt = 0; // read on the worker thread
    thumbnails.SetCropOf([&](const std::string&, const ImageProbe&) {
        return ShownCropRequest{plan, [&](const RgbaBitmap&) { return Square(placedAt); }};
    });
    EXPECT_EQ(Shown(path).pixelColor(10, 40), QColor(Qt::blue));
    placedAt = 200;
    thumbnails.CropsChanged();
    EXPECT_EQ(Shown(path).pixelColor(10, 40), QColor(153, 153, 255));
    placedAt = 0;
    thumbnails.CropChanged(path);
    EXPECT_EQ(Shown(path).pixelColor(10, 40), QColor(Qt::blue));
}

// More images than may wait at once: those dropped from the queue are asked for again when painted.
TEST_F(Thumbnails, AllAreMadeWhenMoreAreAskedForThanMayWait)
{
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < ThumbnailController::kMaxWaiting + 40; ++i)
        paths.push_back(folder.Path("missing-" + std::to_string(i) + ".png")); // quick to find unreadable
    EXPECT_TRUE(Current(paths));
}

// The grid draws a row's thumbnail again when the model says the row changed, as it does for an adjustment.
TEST_F(Thumbnails, TheGridDrawsARowAgainWhenItChanges)
{
    const std::vector<std::string> paths{Solid("wide.png", 400, 200, Qt::blue)};
    ImageListModel model(paths);
    ThumbnailGridView grid;
    grid.setModel(&model);
    grid.SetCropOf([this](const std::string&, const ImageProbe&) { return ShownCropRequest{plan, {}}; });
    grid.show();
    const auto shows = [&](const QColor& colour) {
        return QTest::qWaitFor([&] {
            const QImage image = grid.Thumbnails().Get(paths[0], 0).image;
            return grid.Thumbnails().IsCurrent(paths[0]) && image.pixelColor(10, 40) == colour;
        });
    };
    EXPECT_TRUE(shows(Qt::blue));
    plan = Square(200);
    model.RowChanged(0);
    EXPECT_TRUE(shows(QColor(153, 153, 255)));
}

} // namespace
} // namespace trimlark
