#pragma once

#include "radio/seriallink.h"

#include <QSerialPort>
#include <QTimer>

namespace radio {

class QtSerialLink : public SerialLink {
    Q_OBJECT
public:
    // `location` is a device path (/dev/ttyUSB0) or a system name (ttyUSB0).
    explicit QtSerialLink(const QString& location, QObject* parent = nullptr);
    ~QtSerialLink() override;

    QString name() const override;
    QString description() const override;
    bool isOpen() const override;
    qint32 baudRate() const override { return m_settings.baudRate; }
    void setBaudRate(qint32 rate) override;
    void setLineSettings(const LineSettings& settings) override { m_settings = settings; }
    LineSettings lineSettings() const override { return m_settings; }
    void open() override;
    void close() override;
    void sendData(const QByteArray& data) override;

    // Completes once every queued byte has been handed to the device (or the port failed).
    bool hasPendingWrites() const;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_devicePath;
    LineSettings m_settings;
    bool m_removed = false;
    int m_openErrors = -1; // errors reported by the open() under way; -1 outside open()
};

// Polls the system's port list once a second; enumeration is cheap and polling avoids a udev
// dependency while never blocking the window.
class QtPortManager : public PortManager {
    Q_OBJECT
public:
    explicit QtPortManager(QObject* parent = nullptr);

    QList<PortInfo> availablePorts() const override { return m_ports; }
    std::unique_ptr<SerialLink> createLink(const PortInfo& port) override;

    static QList<PortInfo> scan();

private:
    void poll();

    QList<PortInfo> m_ports;
    QTimer m_timer;
};

} // namespace radio
