#pragma once

#include <QTableView>

namespace trimlark {

// The image table: single selection, a click below the last row clears it, and it takes file drops from
// other applications only (a drag that starts in an item view of this application is refused).
class ImageTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ImageTableView(QWidget* parent = nullptr);

    // The selected row, or -1.
    int SelectedRow() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace trimlark
