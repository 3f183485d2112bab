#include "server/storage.h"

#include "directory/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>

#include <atomic>

#include <sys/stat.h>
#include <unistd.h>

using directory::NetRecord;
using directory::StationRecord;

namespace server {

namespace {

std::atomic<int> g_connections{0};

// Each entry brings a schema from the version before it to its own (index + 1).
QList<QStringList> migrations(bool sqlite) {
    const QString blob = sqlite ? QStringLiteral("BLOB") : QStringLiteral("BYTEA");
    return {{
        QStringLiteral("CREATE TABLE nets (id INTEGER PRIMARY KEY, ordinal INTEGER NOT NULL, "
                       "name TEXT NOT NULL, frequency_mhz TEXT NOT NULL, utc TEXT NOT NULL, "
                       "days INTEGER NOT NULL, mode TEXT NOT NULL, url TEXT NOT NULL, "
                       "duration_min INTEGER NOT NULL)"),
        QStringLiteral("CREATE TABLE stations (ordinal INTEGER PRIMARY KEY, call_sign TEXT NOT "
                       "NULL, frequency_khz TEXT NOT NULL, city TEXT NOT NULL, power_kw TEXT NOT "
                       "NULL, url TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE confirmations (net_id INTEGER NOT NULL, session_start BIGINT "
                       "NOT NULL, session_end BIGINT NOT NULL, operator_key TEXT NOT NULL, "
                       "PRIMARY KEY (net_id, session_start, operator_key))"),
        QStringLiteral("CREATE INDEX confirmations_by_end ON confirmations (session_end)"),
        // Kept with every change so that reading the directory never counts rows.
        QStringLiteral("CREATE TABLE session_counts (net_id INTEGER NOT NULL, session_start BIGINT "
                       "NOT NULL, session_end BIGINT NOT NULL, confirmed INTEGER NOT NULL, "
                       "PRIMARY KEY (net_id, session_start))"),
        QStringLiteral("CREATE INDEX session_counts_by_end ON session_counts (session_end)"),
        QStringLiteral("CREATE TABLE settings (name TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE installer_parts (revision BIGINT NOT NULL, part INTEGER NOT "
                       "NULL, data %1 NOT NULL, PRIMARY KEY (revision, part))")
            .arg(blob),
    }};
}

// Driver messages may span lines; a log line and a 503 body take one.
std::string oneLine(QString text) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified().toStdString();
}

std::optional<QPair<quint64, quint64>> fileIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return QPair<quint64, quint64>(info.st_dev, info.st_ino);
}

const QString kNetColumns =
    QStringLiteral("SELECT id, name, frequency_mhz, utc, days, mode, url, duration_min FROM nets ");

} // namespace

