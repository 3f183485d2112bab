#include "directory/session.h"

#include <QTime>

namespace directory {

Session nextSession(const NetRecord& net, const QDateTime& now) {
    const QTime start = QTime::fromString(net.utc, QStringLiteral("HHmm"));
    if (!start.isValid() || (net.days & kEveryDay) == 0 || net.durationMin <= 0)
        return {};
    const QDateTime utcNow = now.toUTC();
    // A session that started on an earlier day may still be running; look back far enough.
    const int lookBackDays = (net.durationMin + 1439) / 1440;
    for (int day = -lookBackDays; day <= 7; ++day) {
        const QDate date = utcNow.date().addDays(day);
        if (!(net.days & (1 << (date.dayOfWeek() - 1))))
            continue;
        const QDateTime begins(date, start, Qt::UTC);
        const QDateTime ends = begins.addSecs(qint64(net.durationMin) * 60);
        if (ends > utcNow)
            return {begins, ends};
    }
    return {};
}

} // namespace directory
