#pragma once

#include "feeds/rows.h"
#include "feeds/servicehosts.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace ui {

enum class CellKind { Text, Link, TuneButton, ConfirmButton, UnconfirmButton };

// One table column: the identifier selects the content, the title is the header text.
struct ColumnSpec {
    QString identifier;
    QString title;
    CellKind kind;
};

// The columns of one list's table in display order; buttons have an empty title.
QList<ColumnSpec> columnsFor(feeds::ListKind list);

struct Cell {
    QString text;
    QUrl link;
    bool linked = false;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// What one cell shows. Button columns give an empty cell (the button is a widget of its own);
// nullopt means the cell has no view at all: an identifier the list does not know, or a
// NetLogger row too short to carry its check-in count.
std::optional<Cell> cellFor(feeds::ListKind list, QStringView identifier, const feeds::Row& row,
                            const feeds::ServiceHosts& hosts);

// A NetLogger frequency (kHz, or MHz when 70 or below) as kilohertz with one decimal;
// "" when the text is not a number.
QString netLoggerFrequencyText(QStringView column1);

// First letter of each blank-separated word upper case, every other letter lower case.
QString capitalised(const QString& text);

// Only http and https addresses with a host may become clickable links.
bool isWebLink(const QUrl& url);

// A dropped row index: an optional sign, then decimal digits only, within qint64.
std::optional<qint64> parseDroppedIndex(QStringView text);

// Where a row dragged from `source` lands when dropped before row `dropRow`: taking the source
// out first shifts the rows below it up by one.
qint64 dropDestination(qint64 source, qint64 dropRow);

} // namespace ui
