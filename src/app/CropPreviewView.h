#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QWidget>
#include <optional>

namespace trimlark {

// Shows the crop preview scaled to fit, centred, with its aspect ratio kept; empty when given a null image.
class CropPreviewView : public QWidget
{
    Q_OBJECT

public:
    explicit CropPreviewView(QWidget* parent = nullptr);

    void SetImage(const QImage& image);
    // A filled output's canvas around the crop, in fractions of the picture (it may reach past it), drawn as a
    // dashed frame tinted with the fill's colour; nothing: none.
    void SetFillFrame(const std::optional<QRectF>& frame, const QColor& colour);
    const QImage& Image() const { return image_; }
    const std::optional<QRectF>& FillFrame() const { return frame_; }

    // The size in device pixels that a preview should be drawn at to fill the view sharply.
    QSize DisplayPixelSize() const;

    QSize sizeHint() const override { return {480, 360}; }

Q_SIGNALS:
    void displaySizeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage image_;
    std::optional<QRectF> frame_;
    QColor frameColour_;
};

} // namespace trimlark
