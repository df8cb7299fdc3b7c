#include "app/CropPreviewView.h"

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
    const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    // The picture and the fill's frame around it both fit: the union of the two, in fractions of the picture.
    const QRectF unit(0, 0, 1, 1);
    const QRectF all = frame_ ? unit.united(*frame_) : unit;
    const QSizeF allSize(all.width() * image_.width(), all.height() * image_.height());
    const QSizeF shownAll = allSize.scaled(area.size(), Qt::KeepAspectRatio);
    const double scale = shownAll.width() / allSize.width(); // view pixels per preview pixel
    const QPointF origin = area.center() - QPointF(shownAll.width() / 2, shownAll.height() / 2) -
                           QPointF(all.left() * image_.width() * scale, all.top() * image_.height() * scale);
    const auto place = [&](const QRectF& fraction) {
        return QRectF(origin +
                          QPointF(fraction.left() * image_.width() * scale, fraction.top() * image_.height() * scale),
                      QSizeF(fraction.width() * image_.width() * scale, fraction.height() * image_.height() * scale));
    };
    const QRectF target = place(unit);
    if (frame_) {
        QColor tint = frameColour_;
        tint.setAlpha(frameColour_.alpha() == 0 ? 0 : 160);
        painter.fillRect(place(*frame_), tint);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
    if (frame_) {
        painter.setPen(QPen(QColor(0xf0, 0xf0, 0xf0), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(place(*frame_));
    }
}

void CropPreviewView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Q_EMIT displaySizeChanged();
}

} // namespace trimlark
