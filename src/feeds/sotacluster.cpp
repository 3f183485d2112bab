#include "feeds/sotacluster.h"

#include "core/callsign.h"
#include "feeds/sotaapi.h"
#include "feeds/spotfeeds.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimeZone>

#include <algorithm>

namespace feeds {

namespace {

constexpr qint64 kMsecsPerDay = 86400000;
constexpr qint64 kAheadSlackMs = 10 * 60000;
// Far more than three hours of any cluster's spots; a flood beyond it drops the oldest.
constexpr std::size_t kMaxSpots = 5000;
// No cluster line comes near this; an unfinished one that does is dropped.
constexpr qint64 kMaxLineBytes = 1024;
// The cluster's welcome asks for keepalives no more often than every 15 minutes; "ping5" makes it
// send a prompt every five, so twice that without a byte means the link is gone.
constexpr int kPingMinutes = 5;
constexpr int kSilenceLimitMs = 2 * kPingMinutes * 60000;

struct Window {
    double from;
    double to;
    const char* mode;
};

// FT8 and FT4 first: their windows lie inside the CW segments on 30 m.
constexpr Window kBandPlan[] = {
    {3573, 3576, "FT8"},   {5357, 5360, "FT8"},   {7074, 7077, "FT8"},     {10136, 10139, "FT8"},
    {14074, 14077, "FT8"}, {18100, 18103, "FT8"}, {21074, 21077, "FT8"},   {24915, 24918, "FT8"},
    {28074, 28077, "FT8"}, {50313, 50316, "FT8"}, {7047.5, 7050.5, "FT4"}, {10140, 10143, "FT4"},
    {14080, 14083, "FT4"}, {18104, 18107, "FT4"}, {21140, 21143, "FT4"},   {28180, 28183, "FT4"},
    {3500, 3570, "CW"},    {7000, 7040, "CW"},    {10100, 10150, "CW"},    {14000, 14070, "CW"},
    {18068, 18095, "CW"},  {21000, 21070, "CW"},  {24890, 24915, "CW"},    {28000, 28070, "CW"},
    {50000, 50100, "CW"},
};

QString commentMode(const QStringList& words) {
    for (const QString& word : words) {
        if (word == u"CW" || word == u"FT8" || word == u"FT4" || word == u"FM" || word == u"AM")
            return word;
        if (word == u"SSB" || word == u"USB" || word == u"LSB")
            return QStringLiteral("SSB");
        if (word == u"DATA" || word == u"DIGI" || word == u"RTTY" || word.startsWith(u"PSK") ||
            word == u"JS8")
            return QStringLiteral("DATA");
    }
    return {};
}

QString summitIn(QStringView comment) {
    static const QRegularExpression kReference(
        QStringLiteral("^[A-Z0-9]{1,4}/[A-Z0-9]{2}-[0-9]{3}$"));
    static const QRegularExpression kEdges(QStringLiteral("^[^A-Z0-9]+|[^A-Z0-9]+$"));
    for (QStringView token : comment.split(u' ', Qt::SkipEmptyParts)) {
        const QString word = token.toString().toUpper().remove(kEdges);
        if (kReference.match(word).hasMatch())
            return word;
    }
    return {};
}

// "14054.0" kilohertz as "14.054" megahertz, by moving the point: no rounding on the way.
QString megahertzText(const QString& kilohertz) {
    const qsizetype point = kilohertz.indexOf(u'.');
    QString whole = point < 0 ? kilohertz : kilohertz.left(point);
    const QString fraction = point < 0 ? QString() : kilohertz.mid(point + 1);
    whole = whole.rightJustified(4, u'0');
    QString megahertz = whole.left(whole.size() - 3);
    while (megahertz.size() > 1 && megahertz.startsWith(u'0'))
        megahertz.remove(0, 1);
    QString decimals = whole.right(3) + fraction;
    while (decimals.endsWith(u'0'))
        decimals.chop(1);
    return decimals.isEmpty() ? megahertz : megahertz + u'.' + decimals;
}

bool isLogInPrompt(const QByteArray& text) {
    const QByteArray prompt = text.trimmed().toLower();
    return prompt.endsWith("login:") || prompt.endsWith("call:");
}

} // namespace

std::optional<ClusterAddress> readClusterAddress(QStringView text) {
    const QStringView trimmed = text.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    const QString host = trimmed.left(colon).toString();
    bool ok = false;
    const uint port = trimmed.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    // A host name or an IPv4 address: the address also appears in messages, one line each.
    for (QChar c : host)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'-')
            return std::nullopt;
    return ClusterAddress{host, quint16(port)};
}

