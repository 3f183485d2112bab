#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace net {

// A reply body larger than this is dropped: a broken server must not exhaust memory.
constexpr qint64 kMaxBodyBytes = 16 * 1024 * 1024;
// Every list load and the band-conditions fetch show what has arrived this long after starting.
constexpr int kDeadlineMs = 2000;
constexpr int kFeedTimeoutMs = 60000;

enum class CachePolicy {
    Default,       // the protocol's default caching
    AlwaysNetwork, // always ask the origin, keep nothing
};

QNetworkRequest makeRequest(const QUrl& url, CachePolicy policy, int timeoutMs);

struct FetchResult {
    bool arrived = false;  // a body (possibly empty) came back; false on transport failure
    bool timedOut = false; // nothing complete by the deadline
    bool tooLarge = false; // dropped for its size
    QByteArray body;
    int httpStatus = 0; // 0 when no HTTP answer
    QString error;      // empty when the transfer succeeded
    // The host asked for no request before this (UTC); invalid when it asked for no pause.
    QDateTime waitUntil = {};
};

// Why a fetch gave nothing usable, in the operator's words ("no reply from api.pota.app within
// 2 s", "HTTP 503 from www.netlogger.org", "api.pota.app asked us to wait until 14:05 UTC"); ""
// when it succeeded.
QString failureText(const FetchResult& result, const QUrl& url, int deadlineMs);

// One fetch at a time with a fixed deadline: `expired` hands over whatever arrived by then.
// A new start() abandons the previous request; its reply and its deadline are dropped.
class DeadlineFetch : public QObject {
    Q_OBJECT
public:
    explicit DeadlineFetch(QNetworkAccessManager* nam, QObject* parent = nullptr);
    ~DeadlineFetch() override;

    void setDeadlineMs(int ms) { m_deadlineMs = ms; }
    void start(const QNetworkRequest& request);
    // Drops the fetch under way, if any: neither its reply nor its deadline is heard of.
    void cancel();
    bool isRunning() const { return m_deadline.isActive(); }

signals:
    // Exactly once per start() that is not superseded, deadline ms after that start.
    void expired(const net::FetchResult& result);
    // As soon as the request has ended, before the deadline; `expired` still follows.
    void replied(const net::FetchResult& result);
    void diagnostic(const QString& line);

private:
    void abandon();
    void onFinished(QNetworkReply* reply);
    void dropOversized(QNetworkReply* reply);

    QNetworkAccessManager* m_nam;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    FetchResult m_result;
    int m_deadlineMs = kDeadlineMs;
};

} // namespace net
