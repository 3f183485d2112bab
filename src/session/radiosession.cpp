#include "session/radiosession.h"

#include "radio/radiomodels.h"
#include "radio/rigctldlink.h"
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
    , m_cues(std::move(cues))
    , m_checker([this](const QByteArray& bytes) { send({bytes}); }) {
    connect(&m_checker, &TuneChecker::checked, this, &RadioSession::onTuneChecked);
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
    applyRadio(index, title);
    print(familyCode + u' ' + civAddress);
}

void RadioSession::applyRadio(int index, const QString& title) {
    const radio::RadioChoice choice = radio::chooseRadio(index, index >= 0 ? title : QString());
    familyCode = choice.familyCode;
    civAddress = choice.civAddress;
    showRigctld(familyCode == u"R");
}

bool RadioSession::showRadio(const QString& title) {
    if (!radioTitles().contains(title))
        return false;
    emit radioShown(title);
    // The pop-up shows this radio, so Tune must speak its family at its address: an Icom driven
    // as a Yaesu ignores every byte.
    applyRadio(int(radioTitles().indexOf(title)), title);
    return true;
}

void RadioSession::showRigctld(bool shown) {
    if (shown == m_rigctld)
        return;
    m_rigctld = shown;
    emit rigctldShown(shown);
    if (shown) {
        const QString stored =
            m_preferences ? m_preferences->text(QStringLiteral("rigctldAddress")) : QString();
        if (const auto address = radio::parseRigctldAddress(stored))
            m_rigctldAddress = address->text();
        emit rigctldAddressShown(m_rigctldAddress);
        if (const auto address = radio::parseRigctldAddress(m_rigctldAddress))
            setLink(std::make_unique<radio::RigctldLink>(*address));
    } else {
        setLink(nullptr);
        if (!m_shownPort.isEmpty())
            choosePort(m_shownPort);
    }
}

void RadioSession::chooseRigctldAddress(const QString& text) {
    const auto address = radio::parseRigctldAddress(text);
    if (!address) {
        print(QStringLiteral("Not a rigctld address (host:port): ") + text);
        emit rigctldAddressShown(m_rigctldAddress);
        return;
    }
    emit rigctldAddressShown(address->text());
    if (address->text() == m_rigctldAddress && m_link)
        return;
    m_rigctldAddress = address->text();
    if (m_preferences)
        m_preferences->setText(QStringLiteral("rigctldAddress"), m_rigctldAddress);
    if (m_rigctld)
        setLink(std::make_unique<radio::RigctldLink>(*address));
}

radio::SerialLink* RadioSession::serialLink() const {
    return qobject_cast<radio::SerialLink*>(m_link.get());
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
        if (m_rigctld)
            return; // shown, and assigned once a serial radio is chosen
        auto link = m_ports->createLink(port);
        link->setBaudRate(m_baud);
        setLink(std::move(link));
        return;
    }
}

void RadioSession::chooseBaud(qint32 rate) {
    m_baud = rate;
    if (radio::SerialLink* serial = serialLink())
        serial->setBaudRate(rate);
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
    if (radio::SerialLink* serial = serialLink(); serial && !serial->isOpen())
        serial->setBaudRate(rate);
    emit baudShown(rate);
    return true;
}

void RadioSession::detach() {
    if (m_link)
        disconnect(m_link.get(), nullptr, this, nullptr);
}

void RadioSession::setLink(std::unique_ptr<radio::RadioLink> link) {
    if (m_link) {
        // Closed while still listening, so the button shows the old link as closed.
        m_link->close();
        detach();
        // The old link may be the sender of the signal being handled right now.
        m_link.release()->deleteLater();
    }
    m_link = std::move(link);
    m_checker.reset();
    // A reply cut short on the old port must not be completed by the new port's bytes.
    m_replies = radio::MeterReplyReader();
    if (!m_link)
        return;
    radio::RadioLink* link_ = m_link.get();
    connect(link_, &radio::RadioLink::opened, this, &RadioSession::onOpened);
    connect(link_, &radio::RadioLink::closed, this, &RadioSession::onClosed);
    connect(link_, &radio::RadioLink::removedFromSystem, this, &RadioSession::onRemoved);
    connect(link_, &radio::RadioLink::errorOccurred, this, &RadioSession::onError);
    connect(link_, &radio::RadioLink::dataReceived, this, [this](const QByteArray& data) {
        if (const auto value = m_replies.feed(data))
            signalLevel = *value;
        m_checker.read(data);
    });
}

