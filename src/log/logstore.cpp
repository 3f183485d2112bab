#include "log/logstore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUuid>

namespace logbook {

namespace {

// Two contacts with one station on one band and mode this close together are one contact.
constexpr qint64 kDuplicateSeconds = 120;

const QString kColumns = QStringLiteral(
    "id, call, name, start_utc, frequency_hz, band, mode, submode, rst_sent, rst_rcvd, pota_ref, "
    "sota_ref, wwff_ref, sig, sig_info, comment, station_callsign, my_grid, extra");

QString extraText(const Contact& contact) {
    QJsonArray fields;
    for (const auto& [name, value] : contact.extra)
        fields.append(QJsonArray{name, value});
    return QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
}

Contact contactOf(const QSqlQuery& query) {
    Contact c;
    int i = 0;
    c.id = query.value(i++).toLongLong();
    c.call = query.value(i++).toString();
    c.name = query.value(i++).toString();
    c.start = QDateTime::fromSecsSinceEpoch(query.value(i++).toLongLong(), Qt::UTC);
    c.frequencyHz = query.value(i++).toLongLong();
    for (QString* text :
         {&c.band, &c.mode, &c.submode, &c.rstSent, &c.rstReceived, &c.potaRef, &c.sotaRef,
          &c.wwffRef, &c.sig, &c.sigInfo, &c.comment, &c.stationCallsign, &c.myGrid})
        *text = query.value(i++).toString();
    for (const QJsonValue& field : QJsonDocument::fromJson(query.value(i).toByteArray()).array())
        c.extra.append({field[0].toString(), field[1].toString()});
    return c;
}

void bindFields(QSqlQuery& query, const Contact& c) {
    query.addBindValue(c.call);
    query.addBindValue(c.name);
    query.addBindValue(c.start.toSecsSinceEpoch());
    query.addBindValue(c.frequencyHz);
    for (const QString* text :
         {&c.band, &c.mode, &c.submode, &c.rstSent, &c.rstReceived, &c.potaRef, &c.sotaRef,
          &c.wwffRef, &c.sig, &c.sigInfo, &c.comment, &c.stationCallsign, &c.myGrid})
        query.addBindValue(*text);
    query.addBindValue(extraText(c));
}

} // namespace

LogStore::LogStore(QObject* parent)
    : QObject(parent)
    , m_connection(QStringLiteral("bandhopper-log-") + QUuid::createUuid().toString()) {}

LogStore::~LogStore() {
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString LogStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/log.sqlite");
}

bool LogStore::isOpen() const {
    return QSqlDatabase::contains(m_connection) &&
           QSqlDatabase::database(m_connection, false).isOpen();
}

QString LogStore::fail(const QString& what, const QSqlQuery& query) {
    m_error = what + QStringLiteral(": ") + query.lastError().text();
    return m_error;
}

bool LogStore::exec(const QString& sql) {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    if (query.exec(sql))
        return true;
    fail(QStringLiteral("the log could not be changed"), query);
    return false;
}

bool LogStore::open(const QString& path) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        m_error = QStringLiteral("the SQLite driver of Qt is missing");
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.close();
    db.setDatabaseName(path);
    if (!db.open()) {
        m_error = QStringLiteral("cannot open the log %1: %2").arg(path, db.lastError().text());
        return false;
    }
    if (!exec(QStringLiteral("PRAGMA foreign_keys = ON")) || !createSchema()) {
        m_error = QStringLiteral("%1: %2").arg(path, m_error);
        db.close();
        return false;
    }
    return true;
}

