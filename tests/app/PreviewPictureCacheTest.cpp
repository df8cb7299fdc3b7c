#include "TestImages.h"
#include "app/CropPreviewController.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

// Three 40 x 30 images; each is decoded as 20 x 15 (1,200 bytes) for a 20 x 20 view.
class PreviewPictures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"a.png", "b.png", "c.png"}) {
            paths.push_back(folder.Path(name));
            test::WriteCoordinateImage(paths.back(), 40, 30);
        }
    }

    test::TempFolder folder;
    std::vector<std::string> paths;
    const QSize target{20, 20};
};

TEST_F(PreviewPictures, AHandfulOfRecentPicturesAreKeptWithinTheirBytes)
{
    const struct
    {
        std::size_t pictures, bytes;
        std::vector<bool> kept;
    } cases[] = {
        {2, 1 << 20, {false, true, true}}, // the oldest goes past two pictures
        {8, 2400, {false, true, true}},    // and past two pictures' bytes
        {8, 1, {false, false, true}},      // the newest stays even when it alone is over the bound
    };
    for (const auto& c : cases) {
        PreviewPictureCache cache(c.pictures, c.bytes);
        for (const std::string& path : paths)
            ASSERT_NE(cache.Get(path, target), nullptr);
        for (std::size_t i = 0; i < paths.size(); ++i)
            EXPECT_EQ(cache.Contains(paths[i], target), c.kept[i]) << c.pictures << " " << c.bytes << " " << i;
    }
    // A file that changed is decoded anew; one that is no picture is not kept.
    PreviewPictureCache cache;
    cache.Get(paths[0], target);
    test::WriteCoordinateImage(paths[0], 41, 30);
    EXPECT_FALSE(cache.Contains(paths[0], target));
    test::WriteBytes(paths[1], "not a picture");
    EXPECT_EQ(cache.Get(paths[1], target), nullptr);
    EXPECT_FALSE(cache.Contains(paths[1], target));
}

// Once a preview is shown, its neighbours are decoded ahead, so moving to one needs no decode.
TEST_F(PreviewPictures, TheNeighboursOfAShownImageAreDecodedAhead)
{
    CropPreviewController preview;
    QSignalSpy shown(&preview, &CropPreviewController::previewReady);
    preview.SetNeighbours({paths[2], paths[0]});
    CropPlan plan;
    plan.rect = {0, 0, 10, 10}, plan.corner = OriginCorner::TopLeft;
    preview.Request(paths[1], {40, 30}, target, plan);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return preview.HasPicture(paths[0], target) && preview.HasPicture(paths[2], target); }));
}

} // namespace
} // namespace trimlark
