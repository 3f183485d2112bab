#include "app/application.h"

#include "conditions/updatenotice.h"
#include "core/servicehosts.h"
#include "desktop/notifier.h"
#include "nets/operatorkey.h"
#include "radio/qtseriallink.h"
#include "session/station.h"
#include "voice/sounds.h"
#include "voice/speech.h"

#include <QAction>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

namespace app {

void printLine(const QString& line) {
    QTextStream out(stdout);
    out << line << Qt::endl;
}

void DesktopBrowser::open(const QUrl& url) {
    if (!QDesktopServices::openUrl(url))
        printLine(QStringLiteral("Cannot open ") + url.toString());
}

void MessageBoxPrompter::showUpdateAlert(const conditions::UpdateAlert& alert,
                                         std::function<void(bool download)> done) {
    auto* box = new QMessageBox(m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setText(alert.message);
    box->setInformativeText(alert.informative);
    QPushButton* download = box->addButton(alert.firstButton, QMessageBox::AcceptRole);
    box->addButton(alert.secondButton, QMessageBox::RejectRole);
    box->setDefaultButton(download);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, download, done] { done(box->clickedButton() == download); });
    box->open();
}

Application::Application(const core::ServiceHosts& hosts)
    : m_window(std::make_unique<MainWindow>())
    , m_ports(std::make_unique<radio::QtPortManager>())
    , m_speech(std::make_unique<voice::QueuedSpeech>())
    , m_sounds(std::make_unique<voice::MediaSoundPlayer>(voice::defaultSoundsDir()))
    , m_notifier(std::make_unique<desktop::DBusNotifier>())
    , m_keys(std::make_unique<nets::OperatorKeyStore>(&m_settings))
    , m_prompter(std::make_unique<MessageBoxPrompter>(m_window.get())) {
    QObject::connect(m_speech.get(), &voice::QueuedSpeech::diagnostic, printLine);
    QObject::connect(m_notifier.get(), &desktop::DBusNotifier::diagnostic, printLine);
    QObject::connect(m_keys.get(), &nets::OperatorKeyStore::diagnostic, printLine);

    session::Platform platform;
    platform.settings = &m_settings;
    platform.ports = m_ports.get();
    platform.speech = m_speech.get();
    platform.sounds = m_sounds.get();
    platform.notifier = m_notifier.get();
    platform.browser = &m_browser;
    platform.nam = &m_nam;
    platform.keys = m_keys.get();
    platform.hosts = hosts;
    m_station = std::make_unique<session::Station>(platform);
    m_controller = std::make_unique<WindowBinding>(m_window->controls(), *m_station,
                                                              m_prompter.get());
    QObject::connect(m_window->controls().actionOperatorKey, &QAction::triggered, m_window.get(),
                     [this] { askOperatorKey(); });
    QAction* service = m_window->controls().menuPreferences->addAction(
        QObject::tr("Directory Service…"), m_window.get(), [this] { askServiceUrl(); });
    service->setObjectName(QStringLiteral("actionDirectoryService"));
    QAction* watch = m_window->controls().menuPreferences->addAction(
        QObject::tr("Watch List…"), m_window.get(), [this] { askWatchList(); });
    watch->setObjectName(QStringLiteral("actionWatchList"));
}

Application::~Application() {
    // The binding and the station let go of the port and the seams before they are destroyed.
    m_controller.reset();
    m_station.reset();
}

void Application::launch() {
    m_speech->reportAvailability();
    m_keys->load();
    m_station->start();
    m_window->show();
    QTimer::singleShot(0, m_window.get(),
                       [this] { m_window->controls().mainTab->setCurrentIndex(0); });
}

void Application::askOperatorKey() {
    auto* dialog = new QInputDialog(m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QObject::tr("Operator Key"));
    dialog->setLabelText(
        QObject::tr("Key that identifies you to the nets directory (leave empty to clear):"));
    dialog->setTextEchoMode(QLineEdit::Password);
    dialog->setTextValue(m_keys->key());
    QObject::connect(dialog, &QInputDialog::textValueSelected, m_keys.get(),
                     [this](const QString& key) { m_keys->setKey(key.trimmed()); });
    dialog->open();
}

void Application::askServiceUrl() {
    auto* dialog = new QInputDialog(m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QObject::tr("Directory Service"));
    dialog->setLabelText(QObject::tr("Address of the directory service for nets, stations and "
                                     "confirmations (leave empty for the lists built in):"));
    dialog->setTextValue(m_station->serviceUrl());
    QObject::connect(
        dialog, &QInputDialog::textValueSelected, m_window.get(), [this](const QString& text) {
            if (!text.trimmed().isEmpty() && !core::isWebAddress(QUrl(text.trimmed()))) {
                m_window->statusBar()->showMessage(
                    QObject::tr("\"%1\" is not an http or https address; the "
                                "directory service is unchanged")
                        .arg(text.trimmed()));
                return;
            }
            m_station->setServiceUrl(text.trimmed());
        });
    dialog->open();
}

void Application::askWatchList() {
    auto* dialog = new QInputDialog(m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QObject::tr("Watch List"));
    dialog->setLabelText(QObject::tr("Callsigns, park and summit references to watch for, one per "
                                     "line; * stands for anything (K-*, W7O/*, N0CALL*):"));
    dialog->setOption(QInputDialog::UsePlainTextEditForTextInput);
    dialog->setTextValue(m_station->watchList().toText());
    QObject::connect(dialog, &QInputDialog::textValueSelected, m_window.get(),
                     [this](const QString& text) { m_station->setWatchList(text); });
    dialog->open();
}

} // namespace app
