#pragma once

#include "app/mainwindow.h"
#include "app/platform.h"
#include "app/serialportdemocontroller.h"

#include <QNetworkAccessManager>
#include <QSettings>

#include <memory>

namespace nets {
class OperatorKeyStore;
}
namespace radio {
class DBusNotifier;
class PortManager;
} // namespace radio
namespace tuning {
class MediaSoundPlayer;
class QueuedSpeech;
} // namespace tuning

namespace app {

class DesktopBrowser : public Browser {
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

// The whole application with its real platform pieces: the window, the controller and
// everything they talk to. `hosts` lets a test harness point every service at loopback.
class Application {
public:
    explicit Application(const feeds::ServiceHosts& hosts = {});
    ~Application();

    MainWindow& window() { return *m_window; }
    SerialPortDemoController& controller() { return *m_controller; }
    // Starts the controller and shows the window, then selects the first tab the way the
    // application delegate does once launching has finished.
    void launch();

private:
    void askOperatorKey();

    QSettings m_settings;
    QNetworkAccessManager m_nam;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<radio::PortManager> m_ports;
    std::unique_ptr<tuning::QueuedSpeech> m_speech;
    std::unique_ptr<tuning::MediaSoundPlayer> m_sounds;
    std::unique_ptr<radio::DBusNotifier> m_notifier;
    std::unique_ptr<nets::OperatorKeyStore> m_keys;
    DesktopBrowser m_browser;
    std::unique_ptr<MessageBoxPrompter> m_prompter;
    std::unique_ptr<SerialPortDemoController> m_controller;
};

void printLine(const QString& line);

} // namespace app
