#pragma once

#include "core/rows.h"
#include "core/servicehosts.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace session {

enum class CellKind { Text, Link, TuneButton, ConfirmButton, UnconfirmButton, RemindButton };

// One table column: the identifier selects the content, the title is the header text.
struct ColumnSpec {
    QString identifier;
    QString title;
    CellKind kind;
};

// The columns of one list's table in display order; buttons have an empty title.
QList<ColumnSpec> columnsFor(core::ListKind list);

struct Cell {
    QString text;
    QUrl link;
    bool linked = false;
    bool hasView = true; // false: the column does not exist for this list
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// What one cell shows. Button columns give an empty cell (the button is a widget of its own);
// an identifier the list does not know gives a cell without a view.
Cell cellFor(const core::PotaSpot& row, QStringView identifier, const core::ServiceHosts& hosts);
Cell cellFor(const core::SotaSpot& row, QStringView identifier, const core::ServiceHosts& hosts);
Cell cellFor(const core::WwffSpot& row, QStringView identifier, const core::ServiceHosts& hosts);
Cell cellFor(const core::NetLoggerNet& row, QStringView identifier,
             const core::ServiceHosts& hosts);
Cell cellFor(const core::DirectoryNet& row, QStringView identifier,
             const core::ServiceHosts& hosts);
Cell cellFor(const core::MwStation& row, QStringView identifier, const core::ServiceHosts& hosts);

// A NetLogger frequency (kHz, or MHz when 70 or below) as kilohertz with one decimal;
// "" when the text is not a number.
QString netLoggerFrequencyText(QStringView column1);

// First letter of each blank-separated word upper case, every other letter lower case.
QString capitalised(const QString& text);

} // namespace session
