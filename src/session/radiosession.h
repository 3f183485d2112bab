#pragma once

#include "core/seams.h"
#include "radio/replyparser.h"
#include "radio/seriallink.h"
#include "session/tunechecker.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace session {

class Preferences;

// What the connect button shows.
enum class LinkState {
    Connected, // green, "Connected"
    Closed,    // red, "Connect"
    Removed,   // "Connect", colour left as it was
};

// The link to the radio: which model is attached (family and CI-V address), which port and rate
// (or which rigctld address) the operator chose, opening and closing, what the link reports,
// writing Tune commands and checking that the radio followed. It drives no widgets; the window
// shows what it reports.
class RadioSession : public QObject {
    Q_OBJECT
public:
    struct Cues {
        core::SoundPlayer* sounds = nullptr;
        core::Notifier* notifier = nullptr;
        core::DiagnosticSink out;
    };

    RadioSession(radio::PortManager* ports, Preferences* preferences, Cues cues,
                 QObject* parent = nullptr);
    ~RadioSession() override;

    // Radio choice: the family follows the item's position, the address its title.
    static QStringList radioTitles();
    void chooseRadio(int index, const QString& title);
    // Shows a remembered radio and applies its family and address without storing them again;
    // false when no item has that title.
    bool showRadio(const QString& title);

    QString familyCode;
    QString civAddress = QStringLiteral("70");
    QString vfo = QStringLiteral("A");
    int signalLevel = 0;

    // Ports and rates the pop-ups offer, and what they show.
    QStringList portDescriptions() const;
    QString shownPort() const { return m_shownPort; }
    static QList<qint32> baudRates() { return {19200, 38400}; }
    qint32 shownBaud() const { return m_baud; }

    // The operator's choice of a port: the link to it replaces the current one, also when it is
    // the same port chosen again (the device may have come back under the same name).
    void choosePort(const QString& description);
    // The operator's choice of a rate; it applies to the link at once.
    void chooseBaud(qint32 rate);
    // A remembered port or rate shown again: the port is assigned unless it is the current link,
    // and the rate waits for the next open, so an open link keeps the rate it runs at.
    bool showPort(const QString& description);
    bool showBaud(qint32 rate);

    // The rigctld item replaces the port and rate by a host:port address, remembered as
    // "rigctldAddress". A malformed address is refused and the current one shown again.
    bool usesRigctld() const { return m_rigctld; }
    QString rigctldAddress() const { return m_rigctldAddress; }
    void chooseRigctldAddress(const QString& text);

    radio::RadioLink* link() const { return m_link.get(); }
    // Assigns the link: the previous one is closed (the window hears of it) and let go.
    void setLink(std::unique_ptr<radio::RadioLink> link);
    void openOrClose();
    // Bytes of one Tune, one write each, in order; nothing when no link is assigned.
    void send(const QList<QByteArray>& writes);
    // Sends a composed Tune, asks the radio back and reports through radioReported and
    // tuneOutcome; a refused composition or a closed link is reported at once.
    void tune(core::ListKind list, const tuning::TuneCommands& commands);
    // Where the radio said it was after the last Tune; 0 when it did not answer that Tune.
    qint64 lastReadBackHz() const { return m_readBackHz; }
    // How long a tune waits for the radio's next answer (1 s).
    void setAnswerTimeoutMs(int ms) { m_checker.setTimeoutMs(ms); }

signals:
    void radioShown(const QString& title);
    void portsChanged();
    void portShown(const QString& description);
    void baudShown(qint32 rate);
    void linkStateChanged(session::LinkState state);
    // 0.3 s after a port opened: the lists come to the front.
    void listsWanted();
    // After a port error: the radio controls come to the front.
    void radioWanted();
    // Ports appeared; the settings are restored after this.
    void portsAppeared();
    // true: the rigctld address replaces the port and rate pop-ups; false: the other way round.
    void rigctldShown(bool shown);
    void rigctldAddressShown(const QString& address);
    // "Radio reports 14.074.000 MHz USB-D" after a tune; "" when the radio did not say.
    void radioReported(const QString& text);
    // What became of a tune: "Tuned", "Radio did not follow: reports ...", "No answer from the
    // radio", ...; for the status line of the list it came from.
    void tuneOutcome(core::ListKind list, const QString& text, radio::TuneVerdict verdict);
    // The same outcome as one short sentence for a screen reader ("Tuned 14.074 USB"), every
    // time, however often it repeats.
    void tuneTold(core::ListKind list, const QString& sentence);

private:
    void print(const QString& line) const;
    void play(const QString& name, bool switchable);
    void onOpened();
    void onClosed();
    void onRemoved();
    void onError(const QString& description);
    void onPortsConnected(const QList<radio::PortInfo>& ports);
    void onPortsDisconnected(const QList<radio::PortInfo>& ports);
    void detach();
    radio::SerialLink* serialLink() const;
    void showRigctld(bool shown);
    // The family and address of the pop-up's item, without storing the choice.
    void applyRadio(int index, const QString& title);
    void onTuneChecked(core::ListKind list, const radio::TuneCheck& check);

    QPointer<radio::PortManager> m_ports;
    Preferences* m_preferences;
    Cues m_cues;
    std::unique_ptr<radio::RadioLink> m_link;
    radio::MeterReplyReader m_replies;
    TuneChecker m_checker;
    QString m_shownPort;
    qint32 m_baud = 19200;
    qint64 m_readBackHz = 0;
    bool m_rigctld = false;
    QString m_rigctldAddress = QStringLiteral("localhost:4532");
};

} // namespace session
