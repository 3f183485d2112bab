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

template <typename Row> bool refusedAtALine(const directory::Parsed<Row>& parsed, int lines) {
    FUZZ_CHECK(parsed.rows.isEmpty() && parsed.error->line >= 1 && parsed.error->line <= lines,
               parsed.error->reason);
    return true;
}

} // namespace

// A file is read whole or refused at a line it has; what is read never breaks the line format,
// and every net read has a session.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader reader(data, size);
    const bool nets = reader.byte() & 1;
    const QByteArray csv(reader.rest(), qsizetype(reader.restSize()));
    const int lines = int(csv.count('\n')) + 1;
    if (nets) {
        const auto parsed = directory::readNetsCsv(csv);
        if (parsed.error && refusedAtALine(parsed, lines))
            return 0;
        QList<directory::ListedNet> listed;
        for (const directory::NetRecord& net : parsed.rows) {
            FUZZ_CHECK(lineSafe({net.name, net.frequencyMhz, net.utc, net.mode, net.url}));
            const directory::Session session =
                directory::nextSession(net, QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC));
            FUZZ_CHECK(session.isValid() && session.start < session.end, net.utc);
            listed.append({net, 0});
        }
        FUZZ_CHECK(directory::netsDirectoryText(listed).count('\n') == 2 + 9 * listed.size());
        return 0;
    }
    const auto parsed = directory::readStationsCsv(csv);
    if (parsed.error && refusedAtALine(parsed, lines))
        return 0;
    for (const directory::StationRecord& s : parsed.rows)
        FUZZ_CHECK(lineSafe({s.call, s.frequencyKhz, s.city, s.powerKw, s.url}));
    FUZZ_CHECK(directory::stationsText(parsed.rows).count('\n') == 2 + 5 * parsed.rows.size());
    return 0;
}
