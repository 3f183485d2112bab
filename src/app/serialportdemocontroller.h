#pragma once

#include "app/platform.h"
#include "app/windowcontrols.h"
#include "feeds/rows.h"
#include "radio/replyparser.h"
#include "radio/seriallink.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <array>
#include <memory>

namespace conditions {
class ConditionsFetcher;
struct PanelView;
class VersionFetcher;
} // namespace conditions
namespace feeds {
class FeedLoader;
}
namespace nets {
class NetConfirmer;
}
namespace ui {
class RowTableModel;
class TableBinder;
} // namespace ui

namespace app {

// The application's logic: it holds every piece of state, serves the five tables and is the
// target of every control. The work itself is done by the pure functions of each subsystem;
// this class hands their results to the window and the platform.
class SerialPortDemoController : public QObject {
    Q_OBJECT
public:
    SerialPortDemoController(const WindowControls& window, const Platform& platform,
                             QObject* parent = nullptr);
    ~SerialPortDemoController() override;

    // Start-up and refresh.
    void awakeFromNib();
    void settingsRestore();
    void go(QObject* sender);
    void showHelp(QObject* sender = nullptr);

    // Radio link.
    void setSerialPort(std::unique_ptr<radio::SerialLink> port);
    radio::SerialLink* serialPort() const { return m_serialPort.get(); }
    void openOrClosePort(QObject* sender = nullptr);
    void goRadio(QObject* sender = nullptr);
    void serialPortWasOpened();
    void serialPortWasClosed();
    void serialPortWasRemovedFromSystem();
    void serialPortDidEncounterError(const QString& description);
    void serialPortDidReceiveData(const QByteArray& data);
    void serialPortsWereConnected(const QList<radio::PortInfo>& ports);
    void serialPortsWereDisconnected(const QList<radio::PortInfo>& ports);

    // Tuning and announcements.
    void goPotaTune(QObject* sender);
    void goSotaTune(QObject* sender);
    void goNetLoggerTune(QObject* sender);
    void goNetsTune(QObject* sender);
    void goMWTune(QObject* sender);
    void goMainMenu(QObject* sender);
    void announce(const QString& text);

    // Lists, conditions and notices.
    void loadPotaSpots();
    void loadSotaSpots();
    void loadNetLoggerNets();
    void loadNetsDirectory();
    void loadMWStations();
    void fetchBandConditions();
    void versionCheck();
    // How long every list load and the band-conditions fetch wait before showing what arrived;
    // shortened only by soak runs that repeat hundreds of loads.
    void setDeadlineMs(int ms);

    // Net confirmations.
    void goNetsConfirm(QObject* sender);
    void goNetsUnconfirm(QObject* sender);

    const feeds::Rows& rows(feeds::ListKind list) const;
    ui::RowTableModel* model(feeds::ListKind list) const;

    // State. "1" switches are on, anything else off.
    QString kvRadio;
    QString kvIC = QStringLiteral("70");
    QString kvAorB = QStringLiteral("A");
    QString kvVoiceGuide;
    QString kvSounds;
    int kvSignal = 0;
    int kvPortChecked = 0;
    QString kvVersion;
    QString kvNewestVersion;
    QString cmd;
    feeds::Rows kvPotaArray;
    feeds::Rows kvSotaArray;
    feeds::Rows kvNetLoggerArray;
    feeds::Rows kvNetsArray;
    feeds::Rows kvMWArray;
    const QList<qint32> availableBaudRates{19200, 38400};

signals:
    // For the window and for tests: a list, the panel or the notice has been settled.
    void listShown(feeds::ListKind list);
    void conditionsShown();
    void versionChecked();

private:
    void print(const QString& line) const;
    void playResourceSound(const QString& name);
    void playSystemSound(const QString& name);
    void setButtonState(const QString& title, const QColor* colour);
    void fillPortPopUp();
    void onPortChosen(int index);
    void onListShown(feeds::ListKind list, const feeds::Rows& rows);
    void onConditionsShown(const conditions::PanelView& view);
    void startLoad(feeds::ListKind list);
    void tune(feeds::ListKind list, QObject* sender);
    void confirm(QObject* sender, bool confirm);
    void maybeRunVersionCheck();
    feeds::Rows& rowsRef(feeds::ListKind list);

    WindowControls m_window;
    Platform m_platform;
    std::unique_ptr<radio::SerialLink> m_serialPort;
    radio::MeterReplyReader m_replies;

    std::array<feeds::FeedLoader*, 5> m_loaders{};
    std::array<ui::RowTableModel*, 5> m_models{};
    std::array<ui::TableBinder*, 5> m_binders{};
    QSet<feeds::ListKind> m_funkAfterLoad;
    conditions::ConditionsFetcher* m_conditions = nullptr;
    bool m_funkAfterConditions = false;
    conditions::VersionFetcher* m_versionFetcher = nullptr;
    nets::NetConfirmer* m_confirmer = nullptr;
    bool m_versionAnswered = false;
    bool m_restorePauseOver = false;
    bool m_versionChecked = false;
    bool m_fillingPorts = false;
};

} // namespace app
