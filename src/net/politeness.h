#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace net {

// The dynamic property of a reply that carries the instant (UTC) before which its host must not
// be asked again: set on replies that asked for a pause and on requests held back for one.
inline constexpr char kWaitUntilProperty[] = "waitUntil";

// The instant a Retry-After value points to: delay seconds or an HTTP date (IMF-fixdate or the
// asctime form), at most a day ahead of `now`. nullopt when the value reads as neither; `now`
// itself when the instant has already passed.
std::optional<QDateTime> retryAfterInstant(QByteArrayView value, const QDateTime& now);

// "api.pota.app asked us to wait until 14:05 UTC"
QString waitText(const QString& host, const QDateTime& until);

// How Bandhopper behaves towards the public services: the User-Agent it names itself with, the
// pauses hosts asked for (HTTP 429 and 503 with Retry-After), and the last time each feed was
// asked, so that nothing automatic asks a feed more than once a minute. The clock is injectable
// so that the rules can be checked without waiting.
class RequestPolicy {
public:
    using Clock = std::function<QDateTime()>;
    static constexpr qint64 kAutomaticSpacingMs = 60'000;

    explicit RequestPolicy(Clock clock = {});

    QDateTime now() const;

    // "Bandhopper/0.93", with " (N0CALL)" once a callsign is set; text that is not a callsign is
    // left out, so that nothing typed can reach a request header.
    void setCallsign(QStringView callsign);
    QByteArray userAgent() const;

    // The instant before which `url`'s host must not be asked; invalid when it may be asked now.
    QDateTime notBefore(const QUrl& url) const;
    // Takes note of an answer from `url`'s host; returns the pause it asked for (invalid for none).
    QDateTime noteAnswer(const QUrl& url, int httpStatus, QByteArrayView retryAfter);

    // Whether something automatic may ask `feed` now: not within a minute of the previous request.
    bool mayAskAutomatically(const QString& feed) const;
    void noteAsked(const QString& feed);
    // When the feed may next be asked by something automatic; now when it may already.
    QDateTime nextAutomatic(const QString& feed) const;

private:
    static QString hostKey(const QUrl& url);

    Clock m_clock;
    QByteArray m_callsign;
    QHash<QString, QDateTime> m_notBefore;
    QHash<QString, QDateTime> m_lastAsked;
};

// The network access of the application: every request names Bandhopper in its User-Agent, every
// pause a host asks for is noted, and a request to a host within its pause fails at once (its
// error text says until when) instead of going out.
class PoliteNetworkAccess : public QNetworkAccessManager {
    Q_OBJECT
public:
    explicit PoliteNetworkAccess(RequestPolicy::Clock clock = {}, QObject* parent = nullptr);

    RequestPolicy& policy() { return m_policy; }

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& original,
                                 QIODevice* outgoingData) override;

private:
    RequestPolicy m_policy;
};

// The policy of `nam` when it is the polite kind; nullptr otherwise.
RequestPolicy* policyOf(QNetworkAccessManager* nam);

} // namespace net
