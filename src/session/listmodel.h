#pragma once

#include "core/rows.h"
#include "core/servicehosts.h"
#include "session/cells.h"
#include "tuning/catencoding.h"

#include <QAbstractTableModel>

#include <vector>

namespace session {

// The link target (QUrl) of a linked cell.
inline constexpr int LinkRole = Qt::UserRole + 1;
// The column identifier, asked of the horizontal header.
inline constexpr int IdentifierRole = Qt::UserRole + 2;
// The CellKind (as int) of a button cell; nothing for the other cells.
inline constexpr int ButtonRole = Qt::UserRole + 3;
// True on the rows of a watched spot that has just appeared.
inline constexpr int HighlightRole = Qt::UserRole + 4;
// What the log says of the row: "New", "New band", "Worked", or "" for nothing.
inline constexpr int MarkRole = Qt::UserRole + 5;

// A row's mark from the log: its short text and what a screen reader says ("new park").
struct RowMark {
    QString text;
    QString spoken;
    bool operator==(const RowMark&) const = default;
};

// What a button of the kind says.
QString buttonLabel(CellKind kind);

// What filters and the watch list read of a row, worked out once per load.
struct RowFacts {
    qint64 hertz = 0;  // 0 when the frequency is not one a radio could be tuned to
    QString mode;      // as the list writes it
    QString activator; // the callsign (or the net's or station's name)
    QString reference; // park, summit or WWFF reference; "" for the other lists
    QString place;     // park, summit or reference name
    qint64 ageMinutes = 0;
    QString text; // every text the row shows, for searching
};

// What a screen reader says of a button: "Tune K1ABC, K-1234, 14074 kHz, FT8".
QString buttonDescription(CellKind kind, const RowFacts& facts);
// "14074 kHz", "7185.5 kHz", "144.3 MHz"; "" for no frequency.
QString frequencyWords(qint64 hertz);

RowFacts factsOf(const core::PotaSpot& row);
RowFacts factsOf(const core::SotaSpot& row);
RowFacts factsOf(const core::WwffSpot& row);
RowFacts factsOf(const core::NetLoggerNet& row);
RowFacts factsOf(const core::DirectoryNet& row);
RowFacts factsOf(const core::MwStation& row);

// One list's table. It owns the list's rows and computes every cell's text when the rows
// arrive, so painting and scrolling only look them up. Rows may be dragged and dropped between
// rows, but the order shown is always the list's own: a drop reloads the list as it is.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    core::ListKind list() const { return m_list; }
    const QList<ColumnSpec>& columns() const { return m_columns; }
    // -1 when the list has no such column.
    int columnOf(QStringView identifier) const;

    // The row's texts in the list's positional order.
    virtual QStringList rowColumns(int row) const = 0;
    // What a Tune of the row reads (the radio fields left at their defaults).
    virtual tuning::TuneInput tuneInput(int row) const = 0;
    const RowFacts& facts(int row) const { return m_facts.at(std::size_t(row)); }
    // Marks the rows of watched spots that have just appeared; a reload clears the marks.
    void setHighlighted(const QList<int>& rows);
    // New texts for one column, one per row, for what changes with the time rather than with a
    // load; the rows, their order and the selection stay.
    void setColumnTexts(QStringView identifier, const QStringList& texts);
    // The log's marks, one per row of the latest load; a reload clears them.
    void setMarks(const std::vector<RowMark>& marks);
    const RowMark& mark(int row) const { return m_marks.at(std::size_t(row)); }

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

protected:
    ListModel(core::ListKind list, const core::ServiceHosts& hosts, QObject* parent);

    const core::ServiceHosts& hosts() const { return m_hosts; }
    // Row-major, columns() cells per row, and the facts of each row; call between
    // beginResetModel and endResetModel.
    void setCells(std::vector<Cell>&& cells, std::vector<RowFacts>&& facts);

private:
    core::ListKind m_list;
    core::ServiceHosts m_hosts;
    QList<ColumnSpec> m_columns;
    std::vector<Cell> m_cells;
    std::vector<RowFacts> m_facts;
    std::vector<bool> m_highlighted;
    std::vector<RowMark> m_marks;
    int m_markColumn = -1; // the short column of the marks, where the list has one
    int m_rows = 0;
};

template <class Row> class TypedListModel final : public ListModel {
public:
    explicit TypedListModel(const core::ServiceHosts& hosts, QObject* parent = nullptr)
        : ListModel(Row::kind, hosts, parent) {}

    void setRows(QList<Row> rows) {
        std::vector<Cell> cells;
        std::vector<RowFacts> facts;
        cells.reserve(std::size_t(rows.size() * columns().size()));
        facts.reserve(std::size_t(rows.size()));
        for (const Row& row : rows) {
            QStringList shown;
            for (const ColumnSpec& column : columns()) {
                cells.push_back(cellFor(row, column.identifier, hosts()));
                if (column.kind == CellKind::Text || column.kind == CellKind::Link)
                    shown << cells.back().text;
            }
            facts.push_back(factsOf(row));
            facts.back().text = shown.join(u'\n');
        }
        beginResetModel();
        m_rows = std::move(rows);
        setCells(std::move(cells), std::move(facts));
        endResetModel();
    }
    const QList<Row>& rows() const { return m_rows; }

    QStringList rowColumns(int row) const override { return core::columns(m_rows.at(row)); }
    tuning::TuneInput tuneInput(int row) const override {
        return tuning::tuneInput(m_rows.at(row));
    }

private:
    QList<Row> m_rows;
};

} // namespace session
