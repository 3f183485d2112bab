#include "app/serialportdemocontroller.h"

#include "conditions/bandconditions.h"
#include "conditions/updatenotice.h"
#include "feeds/http.h"
#include "nets/netconfirm.h"
#include "nets/operatorkey.h"
#include "radio/radiomodels.h"
#include "tuning/sounds.h"
#include "tuning/speech.h"
#include "ui/rowtablemodel.h"
#include "ui/tablebinder.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>

namespace app {
namespace {

using feeds::ListKind;

constexpr std::array kLists{ListKind::Pota, ListKind::Sota, ListKind::NetLogger, ListKind::Nets,
                            ListKind::MW};

constexpr int index(ListKind list) {
    return static_cast<int>(list);
}

// Refresh tags of go().
constexpr int kTagWebPage = 805;
constexpr int kTagConditions = 810;
constexpr int kTagPota = 811;
constexpr int kTagNetLogger = 812;
constexpr int kTagSota = 813;
constexpr int kTagNets = 814;

// Menu-item tags carry the switch state: on / off.
constexpr int kVoiceOn = 900;
constexpr int kVoiceOff = 1900;
constexpr int kSoundsOn = 901;
constexpr int kSoundsOff = 1901;

} // namespace

SerialPortDemoController::SerialPortDemoController(const WindowControls& window,
                                                   const Platform& platform, QObject* parent)
    : QObject(parent)
    , kvVersion(conditions::kVersion)
    , kvNewestVersion(conditions::kVersion)
    , m_window(window)
    , m_platform(platform) {
    m_window.RadioPopUpButton->addItems(radio::radioPopUpTitles());
    connect(m_window.RadioPopUpButton, &QComboBox::activated, this, [this] { goRadio(); });

    for (qint32 rate : availableBaudRates)
        m_window.BaudPopUpButton->addItem(QString::number(rate));
    connect(m_window.BaudPopUpButton, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (m_serialPort && i >= 0)
            m_serialPort->setBaudRate(availableBaudRates.value(i));
    });

    m_window.PortPopUpButton->setPlaceholderText(tr("Choose a port"));
    fillPortPopUp();
    connect(m_window.PortPopUpButton, &QComboBox::currentIndexChanged, this,
            &SerialPortDemoController::onPortChosen);
    connect(m_window.openCloseButton, &QPushButton::clicked, this, [this] { openOrClosePort(); });
    if (m_platform.ports) {
        connect(m_platform.ports, &radio::PortManager::portsConnected, this,
                &SerialPortDemoController::serialPortsWereConnected);
        connect(m_platform.ports, &radio::PortManager::portsDisconnected, this,
                &SerialPortDemoController::serialPortsWereDisconnected);
    }

    for (QAction* item : {m_window.menuItemPreferencesVoice, m_window.menuItemPreferencesSounds})
        connect(item, &QAction::triggered, this, [this, item] { goMainMenu(item); });

    connect(m_window.mainTab, &QTabWidget::currentChanged, this, [this](int i) {
        const QWidget* tab = m_window.mainTab->widget(i);
        print(tab ? tab->objectName() : QString());
    });

    const std::array<QTableView*, 5> views{m_window.potaTable, m_window.sotaTable,
                                           m_window.netLoggerTable, m_window.netsTable,
                                           m_window.mwTable};
    const std::array<void (SerialPortDemoController::*)(QObject*), 5> tunes{
        &SerialPortDemoController::goPotaTune, &SerialPortDemoController::goSotaTune,
        &SerialPortDemoController::goNetLoggerTune, &SerialPortDemoController::goNetsTune,
        &SerialPortDemoController::goMWTune};
    for (ListKind list : kLists) {
        const int i = index(list);
        m_models[i] = new ui::RowTableModel(list, m_platform.hosts, this);
        m_binders[i] = new ui::TableBinder(views[i], m_models[i], this);
        m_binders[i]->onButton(ui::CellKind::TuneButton,
                               [this, tune = tunes[i]](QObject* sender) { (this->*tune)(sender); });
        connect(m_binders[i], &ui::TableBinder::linkActivated, this, [this](const QUrl& url) {
            if (m_platform.browser)
                m_platform.browser->open(url);
        });
        m_loaders[i] = new feeds::FeedLoader(list, m_platform.nam, this);
        connect(m_loaders[i], &feeds::FeedLoader::shown, this,
                [this, list](const feeds::Rows& rows) { onListShown(list, rows); });
        connect(m_loaders[i], &feeds::FeedLoader::diagnostic, this,
                &SerialPortDemoController::print);
    }
    m_binders[index(ListKind::Nets)]->onButton(ui::CellKind::ConfirmButton,
                                               [this](QObject* s) { goNetsConfirm(s); });
    m_binders[index(ListKind::Nets)]->onButton(ui::CellKind::UnconfirmButton,
                                               [this](QObject* s) { goNetsUnconfirm(s); });

