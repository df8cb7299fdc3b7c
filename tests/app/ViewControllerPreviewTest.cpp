#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"
#include "app/NotificationCenter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

// The test images are solid blue; the veil turns that into 60 % white over 40 % blue.
const QColor kBlue(0, 0, 255);
const QColor kVeiledBlue(153, 153, 255);

class PreviewTest : public ::testing::Test, public WindowFixture
{
protected:
    QString Label(const char* name) const { return Find<QLabel>(name)->text(); }

    QImage ShownPreview()
    {
        if (!WaitUntil([&] { return !window->IsCropPreviewPending(); }))
            throw std::runtime_error("no preview");
        return Find<CropPreviewView>("imageViewCropPreview")->Image();
    }

    // The preview's pixel over the source pixel (x, yFromTop) of an image of width W.
    static QColor PixelOver(const QImage& preview, double W, double x, double yFromTop)
    {
        const double scale = preview.width() / W;
        return preview.pixelColor(static_cast<int>(std::floor(x * scale)),
                                  static_cast<int>(std::floor(yFromTop * scale)));
    }

    void UsePixelRectangle(const char* corner, const char* x, const char* y, const char* w, const char* h)
    {
        ClickToggle(Find<QRadioButton>("radioCustomCrop"));
        ClickToggle(Find<QRadioButton>("radioCustomCropPixels"));
        ChooseItem(Find<QComboBox>("comboOriginCorner"), corner);
        TypeInto(Find<QLineEdit>("textFieldCustomCropPixelsOriginX"), x);
        TypeInto(Find<QLineEdit>("textFieldCustomCropPixelsOriginY"), y);
        TypeInto(Find<QLineEdit>("textFieldCustomCropPixelsWidth"), w);
        TypeInto(Find<QLineEdit>("textFieldCustomCropPixelsHeight"), h);
    }
};

TEST_F(PreviewTest, SelectingShowsLabelsAndTheVeiledAutoCrop)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("landscape.png", 400, 300, kBlue)});
    ClickRow(0);
    // The labels come at once, from the header.
    EXPECT_EQ(Label("labelOriginalDimensionsWidth"), "Width: 400");
    EXPECT_EQ(Label("labelOriginalDimensionsHeight"), "Height: 300");
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 300");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 300");

    const QImage preview = ShownPreview();
    ASSERT_FALSE(preview.isNull());
    EXPECT_NEAR(preview.width() / static_cast<double>(preview.height()), 400.0 / 300.0, 0.02);
    // "1:1" on a landscape image: the centred square x 50-349 is clear, two equal bands are veiled.
    EXPECT_EQ(PixelOver(preview, 400, 200, 150), kBlue);
    EXPECT_EQ(PixelOver(preview, 400, 60, 10), kBlue);
    EXPECT_EQ(PixelOver(preview, 400, 20, 150), kVeiledBlue);
    EXPECT_EQ(PixelOver(preview, 400, 380, 150), kVeiledBlue);
}

TEST_F(PreviewTest, PixelSquareSitsAtTheChosenCorner)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 400, 300, kBlue)});
    ClickRow(0);
    UsePixelRectangle("Top Left", "0", "0", "100", "100");
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 100");
    QImage preview = ShownPreview();
    EXPECT_EQ(PixelOver(preview, 400, 50, 50), kBlue);        // top left: clear
    EXPECT_EQ(PixelOver(preview, 400, 50, 250), kVeiledBlue); // bottom left: veiled
    EXPECT_EQ(PixelOver(preview, 400, 250, 50), kVeiledBlue);

    ChooseItem(Find<QComboBox>("comboOriginCorner"), "Bottom Left");
    preview = ShownPreview();
    EXPECT_EQ(PixelOver(preview, 400, 50, 250), kBlue);
    EXPECT_EQ(PixelOver(preview, 400, 50, 50), kVeiledBlue);
}

TEST_F(PreviewTest, RectangleOffTheImageLeavesItAllVeiled)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 400, 300, kBlue)});
    ClickRow(0);
    UsePixelRectangle("Bottom Left", "400", "0", "100", "100");
    // A refused crop writes the whole image, so the output labels show its size.
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 400");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 300");
    const QImage preview = ShownPreview();
    for (double x : {5.0, 200.0, 395.0})
        EXPECT_EQ(PixelOver(preview, 400, x, 150), kVeiledBlue);
}

TEST_F(PreviewTest, TypedPercentsShowAtOnce)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 1000, 800, kBlue)});
    ClickRow(0);
    ClickToggle(Find<QRadioButton>("radioCustomCrop"));
    // Defaults 20/20/60/60 of 1000 x 800.
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 600");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 480");
    TypeInto(Find<QLineEdit>("textFieldCustomCropPercentsOriginX"), "50");
    TypeInto(Find<QLineEdit>("textFieldCustomCropPercentsWidth"), "80");
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 500");
    const QImage preview = ShownPreview();
    EXPECT_EQ(PixelOver(preview, 1000, 450, 400), kVeiledBlue);
    EXPECT_EQ(PixelOver(preview, 1000, 550, 400), kBlue);
}

TEST_F(PreviewTest, DeselectingAndUnreadableFilesClearTheSelectionState)
{
    const QString broken = TempPath("broken.png");
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is not a picture");
    }
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 400, 300), broken});
    ClickRow(0);
    ASSERT_FALSE(ShownPreview().isNull());

    ClickRow(1);
    EXPECT_TRUE(window->GetCurrentImage().path.empty());
    EXPECT_TRUE(ShownPreview().isNull());
    EXPECT_EQ(Label("labelOriginalDimensionsWidth"), "Width: 0");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 0");

    ClickRow(0);
    ASSERT_FALSE(ShownPreview().isNull());
    // A click below the last row deselects.
    auto* table = Find<QTableView>("tableViewImage");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(40, table->viewport()->height() - 4));
    EXPECT_TRUE(window->GetCurrentImage().path.empty());
    EXPECT_TRUE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());
    EXPECT_EQ(Label("labelOriginalDimensionsWidth"), "Width: 0");
}

TEST_F(PreviewTest, SettingsChangesWithoutASelectionChangeNothing)
{
    ClickToggle(Find<QRadioButton>("radioCustomCrop"));
    TypeInto(Find<QLineEdit>("textFieldCustomCropPixelsWidth"), "50");
    EXPECT_FALSE(window->IsCropPreviewPending());
    EXPECT_TRUE(Find<CropPreviewView>("imageViewCropPreview")->Image().isNull());
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 0");
}

TEST_F(PreviewTest, CustomRatioNotificationRefreshesTheLabels)
{
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 300, 200)});
    ClickRow(0);
    ChooseItem(Find<QComboBox>("comboAutoCropFormat"), "Custom");
    auto& ratio = DataProvider::Shared();
    const CustomRatio saved = ratio.Ratio();
    ratio.customWidth = 3;
    ratio.customHeight = 1;
    ratio.customWidthLargestDimension = false;
    Q_EMIT NotificationCenter::Default().UpdateCropPreview();
    // 3:1 on 300 x 200: 300 x 100.
    EXPECT_EQ(Label("labelOutputDimensionsWidth"), "Width: 300");
    EXPECT_EQ(Label("labelOutputDimensionsHeight"), "Height: 100");
    static_cast<CustomRatio&>(ratio) = saved;
}

} // namespace
} // namespace trimlark
