#pragma once

#include "core/rows.h"
#include "core/seams.h"
#include "directory/session.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

namespace session {

class Preferences;

// The schedule of a directory row: its days and duration as sent, daily and 60 minutes when the
// service sent none.
directory::NetRecord scheduleOf(const core::DirectoryNet& row);

// How far off a session is: "on now", "in 25 min", "in 2 h 5 min", "in 3 d 4 h"; "" for none.
QString untilText(const directory::Session& session, const QDateTime& now);
// The row's next session in the operator's local time and how far off it is: "Mon 13:00, in
// 25 min"; "" when it has none.
QString nextSessionText(const core::DirectoryNet& row, const QDateTime& now);
// What the Nets tab says of each row that NetLogger shows as active now ("active, 23
// check-ins"), names matched whatever their case, blanks and punctuation; "" for the others.
QStringList activeTexts(const QList<core::DirectoryNet>& rows,
                        const QList<core::NetLoggerNet>& active);

// One net the operator asked to be reminded of: its session, named as the row named it.
struct Reminder {
    QString netId;
    QString name;
    QString frequency;
    QDateTime start; // UTC
    QDateTime end;

    bool operator==(const Reminder&) const = default;
};

// "Maritime Mobile Service Network starts in 5 minutes on 14.300"
QString reminderText(const Reminder& reminder, const QDateTime& now);

// The operator's reminders: each says its text once, the lead time before its session starts,
// and is then done. They are kept in the settings ("reminders", "reminderLeadMinutes"), so they
// survive a restart; one whose session ended while nothing ran, or whose net is no longer
// listed, is dropped with a diagnostic line.
class Reminders : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    static constexpr int kDefaultLeadMinutes = 5;

    Reminders(Preferences* preferences, Clock clock, core::DiagnosticSink out,
              QObject* parent = nullptr);

    const QList<Reminder>& list() const { return m_list; }
    int leadMinutes() const;
    void setLeadMinutes(int minutes);
    // Reminds of the row's next session that has yet to start, in place of one for the same
    // net; false when the row has no session.
    bool add(const core::DirectoryNet& row);
    void cancel(int index);
    // The directory as loaded: reminders of nets it no longer lists are dropped.
    void setListed(const QList<core::DirectoryNet>& rows);
    // Says what is due at the clock's time; the timer calls it, tests may too.
    void check();

signals:
    void due(const QString& announcement);
    void changed();

private:
    void save();
    void drop(qsizetype index, const QString& why);

    Preferences* m_preferences;
    Clock m_clock;
    core::DiagnosticSink m_out;
    QList<Reminder> m_list;
    QTimer m_timer;
};

} // namespace session