    m_conditions = new conditions::ConditionsFetcher(m_platform.nam, this);
    connect(m_conditions, &conditions::ConditionsFetcher::shown, this,
            &SerialPortDemoController::onConditionsShown);
    connect(m_conditions, &conditions::ConditionsFetcher::diagnostic, this,
            &SerialPortDemoController::print);

    m_versionFetcher = new conditions::VersionFetcher(m_platform.nam, this);
    connect(m_versionFetcher, &conditions::VersionFetcher::finished, this,
            [this](const QString& newest) {
                kvNewestVersion = newest;
                m_versionAnswered = true;
                maybeRunVersionCheck();
            });
    connect(m_versionFetcher, &conditions::VersionFetcher::diagnostic, this,
            &SerialPortDemoController::print);

    m_confirmer = new nets::NetConfirmer(m_platform.nam, this);
    connect(m_confirmer, &nets::NetConfirmer::finished, this,
            [this](bool, const QString& announcement) {
                announce(announcement);
                loadNetsDirectory();
            });
    connect(m_confirmer, &nets::NetConfirmer::diagnostic, this, &SerialPortDemoController::print);
}

SerialPortDemoController::~SerialPortDemoController() {
    if (m_platform.ports)
        disconnect(m_platform.ports, nullptr, this, nullptr);
    if (m_serialPort) {
        disconnect(m_serialPort.get(), nullptr, this, nullptr);
        m_serialPort->close();
    }
}

void SerialPortDemoController::print(const QString& line) const {
    if (m_platform.out) {
        m_platform.out(line);
        return;
    }
    QTextStream out(stdout);
    out << line << Qt::endl;
}

void SerialPortDemoController::playResourceSound(const QString& name) {
    if (m_platform.sounds)
        m_platform.sounds->play(name);
}

void SerialPortDemoController::playSystemSound(const QString& name) {
    playResourceSound(name);
}

void SerialPortDemoController::awakeFromNib() {
    if (kvPortChecked != 0)
        return;
    settingsRestore();
    fetchBandConditions();
    m_versionFetcher->start(m_platform.hosts.maker);
    QTimer::singleShot(500, this, [this] {
        m_restorePauseOver = true;
        maybeRunVersionCheck();
    });
}

void SerialPortDemoController::settingsRestore() {
    QSettings* settings = m_platform.settings;
    const auto text = [settings](const char* key) {
        return settings ? settings->value(QLatin1String(key)).toString() : QString();
    };
    const auto selectTitle = [](QComboBox* popUp, const QString& title) {
        const int i = popUp->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0)
            popUp->setCurrentIndex(i);
    };
    const QString radioTitle = text("defaultRadio");
    const QString port = text("defaultPort");
    const QString baud = text("defaultBaud");
    if (!radioTitle.isEmpty())
        selectTitle(m_window.RadioPopUpButton, radioTitle);
    if (!baud.isEmpty()) {
        print(baud);
        selectTitle(m_window.BaudPopUpButton, baud);
    }
    if (!port.isEmpty())
        selectTitle(m_window.PortPopUpButton, port);

    const auto switchText = [settings](const char* key) {
        const QString k = QLatin1String(key);
        return settings && settings->contains(k) ? settings->value(k).toString()
                                                 : QStringLiteral("1");
    };
    kvSounds = switchText("sounds");
    kvVoiceGuide = switchText("voice");
    const bool soundsOn = kvSounds == QLatin1String("1");
    const bool voiceOn = kvVoiceGuide == QLatin1String("1");
    m_window.menuItemPreferencesSounds->setChecked(soundsOn);
    m_window.menuItemPreferencesSounds->setProperty("tag", soundsOn ? kSoundsOn : kSoundsOff);
    m_window.menuItemPreferencesVoice->setChecked(voiceOn);
    m_window.menuItemPreferencesVoice->setProperty("tag", voiceOn ? kVoiceOn : kVoiceOff);
    kvPortChecked = 1;

    // The five loads run side by side; each shows its rows two seconds after its own start.
    for (ListKind list :
         {ListKind::Pota, ListKind::NetLogger, ListKind::Sota, ListKind::Nets, ListKind::MW})
        startLoad(list);
}

