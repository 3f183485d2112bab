#include "net/http.h"

#include "net/politeness.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <utility>

namespace net {

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
            m_result.timedOut = true;
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

void DeadlineFetch::cancel() {
    abandon();
    m_result = FetchResult{};
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
    m_result.tooLarge = true;
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
    } else {
        m_result.arrived = true;
    }
    m_result.waitUntil = reply->property(kWaitUntilProperty).toDateTime();
    // Last, and a copy: a receiver may start the next fetch right away.
    const FetchResult result = m_result;
    emit replied(result);
}

QString failureText(const FetchResult& result, const QUrl& url, int deadlineMs) {
    const QString host = url.host();
    if (result.waitUntil.isValid())
        return waitText(host, result.waitUntil);
    if (result.timedOut)
        return QStringLiteral("no reply from %1 within %2 s").arg(host).arg(deadlineMs / 1000.0);
    if (result.tooLarge)
        return QStringLiteral("the reply from %1 was too large").arg(host);
    if (!result.arrived)
        return QStringLiteral("%1: %2").arg(host, result.error);
    if (result.httpStatus >= 400)
        return QStringLiteral("HTTP %1 from %2").arg(result.httpStatus).arg(host);
    return {};
}

} // namespace net
