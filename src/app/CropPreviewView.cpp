#include "app/CropPreviewView.h"

#include <QPainter>
#include <QPalette>
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
    QSizeF shown = QSizeF(image_.size()).scaled(area.size(), Qt::KeepAspectRatio);
    const QRectF target(area.center() - QPointF(shown.width() / 2, shown.height() / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}

void CropPreviewView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Q_EMIT displaySizeChanged();
}

} // namespace trimlark
