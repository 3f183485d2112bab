#include "session/logsession.h"

#include "nets/operatorkey.h"
#include "session/watchlist.h"

#include <QSettings>
#include <QTimeZone>

#include <algorithm>

namespace session {

using logbook::Contact;
using logbook::Program;

std::optional<Program> programOf(core::ListKind list) {
    switch (list) {
    case core::ListKind::Pota:
        return Program::Pota;
    case core::ListKind::Sota:
        return Program::Sota;
    case core::ListKind::Wwff:
        return Program::Wwff;
    default:
        return std::nullopt;
    }
}

Contact prefilledContact(core::ListKind list, const RowFacts& facts, const QString& operatorName,
                         qint64 radioHz, const QDateTime& now, const OwnStation& own) {
    Contact contact;
    const std::optional<Program> program = programOf(list);
    // The other lists name nets and stations, not someone to work.
    if (program) {
        contact.call = facts.activator.trimmed().toUpper();
        logbook::setReference(contact, *program, facts.reference);
    }
    contact.name = operatorName.trimmed();
    const QDateTime utc = now.toUTC();
    contact.start =
        QDateTime(utc.date(), QTime(utc.time().hour(), utc.time().minute(), utc.time().second()),
                  QTimeZone::utc());
    contact.frequencyHz = radioHz > 0 ? radioHz : facts.hertz;
    contact.band = logbook::bandForHz(contact.frequencyHz);
    const logbook::AdifMode mode = logbook::adifModeFor(facts.mode, contact.frequencyHz);
    contact.mode = mode.mode;
    contact.submode = mode.submode;
    contact.rstSent = contact.rstReceived = logbook::defaultReport(mode);
    contact.stationCallsign = own.callsign.trimmed().toUpper();
    contact.myGrid = own.grid.trimmed();
    return contact;
}

LogSession::LogSession(QSettings* settings, QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_nam(nam)
    , m_sender(&m_store)
    , m_webLogKey(std::make_unique<nets::OperatorKeyStore>(
          settings, QString::fromLatin1(logbook::kWebLogKeyName),
          QStringLiteral("web log API key"))) {
    if (m_settings)
        m_destinations = logbook::DestinationSettings::read(*m_settings);
    connect(m_webLogKey.get(), &nets::OperatorKeyStore::diagnostic, this,
            &LogSession::statusChanged);
    connect(m_webLogKey.get(), &nets::OperatorKeyStore::loaded, this, [this] {
        m_keyLoaded = true;
        rebuildSender();
        if (std::exchange(m_sendWhenLoaded, false))
            sendUnsent();
    });
    connect(&m_sender, &logbook::LogSender::failed, this, [this](const QString& line) {
        m_failed = true;
        emit statusChanged(line);
    });
    connect(&m_sender, &logbook::LogSender::finished, this, [this](int unsent) {
        if (!std::exchange(m_failed, false) && unsent == 0 && !m_destinations.ids().isEmpty())
            emit statusChanged(tr("Every contact has been sent"));
    });
}

LogSession::~LogSession() = default;

bool LogSession::open(const QString& path) {
    if (!m_store.open(path.isEmpty() ? logbook::LogStore::defaultPath() : path))
        return false;
    // Read once: a large log is read at start-up for the marks and for the Log tab alike.
    const QList<Contact> contacts = m_store.contacts();
    m_marks.load(contacts, m_store.workedReferences());
    emit marksChanged();
    emit opened(contacts);
    // The web log's key is needed only once there is a web log to send to.
    if (m_destinations.webLog)
        m_webLogKey->load();
    else
        rebuildSender();
    return true;
}

OwnStation LogSession::ownStation() const {
    if (!m_settings)
        return {};
    return {m_settings->value(QStringLiteral("callsign")).toString(),
            m_settings->value(QStringLiteral("grid")).toString()};
}

void LogSession::rebuildSender() {
    m_sender.setDestinations(m_destinations.make(m_nam, m_webLogKey->key()));
}

QString loggedSentence(const logbook::Contact& contact) {
    const QString call = contact.call.isEmpty() ? LogSession::tr("a contact") : contact.call;
    if (contact.band.isEmpty())
        return LogSession::tr("Logged %1").arg(call);
    // ADIF's "20m" as it is written in prose, "20 m".
    QString band = contact.band;
    const auto unit =
        std::find_if(band.cbegin(), band.cend(), [](QChar c) { return c.isLetter(); });
    if (unit != band.cbegin() && unit != band.cend())
        band.insert(unit - band.cbegin(), u' ');
    return LogSession::tr("Logged %1 on %2").arg(call, band);
}

std::optional<qint64> LogSession::log(const Contact& contact) {
    const std::optional<qint64> id = m_store.add(contact, m_destinations.ids());
    if (!id) {
        emit statusChanged(tr("Not logged: %1").arg(m_store.errorText()));
        return std::nullopt;
    }
    logbook::Contact stored = contact;
    stored.id = *id;
    m_marks.add(stored);
    emit contactAdded(stored);
    emit marksChanged();
    emit statusChanged(loggedSentence(contact));
    sendUnsent();
    return id;
}

// Each change moves the marks by the one contact: a long log is never reread for it.
bool LogSession::update(const Contact& contact) {
    const std::optional<Contact> before = m_store.contact(contact.id);
    if (!before || !m_store.update(contact))
        return false;
    m_marks.remove(*before);
    m_marks.add(contact);
    emit contactChanged(*before, contact);
    emit marksChanged();
    return true;
}

std::optional<Contact> LogSession::remove(qint64 id) {
    std::optional<Contact> removed = m_store.remove(id);
    if (removed) {
        m_marks.remove(*removed);
        emit contactRemoved(*removed);
        emit marksChanged();
    }
    return removed;
}

bool LogSession::restore(const Contact& contact) {
    if (!m_store.restore(contact))
        return false;
    m_marks.add(contact);
    emit contactAdded(contact);
    emit marksChanged();
    return true;
}

void LogSession::sendUnsent() {
    if (m_destinations.webLog && !m_keyLoaded) {
        m_sendWhenLoaded = true;
        m_webLogKey->load();
        return;
    }
    m_sender.sendUnsent();
}

void LogSession::setDestinations(const logbook::DestinationSettings& destinations,
                                 const QString& webLogKey) {
    m_destinations = destinations;
    if (m_settings)
        destinations.write(*m_settings);
    if (destinations.webLog) {
        m_webLogKey->setKey(webLogKey);
        m_keyLoaded = true;
    }
    rebuildSender();
}

logbook::Mark LogSession::markOf(core::ListKind list, const RowFacts& facts,
                                 const QDate& todayUtc) const {
    const std::optional<Program> program = programOf(list);
    if (!program)
        return logbook::Mark::None;
    return m_marks.mark(*program, facts.activator, facts.reference, logbook::bandForHz(facts.hertz),
                        todayUtc);
}

std::vector<RowMark> LogSession::rowMarks(core::ListKind list, const ListModel& model,
                                          const QDate& todayUtc) const {
    std::vector<RowMark> marks(std::size_t(model.rowCount()));
    const std::optional<Program> program = programOf(list);
    if (!program)
        return marks;
    for (int row = 0; row < model.rowCount(); ++row) {
        const logbook::Mark mark = markOf(list, model.facts(row), todayUtc);
        marks[std::size_t(row)] = {logbook::markText(mark), logbook::markSpoken(mark, *program)};
    }
    return marks;
}

QList<int> LogSession::newReferenceHits(core::ListKind list, const ListModel& model,
                                        const WatchList& watch, const QDate& todayUtc) {
    const std::optional<Program> program = programOf(list);
    const QString wanted =
        program ? QStringLiteral("new:") + logbook::programName(*program) : QString();
    bool watched = false;
    for (const QString& pattern : watch.patterns())
        watched = watched || (program && pattern.compare(wanted, Qt::CaseInsensitive) == 0);
    QList<int> hits;
    if (!watched)
        return hits;
    for (int row = 0; row < model.rowCount(); ++row) {
        const RowFacts& facts = model.facts(row);
        const QString key = wanted + u'|' + facts.reference.toUpper();
        if (markOf(list, facts, todayUtc) == logbook::Mark::New && !m_announced.contains(key)) {
            m_announced.insert(key);
            hits << row;
        }
    }
    return hits;
}

} // namespace session
