#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QMap>
#include <functional>
#include <string>
#include <vector>

namespace trimlark {

// The image table's rows: one per path of the list it is given (full path and format icon). A drop of files
// between rows goes to the drop handler with the gap's index; a drop onto a row is refused.
class ImageListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using DropHandler = std::function<void(int gap, const std::vector<std::string>& paths)>;
    // Whether a listed image's crop is adjusted by hand: its row is marked.
    using AdjustedTest = std::function<bool(const std::string& path)>;
    // Gives true for a row whose crop is adjusted by hand.
    static constexpr int kAdjustedRole = Qt::UserRole + 1;

    ImageListModel(const std::vector<std::string>& paths, QObject* parent = nullptr);

    void SetDropHandler(DropHandler handler) { dropHandler_ = std::move(handler); }
    void SetAdjustedTest(AdjustedTest test) { adjusted_ = std::move(test); }

    // All rows again from the list.
    void Reload();
    // The list gained `count` entries at `row`.
    void BeginInsert(int row, int count);
    void EndInsert();
    // The row's data changed (its adjustment).
    void RowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    QIcon IconFor(const std::string& path) const;
    QIcon AdjustedIcon(const std::string& path) const;

    const std::vector<std::string>& paths_;
    DropHandler dropHandler_;
    AdjustedTest adjusted_;
    mutable QMap<QString, QIcon> icons_;
};

} // namespace trimlark
