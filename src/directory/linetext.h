#pragma once

#include "directory/records.h"

#include <QByteArray>
#include <QList>

namespace directory {

struct ListedNet {
    NetRecord net;
    int confirmed = 0; // operators who confirmed its current or next session
};

// The nets directory as the application reads it: one <Tag>value</Tag> per line, seven per net
// (NetName, Frequency, UTC, Mode, URL, Confirmed, NetID) and then Days (as in the nets file)
// and Duration (minutes), each net in a <Net> block within <Nets>. Values go out as stored; a
// character that would break the line cut (<, >, line breaks, control characters) becomes a space,
// so each value always stays on its own line.
QByteArray netsDirectoryText(const QList<ListedNet>& nets);

// The medium-wave list in the same line format, five per station (Station, Frequency, City,
// Power, URL) within <Stations>.
QByteArray stationsText(const QList<StationRecord>& stations);

} // namespace directory
