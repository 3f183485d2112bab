#include "directory/linetext.h"
#include "directory/session.h"

#include "fuzzcheck.h"

namespace {

bool lineSafe(const QStringList& values) {
    for (const QString& value : values)
        for (const QChar c : value)
            if (c == u'<' || c == u'>' || c == u'\r' || c == u'\n' || value != value.trimmed())
                return false;
    return true;
}

// True when the file was refused, which it must be at a line it has and without any row.
template <typename Row> bool refused(const directory::Parsed<Row>& parsed, const QByteArray& csv) {
    if (parsed.error)
        FUZZ_CHECK(parsed.rows.isEmpty() && parsed.error->line >= 1 &&
                       parsed.error->line <= csv.count('\n') + 1,
                   parsed.error->reason);
    return parsed.error.has_value();
}

} // namespace

// A file is read whole or refused at a line it has; what is read never breaks the line format,
// and every net read has a session.
FUZZ_TARGET(input) {
    fuzzcheck::ByteReader reader{input};
    const bool nets = reader.byte() & 1;
    const QByteArray csv = reader.rest();
    if (nets) {
        const auto parsed = directory::readNetsCsv(csv);
        if (refused(parsed, csv))
            return;
        QList<directory::ListedNet> listed;
        for (const directory::NetRecord& net : parsed.rows) {
            FUZZ_CHECK(lineSafe({net.name, net.frequencyMhz, net.utc, net.mode, net.url}));
            const directory::Session session =
                directory::nextSession(net, QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC));
            FUZZ_CHECK(session.isValid() && session.start < session.end, net.utc);
            listed.append({net, 0});
        }
        FUZZ_CHECK(directory::netsDirectoryText(listed).count('\n') == 2 + 9 * listed.size());
    } else if (const auto parsed = directory::readStationsCsv(csv); !refused(parsed, csv)) {
        for (const directory::StationRecord& s : parsed.rows)
            FUZZ_CHECK(lineSafe({s.call, s.frequencyKhz, s.city, s.powerKw, s.url}));
        FUZZ_CHECK(directory::stationsText(parsed.rows).count('\n') == 2 + 5 * parsed.rows.size());
    }
}
