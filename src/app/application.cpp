#include "app/application.h"

#include "app/logdialogs.h"
#include "app/logtab.h"
#include "session/logsession.h"
#include "session/watchlist.h"

#include "conditions/updatenotice.h"
#include "core/servicehosts.h"
#include "desktop/notifier.h"
#include "nets/operatorkey.h"
#include "radio/qtseriallink.h"
#include "session/station.h"
#include "voice/sounds.h"
#include "voice/speech.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QBoxLayout>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
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
    m_controller =
        std::make_unique<WindowBinding>(m_window->controls(), *m_station, m_prompter.get());
    QObject::connect(m_window->controls().actionOperatorKey, &QAction::triggered, m_window.get(),
                     [this] { askOperatorKey(); });
    QAction* service = m_window->controls().menuPreferences->addAction(
        QObject::tr("Directory Service…"), m_window.get(), [this] { askServiceUrl(); });
    service->setObjectName(QStringLiteral("actionDirectoryService"));
    QAction* watch = m_window->controls().menuPreferences->addAction(
        QObject::tr("Watch List…"), m_window.get(), [this] { askWatchList(); });
    watch->setObjectName(QStringLiteral("actionWatchList"));
    addLog();
}

Application::~Application() {
    // The binding and the station let go of the port and the seams before they are destroyed.
    m_controller.reset();
    m_log.reset();
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
    dialog->setLabelText(QObject::tr("Callsigns, park, summit and WWFF references to watch for, "
                                     "one per line; * stands for anything (US-*, W7O/*, KFF-*, "
                                     "N0CALL*):"));
    dialog->setOption(QInputDialog::UsePlainTextEditForTextInput);
    dialog->setTextValue(m_station->watchList().toText());
    QObject::connect(dialog, &QInputDialog::textValueSelected, m_window.get(),
                     [this](const QString& text) { m_station->setWatchList(text); });
    dialog->open();
}

namespace {

QLabel* statusOf(const WindowControls& controls, core::ListKind list) {
    switch (list) {
    case core::ListKind::Pota:
        return controls.potaStatus;
    case core::ListKind::Sota:
        return controls.sotaStatus;
    case core::ListKind::Wwff:
        return controls.wwffStatus;
    case core::ListKind::NetLogger:
        return controls.netLoggerStatus;
    case core::ListKind::Nets:
        return controls.netsStatus;
    case core::ListKind::MW:
        break;
    }
    return controls.mwStatus;
}

} // namespace

