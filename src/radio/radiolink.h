#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace radio {

// The connection to the radio, whatever carries it: a serial port or Hamlib's network daemon.
// Open and close report their outcome through signals, as the window expects of a link that may
// fail or vanish at any moment; bytes go both ways unchanged.
class RadioLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString name() const = 0;
    // What the operator chose the link by: a port's system name (ttyUSB0), or host:port.
    virtual QString description() const = 0;
    // How a diagnostic names the kind of link: "SerialPort", "rigctld".
    virtual QString kind() const = 0;
    virtual bool isOpen() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    // Bytes go out in the order given; a closed or failing link reports through errorOccurred.
    virtual void sendData(const QByteArray& data) = 0;

signals:
    void opened();
    void closed();
    // The device or the connection went away without the operator closing it.
    void removedFromSystem();
    void errorOccurred(const QString& description);
    void dataReceived(const QByteArray& data);
};

} // namespace radio
