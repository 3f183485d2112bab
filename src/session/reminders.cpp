#include "session/reminders.h"

#include "directory/records.h"
#include "session/preferences.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace session {

namespace {

const QString kRemindersKey = QStringLiteral("reminders");
const QString kLeadKey = QStringLiteral("reminderLeadMinutes");
// Often enough that a reminder is never late by more than this, rarely enough to cost nothing.
constexpr int kCheckEveryMs = 10'000;

} // namespace

directory::NetRecord scheduleOf(const core::DirectoryNet& row) {
    directory::NetRecord net;
    net.name = row.name;
    net.frequencyMhz = row.frequency;
    net.utc = row.utc;
    net.mode = row.mode;
    net.days = directory::parseDays(row.days).value_or(directory::kEveryDay);
    bool ok = false;
    const int minutes = row.duration.toInt(&ok);
    net.durationMin =
        ok && minutes >= 1 && minutes <= 1440 ? minutes : directory::kDefaultDurationMin;
    // Other directories write a session as "1600-0200": its start, and its length unless one
    // was sent.
    const QStringList ends = row.utc.split(u'-');
    const QTime start = QTime::fromString(ends.value(0), QStringLiteral("HHmm"));
    const QTime end = QTime::fromString(ends.value(1), QStringLiteral("HHmm"));
    if (ends.size() == 2 && start.isValid() && end.isValid() && start != end) {
        net.utc = ends[0];
        if (!ok)
            net.durationMin = int((start.secsTo(end) + 86400) % 86400 / 60);
    }
    return net;
}

QString untilText(const directory::Session& session, const QDateTime& now) {
    if (!session.isValid())
        return {};
    if (session.start <= now)
        return QObject::tr("on now");
    // Rounded up: a session 30 seconds away is "in 1 min", never "in 0 min".
    const qint64 minutes = (now.secsTo(session.start) + 59) / 60;
    if (minutes < 60)
        return QObject::tr("in %1 min").arg(minutes);
    if (minutes < 24 * 60)
        return minutes % 60 ? QObject::tr("in %1 h %2 min").arg(minutes / 60).arg(minutes % 60)
                            : QObject::tr("in %1 h").arg(minutes / 60);
    const qint64 hours = minutes / 60;
    return hours % 24 ? QObject::tr("in %1 d %2 h").arg(hours / 24).arg(hours % 24)
                      : QObject::tr("in %1 d").arg(hours / 24);
}

QString nextSessionText(const core::DirectoryNet& row, const QDateTime& now) {
    const directory::Session session = directory::nextSession(scheduleOf(row), now);
    if (!session.isValid())
        return {};
    const QDateTime local = session.start.toLocalTime();
    return QLocale().toString(local, QStringLiteral("ddd HH:mm")) + QStringLiteral(", ") +
           untilText(session, now);
}

QStringList activeTexts(const QList<core::DirectoryNet>& rows,
                        const QList<core::NetLoggerNet>& active) {
    QHash<QString, QString> checkIns;
    for (const core::NetLoggerNet& net : active)
        checkIns.insert(directory::netNameKey(net.name), net.subscribers);
    QStringList texts;
    for (const core::DirectoryNet& row : rows) {
        const auto found = checkIns.constFind(directory::netNameKey(row.name));
        texts << (found == checkIns.constEnd()
                      ? QString()
                      : QObject::tr("active, %1 check-ins").arg(found.value()));
    }
    return texts;
}

QString reminderText(const Reminder& reminder, const QDateTime& now) {
    const qint64 minutes = (now.secsTo(reminder.start) + 30) / 60;
    const QString when = minutes <= 0   ? QObject::tr("starts now")
                         : minutes == 1 ? QObject::tr("starts in 1 minute")
                                        : QObject::tr("starts in %1 minutes").arg(minutes);
    return QObject::tr("%1 %2 on %3").arg(reminder.name, when, reminder.frequency);
}

