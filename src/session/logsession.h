#pragma once

#include "core/listkind.h"
#include "log/contact.h"
#include "log/destinations.h"
#include "log/logstore.h"
#include "log/marks.h"
#include "session/listmodel.h"

#include <QObject>
#include <QSet>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QSettings;

namespace nets {
class OperatorKeyStore;
}

namespace session {

class WatchList;

// The program whose references a list's rows carry; none for the lists without references.
std::optional<logbook::Program> programOf(core::ListKind list);

// What the station knows of itself, from Preferences, Station ("callsign", "grid").
struct OwnStation {
    QString callsign;
    QString grid;
};

// A contact prefilled from a row: the activator as the call (for the lists of activators), the
// operator's name where the list gives one, `now` (UTC, to the second), the radio's frequency
// when it answered (else the row's) and its band, the row's mode in ADIF's terms with the
// mode's customary reports, the row's references, and the station's own callsign and grid.
logbook::Contact prefilledContact(core::ListKind list, const RowFacts& facts,
                                  const QString& operatorName, qint64 radioHz, const QDateTime& now,
                                  const OwnStation& own);

// What is said when a contact is logged: "Logged K1ABC on 20 m" ("Logged K1ABC" without a band).
QString loggedSentence(const logbook::Contact& contact);

// The log of the running application: the store, the destinations set in Preferences, Logging,
// and the New and Worked marks of every list, which follow each change of the log at once.
class LogSession : public QObject {
    Q_OBJECT
public:
    LogSession(QSettings* settings, QNetworkAccessManager* nam, QObject* parent = nullptr);
    ~LogSession() override;

    // Opens the log (LogStore::defaultPath() when empty), indexes it and hands its contacts to
    // opened(); false with errorText() when it cannot be used.
    bool open(const QString& path = {});
    QString errorText() const { return m_store.errorText(); }
    logbook::LogStore& store() { return m_store; }
    OwnStation ownStation() const;

    // Stores a contact, marks it undelivered for every destination set, and sends it with
    // whatever still waits. The contact's id, or nullopt (statusChanged says why).
    std::optional<qint64> log(const logbook::Contact& contact);
    bool update(const logbook::Contact& contact);
    // The removed contact, for undoing with restore().
    std::optional<logbook::Contact> remove(qint64 id);
    bool restore(const logbook::Contact& contact);
    void sendUnsent();

    logbook::DestinationSettings destinations() const { return m_destinations; }
    // Stored in the settings; the key goes to the keychain. Takes effect for the next send.
    void setDestinations(const logbook::DestinationSettings& destinations,
                         const QString& webLogKey);
    nets::OperatorKeyStore& webLogKey() { return *m_webLogKey; }

    logbook::Mark markOf(core::ListKind list, const RowFacts& facts, const QDate& todayUtc) const;
    // The marks of every row of a list's latest load, for ListModel::setMarks.
    std::vector<RowMark> rowMarks(core::ListKind list, const ListModel& model,
                                  const QDate& todayUtc) const;
    // The rows of a load whose reference is New and whose program the watch list names with
    // "new:POTA", "new:SOTA" or "new:WWFF"; each reference once a run.
    QList<int> newReferenceHits(core::ListKind list, const ListModel& model, const WatchList& watch,
                                const QDate& todayUtc);

signals:
    // The log was read whole, oldest first, when it opened.
    void opened(const QList<logbook::Contact>& contacts);
    // One line for the status bar: "Logged K1ABC", "Not sent to ...; 1 contact waiting".
    void statusChanged(const QString& text);
    // The log changed: every list's marks may have.
    void marksChanged();
    // One contact came, changed or went (the Log tab follows these without rereading the log).
    void contactAdded(const logbook::Contact& contact);
    void contactChanged(const logbook::Contact& before, const logbook::Contact& after);
    void contactRemoved(const logbook::Contact& contact);

private:
    void rebuildSender();

    QSettings* m_settings;
    QNetworkAccessManager* m_nam;
    logbook::LogStore m_store;
    logbook::Marks m_marks;
    logbook::LogSender m_sender;
    logbook::DestinationSettings m_destinations;
    std::unique_ptr<nets::OperatorKeyStore> m_webLogKey;
    bool m_keyLoaded = false;
    bool m_sendWhenLoaded = false;
    bool m_failed = false;
    QSet<QString> m_announced;
};

} // namespace session
