#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

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

// One serial port. Open and close report their outcome through signals, as the window expects
// of a port that may fail or vanish at any moment.
class SerialLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString name() const = 0;
    // The text the port pop-up shows and "defaultPort" stores: the system name, e.g. ttyUSB0.
    virtual QString description() const = 0;
    virtual bool isOpen() const = 0;
    virtual qint32 baudRate() const = 0;
    virtual void setBaudRate(qint32 rate) = 0;
    // Takes effect on the next open().
    virtual void setLineSettings(const LineSettings& settings) = 0;
    virtual LineSettings lineSettings() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    // Bytes go out in the order given; a closed or failing port reports through errorOccurred.
    virtual void sendData(const QByteArray& data) = 0;

signals:
    void opened();
    void closed();
    void removedFromSystem();
    void errorOccurred(const QString& description);
    void dataReceived(const QByteArray& data);
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
