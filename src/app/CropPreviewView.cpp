#include "app/CropPreviewView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace trimlark {

namespace {

constexpr int kMargin = 6;

} // namespace

CropPreviewView::CropPreviewView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // the cursor tells where a drag would move or resize the crop
    setMinimumSize(200, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CropPreviewView::SetImage(const QImage& image)
{
    image_ = image;
    update();
}

void CropPreviewView::SetFillFrame(const std::optional<QRectF>& frame, const QColor& colour)
{
    if (frame_ == frame && frameColour_ == colour)
        return;
    frame_ = frame;
    frameColour_ = colour;
    update();
}

QSize CropPreviewView::DisplayPixelSize() const
{
    const QSize logical = size() - QSize(2 * kMargin, 2 * kMargin);
    const double ratio = devicePixelRatioF();
    return {std::max(1, static_cast<int>(std::lround(logical.width() * ratio))),
            std::max(1, static_cast<int>(std::lround(logical.height() * ratio)))};
}

void CropPreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // A mid-grey stage, so that the white veil stands apart from the window.
    painter.fillRect(rect(), QColor(0x5a, 0x5e, 0x66));
    if (image_.isNull()) {
        painter.setPen(QColor(0xc8, 0xcb, 0xd0));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, tr("Select an image in the list to see its crop"));
        return;
    }
    const QRectF target = PictureArea();
    if (frame_) {
        QColor tint = frameColour_;
        tint.setAlpha(frameColour_.alpha() == 0 ? 0 : 160);
        painter.fillRect(Place(*frame_), tint);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
    if (frame_) {
        painter.setPen(QPen(QColor(0xf0, 0xf0, 0xf0), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(Place(*frame_));
    }
    if (crop_) {
        // The crop's outline follows a drag at once; the veil follows when the preview is drawn again.
        const QRectF shown = Place(*crop_);
        painter.setPen(QPen(hasFocus() ? QColor(0xf0, 0x8a, 0x24) : QColor(0x30, 0x30, 0x30), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(shown);
        if (resizable_) {
            painter.setBrush(Qt::white);
            for (const QPointF corner : {shown.topLeft(), shown.topRight(), shown.bottomLeft(), shown.bottomRight()})
                painter.drawRect(QRectF(corner - QPointF(3, 3), QSizeF(6, 6)));
        }
    }
}

QRectF CropPreviewView::Place(const QRectF& fraction) const
{
    const QRectF picture = PictureArea();
    return {picture.left() + fraction.left() * picture.width(), picture.top() + fraction.top() * picture.height(),
            fraction.width() * picture.width(), fraction.height() * picture.height()};
}

QRectF CropPreviewView::PictureArea() const
{
    if (image_.isNull())
        return {};
    const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    // The picture and the fill's frame around it both fit: the union of the two, in fractions of the picture.
    const QRectF unit(0, 0, 1, 1);
    const QRectF all = frame_ ? unit.united(*frame_) : unit;
    const QSizeF allSize(all.width() * image_.width(), all.height() * image_.height());
    const QSizeF shownAll = allSize.scaled(area.size(), Qt::KeepAspectRatio);
    const double scale = shownAll.width() / allSize.width(); // view pixels per preview pixel
    const QPointF origin = area.center() - QPointF(shownAll.width() / 2, shownAll.height() / 2) -
                           QPointF(all.left() * image_.width() * scale, all.top() * image_.height() * scale);
    return {origin, QSizeF(image_.width() * scale, image_.height() * scale)};
}

void CropPreviewView::SetCropRect(const std::optional<QRectF>& crop, bool resizable, QSizeF pictureSize)
{
    pictureSize_ = pictureSize;
    resizable_ = resizable;
    if (dragging_.Any())
        return; // the drag owns the rectangle until the button is released
    crop_ = crop;
    update();
}

CropPreviewView::Grip CropPreviewView::GripAt(QPointF point) const
{
    if (!crop_)
        return {};
    const QRectF shown = Place(*crop_);
    constexpr double kReach = 6; // view pixels around an edge that grab it
    if (resizable_) {
        const bool nearX = point.x() > shown.left() - kReach && point.x() < shown.right() + kReach;
        const bool nearY = point.y() > shown.top() - kReach && point.y() < shown.bottom() + kReach;
        const Grip grip{nearY && std::abs(point.x() - shown.left()) < kReach,
                        nearX && std::abs(point.y() - shown.top()) < kReach,
                        nearY && std::abs(point.x() - shown.right()) < kReach,
                        nearX && std::abs(point.y() - shown.bottom()) < kReach};
        if (grip.Any())
            return grip;
    }
    if (shown.contains(point))
        return {true, true, true, true};
    return {};
}

void CropPreviewView::UpdateCursor(QPointF point)
{
    const Grip grip = dragging_.Any() ? dragging_ : GripAt(point);
    const bool all = grip.left && grip.top && grip.right && grip.bottom;
    if (!grip.Any())
        unsetCursor();
    else if (all)
        setCursor(Qt::SizeAllCursor);
    else if ((grip.left && grip.top) || (grip.right && grip.bottom))
        setCursor(Qt::SizeFDiagCursor);
    else if ((grip.right && grip.top) || (grip.left && grip.bottom))
        setCursor(Qt::SizeBDiagCursor);
    else
        setCursor(grip.left || grip.right ? Qt::SizeHorCursor : Qt::SizeVerCursor);
}

void CropPreviewView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    dragging_ = event->button() == Qt::LeftButton ? GripAt(event->position()) : Grip{};
    if (!dragging_.Any())
        return QWidget::mousePressEvent(event);
    dragStart_ = event->position();
    cropAtStart_ = *crop_;
}

void CropPreviewView::mouseMoveEvent(QMouseEvent* event)
{
    UpdateCursor(event->position());
    if (!dragging_.Any() || !crop_)
        return;
    const QRectF picture = PictureArea();
    const double dx = (event->position().x() - dragStart_.x()) / picture.width();
    const double dy = (event->position().y() - dragStart_.y()) / picture.height();
    QRectF moved = cropAtStart_;
    const bool all = dragging_.left && dragging_.top && dragging_.right && dragging_.bottom;
    if (all) {
        // A move keeps the size and stays inside the picture.
        moved.moveLeft(std::clamp(moved.left() + dx, 0.0, std::max(0.0, 1.0 - moved.width())));
        moved.moveTop(std::clamp(moved.top() + dy, 0.0, std::max(0.0, 1.0 - moved.height())));
    } else {
        // An edge stops at the picture's edge and a pixel short of the opposite one.
        const double minW = pictureSize_.width() > 0 ? 1.0 / pictureSize_.width() : 0.0;
        const double minH = pictureSize_.height() > 0 ? 1.0 / pictureSize_.height() : 0.0;
        if (dragging_.left)
            moved.setLeft(std::clamp(moved.left() + dx, 0.0, moved.right() - minW));
        if (dragging_.right)
            moved.setRight(std::clamp(moved.right() + dx, moved.left() + minW, 1.0));
        if (dragging_.top)
            moved.setTop(std::clamp(moved.top() + dy, 0.0, moved.bottom() - minH));
        if (dragging_.bottom)
            moved.setBottom(std::clamp(moved.bottom() + dy, moved.top() + minH, 1.0));
    }
    crop_ = moved;
    update();
    Q_EMIT cropChanged(moved);
}

void CropPreviewView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_.Any())
        return QWidget::mouseReleaseEvent(event);
    dragging_ = {};
    UpdateCursor(event->position());
}

void CropPreviewView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT resetRequested();
        return;
    }
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dx = -step;
        break;
    case Qt::Key_Right:
        dx = step;
        break;
    case Qt::Key_Up:
        dy = -step;
        break;
    case Qt::Key_Down:
        dy = step;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    if (!crop_ || pictureSize_.width() <= 0 || pictureSize_.height() <= 0)
        return;
    QRectF moved = *crop_;
    moved.moveLeft(std::clamp(moved.left() + dx / pictureSize_.width(), 0.0, std::max(0.0, 1.0 - moved.width())));
    moved.moveTop(std::clamp(moved.top() + dy / pictureSize_.height(), 0.0, std::max(0.0, 1.0 - moved.height())));
    crop_ = moved;
    update();
    Q_EMIT cropChanged(moved);
}

void CropPreviewView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Q_EMIT displaySizeChanged();
}

} // namespace trimlark
