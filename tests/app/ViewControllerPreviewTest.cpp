#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"
#include "app/NotificationCenter.h"

#include <QFile>
#include <QLabel>
#include <QTableView>
#include <cmath>

namespace trimlark {
namespace {

// Solid test images; the veil turns a colour c into 60 % white over 40 % c.
const QColor kBlue(0, 0, 255);
const QColor kVeiledBlue(153, 153, 255);
const QColor kRed(255, 0, 0);

class ViewControllerPreview : public WindowFixture
{
public:
    QStringList Labels() const
    {
        QStringList texts;
        for (const char* name : {"labelOriginalDimensionsWidth", "labelOriginalDimensionsHeight",
                                 "labelOutputDimensionsWidth", "labelOutputDimensionsHeight"})
            texts << Find<QLabel>(name)->text();
        return texts;
    }

    QImage ShownPreview() const
    {
        if (!WaitUntil([&] { return !window->IsCropPreviewPending(); }))
            throw std::runtime_error("no preview");
        return Find<CropPreviewView>("imageViewCropPreview")->Image();
    }

    // The preview's pixel over the source pixel (x, yFromTop) of an image W pixels wide.
    static QColor PixelOver(const QImage& preview, double W, double x, double yFromTop)
    {
        const double scale = preview.width() / W;
        return preview.pixelColor(static_cast<int>(std::floor(x * scale)),
                                  static_cast<int>(std::floor(yFromTop * scale)));
    }
};

TEST_F(ViewControllerPreview, SelectionShowsItsImageVeiledOutsideTheAutoCrop)
{
    OpenWith({MakeImage("small.png", 40, 30, kRed), MakeImage("landscape.png", 400, 300, kBlue)});
    ClickRow(1);
    // The labels come at once, from the header: "1:1" on 400 x 300 is 300 x 300.
    EXPECT_EQ(Labels(), (QStringList{"Width: 400", "Height: 300", "Width: 300", "Height: 300"}));
    const QImage preview = ShownPreview();
    EXPECT_NEAR(preview.width() / static_cast<double>(preview.height()), 400.0 / 300.0, 0.02);
    // The centred square x 50-349 is clear, two equal bands are veiled.
    EXPECT_EQ(PixelOver(preview, 400, 200, 150), kBlue);
    EXPECT_EQ(PixelOver(preview, 400, 20, 150), kVeiledBlue);
    EXPECT_EQ(PixelOver(preview, 400, 380, 150), kVeiledBlue);
}

TEST_F(ViewControllerPreview, PixelSquareSitsAtTheChosenCorner)
{
    struct Case
    {
        const char* corner;
        double clearX, clearY; // a source point (from the top) inside the 100 x 100 square
    };
    const Case cases[] = {{"Top Left", 50, 50}, {"Bottom Left", 50, 250}, {"Top Right", 350, 50}};
    OpenWith({MakeImage("photo.png", 400, 300, kBlue)});
    ClickRow(0);
    ClickToggle(Find("radioCustomCrop"));
    ClickToggle(Find("radioCustomCropPixels"));
    TypeInto(Find("textFieldCustomCropPixelsWidth"), "100");
    TypeInto(Find("textFieldCustomCropPixelsHeight"), "100");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.corner);
        ChooseItem(Find("comboOriginCorner"), c.corner);
        const QImage preview = ShownPreview();
        EXPECT_EQ(PixelOver(preview, 400, c.clearX, c.clearY), kBlue);
        EXPECT_EQ(PixelOver(preview, 400, 400 - c.clearX, 300 - c.clearY), kVeiledBlue); // the opposite corner
    }
    EXPECT_EQ(Labels()[2], "Width: 100");
}

TEST_F(ViewControllerPreview, TypedPercentsShowAtOnce)
{
    OpenWith({MakeImage("photo.png", 1000, 800, kBlue)});
    ClickRow(0);
    ClickToggle(Find("radioCustomCrop"));
    TypeInto(Find("textFieldCustomCropPercentsOriginX"), "50");
    TypeInto(Find("textFieldCustomCropPercentsWidth"), "30");
    // x 50 %, width 30 % of 1000; height the default 60 % of 800.
    EXPECT_EQ(Labels().mid(2), (QStringList{"Width: 300", "Height: 480"}));
    const QImage preview = ShownPreview();
    EXPECT_EQ(PixelOver(preview, 1000, 450, 400), kVeiledBlue);
    EXPECT_EQ(PixelOver(preview, 1000, 550, 400), kBlue);
}

TEST_F(ViewControllerPreview, UnreadableFileOrNoSelectionClearsThePreview)
{
    OpenWith({MakeImage("photo.png", 400, 300), WriteFile("broken.png", "this is not a picture")});
    const QStringList cleared{"Width: 0", "Height: 0", "Width: 0", "Height: 0"};
    ClickRow(0);
    ASSERT_FALSE(ShownPreview().isNull());
    ClickRow(1);
    EXPECT_TRUE(window->GetCurrentImage().path.empty());
    EXPECT_TRUE(ShownPreview().isNull());
    EXPECT_EQ(Labels(), cleared);

    ClickRow(0);
    ASSERT_FALSE(ShownPreview().isNull());
    auto* table = Find<QTableView>("tableViewImage");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(40, table->viewport()->height() - 4));
    EXPECT_TRUE(ShownPreview().isNull()) << "a click below the rows deselects";
    EXPECT_EQ(Labels(), cleared);
}

TEST_F(ViewControllerPreview, CustomRatioNotificationRefreshesTheLabels)
{
    OpenWith({MakeImage("photo.png", 300, 200)});
    ClickRow(0);
    ChooseItem(Find("comboAutoCropFormat"), "Custom");
    static_cast<CustomRatio&>(DataProvider::Shared()) = {3, 1, false};
    Q_EMIT NotificationCenter::Default().UpdateCropPreview();
    EXPECT_EQ(Labels().mid(2), (QStringList{"Width: 300", "Height: 100"})); // 3:1 on 300 x 200
}

} // namespace
} // namespace trimlark