void SerialPortDemoController::go(QObject* sender) {
    switch (ui::tagOf(sender)) {
    case kTagWebPage:
        showHelp(sender);
        break;
    case kTagConditions:
        m_funkAfterConditions = true;
        fetchBandConditions();
        break;
    case kTagPota:
        m_funkAfterLoad.insert(ListKind::Pota);
        loadPotaSpots();
        break;
    case kTagNetLogger:
        m_funkAfterLoad.insert(ListKind::NetLogger);
        loadNetLoggerNets();
        break;
    case kTagSota:
        m_funkAfterLoad.insert(ListKind::Sota);
        loadSotaSpots();
        break;
    case kTagNets:
        m_funkAfterLoad.insert(ListKind::Nets);
        loadNetsDirectory();
        break;
    default:
        break;
    }
}

void SerialPortDemoController::showHelp(QObject*) {
    if (m_platform.browser)
        m_platform.browser->open(conditions::productPageUrl(m_platform.hosts.maker));
}

void SerialPortDemoController::goMainMenu(QObject* sender) {
    QSettings* settings = m_platform.settings;
    const auto store = [settings](const char* key, const char* value) {
        if (settings)
            settings->setValue(QLatin1String(key), QString::fromLatin1(value));
    };
    switch (ui::tagOf(sender)) {
    case kVoiceOn:
        kvVoiceGuide = QStringLiteral("0");
        sender->setProperty("tag", kVoiceOff);
        store("voice", "0");
        m_window.menuItemPreferencesVoice->setChecked(false);
        break;
    case kVoiceOff:
        kvVoiceGuide = QStringLiteral("1");
        sender->setProperty("tag", kVoiceOn);
        store("voice", "1");
        m_window.menuItemPreferencesVoice->setChecked(true);
        break;
    case kSoundsOn:
        kvSounds = QStringLiteral("0");
        sender->setProperty("tag", kSoundsOff);
        store("sounds", "0");
        m_window.menuItemPreferencesSounds->setChecked(false);
        break;
    case kSoundsOff:
        kvSounds = QStringLiteral("1");
        sender->setProperty("tag", kSoundsOn);
        store("sounds", "1");
        m_window.menuItemPreferencesSounds->setChecked(true);
        break;
    default:
        break;
    }
}

void SerialPortDemoController::announce(const QString& text) {
    if (kvVoiceGuide != QLatin1String("1") || !m_platform.speech)
        return;
    m_platform.speech->say(text);
}

void SerialPortDemoController::maybeRunVersionCheck() {
    if (m_versionChecked || !m_versionAnswered || !m_restorePauseOver)
        return;
    m_versionChecked = true;
    versionCheck();
}

void SerialPortDemoController::versionCheck() {
    const auto alert = conditions::updateAlert(kvVersion, kvNewestVersion);
    if (alert && m_platform.prompter) {
        m_platform.prompter->showUpdateAlert(*alert, [this](bool download) {
            if (download && m_platform.browser)
                m_platform.browser->open(conditions::installerUrl(m_platform.hosts.maker));
        });
    }
    emit versionChecked();
}

const feeds::Rows& SerialPortDemoController::rows(ListKind list) const {
    return const_cast<SerialPortDemoController*>(this)->rowsRef(list);
}

feeds::Rows& SerialPortDemoController::rowsRef(ListKind list) {
    switch (list) {
    case ListKind::Pota:
        return kvPotaArray;
    case ListKind::Sota:
        return kvSotaArray;
    case ListKind::NetLogger:
        return kvNetLoggerArray;
    case ListKind::Nets:
        return kvNetsArray;
    case ListKind::MW:
        break;
    }
    return kvMWArray;
}

ui::RowTableModel* SerialPortDemoController::model(ListKind list) const {
    return m_models[index(list)];
}

} // namespace app
