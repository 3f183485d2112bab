#pragma once

#include "directory/records.h"

#include <QDateTime>

namespace directory {

// One sitting of a net, in UTC; the end is exclusive.
struct Session {
    QDateTime start;
    QDateTime end;

    bool isValid() const { return start.isValid(); }
    bool operator==(const Session&) const = default;
};

// The session running at `now` or, when none is, the next one. Weekdays name the UTC day a
// session starts on, so a Monday 2330 net that runs 90 minutes is still Monday's at 0030 Tuesday.
// Invalid when the record has no valid start time or no days.
Session nextSession(const NetRecord& net, const QDateTime& now);

} // namespace directory
