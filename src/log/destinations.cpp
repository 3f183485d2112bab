#include "log/destinations.h"

#include "log/adif.h"
#include "log/logstore.h"
#include "net/http.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QHostInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUdpSocket>

namespace logbook {

namespace {

constexpr quint32 kMagic = 0xadbccbda;
constexpr quint32 kSchema = 2;
constexpr quint32 kLoggedAdif = 12;

QString version() {
    const QString v = QCoreApplication::applicationVersion();
    return v.isEmpty() ? QStringLiteral("0") : v;
}

} // namespace

QByteArray loggedAdifMessage(const QString& id, const QByteArray& adif) {
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_5_4);
    stream.setByteOrder(QDataStream::BigEndian);
    stream << kMagic << kSchema << kLoggedAdif << id.toUtf8() << adif;
    return out;
}

QByteArray webLogBody(const QString& key, const QString& stationProfileId,
                      const QByteArray& record) {
    const QJsonObject body{{QStringLiteral("key"), key},
                           {QStringLiteral("station_profile_id"), stationProfileId},
                           {QStringLiteral("type"), QStringLiteral("adif")},
                           {QStringLiteral("string"), QString::fromUtf8(record)}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QUrl webLogEndpoint(const QUrl& base) {
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    url.setPath(path + QStringLiteral("index.php/api/qso"));
    return url;
}

Delivery webLogOutcome(int httpStatus, const QByteArray& body, const QString& host) {
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QString status = answer.value(QStringLiteral("status")).toString();
    QString reason = answer.value(QStringLiteral("reason")).toString();
    if (reason.isEmpty())
        reason = answer.value(QStringLiteral("messages")).toVariant().toStringList().join(u' ');
    // Created (201) is the documented answer; a 2xx that reports a failure in its body is none.
    if (httpStatus / 100 == 2 && status != u"failed" && status != u"abort")
        return {true, {}};
    const QString detail = reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason);
    if (httpStatus == 401 || httpStatus == 403)
        return {false, QStringLiteral("%1 refused the API key or the station profile (HTTP %2)%3")
                           .arg(host)
                           .arg(httpStatus)
                           .arg(detail)};
    if (httpStatus == 0)
        return {false, QStringLiteral("no answer from %1").arg(host)};
    return {false, QStringLiteral("HTTP %1 from %2%3").arg(httpStatus).arg(host, detail)};
}

UdpDestination::UdpDestination(const QString& host, quint16 port, QObject* parent)
    : Destination(parent)
    , m_host(host)
    , m_port(port)
    , m_socket(new QUdpSocket(this)) {}

QString UdpDestination::title() const {
    return QStringLiteral("UDP %1:%2").arg(m_host).arg(m_port);
}

void UdpDestination::deliver(const Contact& contact) {
    const QByteArray datagram = loggedAdifMessage(
        QStringLiteral("Bandhopper"),
        adifHeader(version(), QDateTime::currentDateTimeUtc()) + adifRecord(contact));
    // The lookup answers on a later turn of the event loop, also for an address.
    QHostInfo::lookupHost(m_host, this, [this, datagram](const QHostInfo& info) {
        if (info.addresses().isEmpty()) {
            emit done(false,
                      QStringLiteral("%1: unknown host (%2)").arg(m_host, info.errorString()));
            return;
        }
        const qint64 written = m_socket->writeDatagram(datagram, info.addresses().first(), m_port);
        if (written != datagram.size())
            emit done(false, m_socket->errorString());
        else
            emit done(true, {});
    });
}

WebLogDestination::WebLogDestination(QNetworkAccessManager* nam, const QUrl& base,
                                     const QString& key, const QString& stationProfileId,
                                     QObject* parent)
    : Destination(parent)
    , m_nam(nam)
    , m_base(base)
    , m_key(key)
    , m_stationProfileId(stationProfileId) {}

QString WebLogDestination::title() const {
    return QStringLiteral("the web log at %1").arg(m_base.host());
}

void WebLogDestination::deliver(const Contact& contact) {
    QNetworkRequest request =
        net::makeRequest(webLogEndpoint(m_base), net::CachePolicy::AlwaysNetwork, m_timeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("Accept", "application/json");
    QNetworkReply* reply =
        m_nam->post(request, webLogBody(m_key, m_stationProfileId, adifRecord(contact)));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->isOpen() ? reply->read(net::kMaxBodyBytes) : QByteArray();
        Delivery outcome = webLogOutcome(status, body, m_base.host());
        if (status == 0 && reply->error() == QNetworkReply::OperationCanceledError)
            outcome.why = QStringLiteral("no answer from %1 within %2 s")
                              .arg(m_base.host())
                              .arg(QString::number(m_timeoutMs / 1000.0, 'g', 3));
        else if (status == 0)
            outcome.why =
                QStringLiteral("no answer from %1: %2").arg(m_base.host(), reply->errorString());
        emit done(outcome.delivered, outcome.why);
    });
}

AdifFileDestination::AdifFileDestination(const QString& path, QObject* parent)
    : Destination(parent)
    , m_path(path) {}

QString AdifFileDestination::title() const {
    return QStringLiteral("the ADIF file %1").arg(m_path);
}

