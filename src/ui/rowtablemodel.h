#pragma once

#include "feeds/rows.h"
#include "feeds/servicehosts.h"
#include "ui/cells.h"

#include <QAbstractTableModel>

namespace ui {

// The link target (QUrl) of a linked cell.
inline constexpr int LinkRole = Qt::UserRole + 1;
// The column identifier, asked of the horizontal header.
inline constexpr int IdentifierRole = Qt::UserRole + 2;

// One list's table over a copy of the controller's rows. Rows may be dragged and dropped
// between rows, but the order shown is always the list's own: a drop reloads the list as it is.
class RowTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    RowTableModel(feeds::ListKind list, const feeds::ServiceHosts& hosts,
                  QObject* parent = nullptr);

    void setRows(const feeds::Rows& rows);
    const feeds::Rows& rows() const { return m_rows; }
    feeds::ListKind list() const { return m_list; }
    const QList<ColumnSpec>& columns() const { return m_columns; }
    // -1 when the list has no such column.
    int columnOf(QStringView identifier) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    feeds::ListKind m_list;
    feeds::ServiceHosts m_hosts;
    QList<ColumnSpec> m_columns;
    feeds::Rows m_rows;
};

} // namespace ui
