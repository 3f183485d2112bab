#include "conditions/updatenotice.h"

#include "core/servicehosts.h"
#include "net/http.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace conditions {

namespace {

constexpr int kVersionTimeoutMs = 10000;
// A version text is a few bytes; anything much larger is not one and is not worth downloading.
constexpr qint64 kMaxVersionBytes = 4096;
constexpr qsizetype kMaxVersionChars = 16;

bool isVersionChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '-';
}

} // namespace

std::optional<QString> parsePublishedVersion(const QByteArray& body) {
    QByteArray text = body;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    text = text.trimmed();
    if (text.isEmpty() || text.size() > kMaxVersionChars)
        return std::nullopt;
    if (text.front() < '0' || text.front() > '9')
        return std::nullopt;
    for (const char c : text)
        if (!isVersionChar(c))
            return std::nullopt;
    return QString::fromLatin1(text);
}

std::optional<UpdateAlert> updateAlert(const QString& running, const QString& newest) {
    if (newest.isEmpty() || running == newest)
        return std::nullopt;
    return UpdateAlert{QStringLiteral("Bandhopper"),
                       QStringLiteral("v") + newest + QStringLiteral(" is now available."),
                       QStringLiteral("Download"), QStringLiteral("OK")};
}

QUrl installerUrl(const QUrl& makerBase) {
    return core::serviceUrl(makerBase, QStringLiteral("/bandhopper/Installer.dmg"));
}

QUrl productPageUrl(const QUrl& makerBase) {
    return core::serviceUrl(makerBase, QStringLiteral("/bandhopper/"));
}

VersionFetcher::VersionFetcher(QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_nam(nam) {}

VersionFetcher::~VersionFetcher() {
    abandon();
}

void VersionFetcher::start(const QUrl& makerBase) {
    abandon();
    const QUrl url = core::serviceUrl(makerBase, QStringLiteral("/bandhopper/version.txt"));
    QNetworkReply* reply =
        m_nam->get(net::makeRequest(url, net::CachePolicy::Default, kVersionTimeoutMs));
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxVersionBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
}

void VersionFetcher::abandon() {
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void VersionFetcher::onFinished(QNetworkReply* reply) {
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();

    std::optional<QString> published;
    if (reply->error() != QNetworkReply::NoError) {
        emit diagnostic(QStringLiteral("version check failed: ") + reply->errorString());
    } else {
        // Padding must not make a large reply pass as a version once trimmed.
        const QByteArray body = reply->read(kMaxVersionBytes + 1);
        if (body.size() <= kMaxVersionBytes)
            published = parsePublishedVersion(body);
        if (!published)
            emit diagnostic(QStringLiteral("version check: no version in the reply"));
    }
    emit finished(published.value_or(kVersion));
}

} // namespace conditions
