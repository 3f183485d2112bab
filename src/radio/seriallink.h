#pragma once

#include "radio/radiolink.h"

#include <QList>

#include <memory>

namespace radio {

// The line settings used for every open: the chosen rate, no parity, two stop bits and RTS/CTS
// hardware flow control; data bits stay at the serial layer's default.
struct LineSettings {
    qint32 baudRate = 19200;
    bool twoStopBits = true;
    bool noParity = true;
    bool rtsCts = true;
};

// One serial port. Its description is the text the port pop-up shows and "defaultPort" stores:
// the system name, e.g. ttyUSB0.
class SerialLink : public RadioLink {
    Q_OBJECT
public:
    using RadioLink::RadioLink;

    QString kind() const override { return QStringLiteral("SerialPort"); }
    virtual qint32 baudRate() const = 0;
    virtual void setBaudRate(qint32 rate) = 0;
    // Takes effect on the next open().
    virtual void setLineSettings(const LineSettings& settings) = 0;
    virtual LineSettings lineSettings() const = 0;
};

struct PortInfo {
    QString name;        // system name, e.g. ttyUSB0
    QString location;    // device path, e.g. /dev/ttyUSB0
    QString description; // what the pop-up shows: the system name, unique per port
    bool operator==(const PortInfo&) const = default;
};

// Lists the serial ports and reports the ones that appear or vanish.
class PortManager : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QList<PortInfo> availablePorts() const = 0;
    virtual std::unique_ptr<SerialLink> createLink(const PortInfo& port) = 0;

signals:
    void portsConnected(const QList<radio::PortInfo>& ports);
    void portsDisconnected(const QList<radio::PortInfo>& ports);
};

} // namespace radio
