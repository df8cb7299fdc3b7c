#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QWidget>

class QKeyEvent;
class QMouseEvent;
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
    // The crop's rectangle in fractions of the picture, outlined over it; with it the crop can be dragged (and,
    // resizable, drawn larger or smaller by its corners and edges), and moved by the arrow keys. Nothing: none.
    // pictureSize: the picture's pixels, so that keys move by whole pixels.
    void SetCropRect(const std::optional<QRectF>& crop, bool resizable, QSizeF pictureSize);
    const std::optional<QRectF>& CropRect() const { return crop_; }
    // Where the picture is drawn in the view.
    QRectF PictureArea() const;

    // The size in device pixels that a preview should be drawn at to fill the view sharply.
    QSize DisplayPixelSize() const;

    QSize sizeHint() const override { return {480, 360}; }

Q_SIGNALS:
    void displaySizeChanged();
    // The user moved or resized the crop to this rectangle, in fractions of the picture (dragged, or moved by
    // keys: one pixel of the picture, ten with Shift).
    void cropChanged(const QRectF& crop);
    // Escape: the user asks for the shared crop back.
    void resetRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Which edges a drag moves: all four (a move), or those of the handle grabbed.
    struct Grip
    {
        bool left = false, top = false, right = false, bottom = false;
        bool Any() const { return left || top || right || bottom; }
    };
    Grip GripAt(QPointF point) const;
    // The view's rectangle of a rectangle in fractions of the picture.
    QRectF Place(const QRectF& fraction) const;
    void UpdateCursor(QPointF point);

    std::optional<QRectF> crop_;
    bool resizable_ = false;
    QSizeF pictureSize_;
    Grip dragging_;
    QPointF dragStart_;
    QRectF cropAtStart_;
    QImage image_;
    std::optional<QRectF> frame_;
    QColor frameColour_;
};

} // namespace trimlark
