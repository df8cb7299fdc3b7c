#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"

#include <QLabel>
#include <cmath>

namespace trimlark {
namespace {

// The veil turns a solid colour c into 60 % white over 40 % c.
const QColor kVeiledBlue(153, 153, 255);

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
    // The shown preview's colour over the source pixel (x, yFromTop) of an image W pixels wide.
    QColor PixelOver(double W, double x, double yFromTop) const
    {
        EXPECT_TRUE(PreviewShown());
        const QImage preview = Find<CropPreviewView>("imageViewCropPreview")->Image();
        const double scale = preview.width() / W;
        return preview.pixelColor(static_cast<int>(std::floor(x * scale)),
                                  static_cast<int>(std::floor(yFromTop * scale)));
    }
};

TEST_F(ViewControllerPreview, SelectionShowsItsImageVeiledOutsideTheCrop)
{
    OpenWith({MakeImage("small.png", 40, 30, Qt::red), MakeImage("landscape.png", 400, 300)});
    ClickRow(1);
    // The labels come at once, from the header: "1:1" on 400 x 300 is 300 x 300, centred at x 50-349.
    EXPECT_EQ(Labels(), (QStringList{"Width: 400", "Height: 300", "Width: 300", "Height: 300"}));
    EXPECT_EQ(PixelOver(400, 200, 150), Qt::blue);
    EXPECT_EQ(PixelOver(400, 20, 150), kVeiledBlue);
    EXPECT_EQ(PixelOver(400, 380, 150), kVeiledBlue);

    // Typed percents show at once: x 50 %, width 30 % of 400; height the default 60 % of 300.
    Click("radioCustomCrop");
    TypeInto(Find("textFieldCustomCropPercentsOriginX"), "50");
    TypeInto(Find("textFieldCustomCropPercentsWidth"), "30");
    EXPECT_EQ(Labels().mid(2), (QStringList{"Width: 120", "Height: 180"}));
    EXPECT_EQ(PixelOver(400, 190, 150), kVeiledBlue);
    EXPECT_EQ(PixelOver(400, 210, 150), Qt::blue);
}

TEST_F(ViewControllerPreview, PixelSquareSitsAtTheChosenCorner)
{
    OpenWith({MakeImage("photo.png", 400, 300)});
    ClickRow(0);
    Click("radioCustomCrop");
    Click("radioCustomCropPixels");
    TypeInto(Find("textFieldCustomCropPixelsWidth"), "100");
    TypeInto(Find("textFieldCustomCropPixelsHeight"), "100");
    // A source point (from the top) inside the 100 x 100 square; the opposite corner is veiled.
    const std::tuple<const char*, double, double> cases[] = {
        {"Top Left", 50, 50}, {"Bottom Left", 50, 250}, {"Top Right", 350, 50}};
    for (const auto& [corner, x, y] : cases) {
        SCOPED_TRACE(corner);
        ChooseItem(Find("comboOriginCorner"), corner);
        EXPECT_EQ(PixelOver(400, x, y), Qt::blue);
        EXPECT_EQ(PixelOver(400, 400 - x, 300 - y), kVeiledBlue);
    }
}

TEST_F(ViewControllerPreview, UnreadableFileOrNoSelectionClearsThePreview)
{
    OpenWith({MakeImage("photo.png", 400, 300), WriteFile("broken.png", "this is not a picture")});
    auto* table = Find<QTableView>("tableViewImage");
    const std::pair<const char*, std::function<void()>> clears[] = {
        {"unreadable file", [&] { ClickRow(1); }},
        {"click below the rows",
         [&] {
             QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(40, table->viewport()->height() - 4));
         }},
    };
    for (const auto& [name, clear] : clears) {
        SCOPED_TRACE(name);
        ClickRow(0);
        ASSERT_TRUE(PreviewShown());
        clear();
        EXPECT_TRUE(window->GetCurrentImage().path.empty());
        EXPECT_TRUE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());
        EXPECT_EQ(Labels(), (QStringList{"Width: 0", "Height: 0", "Width: 0", "Height: 0"}));
    }
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
