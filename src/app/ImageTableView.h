#pragma once

#include <QTableView>
#include <vector>

namespace trimlark {

// The image table: extended selection (Shift and Ctrl), a click below the last row clears it, Delete and
// Backspace ask to remove the selected rows, Home and End go to the first and last rows, Tab leaves it, and it takes
// file drops from other applications only (a drag that starts in an item view of this application is refused).
class ImageTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ImageTableView(QWidget* parent = nullptr);

    // The row whose image is shown: the current row when it is selected, else the first selected one; -1 if none.
    int SelectedRow() const;
    // Every selected row.
    std::vector<int> SelectedRows() const;

Q_SIGNALS:
    // Delete or Backspace was pressed.
    void removeRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace trimlark
