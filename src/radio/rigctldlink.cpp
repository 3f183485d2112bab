#include "radio/rigctldlink.h"

namespace radio {

QString RigctldAddress::text() const {
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

std::optional<RigctldAddress> parseRigctldAddress(const QString& text) {
    const QString trimmed = text.trimmed();
    RigctldAddress address;
    QString portText;
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        address.host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return std::nullopt;
        portText = rest.mid(1);
    } else if (trimmed.count(u':') == 1) {
        address.host = trimmed.section(u':', 0, 0);
        portText = trimmed.section(u':', 1);
    } else {
        address.host = trimmed; // a name, or an IPv6 address without a port
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        address.port = quint16(port);
    }
    if (address.host.isEmpty() || address.host.contains(u' '))
        return std::nullopt;
    return address;
}

RigctldLink::RigctldLink(const RigctldAddress& address, QObject* parent)
    : RadioLink(parent)
    , m_address(address) {
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("No answer from %1 within %2 s")
                 .arg(m_address.text())
                 .arg(m_connectTimeoutMs / 1000.0));
    });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_connectTimer.stop();
        m_open = true;
        emit opened();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this,
            [this] { emit dataReceived(m_socket.readAll()); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { fail(m_socket.errorString()); });
    // A peer that closes cleanly may report only the disconnection.
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_open)
            fail(QStringLiteral("The remote host closed the connection"));
    });
}

RigctldLink::~RigctldLink() {
    m_open = false;
    m_socket.abort();
}

void RigctldLink::open() {
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        return;
    m_connectTimer.start(m_connectTimeoutMs);
    m_socket.connectToHost(m_address.host, m_address.port);
}

void RigctldLink::close() {
    m_connectTimer.stop();
    const bool wasOpen = std::exchange(m_open, false);
    m_socket.abort();
    if (wasOpen)
        emit closed();
}

void RigctldLink::sendData(const QByteArray& data) {
    if (m_open && m_socket.write(data) != data.size())
        emit errorOccurred(m_socket.errorString());
}

void RigctldLink::fail(const QString& description) {
    m_connectTimer.stop();
    const bool wasOpen = std::exchange(m_open, false);
    // Aborting from inside the socket's own signal is safe; the socket stays usable for another
    // open().
    m_socket.abort();
    emit errorOccurred(description);
    if (wasOpen)
        emit removedFromSystem();
}

} // namespace radio
