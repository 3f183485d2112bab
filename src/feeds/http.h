#pragma once

#include "feeds/rows.h"
#include "feeds/servicehosts.h"

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

namespace feeds {

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
    bool arrived = false; // a body (possibly empty) came back; false on transport failure
    QByteArray body;
    int httpStatus = 0; // 0 when no HTTP answer
    QString error;      // empty when the transfer succeeded
};

// One fetch at a time with a fixed deadline: `expired` hands over whatever arrived by then.
// A new start() abandons the previous request; its reply and its deadline are dropped.
class DeadlineFetch : public QObject {
    Q_OBJECT
public:
    explicit DeadlineFetch(QNetworkAccessManager* nam, QObject* parent = nullptr);
    ~DeadlineFetch() override;

    void setDeadlineMs(int ms) { m_deadlineMs = ms; }
    void start(const QNetworkRequest& request);
    bool isRunning() const { return m_deadline.isActive(); }

signals:
    // Exactly once per start() that is not superseded, deadline ms after that start.
    void expired(const feeds::FetchResult& result);
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

// Path of each list on its host, and the full address.
QString feedPath(ListKind kind);
QUrl feedUrl(ListKind kind, const ServiceHosts& hosts);

// Loads one list: request, 2.0 s deadline, parse into rows. A newer start() supersedes an older
// load, so late rows never join a newer load's list.
class FeedLoader : public QObject {
    Q_OBJECT
public:
    FeedLoader(ListKind kind, QNetworkAccessManager* nam, QObject* parent = nullptr);

    ListKind kind() const { return m_kind; }
    void setDeadlineMs(int ms) { m_fetch.setDeadlineMs(ms); }
    // `now` is the reference instant of the spot ages, taken before the request goes out.
    void start(const QUrl& url, const QDateTime& now = QDateTime::currentDateTimeUtc());

signals:
    // Once per load that is not superseded, 2.0 s after its start, in table order.
    void shown(const feeds::Rows& rows);
    void diagnostic(const QString& line);

private:
    ListKind m_kind;
    DeadlineFetch m_fetch;
    QDateTime m_now;
};

} // namespace feeds