// SQLite takes the write lock at BEGIN IMMEDIATE, so concurrent writers wait their turn (busy
// timeout) instead of failing when a read lock cannot be upgraded. PostgreSQL serialises the
// changes that read before they write (schema, imports, releases) on an advisory lock.
class Storage::Transaction {
public:
    Transaction(Storage& storage, bool serialised)
        : m_storage(storage) {
        m_storage.open();
        m_storage.verifyFile(true);
        m_storage.execute(m_storage.isSqlite() ? QStringLiteral("BEGIN IMMEDIATE")
                                               : QStringLiteral("BEGIN"));
        m_active = true;
        if (serialised && !m_storage.isSqlite())
            m_storage.select(QStringLiteral("SELECT pg_advisory_xact_lock(6658429712)"));
    }
    ~Transaction() {
        if (m_active) {
            QSqlQuery rollback(m_storage.m_db);
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
    }
    void commit() {
        m_storage.execute(QStringLiteral("COMMIT"));
        m_active = false;
    }

private:
    Storage& m_storage;
    bool m_active = false;
};

void Storage::inTransaction(bool serialised, const std::function<void()>& work) {
    Transaction transaction(*this, serialised);
    work();
    transaction.commit();
}

Storage::Storage(const DatabaseUrl& url, int waitMs)
    : m_url(url)
    , m_waitMs(waitMs)
    , m_connectionName(QStringLiteral("bandhopper-storage-%1").arg(++g_connections)) {}

Storage::~Storage() {
    close();
}

void Storage::close() {
    m_statements.clear();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

void Storage::open() {
    if (!m_broken)
        return;
    // After a failure the connection may be gone (a database restart); a new one costs little.
    close();
    m_db = QSqlDatabase::addDatabase(
        isSqlite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_connectionName);
    if (!m_db.isValid())
        throw StorageError("the Qt SQL driver for " + m_url.display().toStdString() +
                           " is not installed");
    if (isSqlite()) {
        const QString path = QFileInfo(m_url.path).absoluteFilePath();
        if (m_mayCreate)
            QDir().mkpath(QFileInfo(path).absolutePath());
        else if (!QFileInfo::exists(path))
            throw StorageError("the database file " + path.toStdString() + " is gone");
        // mode=rw opens an existing file only; rwc may create it.
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        m_db.setDatabaseName(
            QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
            (m_mayCreate ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw")));
    } else {
        m_db.setHostName(m_url.host);
        m_db.setPort(m_url.port);
        m_db.setUserName(m_url.user);
        m_db.setPassword(m_url.password);
        m_db.setDatabaseName(m_url.name);
        m_db.setConnectOptions(
            QStringLiteral("connect_timeout=%1").arg(qMax(2, (m_waitMs + 999) / 1000)));
    }
    if (!m_db.open())
        throw StorageError("cannot open " + m_url.display().toStdString() + ": " +
                           oneLine(m_db.lastError().text()));
    m_broken = false;
    if (isSqlite()) {
        const auto identity = fileIdentity(m_url.path);
        if (!identity) {
            m_broken = true;
            throw StorageError("the database file " + m_url.path.toStdString() + " is gone");
        }
        m_fileIdentity = *identity;
        // Readers never wait for the writer in WAL mode; writers queue on the busy timeout.
        execute(QStringLiteral("PRAGMA busy_timeout = %1").arg(m_waitMs));
        execute(QStringLiteral("PRAGMA journal_mode = WAL"));
        execute(QStringLiteral("PRAGMA synchronous = NORMAL"));
    } else {
        execute(QStringLiteral("SET client_min_messages TO WARNING")); // no NOTICEs on stderr
        // A lock held elsewhere or a statement stuck fails instead of holding the thread.
        execute(QStringLiteral("SET statement_timeout = %1").arg(m_waitMs));
    }
}

void Storage::verifyFile(bool writing) {
    if (!isSqlite())
        return;
    const auto identity = fileIdentity(m_url.path);
    if (!identity) {
        m_broken = true;
        throw StorageError("the database file " + m_url.path.toStdString() + " is gone");
    }
    // A connection opened before the file was made read-only could still write through it.
    if (writing && ::access(QFile::encodeName(m_url.path).constData(), W_OK) != 0)
        throw StorageError("the database file " + m_url.path.toStdString() + " is read-only");
    if (*identity != m_fileIdentity) {
        m_broken = true; // another file took its place: use that one from now on
        open();
    }
}

void Storage::checkHealth() {
    open();
    verifyFile(true);
    if (isSqlite()) {
        // Taking the write lock tells a read-only file; a lock held by another writer is busy,
        // not broken.
        QSqlQuery query(m_db);
        if (query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            execute(QStringLiteral("ROLLBACK"));
        } else {
            const int code = query.lastError().nativeErrorCode().toInt() & 0xff;
            if (code != 5 && code != 6) // SQLITE_BUSY, SQLITE_LOCKED
                fail(query);
        }
        return;
    }
    const auto rows = select(QStringLiteral("SELECT current_setting('transaction_read_only')"));
    if (!rows.isEmpty() && rows[0][0].toString() == u"on")
        throw StorageError("the database is read-only");
}

qint64 Storage::changeMark() {
    open();
    verifyFile();
    const auto rows =
        select(isSqlite() ? QStringLiteral("PRAGMA data_version")
                          : QStringLiteral("SELECT txid_snapshot_xmax(txid_current_snapshot())"));
    return rows.isEmpty() ? 0 : rows[0][0].toLongLong();
}

void Storage::fail(const QSqlQuery& query) {
    m_broken = true;
    throw StorageError(oneLine(query.lastError().text()));
}

void Storage::execute(const QString& sql) {
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        fail(query);
}

QSqlQuery& Storage::run(const QString& sql, const QVariantList& values) {
    open();
    auto statement = m_statements.find(sql);
    if (statement == m_statements.end()) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            fail(query);
        statement = m_statements.insert(sql, query);
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        // An empty value read from a file is a null QString, which would bind as SQL NULL.
        const QVariant& value = values[i];
        const bool nullText = value.typeId() == QMetaType::QString && value.toString().isNull();
        statement->bindValue(int(i), nullText ? QVariant(QStringLiteral("")) : value);
    }
    if (!statement->exec())
        fail(*statement);
    return *statement;
}

QList<QVariantList> Storage::select(const QString& sql, const QVariantList& values) {
    QSqlQuery& query = run(sql, values);
    QList<QVariantList> rows;
    const int columns = query.record().count();
    while (query.next()) {
        QVariantList row;
        for (int c = 0; c < columns; ++c)
            row << query.value(c);
        rows << row;
    }
    // A SQLite statement left open would hold its read snapshot (and block checkpoints).
    query.finish();
    return rows;
}

int Storage::change(const QString& sql, const QVariantList& values) {
    QSqlQuery& query = run(sql, values);
    const int changed = query.numRowsAffected();
    query.finish();
    return changed;
}

QString Storage::setting(const QString& name) {
    const auto rows = select(QStringLiteral("SELECT value FROM settings WHERE name = ?"), {name});
    return rows.isEmpty() ? QString() : rows[0][0].toString();
}

void Storage::setSetting(const QString& name, const QVariant& value) {
    change(QStringLiteral("INSERT INTO settings (name, value) VALUES (?, ?) "
                          "ON CONFLICT (name) DO UPDATE SET value = excluded.value"),
           {name, value.toString()});
}

void Storage::migrate(const Seed& seed) {
    m_mayCreate = true;
    m_broken = true; // opened again below, allowed to create the file this once
    const auto createOnce = qScopeGuard([this] { m_mayCreate = false; });
    Transaction transaction(*this, true);
    execute(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"));
    const auto rows = select(QStringLiteral("SELECT version FROM schema_version"));
    const int version = rows.isEmpty() ? 0 : rows[0][0].toInt();
    if (version > kSchemaVersion)
        throw StorageError("the database has schema version " + std::to_string(version) +
                           ", newer than this server's " + std::to_string(kSchemaVersion));
    const QList<QStringList> steps = migrations(isSqlite()) << learnedSchema();
    for (int step = version; step < kSchemaVersion; ++step)
        for (const QString& sql : steps[step])
            execute(sql);
    if (version == 0) {
        const auto nets = directory::readNetsCsv(seed.netsCsv);
        const auto stations = directory::readStationsCsv(seed.stationsCsv);
        if (nets.error || stations.error)
            throw StorageError("the bundled directory does not read");
        writeNets(nets.rows);
        writeStations(stations.rows);
        setSetting(QStringLiteral("version"), seed.version);
        change(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"), {kSchemaVersion});
    } else if (version < kSchemaVersion) {
        change(QStringLiteral("UPDATE schema_version SET version = ?"), {kSchemaVersion});
    }
    transaction.commit();
}

NetRecord Storage::netFromRow(const QVariantList& row) {
    NetRecord net;
    net.id = row[0].toInt();
    net.name = row[1].toString();
    net.frequencyMhz = row[2].toString();
    net.utc = row[3].toString();
    net.days = directory::Weekdays(row[4].toInt());
    net.mode = row[5].toString();
    net.url = row[6].toString();
    net.durationMin = row[7].toInt();
    return net;
}

QList<NetRecord> Storage::nets() {
    QList<NetRecord> nets;
    for (const QVariantList& row : select(kNetColumns + QStringLiteral("ORDER BY ordinal")))
        nets << netFromRow(row);
    return withLearned(std::move(nets));
}

std::optional<NetRecord> Storage::net(int id) {
    const auto rows = select(kNetColumns + QStringLiteral("WHERE id = ?"), {id});
    if (!rows.isEmpty())
        return netFromRow(rows[0]);
    // A learned net is confirmed like any other while the directory lists it.
    for (const NetRecord& listed : nets())
        if (listed.id == id)
            return listed;
    return std::nullopt;
}

QList<StationRecord> Storage::stations() {
    QList<StationRecord> stations;
    for (const QVariantList& row :
         select(QStringLiteral("SELECT call_sign, frequency_khz, city, power_kw, url FROM "
                               "stations ORDER BY ordinal")))
        stations << StationRecord{row[0].toString(), row[1].toString(), row[2].toString(),
                                  row[3].toString(), row[4].toString()};
    return stations;
}

QList<NetRecord> Storage::replaceNets(QList<NetRecord> nets) {
    Transaction transaction(*this, true);
    nets = writeNets(std::move(nets));
    transaction.commit();
    return nets;
}

void Storage::replaceStations(const QList<StationRecord>& stations) {
    Transaction transaction(*this, true);
    writeStations(stations);
    transaction.commit();
}

QList<NetRecord> Storage::writeNets(QList<NetRecord> nets) {
    // Identifiers are never handed out twice: an operator's confirmation of a net that was
    // removed must not land on another one.
    qint64 last = setting(QStringLiteral("last_net_id")).toLongLong();
    for (const QVariantList& row : select(QStringLiteral("SELECT MAX(id) FROM nets")))
        last = qMax(last, row[0].toLongLong());
    for (const NetRecord& net : nets)
        last = qMax<qint64>(last, net.id);
    QSet<int> kept;
    for (NetRecord& net : nets) {
        if (net.id == 0) {
            if (last >= std::numeric_limits<int>::max())
                throw StorageError("no net identifiers left");
            net.id = int(++last);
        }
        kept.insert(net.id);
    }
    for (const QVariantList& row : select(QStringLiteral("SELECT id FROM nets"))) {
        const int id = row[0].toInt();
        if (kept.contains(id))
            continue;
        change(QStringLiteral("DELETE FROM confirmations WHERE net_id = ?"), {id});
        change(QStringLiteral("DELETE FROM session_counts WHERE net_id = ?"), {id});
        change(QStringLiteral("DELETE FROM nets WHERE id = ?"), {id});
    }
    for (qsizetype i = 0; i < nets.size(); ++i) {
        const NetRecord& net = nets[i];
        change(QStringLiteral(
                   "INSERT INTO nets (id, ordinal, name, frequency_mhz, utc, days, mode, url, "
                   "duration_min) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (id) DO UPDATE "
                   "SET ordinal = excluded.ordinal, name = excluded.name, frequency_mhz = "
                   "excluded.frequency_mhz, utc = excluded.utc, days = excluded.days, mode = "
                   "excluded.mode, url = excluded.url, duration_min = excluded.duration_min"),
               {net.id, int(i), net.name, net.frequencyMhz, net.utc, int(net.days), net.mode,
                net.url, net.durationMin});
    }
    setSetting(QStringLiteral("last_net_id"), last);
    return nets;
}

void Storage::writeStations(const QList<StationRecord>& stations) {
    change(QStringLiteral("DELETE FROM stations"));
    for (qsizetype i = 0; i < stations.size(); ++i) {
        const StationRecord& s = stations[i];
        change(QStringLiteral("INSERT INTO stations (ordinal, call_sign, frequency_khz, city, "
                              "power_kw, url) VALUES (?, ?, ?, ?, ?, ?)"),
               {int(i), s.call, s.frequencyKhz, s.city, s.powerKw, s.url});
    }
}

QHash<QPair<int, qint64>, int> Storage::liveConfirmations(const QDateTime& now) {
    QHash<QPair<int, qint64>, int> counts;
    for (const QVariantList& row :
         select(QStringLiteral("SELECT net_id, session_start, confirmed FROM session_counts "
                               "WHERE session_end > ?"),
                {now.toSecsSinceEpoch()}))
        counts.insert({row[0].toInt(), row[1].toLongLong()}, row[2].toInt());
    return counts;
}

std::optional<int> Storage::setConfirmation(int netId, const QString& key, bool confirmed,
                                            const QDateTime& now) {
    Transaction transaction(*this, false);
    const std::optional<NetRecord> net = this->net(netId);
    if (!net)
        return std::nullopt;
    const directory::Session session = directory::nextSession(*net, now);
    if (!session.isValid())
        throw StorageError("net " + std::to_string(netId) + " has no valid schedule");
    const qint64 start = session.start.toSecsSinceEpoch();
    const qint64 end = session.end.toSecsSinceEpoch();
    // The count moves only when a row did: confirming twice or retracting nothing is no change.
    if (confirmed &&
        change(QStringLiteral("INSERT INTO confirmations (net_id, session_start, session_end, "
                              "operator_key) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"),
               {netId, start, end, key}) > 0)
        change(QStringLiteral("INSERT INTO session_counts (net_id, session_start, session_end, "
                              "confirmed) VALUES (?, ?, ?, 1) ON CONFLICT (net_id, session_start) "
                              "DO UPDATE SET confirmed = session_counts.confirmed + 1"),
               {netId, start, end});
    if (!confirmed &&
        change(QStringLiteral("DELETE FROM confirmations WHERE net_id = ? AND session_start = ? "
                              "AND operator_key = ?"),
               {netId, start, key}) > 0)
        change(QStringLiteral("UPDATE session_counts SET confirmed = confirmed - 1 WHERE net_id = "
                              "? AND session_start = ?"),
               {netId, start});
    const auto counted = select(QStringLiteral("SELECT confirmed FROM session_counts WHERE "
                                               "net_id = ? AND session_start = ?"),
                                {netId, start});
    const int count = counted.isEmpty() ? 0 : counted[0][0].toInt();
    transaction.commit();

    // Ended sessions count for nothing; clearing them now and then keeps the table small. It
    // runs on its own so that it never holds up (or deadlocks with) a confirmation.
    const qint64 seconds = now.toSecsSinceEpoch();
    if (seconds - m_prunedAt >= 60) {
        m_prunedAt = seconds;
        change(QStringLiteral("DELETE FROM confirmations WHERE session_end <= ?"), {seconds});
        change(QStringLiteral("DELETE FROM session_counts WHERE session_end <= ?"), {seconds});
    }
    return count;
}

ReleaseInfo Storage::release() {
    ReleaseInfo info;
    for (const QVariantList& row : select(QStringLiteral("SELECT name, value FROM settings"))) {
        const QString name = row[0].toString();
        if (name == u"version")
            info.version = row[1].toString();
        else if (name == u"installer_revision")
            info.installerRevision = row[1].toLongLong();
        else if (name == u"installer_size")
            info.installerSize = row[1].toLongLong();
    }
    return info;
}

void Storage::setRelease(const QString& version, QIODevice* installer) {
    Transaction transaction(*this, true);
    const qint64 revision = setting(QStringLiteral("installer_revision")).toLongLong() + 1;
    change(QStringLiteral("DELETE FROM installer_parts"));
    qint64 size = -1;
    if (installer) {
        size = 0;
        for (int part = 0; !installer->atEnd(); ++part) {
            const QByteArray data = installer->read(kInstallerPartBytes);
            if (data.isEmpty())
                throw StorageError("cannot read the installer: " +
                                   installer->errorString().toStdString());
            change(QStringLiteral(
                       "INSERT INTO installer_parts (revision, part, data) VALUES (?, ?, ?)"),
                   {revision, part, data});
            size += data.size();
        }
    }
    setSetting(QStringLiteral("version"), version);
    setSetting(QStringLiteral("installer_revision"), revision);
    setSetting(QStringLiteral("installer_size"), size);
    transaction.commit();
}

std::optional<QByteArray> Storage::installerPart(qint64 revision, int part) {
    const auto rows =
        select(QStringLiteral("SELECT data FROM installer_parts WHERE revision = ? AND part = ?"),
               {revision, part});
    return rows.isEmpty() ? std::nullopt : std::optional(rows[0][0].toByteArray());
}

} // namespace server
