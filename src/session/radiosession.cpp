#include "session/radiosession.h"

#include "radio/radiomodels.h"
#include "session/preferences.h"

#include <QTimer>

namespace session {

namespace {

QString describe(const QList<radio::PortInfo>& ports) {
    QStringList names;
    for (const auto& port : ports)
        names << port.name;
    return u'(' + names.join(QStringLiteral(", ")) + u')';
}

} // namespace

RadioSession::RadioSession(radio::PortManager* ports, Preferences* preferences, Cues cues,
                           QObject* parent)
    : QObject(parent)
    , m_ports(ports)
    , m_preferences(preferences)
    , m_cues(std::move(cues)) {
    if (m_ports) {
        connect(m_ports, &radio::PortManager::portsConnected, this,
                &RadioSession::onPortsConnected);
        connect(m_ports, &radio::PortManager::portsDisconnected, this,
                &RadioSession::onPortsDisconnected);
    }
}

RadioSession::~RadioSession() {
    detach();
    if (m_link)
        m_link->close();
}

void RadioSession::print(const QString& line) const {
    core::writeDiagnostic(m_cues.out, line);
}

void RadioSession::play(const QString& name, bool switchable) {
    if (m_cues.sounds && (!switchable || (m_preferences && m_preferences->soundsOn())))
        m_cues.sounds->play(name);
}

QStringList RadioSession::radioTitles() {
    return radio::radioPopUpTitles();
}

void RadioSession::chooseRadio(int index, const QString& title) {
    if (m_preferences) {
        if (index >= 0)
            m_preferences->setText(QStringLiteral("defaultRadio"), title);
        else
            m_preferences->remove(QStringLiteral("defaultRadio"));
    }
    const radio::RadioChoice choice = radio::chooseRadio(index, index >= 0 ? title : QString());
    kvRadio = choice.kvRadio;
    kvIC = choice.kvIC;
    print(kvRadio + u' ' + kvIC);
}

bool RadioSession::showRadio(const QString& title) {
    if (!radioTitles().contains(title))
        return false;
    emit radioShown(title);
    return true;
}

QStringList RadioSession::portDescriptions() const {
    QStringList descriptions;
    if (m_ports)
        for (const radio::PortInfo& port : m_ports->availablePorts())
            descriptions << port.description;
    return descriptions;
}

void RadioSession::choosePort(const QString& description) {
    if (!m_ports)
        return;
    for (const radio::PortInfo& port : m_ports->availablePorts()) {
        if (port.description != description)
            continue;
        m_shownPort = description;
        auto link = m_ports->createLink(port);
        link->setBaudRate(m_baud);
        setLink(std::move(link));
        return;
    }
}

void RadioSession::chooseBaud(qint32 rate) {
    m_baud = rate;
    if (m_link)
        m_link->setBaudRate(rate);
}

bool RadioSession::showPort(const QString& description) {
    if (!portDescriptions().contains(description))
        return false;
    emit portShown(description);
    if (!m_link || m_link->description() != description)
        choosePort(description);
    return true;
}

bool RadioSession::showBaud(qint32 rate) {
    if (!baudRates().contains(rate))
        return false;
    m_baud = rate;
    if (m_link && !m_link->isOpen())
        m_link->setBaudRate(rate);
    emit baudShown(rate);
    return true;
}

void RadioSession::detach() {
    if (m_link)
        disconnect(m_link.get(), nullptr, this, nullptr);
}

void RadioSession::setLink(std::unique_ptr<radio::SerialLink> link) {
    if (m_link) {
        // Closed while still listening, so the button shows the old link as closed.
        m_link->close();
        detach();
        // The old link may be the sender of the signal being handled right now.
        m_link.release()->deleteLater();
    }
    m_link = std::move(link);
    if (!m_link)
        return;
    radio::SerialLink* link_ = m_link.get();
    connect(link_, &radio::SerialLink::opened, this, &RadioSession::onOpened);
    connect(link_, &radio::SerialLink::closed, this, &RadioSession::onClosed);
    connect(link_, &radio::SerialLink::removedFromSystem, this, &RadioSession::onRemoved);
    connect(link_, &radio::SerialLink::errorOccurred, this, &RadioSession::onError);
    connect(link_, &radio::SerialLink::dataReceived, this, [this](const QByteArray& data) {
        if (const auto value = m_replies.feed(data))
            kvSignal = *value;
    });
}

void RadioSession::openOrClose() {
    if (!m_link)
        return;
    if (m_link->isOpen()) {
        m_link->close();
        return;
    }
    // The rate the pop-up shows: a restore that showed another one while the link was open
    // takes effect now.
    radio::LineSettings settings;
    settings.baudRate = m_baud;
    m_link->setLineSettings(settings);
    m_link->open();
}

void RadioSession::send(const QList<QByteArray>& writes) {
    if (!m_link)
        return;
    for (const QByteArray& bytes : writes)
        m_link->sendData(bytes);
}

void RadioSession::onOpened() {
    emit linkStateChanged(LinkState::Connected);
    if (m_preferences && m_link) {
        m_preferences->setText(QStringLiteral("defaultPort"), m_link->description());
        m_preferences->setText(QStringLiteral("defaultBaud"),
                               kvRadio == u"I" ? QStringLiteral("19200")
                                               : QString::number(m_link->baudRate()));
    }
    play(QStringLiteral("Seatbelts"), true);
    // Bring the lists to the front once the radio is on line.
    QTimer::singleShot(300, this, &RadioSession::listsWanted);
}

void RadioSession::onClosed() {
    emit linkStateChanged(LinkState::Closed);
    play(QStringLiteral("Bottle"), false);
}

void RadioSession::onRemoved() {
    // A removal is no close: let go of the link before it is closed, so that its closing is not
    // reported as the operator closing it.
    detach();
    setLink(nullptr);
    emit linkStateChanged(LinkState::Removed);
}

void RadioSession::onError(const QString& description) {
    const QString port = m_link ? m_link->description() : QString();
    print(QStringLiteral("SerialPort ") + port + QStringLiteral(" encountered an error: ") +
          description);
    play(QStringLiteral("Frog"), false);
    emit radioWanted();
}

void RadioSession::onPortsConnected(const QList<radio::PortInfo>& ports) {
    print(QStringLiteral("Ports were connected: ") + describe(ports));
    for (const radio::PortInfo& port : ports)
        if (m_cues.notifier)
            m_cues.notifier->notify(tr("Serial Port Connected"),
                                    QStringLiteral("Serial Port ") + port.name +
                                        QStringLiteral(" was connected to your Mac."));
    emit portsChanged();
    emit portsAppeared();
}

void RadioSession::onPortsDisconnected(const QList<radio::PortInfo>& ports) {
    print(QStringLiteral("Ports were disconnected: ") + describe(ports));
    for (const radio::PortInfo& port : ports)
        if (m_cues.notifier)
            m_cues.notifier->notify(tr("Serial Port Disconnected"),
                                    QStringLiteral("Serial Port ") + port.name +
                                        QStringLiteral(" was disconnected from your Mac."));
    bool ownPortGone = false;
    for (const radio::PortInfo& port : ports)
        ownPortGone |= m_link && m_link->description() == port.description;
    emit portsChanged();
    if (ownPortGone)
        onRemoved();
}

} // namespace session
