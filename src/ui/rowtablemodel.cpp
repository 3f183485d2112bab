#include "ui/rowtablemodel.h"

#include <QMimeData>

namespace ui {

namespace {
const QString plainText = QStringLiteral("text/plain");
}

RowTableModel::RowTableModel(feeds::ListKind list, const feeds::ServiceHosts& hosts,
                             QObject* parent)
    : QAbstractTableModel(parent)
    , m_list(list)
    , m_hosts(hosts)
    , m_columns(columnsFor(list)) {}

void RowTableModel::setRows(const feeds::Rows& rows) {
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

int RowTableModel::columnOf(QStringView identifier) const {
    for (int column = 0; column < m_columns.size(); ++column) {
        if (m_columns.at(column).identifier == identifier)
            return column;
    }
    return -1;
}

int RowTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RowTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RowTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const std::optional<Cell> cell =
        cellFor(m_list, m_columns.at(index.column()).identifier, m_rows.at(index.row()), m_hosts);
    if (!cell)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell->text;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(cell->alignment);
    case Qt::ToolTipRole:
        return cell->linked ? QVariant(cell->link.toString()) : QVariant();
    case LinkRole:
        return cell->linked ? QVariant(cell->link) : QVariant();
    default:
        return {};
    }
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns.at(section).title;
    if (role == IdentifierRole)
        return m_columns.at(section).identifier;
    return {};
}

Qt::ItemFlags RowTableModel::flags(const QModelIndex& index) const {
    // Drops land only between rows, which the view reports against the root index.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions RowTableModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList RowTableModel::mimeTypes() const {
    return {plainText};
}

QMimeData* RowTableModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty() || !indexes.first().isValid())
        return nullptr;
    auto* data = new QMimeData;
    data->setText(QString::number(indexes.first().row()));
    return data;
}

bool RowTableModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                    const QModelIndex& parent) const {
    return data && data->hasFormat(plainText) && action == Qt::MoveAction && row >= 0 &&
           !parent.isValid();
}

bool RowTableModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                 const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const std::optional<qint64> source = parseDroppedIndex(data->text());
    // The text may come from anywhere, so an index outside this list is refused rather than
    // trusted.
    if (!source || *source < 0 || *source >= m_rows.size())
        return false;
    // The row list keeps its order (only the feeds write it), so where the row would land
    // (dropDestination) has nothing to show: the reload puts the rows back in list order.
    beginResetModel();
    endResetModel();
    return true;
}

bool RowTableModel::removeRows(int, int, const QModelIndex&) {
    // A finished Move drag asks the source to remove the dragged row; the list must stay whole.
    return false;
}

} // namespace ui
