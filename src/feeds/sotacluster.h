#pragma once

#include "core/rows.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <optional>
#include <vector>

class QTcpSocket;

// SOTA's receive-only spot cluster: a DX cluster on telnet that prompts "login:" (no line feed
// after it), takes the callsign alone, then sends about 30 recent spots and every new one. Its
// lines carry no mode; the first comment token is the summit reference.
namespace feeds {

struct ClusterAddress {
    QString host;
    quint16 port = 0;

    QString text() const { return host + u':' + QString::number(port); }
    bool operator==(const ClusterAddress&) const = default;
};

inline const ClusterAddress kSotaCluster{QStringLiteral("cluster.sota.org.uk"), 7300};

// "host:port" with a port from 1 to 65535; nullopt for anything else.
std::optional<ClusterAddress> readClusterAddress(QStringView text);

struct ClusterSpot {
    QString spotter;
    QString frequency; // megahertz, moved from the spotted kilohertz digit for digit
    QString activator;
    QString summit;      // "W1/DI-009"; "" when the comment names none
    QString mode;        // from the comment, else from the band plan
    QString comment;     // as spotted, the reference included
    int minuteOfDay = 0; // UTC
    bool qrt = false;    // the comment says the activator has closed down
};

// One cluster line, "DX de K1GC:      14054.0  K1GC         W1/DI-009        1704Z", with any
// line end, bells or locator after the time; nullopt for everything else.
std::optional<ClusterSpot> parseClusterLine(QStringView line);

// The mode a frequency in kilohertz has in the band plan: the CW segments and the FT8 and FT4
// windows of the HF bands and 6 m, and the sideband elsewhere.
QString bandPlanMode(double kilohertz);

// The spots of the last three hours on 2 to 69 MHz, one per activator and summit (the newest),
// newest first, as SOTA rows.
class ClusterSpots {
public:
    static constexpr qint64 kKeepMs = 3 * 3600 * 1000;

    // A spot heard at `now`: its time of day is taken on now's date, or the day before when that
    // would put it more than ten minutes ahead. A QRT removes the activator's earlier spots.
    void add(const ClusterSpot& spot, const QDateTime& now);
    QList<core::SotaSpot> rows(const QDateTime& now) const;

private:
    struct Heard {
        qint64 msecs;
        ClusterSpot spot;
    };
    std::vector<Heard> m_heard; // oldest first
};

// The connection to a cluster: log-in when prompted, spots collected as they come, and on any
// loss a new attempt after a back-off of 5 s doubling up to 5 min. Nothing in it blocks.
// After log-in it asks for a prompt every five minutes ("ping5"), so a connection that stays
// silent for twice that is taken for dead: a router may have dropped it without a word.
class ClusterClient : public QObject {
    Q_OBJECT
public:
    // `callsign` must already be a valid one: it is sent as it is.
    ClusterClient(const ClusterAddress& address, const QString& callsign,
                  QObject* parent = nullptr);
    ~ClusterClient() override;

    // The first back-off; the longest is 60 times as long. Tests shorten it.
    void setBackoffBaseMs(int ms);
    // How long the cluster may stay silent before the connection is given up; tests shorten it.
    void setSilenceLimitMs(int ms) { m_silence.setInterval(ms); }
    void start();

    const ClusterAddress& address() const { return m_address; }
    bool loggedIn() const { return m_loggedIn; }
    // The back-off before the pending attempt; 0 when none is pending.
    int retryDelayMs() const { return m_retry.isActive() ? m_retry.interval() : 0; }
    // What the connection is doing when it is not delivering spots; "" when logged in.
    QString stateText() const;
    QList<core::SotaSpot> rows(const QDateTime& now) const { return m_spots.rows(now); }

signals:
    void spotHeard();
    void diagnostic(const QString& line);

private:
    void onReadyRead();
    void onLine(const QByteArray& line);
    void logIn();
    void onLost();
    void onSilent();

    ClusterAddress m_address;
    QByteArray m_callsign;
    QTcpSocket* m_socket = nullptr;
    QTimer m_retry;
    QTimer m_silence;
    QDateTime m_lastHeard;
    QDateTime m_silentSince; // valid while a retry follows a silent connection
    int m_backoffBaseMs = 5000;
    int m_backoffMs = 5000;
    bool m_loggedIn = false;
    QString m_lastError;
    QDateTime m_retryAt;
    ClusterSpots m_spots;
};

} // namespace feeds
