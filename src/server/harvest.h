#pragma once

#include "server/databaseurl.h"
#include "server/schedule.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace net {
class DeadlineFetch;
class PoliteNetworkAccess;
struct FetchResult;
} // namespace net

namespace server {

class StoragePool;

// A reply larger than this, or nets beyond this many, are not NetLogger's: it lists a few dozen.
constexpr qint64 kMaxHarvestBytes = 4 * 1024 * 1024;
constexpr int kMaxHarvestNets = 2000;

struct HarvestReading {
    QList<Observation> observations;
    QStringList skipped; // "\"NAME\": why", one per net left out
    QString failure;     // why nothing of the reply can be used; "" when it was read
};

// The sessions of one active-nets reply received at `now`. Nets whose values cannot be stored
// or served as they are (markup in a name, a frequency that is not one, a start in the future
// or more than a day ago) are left out, each with its reason; the others are kept.
HarvestReading readActiveNetsReply(const QByteArray& body, const QDateTime& now);

// The log line of one harvest: what was kept, what was left out and why (the first reason).
QString harvestLine(const HarvestReading& reading, int listed);

// Asks NetLogger for its active nets once a minute, no faster and not while it asked for a
// pause, and records each reply in the directory's database on a thread of its own. Every poll
// ends in one log line, also handed to `polled`.
class Harvester : public QObject {
    Q_OBJECT
public:
    struct Options {
        DatabaseUrl database;
        QUrl netLogger; // the host; the path is NetLogger's
        int intervalMs = 60'000;
        int timeoutMs = 30'000;
        std::function<QDateTime()> clock = {}; // now in UTC; the system clock when empty
    };

    explicit Harvester(Options options, QObject* parent = nullptr);
    ~Harvester() override;

    // The first poll at once, then one per interval.
    void start();

signals:
    void polled(const QString& line);
    // A reply was recorded: what the directory lists may have changed (before `polled`).
    void recorded();

private:
    void poll();
    void onReplied(const net::FetchResult& result);
    void report(const QString& line, bool failed);

    Options m_options;
    std::unique_ptr<StoragePool> m_pool;
    net::PoliteNetworkAccess* m_nam;
    net::DeadlineFetch* m_fetch;
    QTimer m_timer;
};

} // namespace server