void RadioSession::openOrClose() {
    // A dropped rigctld connection let its link go; Connect makes a new one.
    if (!m_link && m_rigctld)
        chooseRigctldAddress(m_rigctldAddress);
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
    if (radio::SerialLink* serial = serialLink())
        serial->setLineSettings(settings);
    m_link->open();
}

void RadioSession::send(const QList<QByteArray>& writes) {
    if (!m_link)
        return;
    for (const QByteArray& bytes : writes)
        m_link->sendData(bytes);
}

void RadioSession::tune(core::ListKind list, const tuning::TuneCommands& commands) {
    using radio::TuneVerdict;
    // A read-back of an earlier Tune would pass for this one's.
    m_readBackHz = 0;
    const auto fail = [this, list](const QString& text, TuneVerdict verdict) {
        emit tuneOutcome(list, text, verdict);
        emit tuneTold(list, text);
    };
    if (commands.refused)
        return fail(commands.diagnostics.value(0), TuneVerdict::Refused);
    if (!m_link || !m_link->isOpen())
        return fail(tr("Not connected to a radio"), TuneVerdict::NotConnected);
    // Serial commands on the daemon's socket, or rigctld text on a radio's port, would be
    // garbage to the other end.
    if ((commands.family == tuning::Family::Rigctld) != !serialLink()) {
        print(QStringLiteral("The chosen radio does not match the link; choose the radio again"));
        return fail(tr("Choose the radio again"), TuneVerdict::Refused);
    }
    m_checker.start(list, commands, civAddress, vfo);
}

void RadioSession::onTuneChecked(core::ListKind list, const radio::TuneCheck& check) {
    using radio::TuneVerdict;
    // An empty report clears the last one: it would pass for this tune's.
    emit radioReported(check.report);
    m_readBackHz = check.readBackHz;
    // A refusal is the radio's answer, not a fault of the port: the lists stay in front.
    const QString link = m_link ? m_link->kind() + u' ' + m_link->description() : QString();
    for (const QString& line : check.refusals)
        print(link + QStringLiteral(": ") + line);
    if (check.verdict == TuneVerdict::NotFollowed || check.verdict == TuneVerdict::NoAnswer)
        print(check.status);
    if (check.verdict == TuneVerdict::NotFollowed || !check.refusals.isEmpty())
        play(QStringLiteral("Frog"), false);
    QString status = check.status;
    // A failed tune names its refusal already; one that went on says what the radio refused.
    if (check.verdict != TuneVerdict::Refused && !check.refusals.isEmpty())
        status += QStringLiteral(". ") + check.refusals.join(QStringLiteral("; "));
    emit tuneOutcome(list, status, check.verdict);
    emit tuneTold(list, check.spoken);
}

void RadioSession::onOpened() {
    emit linkStateChanged(LinkState::Connected);
    if (radio::SerialLink* serial = serialLink(); serial && m_preferences) {
        m_preferences->setText(QStringLiteral("defaultPort"), serial->description());
        m_preferences->setText(QStringLiteral("defaultBaud"),
                               familyCode == u"I" ? QStringLiteral("19200")
                                                  : QString::number(serial->baudRate()));
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
    if (m_link && !serialLink() && m_cues.notifier)
        m_cues.notifier->notify(tr("Radio Disconnected"),
                                m_link->kind() + QStringLiteral(" at ") + m_link->description() +
                                    QStringLiteral(" closed the connection."));
    detach();
    setLink(nullptr);
    emit linkStateChanged(LinkState::Removed);
}

void RadioSession::onError(const QString& description) {
    const QString link =
        m_link ? m_link->kind() + u' ' + m_link->description() : QStringLiteral("SerialPort ");
    print(link + QStringLiteral(" encountered an error: ") + description);
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
