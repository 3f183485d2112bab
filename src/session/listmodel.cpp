#include "session/listmodel.h"

#include "core/numbers.h"

#include <QMimeData>
#include <QRegularExpression>

#include <limits>

namespace session {

namespace {
const QString plainText = QStringLiteral("text/plain");
}

QString buttonLabel(CellKind kind) {
    switch (kind) {
    case CellKind::TuneButton:
        return QObject::tr("Tune");
    case CellKind::ConfirmButton:
        return QObject::tr("Confirm");
    case CellKind::UnconfirmButton:
        return QObject::tr("Unconfirm");
    case CellKind::RemindButton:
        return QObject::tr("Remind Me");
    case CellKind::Text:
    case CellKind::Link:
        break;
    }
    return {};
}

QString frequencyWords(qint64 hertz) {
    if (hertz <= 0)
        return {};
    return hertz >= 30'000'000 ? QString::number(double(hertz) / 1e6, 'f', 6)
                                         .remove(QRegularExpression(QStringLiteral("\\.?0+$"))) +
                                     QStringLiteral(" MHz")
                               : QString::number(double(hertz) / 1e3, 'f', 3)
                                         .remove(QRegularExpression(QStringLiteral("\\.?0+$"))) +
                                     QStringLiteral(" kHz");
}

QString buttonDescription(CellKind kind, const RowFacts& facts) {
    QStringList parts{facts.activator};
    if (!facts.reference.isEmpty())
        parts << facts.reference;
    switch (kind) {
    case CellKind::TuneButton:
        if (facts.hertz > 0)
            parts << frequencyWords(facts.hertz);
        if (!facts.mode.trimmed().isEmpty())
            parts << facts.mode.trimmed();
        return QObject::tr("Tune %1").arg(parts.join(QStringLiteral(", ")));
    case CellKind::ConfirmButton:
        return QObject::tr("Confirm your check-in to %1").arg(facts.activator);
    case CellKind::UnconfirmButton:
        return QObject::tr("Retract your check-in to %1").arg(facts.activator);
    case CellKind::RemindButton:
        return QObject::tr("Remind me before %1 starts").arg(facts.activator);
    case CellKind::Text:
    case CellKind::Link:
        break;
    }
    return {};
}

ListModel::ListModel(core::ListKind list, const core::ServiceHosts& hosts, QObject* parent)
    : QAbstractTableModel(parent)
    , m_list(list)
    , m_hosts(hosts)
    , m_columns(columnsFor(list))
    , m_markColumn(columnOf(u"mark")) {}

void ListModel::setCells(std::vector<Cell>&& cells, std::vector<RowFacts>&& facts) {
    m_cells = std::move(cells);
    m_facts = std::move(facts);
    m_rows = int(m_facts.size());
    m_highlighted.assign(m_facts.size(), false);
    m_marks.assign(m_facts.size(), {});
}

void ListModel::setMarks(const std::vector<RowMark>& marks) {
    // One change over the rows that changed, so that a filter re-reads the list once.
    int first = -1;
    int last = -1;
    for (int row = 0; row < m_rows && row < int(marks.size()); ++row) {
        if (m_marks[std::size_t(row)] == marks[std::size_t(row)])
            continue;
        m_marks[std::size_t(row)] = marks[std::size_t(row)];
        first = first < 0 ? row : first;
        last = row;
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1),
                         {MarkRole, Qt::DisplayRole, Qt::AccessibleTextRole});
}

void ListModel::setHighlighted(const QList<int>& rows) {
    for (int row : rows) {
        if (row < 0 || row >= m_rows)
            continue;
        m_highlighted[std::size_t(row)] = true;
        emit dataChanged(index(row, 0), index(row, columnCount() - 1), {HighlightRole});
    }
}

void ListModel::setColumnTexts(QStringView identifier, const QStringList& texts) {
    const int column = columnOf(identifier);
    if (column < 0 || texts.size() != m_rows)
        return;
    for (int row = 0; row < m_rows; ++row) {
        Cell& cell =
            m_cells[std::size_t(row) * std::size_t(m_columns.size()) + std::size_t(column)];
        cell.text = texts[row];
    }
    if (m_rows > 0)
        emit dataChanged(index(0, column), index(m_rows - 1, column));
}

namespace {

qint64 hertzOf(const tuning::TuneInput& input) {
    const tuning::TuneCommands commands = tuning::composeTune(input);
    return commands.refused ? 0 : commands.hertz;
}

template <class Row> RowFacts common(const Row& row) {
    RowFacts facts;
    facts.hertz = hertzOf(tuning::tuneInput(row));
    return facts;
}

// A spot: who, where, in which mode and how old (an age that did not read counts as oldest).
template <class Row>
RowFacts spotFacts(const Row& row, const QString& mode, const QString& activator,
                   const QString& reference, const QString& place, const QString& age) {
    RowFacts facts = common(row);
    facts.mode = mode;
    facts.activator = activator;
    facts.reference = reference;
    facts.place = place;
    facts.ageMinutes = core::parseWholeNumber(age).value_or(std::numeric_limits<qint64>::max());
    return facts;
}

} // namespace

