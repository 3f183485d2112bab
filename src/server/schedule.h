#pragma once

#include "directory/records.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The schedule learned from what NetLogger shows: pure functions of the sessions observed and
// the time they are asked at, so that the rules are tested on tables of sessions.
namespace server {

// One sitting of a net as NetLogger showed it, its values already checked.
struct Observation {
    QString name;
    qint64 frequencyHz = 0;
    QString mode;
    QString band;
    QString netControl;
    QDateTime start;    // UTC, as NetLogger gave it
    QDateTime lastSeen; // UTC, the last harvest that listed it
    int checkins = 0;   // the largest count seen

    bool operator==(const Observation&) const = default;
};

struct LearnedNet {
    // The same for as long as the net keeps its name and its time to within a quarter hour:
    // its identifier in the directory hangs on it.
    QString key;
    directory::NetRecord net; // id 0, no address
    QDateTime lastSeen;

    bool operator==(const LearnedNet&) const = default;
};

// Sessions that start within this many minutes of one another keep the same time.
constexpr int kSameTimeMinutes = 15;
// An entry needs two sittings on a weekday within this window, and drops out when it has not
// been seen for as long.
constexpr int kWindowDays = 28;
// The observations inference needs: those that started this many days before `now` or later.
constexpr int kLookBackDays = 2 * kWindowDays;

// Each net seen starting at about the same UTC time on the same weekday on at least two dates
// within four weeks of its latest such sitting, and seen within four weeks of `now`, gives one
// entry on those weekdays ("daily" from five weekdays on): the median time and duration, the
// frequency, mode and spelling seen most often (the latest among equals). A net keeping
// several times gives several entries. Sessions that start after `now` are left out.
QList<LearnedNet> inferSchedule(const QList<Observation>& observations, const QDateTime& now);

// A NetLogger frequency in hertz: megahertz below 1000, kilohertz from 1000 on, plain decimal
// digits only; nothing when that is not from 0.1 to 3000 MHz.
std::optional<qint64> netLoggerHertz(QStringView text);

// "14.300", "7.0715": megahertz with three to six decimals.
QString megahertzText(qint64 hertz);
// The reverse, for the directory's own decimal text; nothing when it does not read.
std::optional<qint64> megahertzHertz(QStringView text);

} // namespace server