bool LogStore::createSchema() {
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM schema_version"))) {
        // A new log: every table at once, or none.
        db.transaction();
        const bool made =
            exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)")) &&
            exec(QStringLiteral("INSERT INTO schema_version VALUES (%1)").arg(kSchemaVersion)) &&
            exec(QStringLiteral(
                "CREATE TABLE contacts (id INTEGER PRIMARY KEY AUTOINCREMENT, call TEXT NOT NULL, "
                "name TEXT, start_utc INTEGER NOT NULL, frequency_hz INTEGER NOT NULL, band TEXT, "
                "mode TEXT, submode TEXT, rst_sent TEXT, rst_rcvd TEXT, pota_ref TEXT, "
                "sota_ref TEXT, wwff_ref TEXT, sig TEXT, sig_info TEXT, comment TEXT, "
                "station_callsign TEXT, my_grid TEXT, extra TEXT)")) &&
            exec(QStringLiteral("CREATE INDEX contacts_start ON contacts (start_utc)")) &&
            exec(QStringLiteral("CREATE INDEX contacts_same ON contacts (call, band, mode, "
                                "start_utc)")) &&
            exec(QStringLiteral(
                "CREATE TABLE deliveries (contact_id INTEGER NOT NULL REFERENCES contacts (id) "
                "ON DELETE CASCADE, destination TEXT NOT NULL, delivered INTEGER NOT NULL, "
                "PRIMARY KEY (contact_id, destination))")) &&
            exec(QStringLiteral("CREATE TABLE worked_references (program TEXT NOT NULL, "
                                "reference TEXT NOT NULL, PRIMARY KEY (program, reference))"));
        if (!made) {
            db.rollback();
            return false;
        }
        return db.commit();
    }
    const int version = query.next() ? query.value(0).toInt() : 0;
    if (version > kSchemaVersion) {
        m_error =
            QStringLiteral("the log was written by a newer Bandhopper (schema %1)").arg(version);
        return false;
    }
    return true;
}

bool LogStore::insert(const Contact& contact, bool keepId, qint64* id) {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("INSERT INTO contacts (%1) VALUES (?%2)")
                      .arg(kColumns, QStringLiteral(", ?").repeated(18)));
    query.addBindValue(keepId ? QVariant(contact.id) : QVariant(QMetaType(QMetaType::LongLong)));
    bindFields(query, contact);
    if (!query.exec()) {
        fail(QStringLiteral("the contact could not be stored"), query);
        return false;
    }
    if (id)
        *id = query.lastInsertId().toLongLong();
    return true;
}

std::optional<qint64> LogStore::add(const Contact& contact, const QStringList& destinations) {
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    db.transaction();
    qint64 id = 0;
    bool ok = insert(contact, false, &id);
    for (const QString& destination : destinations) {
        if (!ok)
            break;
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT INTO deliveries VALUES (?, ?, 0)"));
        query.addBindValue(id);
        query.addBindValue(destination);
        ok = query.exec();
        if (!ok)
            fail(QStringLiteral("the contact could not be stored"), query);
    }
    if (!ok || !db.commit()) {
        db.rollback();
        return std::nullopt;
    }
    emit changed();
    return id;
}

bool LogStore::update(const Contact& contact) {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral(
        "UPDATE contacts SET call = ?, name = ?, start_utc = ?, frequency_hz = ?, band = ?, "
        "mode = ?, submode = ?, rst_sent = ?, rst_rcvd = ?, pota_ref = ?, sota_ref = ?, "
        "wwff_ref = ?, sig = ?, sig_info = ?, comment = ?, station_callsign = ?, my_grid = ?, "
        "extra = ? WHERE id = ?"));
    bindFields(query, contact);
    query.addBindValue(contact.id);
    if (!query.exec() || query.numRowsAffected() != 1) {
        fail(QStringLiteral("the contact could not be changed"), query);
        return false;
    }
    emit changed();
    return true;
}

std::optional<Contact> LogStore::remove(qint64 id) {
    std::optional<Contact> removed = contact(id);
    if (!removed)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("DELETE FROM contacts WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        fail(QStringLiteral("the contact could not be removed"), query);
        return std::nullopt;
    }
    emit changed();
    return removed;
}

bool LogStore::restore(const Contact& contact) {
    if (!insert(contact, true, nullptr))
        return false;
    emit changed();
    return true;
}

std::optional<Contact> LogStore::contact(qint64 id) const {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT %1 FROM contacts WHERE id = ?").arg(kColumns));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return contactOf(query);
}