std::optional<ClusterSpot> parseClusterLine(QStringView line) {
    static const QRegularExpression kSpot(QStringLiteral(
        "^DX de ([^\\s:]+):\\s*([0-9]{1,7}(?:\\.[0-9]{1,4})?)\\s+(\\S+)(?:\\s+(.*?))?\\s+"
        "([0-2][0-9])([0-5][0-9])Z(?:\\s+\\S+)?$"));
    // Bells and line ends that some clusters add are no part of the spot.
    QString text;
    text.reserve(line.size());
    for (QChar c : line)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            text += c;
    const QRegularExpressionMatch match = kSpot.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<QString> activator = core::readCallsign(match.capturedView(3));
    const int hour = match.capturedView(5).toInt();
    const QString kilohertz = match.captured(2);
    if (!activator || hour > 23 || kilohertz.toDouble() <= 0)
        return std::nullopt;

    ClusterSpot spot;
    spot.spotter = match.captured(1);
    spot.frequency = megahertzText(kilohertz);
    spot.activator = *activator;
    spot.comment = match.captured(4);
    spot.summit = summitIn(spot.comment);
    const QStringList words = spot.comment.toUpper().split(
        QRegularExpression(QStringLiteral("[^A-Z0-9]+")), Qt::SkipEmptyParts);
    spot.mode = commentMode(words);
    if (spot.mode.isEmpty())
        spot.mode = bandPlanMode(kilohertz.toDouble());
    spot.qrt = words.contains(QStringLiteral("QRT"));
    spot.minuteOfDay = hour * 60 + match.capturedView(6).toInt();
    return spot;
}

QString bandPlanMode(double kilohertz) {
    for (const Window& window : kBandPlan)
        if (kilohertz >= window.from && kilohertz < window.to)
            return QLatin1String(window.mode);
    return QStringLiteral("SSB");
}

void ClusterSpots::add(const ClusterSpot& spot, const QDateTime& now) {
    const qint64 nowMs = now.toMSecsSinceEpoch();
    qint64 at = nowMs - (nowMs % kMsecsPerDay + kMsecsPerDay) % kMsecsPerDay +
                spot.minuteOfDay * qint64(60000);
    if (at > nowMs + kAheadSlackMs)
        at -= kMsecsPerDay;
    std::erase_if(m_heard, [nowMs](const Heard& heard) { return heard.msecs < nowMs - kKeepMs; });
    if (spot.qrt) {
        std::erase_if(m_heard, [&](const Heard& heard) {
            return heard.spot.activator == spot.activator && heard.msecs <= at;
        });
        return;
    }
    if (spot.summit.isEmpty() || !onSotaBands(spot.frequency) || at < nowMs - kKeepMs)
        return;
    const auto same = [&spot](const Heard& heard) {
        return heard.spot.activator == spot.activator && heard.spot.summit == spot.summit;
    };
    const auto known = std::find_if(m_heard.begin(), m_heard.end(), same);
    if (known != m_heard.end()) {
        if (known->msecs > at)
            return;
        m_heard.erase(known);
    }
    const auto later =
        std::upper_bound(m_heard.begin(), m_heard.end(), at,
                         [](qint64 msecs, const Heard& h) { return msecs < h.msecs; });
    m_heard.insert(later, Heard{at, spot});
    if (m_heard.size() > kMaxSpots)
        m_heard.erase(m_heard.begin());
}

QList<core::SotaSpot> ClusterSpots::rows(const QDateTime& now) const {
    const qint64 nowMs = now.toMSecsSinceEpoch();
    QList<core::SotaSpot> rows;
    for (auto heard = m_heard.rbegin(); heard != m_heard.rend(); ++heard) {
        if (heard->msecs < nowMs - kKeepMs)
            break;
        const ClusterSpot& spot = heard->spot;
        const qint64 age = std::max<qint64>(0, (nowMs - heard->msecs) / 60000);
        // The cluster gives no summit name; the reference stands in for it, and Tune speaks it.
        rows.append(core::SotaSpot{spot.activator, QString(), spot.frequency, spot.mode,
                                   spot.comment.isEmpty() ? QStringLiteral(" ") : spot.comment,
                                   spot.summit, spot.summit, QStringLiteral(" "),
                                   QStringLiteral(" "), QString::number(age)});
    }
    return rows;
}

ClusterClient::ClusterClient(const ClusterAddress& address, const QString& callsign,
                             QObject* parent)
    : QObject(parent)
    , m_address(address)
    , m_callsign(callsign.toLatin1()) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ClusterClient::start);
    m_silence.setSingleShot(true);
    m_silence.setInterval(kSilenceLimitMs);
    connect(&m_silence, &QTimer::timeout, this, &ClusterClient::onSilent);
}

