#include "app/ImageTableView.h"

#include "app/FileDrops.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace trimlark {

namespace {

// A drag over the table or its drop: refused when it comes from an item view, otherwise handled by the table
// (tableHandler) as a copy.
template <typename Event, typename Handler> void HandleFileDrag(Event* event, Handler tableHandler)
{
    if (FromItemView(event)) {
        event->ignore();
        return;
    }
    PreferCopy(event);
    tableHandler(event);
    if (event->isAccepted())
        PreferCopy(event);
}

} // namespace

ImageTableView::ImageTableView(QWidget* parent) : QTableView(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDragDropOverwriteMode(false);
    setDropIndicatorShown(true);
    setAcceptDrops(true);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(30, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(24);
}

int ImageTableView::SelectedRow() const
{
    if (selectionModel() == nullptr)
        return -1;
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row()))
        return current.row();
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

std::vector<int> ImageTableView::SelectedRows() const
{
    std::vector<int> rows;
    if (selectionModel() != nullptr) {
        for (const QModelIndex& index : selectionModel()->selectedRows())
            rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ImageTableView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        Q_EMIT removeRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex ImageTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // The table has one column, so Home and End move through the rows, as Ctrl+Home and Ctrl+End do.
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void ImageTableView::mousePressEvent(QMouseEvent* event)
{
    if (!indexAt(event->position().toPoint()).isValid()) {
        clearSelection();
        return;
    }
    QTableView::mousePressEvent(event);
}

void ImageTableView::dragEnterEvent(QDragEnterEvent* event)
{
    // A drag that asks for a move from the start (Shift held) is taken as a copy too.
    HandleFileDrag(event, [this](QDragEnterEvent* e) { QTableView::dragEnterEvent(e); });
}

void ImageTableView::dragMoveEvent(QDragMoveEvent* event)
{
    HandleFileDrag(event, [this](QDragMoveEvent* e) { QTableView::dragMoveEvent(e); });
}

void ImageTableView::dropEvent(QDropEvent* event)
{
    HandleFileDrag(event, [this](QDropEvent* e) { QTableView::dropEvent(e); });
}

} // namespace trimlark
