#pragma once

#include "log/contact.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

class QNetworkAccessManager;
class QUdpSocket;

namespace logbook {

class LogStore;

// The "Logged ADIF" message (type 12) of WSJT-X's UDP protocol as its message layout documents
// it: QDataStream (big-endian, Qt 5.4 serialisation) of the magic number 0xadbccbda, schema 2,
// the type, the sender's id and the ADIF text, both as utf8 (a 32-bit byte count, then the
// bytes).
QByteArray loggedAdifMessage(const QString& id, const QByteArray& adif);

// The body of Wavelog's and Cloudlog's `POST {base}/index.php/api/qso`.
QByteArray webLogBody(const QString& key, const QString& stationProfileId,
                      const QByteArray& record);
// Whether the web log took the contact, from its answer (HTTP status 0: no answer), and why not.
struct Delivery {
    bool delivered = false;
    QString why;
};
Delivery webLogOutcome(int httpStatus, const QByteArray& body, const QString& host);
// {base}/index.php/api/qso, whether `base` ends in a slash or not.
QUrl webLogEndpoint(const QUrl& base);

// Somewhere a logged contact goes. deliver() is answered by exactly one `done`, never before it
// returns.
class Destination : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // What the store records its deliveries under: "udp", "weblog", "adif-file".
    virtual QString id() const = 0;
    // What the operator reads: "UDP 127.0.0.1:2237".
    virtual QString title() const = 0;
    virtual void deliver(const Contact& contact) = 0;

signals:
    void done(bool delivered, const QString& why);
};

class UdpDestination : public Destination {
    Q_OBJECT
public:
    UdpDestination(const QString& host, quint16 port, QObject* parent = nullptr);
    QString id() const override { return QStringLiteral("udp"); }
    QString title() const override;
    void deliver(const Contact& contact) override;

private:
    QString m_host;
    quint16 m_port;
    QUdpSocket* m_socket;
};

class WebLogDestination : public Destination {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 10000;
    WebLogDestination(QNetworkAccessManager* nam, const QUrl& base, const QString& key,
                      const QString& stationProfileId, QObject* parent = nullptr);
    QString id() const override { return QStringLiteral("weblog"); }
    QString title() const override;
    void deliver(const Contact& contact) override;
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    QNetworkAccessManager* m_nam;
    QUrl m_base;
    QString m_key;
    QString m_stationProfileId;
    int m_timeoutMs = kTimeoutMs;
};

// Appends each contact to an ADIF file another program watches (the header first, when the
// file is new or empty).
class AdifFileDestination : public Destination {
    Q_OBJECT
public:
    AdifFileDestination(const QString& path, QObject* parent = nullptr);
    QString id() const override { return QStringLiteral("adif-file"); }
    QString title() const override;
    void deliver(const Contact& contact) override;

private:
    QString m_path;
};

// Sends each destination its undelivered contacts, oldest first, one at a time; a failure stops
// that destination (the contact stays undelivered) until the next sendUnsent().
class LogSender : public QObject {
    Q_OBJECT
public:
    explicit LogSender(LogStore* store, QObject* parent = nullptr);
    ~LogSender() override;

    void setDestinations(std::vector<std::unique_ptr<Destination>> destinations);
    QStringList destinationIds() const;
    void sendUnsent();
    bool isSending() const { return !m_busy.isEmpty(); }
    // How many deliveries wait, over every destination.
    int unsentCount() const;

signals:
    void delivered(qint64 contactId, const QString& destination);
    // "Not sent to UDP 127.0.0.1:2237: ...; 2 contacts wait to be sent"
    void failed(const QString& line);
    // Every destination has finished this round.
    void finished(int unsent);

private:
    void sendNext(Destination* destination);
    void finishOne(Destination* destination);

    LogStore* m_store;
    std::vector<std::unique_ptr<Destination>> m_destinations;
    QHash<Destination*, qint64> m_busy; // the contact under way
    bool m_starting = false;
};

} // namespace logbook

class QSettings;

namespace logbook {

// Where logged contacts go, as Preferences, Logging sets them.
struct DestinationSettings {
    bool udp = false;
    QString udpHost = QStringLiteral("127.0.0.1");
    quint16 udpPort = 2237;
    bool webLog = false;
    QUrl webLogUrl;
    QString webLogStationId;
    QString adifFile; // "" for none

    static DestinationSettings read(const QSettings& settings);
    void write(QSettings& settings) const;
    // The destinations set on; the web log's key is kept apart, in the keychain.
    std::vector<std::unique_ptr<Destination>> make(QNetworkAccessManager* nam,
                                                   const QString& webLogKey) const;
    QStringList ids() const;
};

// The keychain entry and settings key of the web log's API key.
inline constexpr char kWebLogKeyName[] = "webLogKey";

} // namespace logbook
