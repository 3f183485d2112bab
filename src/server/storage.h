#pragma once

#include "directory/records.h"
#include "server/databaseurl.h"
#include "server/schedule.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <functional>
#include <stdexcept>

class QIODevice;

namespace server {

struct StorageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ReleaseInfo {
    QString version;
    qint64 installerRevision = 0; // changes with every release; names its installer's parts
    qint64 installerSize = -1;    // -1: no installer
};

// What a database that has no schema yet starts with.
struct Seed {
    QByteArray netsCsv;
    QByteArray stationsCsv;
    QString version;
};

// The directory in SQLite or PostgreSQL through one set of SQL statements that both run. Each
// instance owns one connection, opened on first use in the thread that uses it; one instance is
// used by one thread only. Every failure throws StorageError, and every multi-row change is one
// transaction, so a failure changes nothing.
class Storage {
public:
    static constexpr int kSchemaVersion = 2;
    static constexpr qint64 kInstallerPartBytes = 256 * 1024;

    // `waitMs` bounds how long one statement waits for a lock (and for PostgreSQL, runs).
    explicit Storage(const DatabaseUrl& url, int waitMs = 10000);
    ~Storage();
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    // Creates or upgrades the schema; a database that had none gets `seed` in the same step.
    // This is the one step that may create a SQLite file (and its folder): every other use
    // opens an existing one only, so a file removed while the server runs is never silently
    // replaced by an empty one.
    void migrate(const Seed& seed);
    // Throws unless the database answers, takes writes and (SQLite) is still the file opened.
    void checkHealth();
    // Changes whenever a change has been committed by any connection; cheap to ask.
    qint64 changeMark();

    // The imported nets in their order, then the learned ones that no imported net names.
    QList<directory::NetRecord> nets();
    std::optional<directory::NetRecord> net(int id);
    QList<directory::StationRecord> stations();
    // Rows without an id get ones never used before; nets left out lose their confirmations.
    // Returns the nets as stored.
    QList<directory::NetRecord> replaceNets(QList<directory::NetRecord> nets);
    void replaceStations(const QList<directory::StationRecord>& stations);

    // Distinct operator keys per net id and session start (seconds since the epoch), for the
    // sessions that have not ended at `now`.
    QHash<QPair<int, qint64>, int> liveConfirmations(const QDateTime& now);
    // Adds or removes `key` for the net's session running at `now`, or its next one. Returns
    // that session's count afterwards, or nothing when there is no such net.
    std::optional<int> setConfirmation(int netId, const QString& key, bool confirmed,
                                       const QDateTime& now);

    // Keeps the sessions NetLogger listed at `now` and learns the schedule again from the
    // sessions of the weeks before `now` or before the latest sitting seen, if that is later.
    // Returns how many learned nets the directory lists.
    int recordHarvest(const QList<Observation>& seen, const QDateTime& now);

    ReleaseInfo release();
    // `installer` is read to its end in parts; null publishes the version without one.
    void setRelease(const QString& version, QIODevice* installer);
    std::optional<QByteArray> installerPart(qint64 revision, int part);

private:
    class Transaction;
    friend class Transaction;

    void open();
    void close();
    // A SQLite file that is gone (or was replaced) would take writes that no one ever reads.
    void verifyFile(bool writing = false);
    [[noreturn]] void fail(const QSqlQuery& query);
    void execute(const QString& sql);
    QSqlQuery& run(const QString& sql, const QVariantList& values);
    QList<QVariantList> select(const QString& sql, const QVariantList& values = {});
    int change(const QString& sql, const QVariantList& values = {}); // rows changed
    QString setting(const QString& name);
    void setSetting(const QString& name, const QVariant& value);
    QList<directory::NetRecord> writeNets(QList<directory::NetRecord> nets);
    void writeStations(const QList<directory::StationRecord>& stations);
    static QStringList learnedSchema(); // the second version's additions
    void inTransaction(bool serialised, const std::function<void()>& work);
    QList<directory::NetRecord> withLearned(QList<directory::NetRecord> curated);
    // A net from a row of id, name, frequency_mhz, utc, days, mode, url, duration_min.
    static directory::NetRecord netFromRow(const QVariantList& row);
    void writeLearned(const QList<LearnedNet>& learned);
    bool isSqlite() const { return m_url.driver == DatabaseUrl::Driver::Sqlite; }

    DatabaseUrl m_url;
    int m_waitMs;
    bool m_mayCreate = false;
    QPair<quint64, quint64> m_fileIdentity; // device and inode of the SQLite file opened
    QString m_connectionName;
    QSqlDatabase m_db;
    QHash<QString, QSqlQuery> m_statements;
    bool m_broken = true; // open (again) before the next use
    qint64 m_prunedAt = 0;
};

} // namespace server
