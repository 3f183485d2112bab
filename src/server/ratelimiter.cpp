#include "server/ratelimiter.h"

namespace server {

namespace {
constexpr qint64 kWindowMs = 60'000;
}

RateLimiter::RateLimiter(int limit)
    : m_limit(limit) {}

int RateLimiter::admit(const QString& address, qint64 nowMs) {
    if (m_limit <= 0)
        return 0;
    if (nowMs - m_sweptAt >= kWindowMs) {
        m_sweptAt = nowMs;
        m_times.removeIf([nowMs](QHash<QString, QList<qint64>>::iterator entry) {
            return entry->isEmpty() || entry->last() <= nowMs - kWindowMs;
        });
    }
    QList<qint64>& times = m_times[address];
    while (!times.isEmpty() && times.first() <= nowMs - kWindowMs)
        times.removeFirst();
    if (times.size() >= m_limit)
        return int((times.first() + kWindowMs - nowMs + 999) / 1000);
    times.append(nowMs);
    return 0;
}

} // namespace server
