#include "server/schedule.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <bit>
#include <cmath>

namespace server {

namespace {

constexpr int kMinutesPerDay = 1440;
constexpr qint64 kDaySeconds = 86400;
// Learned nets that keep more times than this are noise rather than a schedule.
constexpr int kMaxSlotsPerNet = 4;

struct Sitting {
    const Observation* seen;
    int minute;   // of the UTC day the session starts on
    int weekday;  // 0 Monday
    qint64 start; // seconds since the epoch
};

// Signed distance from `from` to `to` around the clock, from -720 to 719 minutes.
int clockOffset(int from, int to) {
    int d = (to - from) % kMinutesPerDay;
    if (d < -kMinutesPerDay / 2)
        d += kMinutesPerDay;
    if (d >= kMinutesPerDay / 2)
        d -= kMinutesPerDay;
    return d;
}

template <typename T> T median(QList<T> values) {
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : T(std::floor((values[n / 2 - 1] + values[n / 2]) / 2.0));
}

// The value seen most often; among equals the one seen last (sittings are in start order).
template <typename T, typename Get> T mostFrequent(const QList<Sitting>& sittings, Get get) {
    QHash<T, int> counts;
    int top = 0;
    for (const Sitting& s : sittings)
        top = std::max(top, ++counts[get(*s.seen)]);
    for (auto it = sittings.rbegin(); it != sittings.rend(); ++it)
        if (counts.value(get(*it->seen)) == top)
            return get(*it->seen);
    return T{};
}

struct Slot {
    directory::Weekdays days = 0;
    QList<Sitting> members; // those that make the entry
    int score = 0;
};

// The weekdays on which the sittings near `anchor` qualify, and the sittings that count. The
// four weeks run back from the latest of them, so that a net that stops keeps its days until
// it drops out whole.
Slot slotAround(const QList<Sitting>& sittings, int anchor, qint64 now) {
    QList<Sitting> near;
    for (const Sitting& s : sittings)
        if (std::abs(clockOffset(anchor, s.minute)) <= kSameTimeMinutes)
            near.append(s);
    Slot slot;
    if (near.isEmpty() || near.last().start <= now - kWindowDays * kDaySeconds)
        return slot;
    const qint64 from = near.last().start - kWindowDays * kDaySeconds;
    QSet<qint64> dates[7];
    for (const Sitting& s : near)
        if (s.start > from)
            dates[s.weekday].insert(s.start / kDaySeconds);
    for (const Sitting& s : near) {
        if (s.start <= from || dates[s.weekday].size() < 2)
            continue;
        slot.days |= directory::Weekdays(1 << s.weekday);
        slot.members.append(s);
    }
    for (const QSet<qint64>& onDay : dates)
        slot.score += onDay.size() >= 2 ? int(onDay.size()) : 0;
    return slot;
}

LearnedNet entryOf(const QString& nameKey, const Slot& slot, int anchor) {
    QList<int> offsets, durations;
    QDateTime lastSeen;
    for (const Sitting& s : slot.members) {
        offsets.append(clockOffset(anchor, s.minute));
        const qint64 seconds = s.seen->start.secsTo(s.seen->lastSeen);
        durations.append(int(std::clamp<qint64>((seconds + 30) / 60, 1, kMinutesPerDay)));
        lastSeen = std::max(lastSeen, s.seen->lastSeen);
    }
    const int minute =
        ((anchor + median(offsets)) % kMinutesPerDay + kMinutesPerDay) % kMinutesPerDay;
    const int quarter = (minute + 7) / 15 * 15 % kMinutesPerDay;
    const auto hhmm = [](int m) {
        return QStringLiteral("%1%2")
            .arg(m / 60, 2, 10, QChar(u'0'))
            .arg(m % 60, 2, 10, QChar(u'0'));
    };

    LearnedNet learned;
    learned.key = nameKey + u'@' + hhmm(quarter);
    directory::NetRecord& net = learned.net;
    net.name = mostFrequent<QString>(slot.members, [](const Observation& o) { return o.name; });
    net.frequencyMhz = megahertzText(
        mostFrequent<qint64>(slot.members, [](const Observation& o) { return o.frequencyHz; }));
    net.mode = mostFrequent<QString>(slot.members, [](const Observation& o) { return o.mode; });
    net.utc = hhmm(minute);
    net.days = std::popcount(slot.days) >= 5 ? directory::kEveryDay : slot.days;
    net.durationMin = median(durations);
    learned.lastSeen = lastSeen;
    return learned;
}

} // namespace

QList<LearnedNet> inferSchedule(const QList<Observation>& observations, const QDateTime& now) {
    const qint64 nowSeconds = now.toSecsSinceEpoch();
    QMap<QString, QList<Sitting>> byName; // ordered, so that the entries come out the same
    for (const Observation& o : observations) {
        const QDateTime start = o.start.toUTC();
        const qint64 seconds = start.toSecsSinceEpoch();
        if (!start.isValid() || seconds > nowSeconds ||
            seconds <= nowSeconds - kLookBackDays * kDaySeconds)
            continue;
        const QString key = directory::netNameKey(o.name);
        if (key.isEmpty())
            continue;
        byName[key].append({&o, start.time().hour() * 60 + start.time().minute(),
                            start.date().dayOfWeek() - 1, seconds});
    }

    QList<LearnedNet> learned;
    for (auto it = byName.begin(); it != byName.end(); ++it) {
        QList<Sitting> left = it.value();
        std::sort(left.begin(), left.end(),
                  [](const Sitting& a, const Sitting& b) { return a.start < b.start; });
        QSet<QString> keys;
        for (int n = 0; n < kMaxSlotsPerNet && !left.isEmpty(); ++n) {
            // The time that gathers the most qualifying sittings; the first seen among equals.
            Slot best;
            int anchor = 0;
            for (const Sitting& candidate : left) {
                Slot slot = slotAround(left, candidate.minute, nowSeconds);
                if (slot.score > best.score) {
                    best = std::move(slot);
                    anchor = candidate.minute;
                }
            }
            if (best.score == 0)
                break;
            LearnedNet entry = entryOf(it.key(), best, anchor);
            while (keys.contains(entry.key))
                entry.key += u'+';
            keys.insert(entry.key);
            learned.append(entry);
            left.removeIf([anchor](const Sitting& s) {
                return std::abs(clockOffset(anchor, s.minute)) <= kSameTimeMinutes;
            });
        }
    }
    return learned;
}

std::optional<qint64> netLoggerHertz(QStringView text) {
    static const QRegularExpression decimal(QStringLiteral("^([0-9]{1,7})(?:\\.([0-9]{0,9}))?$"));
    const auto match = decimal.match(text.toString());
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 whole = match.capturedView(1).toLongLong();
    const QString fraction = (match.captured(2) + QStringLiteral("000000000")).left(9);
    // Nine decimals of a megahertz or of a kilohertz, in millihertz.
    const qint64 nano = whole * 1'000'000'000 + fraction.toLongLong();
    const qint64 hertz = whole < 1000 ? nano / 1000 : nano / 1'000'000;
    if (hertz < 100'000 || hertz > 3'000'000'000)
        return std::nullopt;
    return hertz;
}

QString megahertzText(qint64 hertz) {
    QString text =
        QStringLiteral("%1.%2").arg(hertz / 1'000'000).arg(hertz % 1'000'000, 6, 10, QChar(u'0'));
    while (text.size() - text.indexOf(u'.') > 4 && text.endsWith(u'0'))
        text.chop(1);
    return text;
}

std::optional<qint64> megahertzHertz(QStringView text) {
    static const QRegularExpression decimal(QStringLiteral("^([0-9]{1,5})(?:\\.([0-9]{0,6}))?$"));
    const auto match = decimal.match(text.toString());
    if (!match.hasMatch())
        return std::nullopt;
    return match.capturedView(1).toLongLong() * 1'000'000 +
           (match.captured(2) + QStringLiteral("000000")).left(6).toLongLong();
}

} // namespace server
