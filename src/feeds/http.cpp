#include "feeds/http.h"

#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <utility>

namespace feeds {

namespace {

// Errors below 200 are connection, TLS, time-out and proxy failures: nothing usable came
// back. Higher codes describe an HTTP answer whose body the consumer may still read.
bool isTransportFailure(QNetworkReply::NetworkError error) {
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

QString requestText(const QNetworkReply* reply) {
    return QStringLiteral("GET ") + reply->request().url().toDisplayString();
}

} // namespace

QNetworkRequest makeRequest(const QUrl& url, CachePolicy policy, int timeoutMs) {
    QNetworkRequest request(url);
    if (policy == CachePolicy::AlwaysNetwork) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }
    request.setTransferTimeout(timeoutMs);
    return request;
}

DeadlineFetch::DeadlineFetch(QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_nam(nam) {
    m_deadline.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, before the reply had its full two seconds.
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (QNetworkReply* late = m_reply.data()) {
            // Still running: whatever trickled in so far is not a reply.
            const QString what = requestText(late);
            abandon();
            m_result = FetchResult{};
            m_result.error = QStringLiteral("no reply within %1 ms").arg(m_deadlineMs);
            emit diagnostic(what + QStringLiteral(" gave no reply within %1 ms").arg(m_deadlineMs));
        }
        // A copy, because a receiver may start the next fetch right away.
        const FetchResult result = std::exchange(m_result, FetchResult{});
        emit expired(result);
    });
}

DeadlineFetch::~DeadlineFetch() {
    abandon();
}

void DeadlineFetch::start(const QNetworkRequest& request) {
    abandon();
    m_result = FetchResult{};
    QNetworkReply* reply = m_nam->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaxBodyBytes)
            dropOversized(reply);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        // Drained as it comes, so the limit counts what was really received.
        m_result.body += reply->readAll();
        if (m_result.body.size() > kMaxBodyBytes)
            dropOversized(reply);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
    m_deadline.start(m_deadlineMs);
}

void DeadlineFetch::abandon() {
    m_deadline.stop();
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
}

void DeadlineFetch::dropOversized(QNetworkReply* reply) {
    if (reply != m_reply)
        return;
    const QString line =
        requestText(reply) +
        QStringLiteral(" dropped: the reply is larger than %1 bytes").arg(kMaxBodyBytes);
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    m_result = FetchResult{};
    m_result.error = QStringLiteral("reply larger than %1 bytes").arg(kMaxBodyBytes);
    emit diagnostic(line);
}

void DeadlineFetch::onFinished(QNetworkReply* reply) {
    if (reply != m_reply)
        return;
    m_result.body += reply->readAll();
    if (m_result.body.size() > kMaxBodyBytes) {
        dropOversized(reply);
        return;
    }
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_result.httpStatus = status.isValid() ? status.toInt() : 0;
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError)
        m_result.error = reply->errorString();

    if (isTransportFailure(error) || (error != QNetworkReply::NoError && !status.isValid())) {
        const QString message = m_result.error;
        m_result = FetchResult{};
        m_result.error = message;
        emit diagnostic(requestText(reply) + QStringLiteral(" failed: ") + message);
        return;
    }
    m_result.arrived = true;
}

QString feedPath(ListKind kind) {
    switch (kind) {
    case ListKind::Pota:
        return QStringLiteral("/spot/activator");
    case ListKind::Sota:
        return QStringLiteral("/api/spots/-3/all");
    case ListKind::NetLogger:
        return QStringLiteral("/api/GetActiveNets.php");
    case ListKind::Nets:
        return QStringLiteral("/nets.php");
    case ListKind::MW:
        return QStringLiteral("/mw.php");
    }
    return {};
}

QUrl feedUrl(ListKind kind, const ServiceHosts& hosts) {
    switch (kind) {
    case ListKind::Pota:
        return serviceUrl(hosts.pota, feedPath(kind));
    case ListKind::Sota:
        return serviceUrl(hosts.sota, feedPath(kind));
    case ListKind::NetLogger:
        return serviceUrl(hosts.netLogger, feedPath(kind));
    case ListKind::Nets:
    case ListKind::MW:
        return serviceUrl(hosts.maker, feedPath(kind));
    }
    return {};
}

namespace {

// The maker's lists change with every confirmation, so they always go to the origin.
CachePolicy cachePolicy(ListKind kind) {
    return kind == ListKind::Nets || kind == ListKind::MW ? CachePolicy::AlwaysNetwork
                                                          : CachePolicy::Default;
}

ParsedRows parseBody(ListKind kind, const QByteArray& body, const QDateTime& now) {
    switch (kind) {
    case ListKind::Pota:
        return parsePotaSpots(body, now);
    case ListKind::Sota:
        return parseSotaSpots(body, now);
    case ListKind::NetLogger:
        return {parseNetLoggerNets(decodeFeedText(body)), {}};
    case ListKind::Nets:
        return {parseNetsDirectory(decodeFeedText(body)), {}};
    case ListKind::MW:
        return {parseMWStations(decodeFeedText(body)), {}};
    }
    return {};
}

} // namespace

FeedLoader::FeedLoader(ListKind kind, QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_fetch(nam) {
    connect(&m_fetch, &DeadlineFetch::diagnostic, this, &FeedLoader::diagnostic);
    connect(&m_fetch, &DeadlineFetch::expired, this, [this](const FetchResult& result) {
        // The HTTP status is not looked at: an error page simply yields no rows.
        const ParsedRows parsed =
            result.arrived ? parseBody(m_kind, result.body, m_now) : ParsedRows{};
        for (const QString& line : parsed.diagnostics)
            emit diagnostic(line);
        emit shown(parsed.rows);
    });
}

void FeedLoader::start(const QUrl& url, const QDateTime& now) {
    m_now = now;
    m_fetch.start(makeRequest(url, cachePolicy(m_kind), kFeedTimeoutMs));
}

} // namespace feeds
