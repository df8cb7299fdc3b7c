#include "app/ThumbnailGridView.h"

#include "app/FileDrops.h"
#include "app/ImageListModel.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <cmath>

namespace trimlark {

namespace {

constexpr int kPadding = 8;
const QColor kAdjustedMark(0xf0, 0x8a, 0x24); // the table's mark

QSize CellSize(const QFontMetrics& metrics)
{
    const int side = ThumbnailGridView::kThumbnailSide + 2 * kPadding;
    return {side, side + metrics.height() + kPadding};
}

// Paints a cell: the selection, the thumbnail (or its place while it is made), the adjusted mark and the name.
class ThumbnailDelegate : public QStyledItemDelegate
{
public:
    ThumbnailDelegate(ThumbnailController& thumbnails, QObject* parent)
        : QStyledItemDelegate(parent), thumbnails_(thumbnails)
    {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return CellSize(option.fontMetrics);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.showDecorationSelected = true; // the selection fills the cell, a frame around the thumbnail
        const QWidget* widget = cell.widget;
        QStyle* style = widget != nullptr ? widget->style() : nullptr;
        if (style != nullptr)
            style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);

        const QString path = index.data(Qt::DisplayRole).toString();
        const int side = ThumbnailGridView::kThumbnailSide;
        const QRect square(cell.rect.left() + (cell.rect.width() - side) / 2, cell.rect.top() + kPadding, side, side);
        const ThumbnailController::Thumbnail thumbnail = thumbnails_.Get(path.toStdString(), index.row());
        QRectF picture = square;
        painter->save();
        if (!thumbnail.image.isNull()) {
            const double ratio = static_cast<double>(thumbnails_.Side()) / side; // device pixels per logical one
            const QSizeF size = QSizeF(thumbnail.image.size()) / ratio;
            // On whole pixels: the picture is drawn as it is, not resampled.
            picture = QRectF(square.left() + std::floor((side - size.width()) / 2),
                             square.top() + std::floor((side - size.height()) / 2), size.width(), size.height());
            painter->drawImage(picture, thumbnail.image);
        } else {
            painter->setPen(QPen(cell.palette.color(QPalette::Mid), 1, Qt::DashLine));
            painter->drawRect(QRectF(square).adjusted(0.5, 0.5, -0.5, -0.5));
            if (thumbnail.unreadable)
                painter->drawText(square, Qt::AlignCenter | Qt::TextWordWrap, QObject::tr("Cannot be read"));
        }
        if (index.data(ImageListModel::kAdjustedRole).toBool()) {
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(QPen(Qt::white, 2));
            painter->setBrush(kAdjustedMark);
            painter->drawEllipse(QRectF(picture.right() - 20, picture.top() + 4, 16, 16));
        }
        const QRect caption(cell.rect.left() + 2, square.bottom() + kPadding / 2, cell.rect.width() - 4,
                            cell.fontMetrics.height());
        painter->setPen(
            cell.palette.color(cell.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(caption, Qt::AlignHCenter | Qt::AlignVCenter,
                          cell.fontMetrics.elidedText(QFileInfo(path).fileName(), Qt::ElideMiddle, caption.width()));
        painter->restore();
    }

private:
    ThumbnailController& thumbnails_;
};

} // namespace

ThumbnailGridView::ThumbnailGridView(QWidget* parent)
    : QListView(parent), thumbnails_(static_cast<int>(std::lround(kThumbnailSide * devicePixelRatioF())))
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setGridSize(CellSize(fontMetrics()));
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    viewport()->setAcceptDrops(true); // after setMovement, which takes drops away from a static view
    setItemDelegate(new ThumbnailDelegate(thumbnails_, this));
    connect(&thumbnails_, &ThumbnailController::thumbnailReady, this, &ThumbnailGridView::ThumbnailReady);
}

void ThumbnailGridView::setModel(QAbstractItemModel* model)
{
    for (const auto& connection : modelConnections_)
        disconnect(connection);
    modelConnections_.clear();
    QListView::setModel(model);
    thumbnails_.ListReloaded();
    if (model == nullptr)
        return;
    modelConnections_ = {
        connect(model, &QAbstractItemModel::modelReset, this, [this] { thumbnails_.ListReloaded(); }),
        // A row's data changes with its adjustment.
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    for (int row = from.row(); row <= to.row(); ++row)
                        thumbnails_.CropChanged(this->model()->index(row, 0).data().toString().toStdString());
                }),
    };
}

void ThumbnailGridView::CropsChanged()
{
    thumbnails_.CropsChanged();
    viewport()->update();
}

void ThumbnailGridView::ThumbnailReady(const QString& path, int row)
{
    const QModelIndex index = model() != nullptr ? model()->index(row, 0) : QModelIndex();
    if (index.isValid() && index.data(Qt::DisplayRole).toString() == path)
        update(index);
    else // the list changed meanwhile
        viewport()->update();
}

void ThumbnailGridView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        Q_EMIT removeRequested();
        return;
    }
    QListView::keyPressEvent(event);
}

void ThumbnailGridView::mousePressEvent(QMouseEvent* event)
{
    if (!indexAt(event->position().toPoint()).isValid()) {
        clearSelection();
        return;
    }
    QListView::mousePressEvent(event);
}

int ThumbnailGridView::GapAt(QPoint point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return model()->rowCount();
    return point.x() < visualRect(index).center().x() ? index.row() : index.row() + 1;
}

bool ThumbnailGridView::TakesDrag(QDropEvent* event) const
{
    if (model() == nullptr || FromItemView(event))
        return false;
    PreferCopy(event);
    return model()->canDropMimeData(event->mimeData(), event->dropAction(), GapAt(event->position().toPoint()), 0, {});
}

void ThumbnailGridView::dragEnterEvent(QDragEnterEvent* event)
{
    TakesDrag(event) ? event->accept() : event->ignore();
}

void ThumbnailGridView::dragMoveEvent(QDragMoveEvent* event)
{
    TakesDrag(event) ? event->accept() : event->ignore();
}

void ThumbnailGridView::dropEvent(QDropEvent* event)
{
    if (TakesDrag(event) &&
        model()->dropMimeData(event->mimeData(), event->dropAction(), GapAt(event->position().toPoint()), 0, {}))
        event->accept();
    else
        event->ignore();
}

} // namespace trimlark