void AdifFileDestination::deliver(const Contact& contact) {
    QFile file(m_path);
    bool ok = file.open(QIODevice::Append);
    QByteArray bytes = adifRecord(contact);
    if (ok && file.size() == 0)
        bytes.prepend(adifHeader(version(), QDateTime::currentDateTimeUtc()));
    ok = ok && file.write(bytes) == bytes.size() && file.flush();
    const QString why = ok ? QString() : QStringLiteral("%1: %2").arg(m_path, file.errorString());
    QTimer::singleShot(0, this, [this, ok, why] { emit done(ok, why); });
}

LogSender::LogSender(LogStore* store, QObject* parent)
    : QObject(parent)
    , m_store(store) {}

LogSender::~LogSender() = default;

void LogSender::setDestinations(std::vector<std::unique_ptr<Destination>> destinations) {
    for (auto& old : m_destinations)
        old->disconnect(this);
    m_busy.clear();
    m_destinations = std::move(destinations);
    for (auto& destination : m_destinations) {
        Destination* d = destination.get();
        connect(d, &Destination::done, this, [this, d](bool ok, const QString& why) {
            const qint64 id = m_busy.value(d);
            if (!ok) {
                const int waiting = int(m_store->unsent(d->id()).size());
                emit failed(QStringLiteral("Not sent to %1: %2; %3 waiting to be sent")
                                .arg(d->title(), why,
                                     waiting == 1 ? QStringLiteral("1 contact")
                                                  : QStringLiteral("%1 contacts").arg(waiting)));
                return finishOne(d);
            }
            m_store->markDelivered(id, d->id());
            emit delivered(id, d->title());
            sendNext(d);
        });
    }
}

QStringList LogSender::destinationIds() const {
    QStringList ids;
    for (const auto& destination : m_destinations)
        ids << destination->id();
    return ids;
}

int LogSender::unsentCount() const {
    int count = 0;
    for (const auto& destination : m_destinations)
        count += int(m_store->unsent(destination->id()).size());
    return count;
}

void LogSender::sendUnsent() {
    m_starting = true;
    for (const auto& destination : m_destinations)
        if (!m_busy.contains(destination.get()))
            sendNext(destination.get());
    m_starting = false;
    if (m_busy.isEmpty())
        QTimer::singleShot(0, this, [this] {
            if (m_busy.isEmpty())
                emit finished(unsentCount());
        });
}

void LogSender::sendNext(Destination* destination) {
    const QList<qint64> waiting = m_store->unsent(destination->id());
    for (qint64 id : waiting) {
        if (const std::optional<Contact> contact = m_store->contact(id)) {
            m_busy.insert(destination, id);
            destination->deliver(*contact);
            return;
        }
    }
    finishOne(destination);
}

void LogSender::finishOne(Destination* destination) {
    m_busy.remove(destination);
    // Each destination is finished when it has nothing under way; the round when none has.
    bool anyBusy = false;
    for (const auto& d : m_destinations)
        anyBusy = anyBusy || m_busy.contains(d.get());
    if (!anyBusy && !m_starting)
        emit finished(unsentCount());
}

} // namespace logbook

#include <QSettings>

namespace logbook {

DestinationSettings DestinationSettings::read(const QSettings& settings) {
    DestinationSettings s;
    s.udp = settings.value(QStringLiteral("log/udp"), false).toBool();
    s.udpHost = settings.value(QStringLiteral("log/udpHost"), s.udpHost).toString();
    const uint port = settings.value(QStringLiteral("log/udpPort"), s.udpPort).toUInt();
    s.udpPort = port > 0 && port <= 65535 ? quint16(port) : quint16(2237);
    s.webLog = settings.value(QStringLiteral("log/webLog"), false).toBool();
    s.webLogUrl = QUrl(settings.value(QStringLiteral("log/webLogUrl")).toString());
    s.webLogStationId = settings.value(QStringLiteral("log/webLogStationId")).toString();
    s.adifFile = settings.value(QStringLiteral("log/adifFile")).toString();
    return s;
}

void DestinationSettings::write(QSettings& settings) const {
    settings.setValue(QStringLiteral("log/udp"), udp);
    settings.setValue(QStringLiteral("log/udpHost"), udpHost);
    settings.setValue(QStringLiteral("log/udpPort"), udpPort);
    settings.setValue(QStringLiteral("log/webLog"), webLog);
    settings.setValue(QStringLiteral("log/webLogUrl"), webLogUrl.toString());
    settings.setValue(QStringLiteral("log/webLogStationId"), webLogStationId);
    settings.setValue(QStringLiteral("log/adifFile"), adifFile);
}

std::vector<std::unique_ptr<Destination>> DestinationSettings::make(QNetworkAccessManager* nam,
                                                                    const QString& key) const {
    std::vector<std::unique_ptr<Destination>> out;
    if (udp)
        out.push_back(std::make_unique<UdpDestination>(udpHost, udpPort));
    if (webLog && webLogUrl.isValid())
        out.push_back(std::make_unique<WebLogDestination>(nam, webLogUrl, key, webLogStationId));
    if (!adifFile.isEmpty())
        out.push_back(std::make_unique<AdifFileDestination>(adifFile));
    return out;
}

QStringList DestinationSettings::ids() const {
    QStringList out;
    for (const auto& destination : make(nullptr, {}))
        out << destination->id();
    return out;
}

} // namespace logbook