RowFacts factsOf(const core::PotaSpot& row) {
    return spotFacts(row, row.mode, row.activator, row.reference, row.parkName, row.age);
}

RowFacts factsOf(const core::SotaSpot& row) {
    // A summit is known by its whole reference, "JA/GM-084", whichever source spotted it.
    const QString reference = row.association.isEmpty() || row.summitCode.contains(u'/')
                                  ? row.summitCode
                                  : row.association + u'/' + row.summitCode;
    return spotFacts(row, row.mode.toUpper(), row.activatorCallsign, reference, row.summitName,
                     row.age);
}

RowFacts factsOf(const core::WwffSpot& row) {
    return spotFacts(row, row.mode, row.activator, row.reference, row.referenceName, row.age);
}

RowFacts factsOf(const core::NetLoggerNet& row) {
    RowFacts facts = common(row);
    facts.mode = row.mode;
    facts.activator = row.name;
    return facts;
}

RowFacts factsOf(const core::DirectoryNet& row) {
    RowFacts facts = common(row);
    facts.mode = row.mode;
    facts.activator = row.name;
    return facts;
}

RowFacts factsOf(const core::MwStation& row) {
    RowFacts facts = common(row);
    facts.mode = QStringLiteral("AM");
    facts.activator = row.call;
    return facts;
}

int ListModel::columnOf(QStringView identifier) const {
    for (int column = 0; column < m_columns.size(); ++column) {
        if (m_columns.at(column).identifier == identifier)
            return column;
    }
    return -1;
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Cell& cell = m_cells[std::size_t(index.row()) * std::size_t(m_columns.size()) +
                               std::size_t(index.column())];
    if (!cell.hasView)
        return {};
    if (role == HighlightRole)
        return bool(m_highlighted[std::size_t(index.row())]);
    const RowMark& mark = m_marks[std::size_t(index.row())];
    if (role == MarkRole)
        return mark.text;
    const CellKind kind = m_columns[index.column()].kind;
    if (kind != CellKind::Text && kind != CellKind::Link) {
        if (role == Qt::DisplayRole)
            return buttonLabel(kind);
        // The row's name for a screen reader ends with what the log says of it.
        if (role == Qt::AccessibleTextRole)
            return buttonDescription(kind, m_facts[std::size_t(index.row())]) +
                   (mark.spoken.isEmpty() ? QString() : QStringLiteral(", ") + mark.spoken);
        return role == ButtonRole ? QVariant(int(kind)) : QVariant();
    }
    const QString& shown = index.column() == m_markColumn ? mark.text : cell.text;
    switch (role) {
    case Qt::AccessibleTextRole:
        // What a screen reader says of the cell: the column, then what it shows.
        return m_columns[index.column()].title + QStringLiteral(": ") +
               (shown.trimmed().isEmpty() ? tr("empty") : shown) +
               (cell.linked ? tr(", link") : QString());
    case Qt::DisplayRole:
        return shown;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(cell.alignment);
    case Qt::ToolTipRole:
        return cell.linked ? QVariant(cell.link.toString()) : QVariant();
    case LinkRole:
        return cell.linked ? QVariant(cell.link) : QVariant();
    default:
        return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns.at(section).title;
    // A button column shows no title but is named for a screen reader by its buttons.
    if (role == Qt::AccessibleTextRole) {
        const ColumnSpec& column = m_columns.at(section);
        return column.title.isEmpty() ? buttonLabel(column.kind) : column.title;
    }
    if (role == IdentifierRole)
        return m_columns.at(section).identifier;
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    // Drops land only between rows, which the view reports against the root index. Rows take
    // drops too, only so that the view reports a drop onto a row as such (canDropMimeData then
    // refuses it) instead of moving it to the nearest gap between rows.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

Qt::DropActions ListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList ListModel::mimeTypes() const {
    return {plainText};
}

QMimeData* ListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty() || !indexes.first().isValid())
        return nullptr;
    auto* data = new QMimeData;
    data->setText(QString::number(indexes.first().row()));
    return data;
}

bool ListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                const QModelIndex& parent) const {
    return data && data->hasFormat(plainText) && action == Qt::MoveAction && row >= 0 &&
           !parent.isValid();
}

bool ListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                             const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const std::optional<qint64> source = core::parseWholeNumber(data->text());
    // The text may come from anywhere, so an index outside this list is refused rather than
    // trusted.
    if (!source || *source < 0 || *source >= m_rows)
        return false;
    // The rows keep the order their feed gave them, so a drop moves nothing: the reload shows
    // the list in its own order again.
    beginResetModel();
    endResetModel();
    return true;
}

bool ListModel::removeRows(int, int, const QModelIndex&) {
    // A finished Move drag asks the source to remove the dragged row; the list must stay whole.
    return false;
}

} // namespace session