Reminders::Reminders(Preferences* preferences, Clock clock, core::DiagnosticSink out,
                     QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_clock(std::move(clock))
    , m_out(std::move(out)) {
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    const QJsonArray stored =
        QJsonDocument::fromJson(m_preferences->text(kRemindersKey).toUtf8()).array();
    for (const QJsonValue& value : stored) {
        const QJsonObject o = value.toObject();
        Reminder r{o.value(u"netId").toString(), o.value(u"name").toString(),
                   o.value(u"frequency").toString(),
                   QDateTime::fromString(o.value(u"start").toString(), Qt::ISODate),
                   QDateTime::fromString(o.value(u"end").toString(), Qt::ISODate)};
        if (r.start.isValid() && r.end.isValid() && !r.name.isEmpty())
            m_list << r;
    }
    connect(&m_timer, &QTimer::timeout, this, &Reminders::check);
    m_timer.start(kCheckEveryMs);
}

int Reminders::leadMinutes() const {
    bool ok = false;
    const int minutes = m_preferences->text(kLeadKey).toInt(&ok);
    return ok && minutes >= 0 && minutes <= 24 * 60 ? minutes : kDefaultLeadMinutes;
}

void Reminders::setLeadMinutes(int minutes) {
    m_preferences->setText(kLeadKey, QString::number(minutes));
    check();
}

bool Reminders::add(const core::DirectoryNet& row) {
    const directory::NetRecord net = scheduleOf(row);
    const QDateTime now = m_clock();
    directory::Session session = directory::nextSession(net, now);
    // A session under way is too late to be reminded of: the next one is meant.
    if (session.isValid() && session.start <= now)
        session = directory::nextSession(net, session.end);
    if (!session.isValid())
        return false;
    m_list.removeIf([&row](const Reminder& r) { return r.netId == row.netId; });
    m_list << Reminder{row.netId, row.name, row.frequency, session.start, session.end};
    save();
    check();
    return true;
}

void Reminders::cancel(int index) {
    if (index < 0 || index >= m_list.size())
        return;
    m_list.removeAt(index);
    save();
}

void Reminders::setListed(const QList<core::DirectoryNet>& rows) {
    for (qsizetype i = m_list.size() - 1; i >= 0; --i) {
        const bool listed = std::any_of(rows.begin(), rows.end(), [&](const auto& row) {
            return row.netId == m_list[i].netId;
        });
        if (!listed)
            drop(i, QStringLiteral("the net is no longer listed"));
    }
}

void Reminders::check() {
    const QDateTime now = m_clock();
    for (qsizetype i = m_list.size() - 1; i >= 0; --i) {
        const Reminder reminder = m_list[i];
        if (now >= reminder.end) {
            drop(i, QStringLiteral("its session ended at %1 UTC")
                        .arg(reminder.end.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
        } else if (now.secsTo(reminder.start) <= qint64(leadMinutes()) * 60) {
            m_list.removeAt(i);
            save();
            emit due(reminderText(reminder, now));
        }
    }
}

void Reminders::drop(qsizetype index, const QString& why) {
    core::writeDiagnostic(
        m_out, QStringLiteral("Reminder for %1 dropped: %2").arg(m_list[index].name, why));
    m_list.removeAt(index);
    save();
}

void Reminders::save() {
    QJsonArray stored;
    for (const Reminder& r : m_list)
        stored << QJsonObject{{QStringLiteral("netId"), r.netId},
                              {QStringLiteral("name"), r.name},
                              {QStringLiteral("frequency"), r.frequency},
                              {QStringLiteral("start"), r.start.toUTC().toString(Qt::ISODate)},
                              {QStringLiteral("end"), r.end.toUTC().toString(Qt::ISODate)}};
    m_preferences->setText(kRemindersKey,
                           QString::fromUtf8(QJsonDocument(stored).toJson(QJsonDocument::Compact)));
    emit changed();
}

} // namespace session
