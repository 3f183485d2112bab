#include "session/bundled.h"

#include "directory/records.h"
#include "directory/session.h"

#include <QObject>

#include <algorithm>

namespace session {

feeds::LoadedList bundledList(core::ListKind list, const QDateTime& now) {
    feeds::LoadedList loaded{list, feeds::emptyRows(list), {}};
    loaded.notice = QObject::tr("The list built into Bandhopper: no directory service is set "
                                "(Preferences, Directory Service…)");
    if (list == core::ListKind::MW) {
        QList<core::MwStation> rows;
        for (const directory::StationRecord& s :
             directory::readStationsCsv(directory::bundledStationsCsv()).rows)
            rows.append({s.call, s.frequencyKhz, s.city, s.powerKw, s.url});
        loaded.rows = rows;
        return loaded;
    }
    QList<directory::NetRecord> nets = directory::readNetsCsv(directory::bundledNetsCsv()).rows;
    std::stable_sort(nets.begin(), nets.end(), [&now](const auto& a, const auto& b) {
        const QDateTime later = now.addYears(1);
        const directory::Session sa = directory::nextSession(a, now);
        const directory::Session sb = directory::nextSession(b, now);
        return (sa.isValid() ? sa.start : later) < (sb.isValid() ? sb.start : later);
    });
    QList<core::DirectoryNet> rows;
    for (const directory::NetRecord& n : nets)
        rows.append({n.name, n.frequencyMhz, n.utc, n.mode, n.url, QString(), QString::number(n.id),
                     directory::daysText(n.days), QString::number(n.durationMin)});
    loaded.rows = rows;
    return loaded;
}

} // namespace session