QList<Contact> LogStore::contacts(const QDateTime& from, const QDateTime& to) const {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM contacts WHERE start_utc >= ? AND start_utc <= ? "
                                 "ORDER BY start_utc, id")
                      .arg(kColumns));
    query.addBindValue(from.isValid() ? from.toSecsSinceEpoch()
                                      : std::numeric_limits<qint64>::min());
    query.addBindValue(to.isValid() ? to.toSecsSinceEpoch() : std::numeric_limits<qint64>::max());
    QList<Contact> out;
    if (query.exec())
        while (query.next())
            out.append(contactOf(query));
    return out;
}

int LogStore::count() const {
    QSqlQuery query(QStringLiteral("SELECT COUNT(*) FROM contacts"),
                    QSqlDatabase::database(m_connection));
    return query.next() ? query.value(0).toInt() : 0;
}

bool LogStore::isDuplicate(const Contact& contact, bool* failed) const {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT 1 FROM contacts WHERE call = ? AND band = ? AND mode = ? "
                                 "AND start_utc BETWEEN ? AND ? LIMIT 1"));
    const qint64 at = contact.start.toSecsSinceEpoch();
    query.addBindValue(contact.call);
    query.addBindValue(contact.band);
    query.addBindValue(contact.mode);
    query.addBindValue(at - kDuplicateSeconds);
    query.addBindValue(at + kDuplicateSeconds);
    if (!query.exec()) {
        *failed = true;
        return false;
    }
    return query.next();
}

ImportReport LogStore::finishImport(QSqlDatabase& db, const ImportReport& report) {
    if (!db.commit()) {
        db.rollback();
        return {0, 0, QStringLiteral("the import could not be saved: ") + db.lastError().text()};
    }
    if (report.added > 0)
        emit changed();
    return report;
}

ImportReport LogStore::import(const QList<Contact>& contacts) {
    ImportReport report;
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction()) {
        report.error = QStringLiteral("the log is busy: ") + db.lastError().text();
        return report;
    }
    for (const Contact& contact : contacts) {
        bool failed = false;
        if (isDuplicate(contact, &failed)) {
            ++report.duplicates;
            continue;
        }
        if (failed || !insert(contact, false, nullptr)) {
            db.rollback();
            return {0, 0, failed ? QStringLiteral("the log could not be read") : m_error};
        }
        ++report.added;
    }
    return finishImport(db, report);
}

ImportReport LogStore::importWorked(Program program, const QStringList& references) {
    ImportReport report;
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    db.transaction();
    for (const QString& reference : references) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT OR IGNORE INTO worked_references VALUES (?, ?)"));
        query.addBindValue(programName(program));
        query.addBindValue(reference);
        if (!query.exec()) {
            db.rollback();
            return {0, 0, fail(QStringLiteral("the parks could not be stored"), query)};
        }
        ++(query.numRowsAffected() > 0 ? report.added : report.duplicates);
    }
    return finishImport(db, report);
}

QList<QPair<Program, QString>> LogStore::workedReferences() const {
    QSqlQuery query(QStringLiteral("SELECT program, reference FROM worked_references"),
                    QSqlDatabase::database(m_connection));
    QList<QPair<Program, QString>> out;
    while (query.next())
        if (const auto program = programNamed(query.value(0).toString()))
            out.append({*program, query.value(1).toString()});
    return out;
}

QList<qint64> LogStore::unsent(const QString& destination) const {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT contact_id FROM deliveries WHERE destination = ? AND "
                                 "delivered = 0 ORDER BY contact_id"));
    query.addBindValue(destination);
    QList<qint64> out;
    if (query.exec())
        while (query.next())
            out.append(query.value(0).toLongLong());
    return out;
}

bool LogStore::markDelivered(qint64 id, const QString& destination) {
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral(
        "UPDATE deliveries SET delivered = 1 WHERE contact_id = ? AND destination = ?"));
    query.addBindValue(id);
    query.addBindValue(destination);
    if (query.exec())
        return true;
    fail(QStringLiteral("the delivery could not be noted"), query);
    return false;
}

} // namespace logbook
