#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace server {

// At most `limit` events per address in any sliding minute; 0 lets everything through. Memory
// stays bounded: an address keeps at most `limit` times, and addresses quiet for a minute go.
class RateLimiter {
public:
    explicit RateLimiter(int limit);

    // 0 when the event may go ahead (and is counted); otherwise the seconds until it may.
    int admit(const QString& address, qint64 nowMs);

private:
    int m_limit;
    QHash<QString, QList<qint64>> m_times; // oldest first
    qint64 m_sweptAt = 0;
};

} // namespace server
