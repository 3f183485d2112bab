#include "radio/qtseriallink.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <poll.h>

namespace radio {
namespace {

bool lineHungUp(int fd) {
    if (fd < 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

QtSerialLink::QtSerialLink(const QString& location, QObject* parent)
    : SerialLink(parent)
    , m_devicePath(location.startsWith(u'/') ? location : QStringLiteral("/dev/") + location) {
    m_port.setPortName(location);
    connect(&m_port, &QSerialPort::readyRead, this,
            [this] { emit dataReceived(m_port.readAll()); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialLink::onError);
}

QtSerialLink::~QtSerialLink() {
    if (m_port.isOpen())
        m_port.close();
}

QString QtSerialLink::name() const {
    return m_port.portName();
}

QString QtSerialLink::description() const {
    return m_port.portName();
}

bool QtSerialLink::isOpen() const {
    return m_port.isOpen();
}

void QtSerialLink::setBaudRate(qint32 rate) {
    m_settings.baudRate = rate;
    if (m_port.isOpen())
        m_port.setBaudRate(rate);
}

void QtSerialLink::open() {
    if (m_port.isOpen() || m_removed)
        return;
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(m_settings.noParity ? QSerialPort::NoParity : QSerialPort::EvenParity);
    m_port.setStopBits(m_settings.twoStopBits ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port.setFlowControl(m_settings.rtsCts ? QSerialPort::HardwareControl
                                            : QSerialPort::NoFlowControl);
    // Failures arrive through errorOccurred (OpenError, PermissionError, DeviceNotFoundError).
    // A device that opens but refuses the line settings fails twice inside QSerialPort (the
    // settings, then restoring them on the way out): one refused open is one error.
    m_openErrors = 0;
    const bool ok = m_port.open(QIODevice::ReadWrite);
    m_openErrors = -1;
    if (ok)
        emit opened();
}

void QtSerialLink::close() {
    if (!m_port.isOpen())
        return;
    m_port.close();
    emit closed();
}

void QtSerialLink::sendData(const QByteArray& data) {
    // A port that is not open takes nothing; the operator sees the link state on the button.
    if (!m_port.isOpen())
        return;
    if (m_port.write(data) != data.size())
        emit errorOccurred(m_port.errorString());
}

bool QtSerialLink::hasPendingWrites() const {
    return m_port.isOpen() && m_port.bytesToWrite() > 0;
}

void QtSerialLink::onError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError)
        return;
    const QString text = m_port.errorString();
    m_port.clearError();
    if (m_openErrors >= 0 && m_openErrors++ > 0)
        return;
    emit errorOccurred(text);
    // A resource or read error means the device went away (adapter unplugged, the other end of a
    // pseudo-terminal closed) only when the line has hung up or its device node is gone: report
    // that as removed, once. A write refused by a device that is still there is an error like
    // any other and leaves the link as it is.
    const bool gone = (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) &&
                      (lineHungUp(m_port.handle()) || !QFileInfo::exists(m_devicePath));
    if (gone && !m_removed) {
        m_removed = true;
        if (m_port.isOpen())
            m_port.close();
        emit removedFromSystem();
    } else if (!gone && m_port.isOpen() && m_port.bytesToWrite() > 0) {
        // QSerialPort retries its queued bytes every time the line is writable, failing and
        // reporting again each time: drop them, so that one failed write is reported once.
        m_port.clear(QSerialPort::Output);
    }
}

QtPortManager::QtPortManager(QObject* parent)
    : PortManager(parent)
    , m_ports(scan()) {
    connect(&m_timer, &QTimer::timeout, this, &QtPortManager::poll);
    m_timer.start(1000);
}

std::unique_ptr<SerialLink> QtPortManager::createLink(const PortInfo& port) {
    return std::make_unique<QtSerialLink>(port.location.isEmpty() ? port.name : port.location);
}

QList<PortInfo> QtPortManager::scan() {
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.systemLocation(), info.portName()});
    return ports;
}

void QtPortManager::poll() {
    const QList<PortInfo> now = scan();
    QList<PortInfo> appeared;
    QList<PortInfo> vanished;
    for (const PortInfo& port : now)
        if (!m_ports.contains(port))
            appeared.append(port);
    for (const PortInfo& port : m_ports)
        if (!now.contains(port))
            vanished.append(port);
    m_ports = now;
    if (!vanished.isEmpty())
        emit portsDisconnected(vanished);
    if (!appeared.isEmpty())
        emit portsConnected(appeared);
}

} // namespace radio