void Application::addLog() {
    m_log = std::make_unique<session::LogSession>(&m_settings, &m_nam);
    QObject::connect(m_log.get(), &session::LogSession::statusChanged, m_window.get(),
                     [this](const QString& text) {
                         m_controller->tell(text);
                         if (!m_station->screenReaderActive())
                             m_station->announce(text);
                     });
    // The marks of POTA, SOTA and WWFF follow every load and every change of the log; a watch
    // list's "new:POTA", "new:SOTA" or "new:WWFF" is told of each new reference once, like a
    // watched callsign.
    const auto applyMarks = [this](core::ListKind list) {
        session::ListModel* model = m_station->lists().model(list);
        model->setMarks(m_log->rowMarks(list, *model, QDateTime::currentDateTimeUtc().date()));
    };
    QObject::connect(&m_station->lists(), &session::ListsSession::listShown, m_window.get(),
                     [this, applyMarks](core::ListKind list) {
                         if (!session::programOf(list))
                             return;
                         applyMarks(list);
                         session::ListModel* model = m_station->lists().model(list);
                         const QList<int> hits =
                             m_log->newReferenceHits(list, *model, m_station->watchList(),
                                                     QDateTime::currentDateTimeUtc().date());
                         model->setHighlighted(hits);
                         for (int row : hits) {
                             const QString said =
                                 QObject::tr("New reference: %1")
                                     .arg(session::watchAnnouncement(model->facts(row)));
                             m_station->announce(said);
                             m_notifier->notify(QObject::tr("New reference"), said);
                         }
                     });
    QObject::connect(m_log.get(), &session::LogSession::marksChanged, m_window.get(), [applyMarks] {
        for (core::ListKind list : core::kAllLists)
            if (session::programOf(list))
                applyMarks(list);
    });
    const WindowControls& controls = m_window->controls();
    auto* tab = new LogTab(*m_log, m_station->preferences());
    controls.mainTab->addTab(tab, QObject::tr("Log"));

    QMenu* menu = m_window->menuBar()->addMenu(QObject::tr("&Log"));
    menu->setObjectName(QStringLiteral("menuLog"));
    QAction* logContact =
        menu->addAction(QObject::tr("Log Contact…"), m_window.get(), [this] { askContact(); });
    logContact->setObjectName(QStringLiteral("actionLogContact"));
    logContact->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    QAction* send = menu->addAction(QObject::tr("Send Unsent"), m_window.get(),
                                    [this] { m_log->sendUnsent(); });
    send->setObjectName(QStringLiteral("actionSendUnsent"));
    QAction* logging = controls.menuPreferences->addAction(QObject::tr("Logging…"), m_window.get(),
                                                           [this] { askLogging(); });
    logging->setObjectName(QStringLiteral("actionLogging"));

    // A Log button beside each list's status line.
    for (core::ListKind list : core::kAllLists) {
        QLabel* status = statusOf(controls, list);
        auto* box = status ? qobject_cast<QBoxLayout*>(status->parentWidget()->layout()) : nullptr;
        const int at = box ? box->indexOf(status) : -1;
        if (at < 0)
            continue;
        auto* button = new QPushButton(QObject::tr("Log"), status->parentWidget());
        button->setObjectName(core::listName(list) + QStringLiteral("LogButton"));
        button->setAccessibleName(QObject::tr("Log a contact from %1").arg(core::listTitle(list)));
        QObject::connect(button, &QPushButton::clicked, m_window.get(), [this] { askContact(); });
        box->removeWidget(status);
        auto* row = new QHBoxLayout;
        row->addWidget(status, 1);
        row->addWidget(button);
        box->insertLayout(at, row);
    }
    // Once the Log tab and the marks follow the log, so that its one reading reaches both.
    if (!m_log->open())
        printLine(m_log->errorText());
}

void Application::askContact() {
    const WindowControls& controls = m_window->controls();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // The radio's own word on where it is beats the spot's.
    const qint64 radioHz = m_station->radio().lastReadBackHz();
    logbook::Contact contact = session::prefilledContact(core::ListKind::NetLogger, {}, {}, radioHz,
                                                         now, m_log->ownStation());
    // The selected row of the list in front, if one is.
    for (core::ListKind list : core::kAllLists) {
        QTableView* table = controls.tableOf(list);
        if (!table || !controls.mainTab->currentWidget() ||
            !controls.mainTab->currentWidget()->isAncestorOf(table))
            continue;
        QModelIndex index = table->currentIndex();
        while (index.isValid()) {
            const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model());
            if (!proxy)
                break;
            index = proxy->mapToSource(index);
        }
        const session::ListModel* model = m_station->lists().model(list);
        if (!index.isValid() || index.model() != model || index.row() >= model->rowCount())
            break;
        // SOTA's spots name the activator.
        const QString name =
            list == core::ListKind::Sota ? model->rowColumns(index.row()).value(1) : QString();
        contact = session::prefilledContact(list, model->facts(index.row()), name, radioHz, now,
                                            m_log->ownStation());
        break;
    }
    auto* dialog = new LogContactDialog(contact, false, m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &LogContactDialog::chosen, m_window.get(),
                     [this](const logbook::Contact& chosen) { m_log->log(chosen); });
    dialog->open();
}

void Application::askLogging() {
    auto* dialog =
        new LoggingDialog(m_log->destinations(), m_log->webLogKey().key(), m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &LoggingDialog::chosen, m_window.get(),
                     [this](const logbook::DestinationSettings& destinations, const QString& key) {
                         m_log->setDestinations(destinations, key);
                     });
    dialog->open();
}

} // namespace app
