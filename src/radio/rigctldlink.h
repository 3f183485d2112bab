#pragma once

#include "radio/radiolink.h"

#include <QTcpSocket>
#include <QTimer>

#include <optional>

namespace radio {

struct RigctldAddress {
    QString host;
    quint16 port = 4532; // rigctld's default
    QString text() const;
    bool operator==(const RigctldAddress&) const = default;
};

// "host:port", "host" (port 4532), "[v6]:port" or a bare IPv6 address; nullopt for an empty
// host, spaces, or a port that is not 1 to 65535.
std::optional<RigctldAddress> parseRigctldAddress(const QString& text);

// A connection to rigctld. A refused or timed-out connect is an error; a connection that drops
// once open is an error followed by removal, as an unplugged serial adapter is.
class RigctldLink : public RadioLink {
    Q_OBJECT
public:
    explicit RigctldLink(const RigctldAddress& address, QObject* parent = nullptr);
    ~RigctldLink() override;

    QString name() const override { return m_address.text(); }
    QString description() const override { return m_address.text(); }
    QString kind() const override { return QStringLiteral("rigctld"); }
    bool isOpen() const override { return m_open; }
    // Connects asynchronously: opened or errorOccurred follows.
    void open() override;
    void close() override;
    void sendData(const QByteArray& data) override;

    // A host that drops the connection request instead of refusing it would keep the button
    // waiting for minutes otherwise.
    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }

private:
    void fail(const QString& description);

    RigctldAddress m_address;
    QTcpSocket m_socket;
    QTimer m_connectTimer;
    int m_connectTimeoutMs = 5000;
    bool m_open = false;
};

} // namespace radio
