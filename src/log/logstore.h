#pragma once

#include "log/contact.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

namespace logbook {

struct ImportReport {
    int added = 0;
    int duplicates = 0; // same call, band and mode within two minutes of one already logged
    QString error;      // non-empty when nothing went in
};

// The contact log in SQLite through Qt SQL: the known fields in columns, the others kept as they
// came, a schema version table, and for each contact and destination whether it was delivered.
// Every change of several rows is one transaction.
class LogStore : public QObject {
    Q_OBJECT
public:
    static constexpr int kSchemaVersion = 1;

    explicit LogStore(QObject* parent = nullptr);
    ~LogStore() override;

    // log.sqlite in the user's data folder.
    static QString defaultPath();
    // Opens (creating it and its folder when missing) the log at `path`; false with errorText()
    // when it cannot be read or was written by a newer Bandhopper.
    bool open(const QString& path);
    bool isOpen() const;
    QString errorText() const { return m_error; }

    // Stores a new contact; each of `destinations` gets it as undelivered. Its id, or nullopt.
    std::optional<qint64> add(const Contact& contact, const QStringList& destinations = {});
    bool update(const Contact& contact);
    // Removes a contact and hands it back, so that the removal can be undone with restore().
    std::optional<Contact> remove(qint64 id);
    bool restore(const Contact& contact);
    std::optional<Contact> contact(qint64 id) const;
    // Oldest first, between `from` and `to` (UTC, both included; invalid for no bound).
    QList<Contact> contacts(const QDateTime& from = {}, const QDateTime& to = {}) const;
    int count() const;

    // The contacts of an import, less duplicates, all in or (on failure) none.
    ImportReport import(const QList<Contact>& contacts);
    // References worked before this log (POTA's list of the parks a hunter has worked).
    ImportReport importWorked(Program program, const QStringList& references);
    QList<QPair<Program, QString>> workedReferences() const;

    // The contacts not yet delivered to `destination`, oldest first.
    QList<qint64> unsent(const QString& destination) const;
    bool markDelivered(qint64 id, const QString& destination);

signals:
    // Any contact was added, changed or removed.
    void changed();

private:
    // Commits an import's transaction and tells of what it added; nothing is kept when the commit
    // fails.
    ImportReport finishImport(QSqlDatabase& db, const ImportReport& report);
    bool exec(const QString& sql);
    bool createSchema();
    bool insert(const Contact& contact, bool keepId, qint64* id);
    bool isDuplicate(const Contact& contact, bool* failed) const;
    QString fail(const QString& what, const class QSqlQuery& query);

    QString m_connection;
    QString m_error;
};

} // namespace logbook
