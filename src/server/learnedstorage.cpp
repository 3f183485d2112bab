// The storage of what the harvest sees and of the schedule learned from it.
#include "server/storage.h"

#include <QSet>

using directory::NetRecord;

namespace server {

QStringList Storage::learnedSchema() {
    return {
        // What NetLogger showed, one row per net and start; the learned schedule follows.
        QStringLiteral("CREATE TABLE net_observations (name_key TEXT NOT NULL, start_utc BIGINT "
                       "NOT NULL, name TEXT NOT NULL, frequency_hz BIGINT NOT NULL, mode TEXT NOT "
                       "NULL, band TEXT NOT NULL, net_control TEXT NOT NULL, last_seen BIGINT NOT "
                       "NULL, checkins INTEGER NOT NULL, PRIMARY KEY (name_key, start_utc))"),
        QStringLiteral("CREATE INDEX net_observations_by_start ON net_observations (start_utc)"),
        // Rows stay when their net drops out, so that it gets its identifier back on return.
        QStringLiteral("CREATE TABLE learned_nets (id INTEGER PRIMARY KEY, entry_key TEXT NOT "
                       "NULL UNIQUE, name TEXT NOT NULL, frequency_mhz TEXT NOT NULL, utc TEXT NOT "
                       "NULL, days INTEGER NOT NULL, mode TEXT NOT NULL, duration_min INTEGER NOT "
                       "NULL, last_seen BIGINT NOT NULL, listed INTEGER NOT NULL)"),
    };
}

int Storage::recordHarvest(const QList<Observation>& seen, const QDateTime& now) {
    int listed = 0;
    // Serialised: two harvesting processes must not hand out one identifier twice.
    inTransaction(true, [&] {
        // Saved replies may be harvested in any order: the schedule is that of the latest.
        qint64 seconds = now.toSecsSinceEpoch();
        for (const QVariantList& row :
             select(QStringLiteral("SELECT MAX(last_seen) FROM net_observations")))
            seconds = qMax(seconds, row[0].toLongLong());
        for (const Observation& o : seen)
            change(QStringLiteral(
                       "INSERT INTO net_observations (name_key, start_utc, name, frequency_hz, "
                       "mode, band, net_control, last_seen, checkins) VALUES (?, ?, ?, ?, ?, ?, "
                       "?, ?, ?) ON CONFLICT (name_key, start_utc) DO UPDATE SET name = "
                       "excluded.name, frequency_hz = excluded.frequency_hz, mode = "
                       "excluded.mode, band = excluded.band, net_control = excluded.net_control, "
                       "last_seen = CASE WHEN excluded.last_seen > net_observations.last_seen "
                       "THEN excluded.last_seen ELSE net_observations.last_seen END, checkins = "
                       "CASE WHEN excluded.checkins > net_observations.checkins THEN "
                       "excluded.checkins ELSE net_observations.checkins END"),
                   {directory::netNameKey(o.name), o.start.toSecsSinceEpoch(), o.name,
                    o.frequencyHz, o.mode, o.band, o.netControl, o.lastSeen.toSecsSinceEpoch(),
                    o.checkins});
        const qint64 oldest = seconds - qint64(kLookBackDays) * 86400;
        change(QStringLiteral("DELETE FROM net_observations WHERE start_utc <= ?"), {oldest});
        QList<Observation> kept;
        for (const QVariantList& row :
             select(QStringLiteral("SELECT name, frequency_hz, mode, band, net_control, start_utc, "
                                   "last_seen, checkins FROM net_observations WHERE start_utc <= ? "
                                   "ORDER BY start_utc, name_key"),
                    {seconds}))
            kept << Observation{row[0].toString(),
                                row[1].toLongLong(),
                                row[2].toString(),
                                row[3].toString(),
                                row[4].toString(),
                                QDateTime::fromSecsSinceEpoch(row[5].toLongLong(), Qt::UTC),
                                QDateTime::fromSecsSinceEpoch(row[6].toLongLong(), Qt::UTC),
                                row[7].toInt()};
        const QList<LearnedNet> learned =
            inferSchedule(kept, QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC));
        writeLearned(learned);
        listed = int(learned.size());
    });
    return listed;
}

void Storage::writeLearned(const QList<LearnedNet>& learned) {
    change(QStringLiteral("UPDATE learned_nets SET listed = 0"));
    for (const LearnedNet& entry : learned) {
        const NetRecord& net = entry.net;
        const auto found =
            select(QStringLiteral("SELECT id FROM learned_nets WHERE entry_key = ?"), {entry.key});
        qint64 id = found.isEmpty() ? 0 : found[0][0].toLongLong();
        if (id == 0) {
            // From the counter of the imported nets: an identifier is never handed out twice.
            id = setting(QStringLiteral("last_net_id")).toLongLong();
            for (const char* table : {"nets", "learned_nets"})
                for (const QVariantList& row :
                     select(QStringLiteral("SELECT MAX(id) FROM %1").arg(table)))
                    id = qMax(id, row[0].toLongLong());
            if (id >= std::numeric_limits<int>::max())
                throw StorageError("no net identifiers left");
            setSetting(QStringLiteral("last_net_id"), ++id);
        }
        change(QStringLiteral(
                   "INSERT INTO learned_nets (id, entry_key, name, frequency_mhz, utc, days, "
                   "mode, duration_min, last_seen, listed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 1) "
                   "ON CONFLICT (id) DO UPDATE SET name = excluded.name, frequency_mhz = "
                   "excluded.frequency_mhz, utc = excluded.utc, days = excluded.days, mode = "
                   "excluded.mode, duration_min = excluded.duration_min, last_seen = "
                   "excluded.last_seen, listed = 1"),
               {id, entry.key, net.name, net.frequencyMhz, net.utc, int(net.days), net.mode,
                net.durationMin, entry.lastSeen.toSecsSinceEpoch()});
    }
}

QList<NetRecord> Storage::withLearned(QList<NetRecord> curated) {
    // An imported net is curated: it wins over a learned one with its name and frequency, and
    // over one that happens to carry its identifier.
    QSet<int> ids;
    QSet<QPair<QString, qint64>> named;
    for (const NetRecord& net : curated) {
        ids.insert(net.id);
        named.insert(
            {directory::netNameKey(net.name), megahertzHertz(net.frequencyMhz).value_or(-1)});
    }
    for (const QVariantList& row :
         select(QStringLiteral("SELECT id, name, frequency_mhz, utc, days, mode, '' AS url, "
                               "duration_min FROM learned_nets WHERE listed = 1 ORDER BY id"))) {
        const NetRecord net = netFromRow(row);
        if (ids.contains(net.id) || named.contains({directory::netNameKey(net.name),
                                                    megahertzHertz(net.frequencyMhz).value_or(-2)}))
            continue;
        curated << net;
    }
    return curated;
}

} // namespace server