ClusterClient::~ClusterClient() {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void ClusterClient::setBackoffBaseMs(int ms) {
    m_backoffBaseMs = ms;
    m_backoffMs = ms;
}

void ClusterClient::start() {
    if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState)
        return;
    m_retry.stop();
    // A fresh socket per attempt, so nothing of the last connection is read as part of this one.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->deleteLater();
    }
    m_socket = new QTcpSocket(this);
    m_loggedIn = false;
    m_lastError.clear();
    // The cluster may stay quiet for hours; without keepalives a connection a router dropped
    // meanwhile would pass for an open one.
    connect(m_socket, &QTcpSocket::connected, m_socket,
            [socket = m_socket] { socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1); });
    connect(m_socket, &QTcpSocket::readyRead, this, &ClusterClient::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this] { m_lastError = m_socket->errorString(); });
    // Queued: the socket names its error only after it has announced the state.
    connect(
        m_socket, &QTcpSocket::stateChanged, this,
        [this, socket = m_socket](QAbstractSocket::SocketState state) {
            if (socket == m_socket && state == QAbstractSocket::UnconnectedState)
                onLost();
        },
        Qt::QueuedConnection);
    m_socket->connectToHost(m_address.host, m_address.port);
}

void ClusterClient::onReadyRead() {
    m_lastHeard = QDateTime::currentDateTimeUtc();
    if (m_loggedIn)
        m_silence.start();
    while (m_socket->canReadLine())
        onLine(m_socket->readLine(kMaxLineBytes));
    // The prompt comes without a line feed, so it is the unfinished tail.
    if (!m_loggedIn && isLogInPrompt(m_socket->peek(kMaxLineBytes))) {
        m_socket->skip(m_socket->bytesAvailable());
        logIn();
    } else if (m_socket->bytesAvailable() >= kMaxLineBytes) {
        m_socket->skip(m_socket->bytesAvailable());
        emit diagnostic(QStringLiteral("SOTA cluster %1: dropped %2 bytes without a line end")
                            .arg(m_address.text())
                            .arg(kMaxLineBytes));
    }
}

void ClusterClient::onLine(const QByteArray& line) {
    if (!m_loggedIn) {
        if (isLogInPrompt(line))
            logIn();
        return;
    }
    const std::optional<ClusterSpot> spot = parseClusterLine(QString::fromUtf8(line));
    if (!spot)
        return;
    m_spots.add(*spot, QDateTime::currentDateTimeUtc());
    // Spots arriving mean the connection works: the next loss starts the back-off afresh.
    m_backoffMs = m_backoffBaseMs;
    emit spotHeard();
}

void ClusterClient::logIn() {
    m_loggedIn = true;
    m_silentSince = QDateTime();
    m_socket->write(m_callsign + "\r\nping" + QByteArray::number(kPingMinutes) + "\r\n");
    m_silence.start();
    emit diagnostic(QStringLiteral("SOTA cluster %1: logged in as %2")
                        .arg(m_address.text(), QString::fromLatin1(m_callsign)));
}

void ClusterClient::onSilent() {
    if (!m_socket || !m_loggedIn)
        return;
    m_silentSince = m_lastHeard;
    m_lastError =
        QStringLiteral("silent since %1 UTC").arg(m_silentSince.toString(QStringLiteral("HH:mm")));
    // Aborting reports the loss like any other, so the usual back-off applies.
    m_socket->abort();
}

void ClusterClient::onLost() {
    m_loggedIn = false;
    m_silence.stop();
    if (m_lastError.isEmpty())
        m_lastError = QStringLiteral("the connection closed");
    m_retryAt = QDateTime::currentDateTimeUtc().addMSecs(m_backoffMs);
    m_retry.start(m_backoffMs);
    emit diagnostic(QStringLiteral("SOTA cluster %1: %2; trying again in %3 s")
                        .arg(m_address.text(), m_lastError)
                        .arg(m_backoffMs / 1000.0));
    m_backoffMs = std::min(m_backoffMs * 2, m_backoffBaseMs * 60);
}

QString ClusterClient::stateText() const {
    if (m_loggedIn)
        return {};
    if (m_retry.isActive() && m_silentSince.isValid())
        return QStringLiteral("SOTA cluster silent since %1 UTC; reconnecting")
            .arg(m_silentSince.toString(QStringLiteral("HH:mm")));
    if (m_retry.isActive())
        return QStringLiteral("SOTA cluster %1: %2; trying again at %3 UTC")
            .arg(m_address.text(), m_lastError, m_retryAt.toString(QStringLiteral("HH:mm:ss")));
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        return QStringLiteral("connected to the SOTA cluster %1, waiting for its log-in prompt")
            .arg(m_address.text());
    return QStringLiteral("connecting to the SOTA cluster %1").arg(m_address.text());
}

} // namespace feeds
