#pragma once

#include "app/ThumbnailController.h"

#include <QListView>
#include <vector>

namespace trimlark {

// The image list as a grid of thumbnails, over the list's model: each image's picture with its crop veiled as in
// the preview, an orange mark on an adjusted one, and its file name below (the full path in its tooltip).
// Selection as in the table (Shift and Ctrl; a click on empty space clears it), Delete and Backspace ask to
// remove the selected images, and it takes file drops from other applications only: onto the left or right half of
// a thumbnail they go before or after it, onto empty space after the last one.
class ThumbnailGridView : public QListView
{
    Q_OBJECT

public:
    // Thumbnails fit a square of this many logical pixels.
    static constexpr int kThumbnailSide = 160;

    explicit ThumbnailGridView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // How each image's crop is found.
    void SetCropOf(ThumbnailController::CropOf cropOf) { thumbnails_.SetCropOf(std::move(cropOf)); }
    // The settings changed: the visible thumbnails are drawn again where their crop changed. (The model's
    // dataChanged, which an adjustment sends, does the same for its rows.)
    void CropsChanged();
    ThumbnailController& Thumbnails() { return thumbnails_; }

Q_SIGNALS:
    // Delete or Backspace was pressed.
    void removeRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The gap between images a drop at point goes to.
    int GapAt(QPoint point) const;
    // Whether the drag's files are taken where it is (as a copy).
    bool TakesDrag(QDropEvent* event) const;
    void ThumbnailReady(const QString& path, int row);

    ThumbnailController thumbnails_;
    std::vector<QMetaObject::Connection> modelConnections_;
};

} // namespace trimlark
