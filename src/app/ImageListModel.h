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

    ImageListModel(const std::vector<std::string>& paths, QObject* parent = nullptr);

    void SetDropHandler(DropHandler handler) { dropHandler_ = std::move(handler); }

    // All rows again from the list.
    void Reload();
    // The list gained `count` entries at `row`.
    void BeginInsert(int row, int count);
    void EndInsert();

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

    const std::vector<std::string>& paths_;
    DropHandler dropHandler_;
    mutable QMap<QString, QIcon> icons_;
};

} // namespace trimlark
