#include "nets/netconfirm.h"

#include "core/servicehosts.h"
#include "net/http.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace nets {

namespace {

constexpr int kConfirmTimeoutMs = 30000;

} // namespace

QByteArray confirmBody(const QString& key, const QString& netId, bool confirm) {
    const QJsonObject object{
        {QStringLiteral("key"), key},
        {QStringLiteral("net_id"), netId},
        {QStringLiteral("action"), confirm ? 1 : 0},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QNetworkRequest confirmRequest(const QUrl& makerBase) {
    QNetworkRequest request =
        net::makeRequest(core::serviceUrl(makerBase, QStringLiteral("/netconf.php")),
                         net::CachePolicy::AlwaysNetwork, kConfirmTimeoutMs);
    // The service expects this exact spelling (capital A); a raw header goes out byte for byte.
    request.setRawHeader("Content-Type", "Application/json");
    return request;
}

QString outcomeAnnouncement(bool confirm, bool succeeded, const QString& netName) {
    if (confirm)
        return succeeded ? QStringLiteral("thank you for confirming ") + netName
                         : QStringLiteral("confirmation failed for ") + netName;
    return succeeded ? QStringLiteral("your confirmation of this net has been retracted")
                     : QStringLiteral("retraction failed for ") + netName;
}

NetConfirmer::NetConfirmer(QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_nam(nam) {}

bool NetConfirmer::send(const QUrl& makerBase, const QString& key, const QString& netId,
                        bool confirm, const QString& netName) {
    const QNetworkRequest request = confirmRequest(makerBase);
    if (!core::isWebAddress(request.url())) {
        emit diagnostic(
            QStringLiteral("net %1 not sent for %2: \"%3\" is not a web address")
                .arg(confirm ? QStringLiteral("confirmation") : QStringLiteral("retraction"),
                     netName, makerBase.toString()));
        return false;
    }
    QNetworkReply* reply = m_nam->post(request, confirmBody(key, netId, confirm));
    // The reply body means nothing here; drain it so a large one never piles up in memory.
    connect(reply, &QNetworkReply::readyRead, reply,
            [reply] { reply->skip(reply->bytesAvailable()); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, confirm, netName] { onFinished(reply, confirm, netName); });
    return true;
}

void NetConfirmer::onFinished(QNetworkReply* reply, bool confirm, const QString& netName) {
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The status line is the service's answer; a body cut short after it changes nothing.
    if (status >= 200 && status < 300) {
        emit finished(true, outcomeAnnouncement(confirm, true, netName));
        return;
    }
    fail(confirm, netName,
         status != 0 ? QStringLiteral("HTTP status %1").arg(status) : reply->errorString());
}

void NetConfirmer::fail(bool confirm, const QString& netName, const QString& why) {
    emit diagnostic(
        QStringLiteral("net %1 failed for %2: %3")
            .arg(confirm ? QStringLiteral("confirmation") : QStringLiteral("retraction"), netName,
                 why));
    emit finished(false, outcomeAnnouncement(confirm, false, netName));
}

} // namespace nets
