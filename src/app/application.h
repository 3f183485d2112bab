#pragma once

#include "app/mainwindow.h"
#include "app/windowbinding.h"
#include "core/seams.h"
#include "core/servicehosts.h"
#include "net/politeness.h"

#include <QSettings>

#include <memory>

namespace desktop {
class DBusNotifier;
}
namespace nets {
class OperatorKeyStore;
}
namespace radio {
class PortManager;
}
namespace session {
class LogSession;
class Station;
} // namespace session
namespace voice {
class MediaSoundPlayer;
class QueuedSpeech;
} // namespace voice

namespace app {

class DesktopBrowser : public core::Browser {
public:
    void open(const QUrl& url) override;
};

// The notice as a window-modal message box that does not hold up the event loop.
class MessageBoxPrompter : public UpdatePrompter {
public:
    explicit MessageBoxPrompter(QWidget* parent)
        : m_parent(parent) {}
    void showUpdateAlert(const conditions::UpdateAlert& alert,
                         std::function<void(bool download)> done) override;

private:
    QWidget* m_parent;
};

// The whole application with its real platform pieces: the window, the station and everything
// they talk to. `hosts` lets a test harness point every service at loopback.
class Application {
public:
    explicit Application(const core::ServiceHosts& hosts = {});
    ~Application();

    MainWindow& window() { return *m_window; }
    session::Station& station() { return *m_station; }
    // Starts the station and shows the window, then selects the first tab, as a desktop
    // application does once launching has finished.
    void launch();

private:
    void askOperatorKey();
    void askServiceUrl();
    void askWatchList();
    // The contact log: the Log menu, Preferences, Logging…, the Log tab and the Log buttons.
    void addLog();
    void askContact();
    void askLogging();

    QSettings m_settings;
    net::PoliteNetworkAccess m_nam;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<radio::PortManager> m_ports;
    std::unique_ptr<voice::QueuedSpeech> m_speech;
    std::unique_ptr<voice::MediaSoundPlayer> m_sounds;
    std::unique_ptr<desktop::DBusNotifier> m_notifier;
    std::unique_ptr<nets::OperatorKeyStore> m_keys;
    DesktopBrowser m_browser;
    std::unique_ptr<MessageBoxPrompter> m_prompter;
    std::unique_ptr<session::Station> m_station;
    std::unique_ptr<WindowBinding> m_controller;
    std::unique_ptr<session::LogSession> m_log;
};

void printLine(const QString& line);

} // namespace app
