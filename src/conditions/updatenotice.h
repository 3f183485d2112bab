#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace conditions {

// The version of this build.
inline const QString kVersion = QStringLiteral("0.93");

// The body of "/bandhopper/version.txt", trimmed, when it is a short version text (1 to 16
// characters, starting with a digit, only digits, letters, '.' and '-'); nullopt otherwise, so an
// error page or a stray file is never offered as a version.
std::optional<QString> parsePublishedVersion(const QByteArray& body);

struct UpdateAlert {
    QString message;
    QString informative;
    QString firstButton; // opens the installer
    QString secondButton;

    bool operator==(const UpdateAlert&) const = default;
};

// The alert to show when the published version differs from the running one as text (an older
// published version raises it too); nullopt when they are equal or nothing is known.
std::optional<UpdateAlert> updateAlert(const QString& running, const QString& newest);

QUrl installerUrl(const QUrl& makerBase);
QUrl productPageUrl(const QUrl& makerBase);

// Asks the maker's host for the published version. There is no deadline: `finished` comes when
// the answer is in or has failed (10 s transfer time-out). A newer start() supersedes an older.
class VersionFetcher : public QObject {
    Q_OBJECT
public:
    explicit VersionFetcher(QNetworkAccessManager* nam, QObject* parent = nullptr);
    ~VersionFetcher() override;

    void start(const QUrl& makerBase);

signals:
    // The published version, or kVersion when nothing usable came back.
    void finished(const QString& newestVersion);
    void diagnostic(const QString& line);

private:
    void onFinished(QNetworkReply* reply);
    void abandon();

    QNetworkAccessManager* m_nam;
    QPointer<QNetworkReply> m_reply;
};

} // namespace conditions
