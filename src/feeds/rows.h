#pragma once

#include <QList>
#include <QStringList>

namespace feeds {

// The five activity lists. Their rows are lists of texts whose column layout the feeds fix
// and the Tune procedures, tables and confirmations read by index.
enum class ListKind { Pota, Sota, NetLogger, Nets, MW };

using Row = QStringList;
using Rows = QList<Row>;

// Columns per row, as each feed builds them.
constexpr int columnCount(ListKind kind) {
    switch (kind) {
    case ListKind::Pota:
    case ListKind::Sota:
        return 10;
    case ListKind::NetLogger:
        return 4;
    case ListKind::Nets:
        return 7;
    case ListKind::MW:
        return 5;
    }
    return 0;
}

} // namespace feeds
