// The serial link: choosing, opening and closing the port, and what the port reports.
#include "app/serialportdemocontroller.h"

#include "radio/notifier.h"
#include "radio/radiomodels.h"
#include "tuning/sounds.h"

#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>

namespace app {
namespace {

const QColor kConnectedColour(0x2e, 0xa0, 0x43);
const QColor kClosedColour(0xd9, 0x3b, 0x3b);

QString describe(const QList<radio::PortInfo>& ports) {
    QStringList names;
    for (const auto& port : ports)
        names << port.name;
    return QStringLiteral("(") + names.join(QStringLiteral(", ")) + QStringLiteral(")");
}

} // namespace

void SerialPortDemoController::setSerialPort(std::unique_ptr<radio::SerialLink> port) {
    if (m_serialPort) {
        // Close while still listening, so the button shows the link as closed.
        m_serialPort->close();
        disconnect(m_serialPort.get(), nullptr, this, nullptr);
        // The old port may be the sender of the signal being handled right now.
        m_serialPort.release()->deleteLater();
    }
    m_serialPort = std::move(port);
    if (!m_serialPort)
        return;
    radio::SerialLink* link = m_serialPort.get();
    connect(link, &radio::SerialLink::opened, this, &SerialPortDemoController::serialPortWasOpened);
    connect(link, &radio::SerialLink::closed, this, &SerialPortDemoController::serialPortWasClosed);
    connect(link, &radio::SerialLink::removedFromSystem, this,
            &SerialPortDemoController::serialPortWasRemovedFromSystem);
    connect(link, &radio::SerialLink::errorOccurred, this,
            &SerialPortDemoController::serialPortDidEncounterError);
    connect(link, &radio::SerialLink::dataReceived, this,
            &SerialPortDemoController::serialPortDidReceiveData);
}

void SerialPortDemoController::fillPortPopUp() {
    QComboBox* popUp = m_window.PortPopUpButton;
    const QString current = popUp->currentText();
    m_fillingPorts = true;
    popUp->clear();
    if (m_platform.ports)
        for (const radio::PortInfo& port : m_platform.ports->availablePorts())
            popUp->addItem(port.description);
    popUp->setCurrentIndex(current.isEmpty() ? -1 : popUp->findText(current));
    m_fillingPorts = false;
}

void SerialPortDemoController::onPortChosen(int index) {
    if (m_fillingPorts || index < 0 || !m_platform.ports)
        return;
    const QString description = m_window.PortPopUpButton->itemText(index);
    for (const radio::PortInfo& port : m_platform.ports->availablePorts()) {
        if (port.description != description)
            continue;
        auto link = m_platform.ports->createLink(port);
        link->setBaudRate(availableBaudRates.value(m_window.BaudPopUpButton->currentIndex(),
                                                   availableBaudRates.first()));
        setSerialPort(std::move(link));
        return;
    }
}

void SerialPortDemoController::openOrClosePort(QObject*) {
    if (!m_serialPort)
        return;
    if (m_serialPort->isOpen()) {
        m_serialPort->close();
        return;
    }
    radio::LineSettings settings;
    settings.baudRate = m_serialPort->baudRate();
    m_serialPort->setLineSettings(settings);
    m_serialPort->open();
}

void SerialPortDemoController::goRadio(QObject*) {
    QComboBox* popUp = m_window.RadioPopUpButton;
    const int selected = popUp->currentIndex();
    const QString title = selected >= 0 ? popUp->currentText() : QString();
    if (m_platform.settings) {
        if (selected >= 0)
            m_platform.settings->setValue(QStringLiteral("defaultRadio"), title);
        else
            m_platform.settings->remove(QStringLiteral("defaultRadio"));
    }
    const radio::RadioChoice choice = radio::chooseRadio(selected, title);
    kvRadio = choice.kvRadio;
    kvIC = choice.kvIC;
    print(kvRadio + QLatin1Char(' ') + kvIC);
}

void SerialPortDemoController::setButtonState(const QString& title, const QColor* colour) {
    QPushButton* button = m_window.openCloseButton;
    button->setText(title);
    if (colour)
        button->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; color: white; border-radius: 4px; "
                           "padding: 4px 12px; }")
                .arg(colour->name()));
}

void SerialPortDemoController::serialPortWasOpened() {
    setButtonState(tr("Connected"), &kConnectedColour);
    if (m_platform.settings && m_serialPort) {
        m_platform.settings->setValue(QStringLiteral("defaultPort"), m_serialPort->description());
        m_platform.settings->setValue(QStringLiteral("defaultBaud"),
                                      kvRadio == QLatin1String("I")
                                          ? QStringLiteral("19200")
                                          : QString::number(m_serialPort->baudRate()));
    }
    if (kvSounds == QLatin1String("1"))
        playResourceSound(QStringLiteral("Seatbelts"));
    // Bring the lists to the front once the radio is on line.
    QTimer::singleShot(300, this, [this] { m_window.mainTab->setCurrentIndex(1); });
}

void SerialPortDemoController::serialPortWasClosed() {
    setButtonState(tr("Connect"), &kClosedColour);
    playSystemSound(QStringLiteral("Bottle"));
}

void SerialPortDemoController::serialPortWasRemovedFromSystem() {
    setSerialPort(nullptr);
    m_window.openCloseButton->setText(tr("Connect"));
}

void SerialPortDemoController::serialPortDidEncounterError(const QString& description) {
    const QString port = m_serialPort ? m_serialPort->description() : QString();
    print(QStringLiteral("SerialPort ") + port + QStringLiteral(" encountered an error: ") +
          description);
    playSystemSound(QStringLiteral("Frog"));
    m_window.mainTab->setCurrentIndex(0);
}

void SerialPortDemoController::serialPortDidReceiveData(const QByteArray& data) {
    if (const auto value = m_replies.feed(data))
        kvSignal = *value;
}

void SerialPortDemoController::serialPortsWereConnected(const QList<radio::PortInfo>& ports) {
    print(QStringLiteral("Ports were connected: ") + describe(ports));
    for (const radio::PortInfo& port : ports)
        if (m_platform.notifier)
            m_platform.notifier->notify(tr("Serial Port Connected"),
                                        QStringLiteral("Serial Port ") + port.name +
                                            QStringLiteral(" was connected to your Mac."));
    fillPortPopUp();
    settingsRestore();
}

void SerialPortDemoController::serialPortsWereDisconnected(const QList<radio::PortInfo>& ports) {
    print(QStringLiteral("Ports were disconnected: ") + describe(ports));
    for (const radio::PortInfo& port : ports)
        if (m_platform.notifier)
            m_platform.notifier->notify(tr("Serial Port Disconnected"),
                                        QStringLiteral("Serial Port ") + port.name +
                                            QStringLiteral(" was disconnected from your Mac."));
    bool ownPortGone = false;
    for (const radio::PortInfo& port : ports)
        ownPortGone |= m_serialPort && m_serialPort->description() == port.description;
    fillPortPopUp();
    if (ownPortGone)
        serialPortWasRemovedFromSystem();
}

} // namespace app
