#include "app/ImageListModel.h"

#include "list/ImageListEditing.h"
#include "list/ImageListRules.h"

#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QUrl>
#include <algorithm>

namespace trimlark {

namespace {

// The local files of a drag, in drag order; other addresses are left out.
std::vector<std::string> LocalFiles(const QMimeData* data)
{
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

} // namespace

ImageListModel::ImageListModel(const std::vector<std::string>& paths, QObject* parent)
    : QAbstractTableModel(parent), paths_(paths)
{}

void ImageListModel::Reload()
{
    beginResetModel();
    endResetModel();
}

void ImageListModel::BeginInsert(int row, int count)
{
    beginInsertRows({}, row, row + count - 1);
}

void ImageListModel::EndInsert()
{
    endInsertRows();
}

void ImageListModel::RowChanged(int row)
{
    if (row >= 0 && row < rowCount())
        Q_EMIT dataChanged(index(row, 0), index(row, 0));
}

int ImageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(paths_.size());
}

int ImageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const std::string& path = paths_[static_cast<std::size_t>(index.row())];
    const bool adjusted = adjusted_ && adjusted_(path);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(path);
    case Qt::ToolTipRole:
        return adjusted ? QString::fromStdString(path) + QLatin1Char('\n') + tr("Crop adjusted for this image")
                        : QString::fromStdString(path);
    case Qt::DecorationRole: {
        const QIcon icon = adjusted ? AdjustedIcon(path) : IconFor(path);
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case kAdjustedRole:
        return adjusted;
    default:
        return {};
    }
}

QIcon ImageListModel::AdjustedIcon(const std::string& path) const
{
    // The format's icon with an orange corner mark.
    QPixmap pixmap = IconFor(path).pixmap(32, 32);
    if (pixmap.isNull()) {
        pixmap = QPixmap(32, 32);
        pixmap.fill(Qt::transparent);
    }
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(QColor(0xf0, 0x8a, 0x24));
    painter.drawEllipse(QRectF(17, 17, 14, 14));
    return QIcon(pixmap);
}

QVariant ImageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return tr("Image");
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ImageListModel::flags(const QModelIndex& index) const
{
    // Rows take drops only so that a drop onto one reaches canDropMimeData and is refused there; the view then
    // shows no gap for it. Without the flag the view would quietly turn it into a drop above or below the row.
    Qt::ItemFlags flags = Qt::ItemIsDropEnabled;
    if (index.isValid())
        flags |= Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return flags;
}

QStringList ImageListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

// Copy and link only: a file manager that is told "moved" may delete its own copy of the dropped files.
Qt::DropActions ImageListModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::LinkAction;
}

bool ImageListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                     const QModelIndex& parent) const
{
    if (action != Qt::CopyAction && action != Qt::LinkAction)
        return false;
    // A valid parent with no row is a drop onto that row.
    if (parent.isValid() && row < 0)
        return false;
    for (const auto& path : LocalFiles(data)) {
        if (HasAcceptedExtension(path) || QFileInfo(QString::fromStdString(path)).isDir()) // a folder: its images
            return true;
    }
    return false;
}

bool ImageListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    // No row: the drop landed on the empty space below the rows, which is the gap after the last one.
    const int gap = row < 0 ? rowCount() : std::min(row, rowCount());
    if (dropHandler_)
        dropHandler_(gap, LocalFiles(data));
    return true;
}

QIcon ImageListModel::IconFor(const std::string& path) const
{
    const QString name = QString::fromStdString(RowIconName(path));
    if (name.isEmpty())
        return {};
    auto found = icons_.find(name);
    if (found == icons_.end())
        found = icons_.insert(name, QIcon(QStringLiteral(":/icons/%1.svg").arg(name)));
    return found.value();
}

} // namespace trimlark
