#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace nets {

// Compact JSON object with exactly "key" (string), "net_id" (string) and "action" (1 confirms,
// 0 retracts).
QByteArray confirmBody(const QString& key, const QString& netId, bool confirm);

// POST target "/netconf.php" on the maker's host, always from the origin, 30 s time-out.
QNetworkRequest confirmRequest(const QUrl& makerBase);

// What the operator hears once the service has answered; a failure is said as one, so nobody
// is thanked for a confirmation the service never took.
QString outcomeAnnouncement(bool confirm, bool succeeded, const QString& netName);

// Sends one confirmation or retraction per send(); several may be in flight at once.
class NetConfirmer : public QObject {
    Q_OBJECT
public:
    explicit NetConfirmer(QNetworkAccessManager* nam, QObject* parent = nullptr);

    // False, with one diagnostic line and nothing sent, when the address is not a web address:
    // there is then no outcome to announce.
    bool send(const QUrl& makerBase, const QString& key, const QString& netId, bool confirm,
              const QString& netName);

signals:
    // Once per send() that went out: success is an HTTP 2xx answer; anything else fails with one
    // diagnostic.
    void finished(bool succeeded, const QString& announcement);
    void diagnostic(const QString& line);

private:
    void onFinished(QNetworkReply* reply, bool confirm, const QString& netName);
    void fail(bool confirm, const QString& netName, const QString& why);

    QNetworkAccessManager* m_nam;
};

} // namespace nets
