#include "net/politeness.h"

#include "core/callsign.h"

#include <QLocale>
#include <QMetaObject>
#include <QNetworkReply>
#include <QTimeZone>

namespace net {

namespace {

constexpr qint64 kLongestPauseSecs = 24 * 3600;

// Stands in for a request that must not go out yet: it fails on the next turn of the event loop,
// as a real reply would, once its caller has connected to it.
class HeldBackReply final : public QNetworkReply {
public:
    HeldBackReply(const QNetworkRequest& request, QNetworkAccessManager::Operation op,
                  const QDateTime& until, QObject* parent)
        : QNetworkReply(parent) {
        setRequest(request);
        setUrl(request.url());
        setOperation(op);
        setProperty(kWaitUntilProperty, until);
        setError(OperationCanceledError, waitText(request.url().host(), until));
        open(QIODevice::ReadOnly);
        QMetaObject::invokeMethod(
            this,
            [this] {
                setFinished(true);
                emit errorOccurred(error());
                emit finished();
            },
            Qt::QueuedConnection);
    }
    void abort() override {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
};

} // namespace

std::optional<QDateTime> retryAfterInstant(QByteArrayView value, const QDateTime& now) {
    const QString text = QString::fromLatin1(value).simplified();
    if (text.isEmpty())
        return std::nullopt;
    QDateTime until;
    bool digitsOnly = true;
    for (QChar c : text)
        digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
    if (digitsOnly) {
        // Beyond nine digits the delay is longer than the longest pause anyway.
        until = now.addSecs(text.size() > 9 ? kLongestPauseSecs
                                            : std::min(text.toLongLong(), kLongestPauseSecs));
    } else {
        const QLocale c = QLocale::c();
        for (const QString& format : {QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"),
                                      QStringLiteral("ddd MMM d HH:mm:ss yyyy")}) {
            until = c.toDateTime(text, format);
            if (until.isValid())
                break;
        }
        if (!until.isValid())
            return std::nullopt;
        until.setTimeZone(QTimeZone::utc());
        until = std::clamp(until, now, now.addSecs(kLongestPauseSecs));
    }
    return until.toUTC();
}

QString waitText(const QString& host, const QDateTime& until) {
    const QDateTime utc = until.toUTC();
    const QString clock = utc.toString(utc.time().second() == 0 ? QStringLiteral("HH:mm")
                                                                : QStringLiteral("HH:mm:ss"));
    return QStringLiteral("%1 asked us to wait until %2 UTC").arg(host, clock);
}

RequestPolicy::RequestPolicy(Clock clock)
    : m_clock(std::move(clock)) {}

QDateTime RequestPolicy::now() const {
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

void RequestPolicy::setCallsign(QStringView callsign) {
    m_callsign = core::readCallsign(callsign).value_or(QString()).toLatin1();
}

QByteArray RequestPolicy::userAgent() const {
    QByteArray agent = "Bandhopper/" BANDHOPPER_VERSION;
    if (!m_callsign.isEmpty())
        agent += " (" + m_callsign + ')';
    return agent;
}

QString RequestPolicy::hostKey(const QUrl& url) {
    return url.host().toLower() + u':' +
           QString::number(url.port(url.scheme() == u"http" ? 80 : 443));
}

QDateTime RequestPolicy::notBefore(const QUrl& url) const {
    const QDateTime until = m_notBefore.value(hostKey(url));
    return until.isValid() && until > now() ? until : QDateTime();
}

QDateTime RequestPolicy::noteAnswer(const QUrl& url, int httpStatus, QByteArrayView retryAfter) {
    // Only these two statuses ask for a pause; elsewhere the header means nothing to a GET.
    if (httpStatus != 429 && httpStatus != 503)
        return {};
    const QDateTime at = now();
    const std::optional<QDateTime> until = retryAfterInstant(retryAfter, at);
    if (!until || *until <= at)
        return {};
    m_notBefore.insert(hostKey(url), *until);
    return *until;
}

bool RequestPolicy::mayAskAutomatically(const QString& feed) const {
    const QDateTime last = m_lastAsked.value(feed);
    if (!last.isValid())
        return true;
    const qint64 since = last.msecsTo(now());
    // A clock set back must not silence a feed for longer than the spacing.
    return since < 0 || since >= kAutomaticSpacingMs;
}

QDateTime RequestPolicy::nextAutomatic(const QString& feed) const {
    if (mayAskAutomatically(feed))
        return now();
    return m_lastAsked.value(feed).addMSecs(kAutomaticSpacingMs);
}

void RequestPolicy::noteAsked(const QString& feed) {
    m_lastAsked.insert(feed, now());
}

PoliteNetworkAccess::PoliteNetworkAccess(RequestPolicy::Clock clock, QObject* parent)
    : QNetworkAccessManager(parent)
    , m_policy(std::move(clock)) {}

QNetworkReply* PoliteNetworkAccess::createRequest(Operation op, const QNetworkRequest& original,
                                                  QIODevice* outgoingData) {
    QNetworkRequest request(original);
    request.setHeader(QNetworkRequest::UserAgentHeader, m_policy.userAgent());
    if (const QDateTime until = m_policy.notBefore(request.url()); until.isValid())
        return new HeldBackReply(request, op, until, this);
    QNetworkReply* reply = QNetworkAccessManager::createRequest(op, request, outgoingData);
    // The headers arrive before the body, so whoever reads the reply at its end finds the pause.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QDateTime until =
            m_policy.noteAnswer(reply->url(), status, reply->rawHeader("Retry-After"));
        if (until.isValid())
            reply->setProperty(kWaitUntilProperty, until);
    });
    return reply;
}

RequestPolicy* policyOf(QNetworkAccessManager* nam) {
    auto* polite = qobject_cast<PoliteNetworkAccess*>(nam);
    return polite ? &polite->policy() : nullptr;
}

} // namespace net
