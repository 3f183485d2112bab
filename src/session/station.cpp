#include "session/station.h"

#include "net/politeness.h"
#include "nets/operatorkey.h"
#include "session/spotsources.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace session {

using core::ListKind;

Station::Station(const Platform& platform, QObject* parent)
    : QObject(parent)
    , runningVersion(conditions::kVersion)
    , newestVersion(conditions::kVersion)
    , m_platform(platform)
    , m_preferences(platform.settings)
    , m_radio(platform.ports, &m_preferences, {platform.sounds, platform.notifier, platform.out})
    , m_lists(platform.nam, platform.hosts, platform.out)
    , m_conditions(platform.nam)
    , m_version(platform.nam)
    , m_reminders(&m_preferences, platform.clock, platform.out) {
    if (!m_platform.clock)
        m_platform.clock = [] { return QDateTime::currentDateTimeUtc(); };
    connect(&m_reminders, &Reminders::due, this, [this](const QString& said) {
        announce(said);
        if (m_platform.notifier)
            m_platform.notifier->notify(tr("Net reminder"), said);
        emit reminderDue(said);
    });
    connect(&m_lists, &ListsSession::listShown, this,
            [this](ListKind list, const QString& failure) {
                // A directory that did not load says nothing of which nets are gone.
                if (list == ListKind::Nets && failure.isEmpty())
                    m_reminders.setListed(m_lists.rows<core::DirectoryNet>().rows());
                if (list == ListKind::Nets || list == ListKind::NetLogger)
                    refreshNetTimes();
            });
    connect(&m_netTimes, &QTimer::timeout, this, &Station::refreshNetTimes);
    m_netTimes.start(60'000);
    // The address the operator chose overrides the one this build was made with.
    if (platform.settings && platform.settings->contains(QStringLiteral("serviceUrl")))
        m_lists.setDirectoryService(QUrl(m_preferences.text(QStringLiteral("serviceUrl"))));
    m_platform.hosts.maker = m_lists.hosts().maker;
    connect(&m_radio, &RadioSession::portsAppeared, this, &Station::settingsRestore);
    connect(&m_radio, &RadioSession::tuneOutcome, &m_lists, &ListsSession::setTuneOutcome);
    // A refresh the service's rule held back is answered at once with when the next may go.
    connect(&m_lists, &ListsSession::loadHeldBack, this, [this](ListKind list, const QString& why) {
        if (m_funkAfterLoad.remove(list))
            emit loadTold(list, why);
    });
    connect(
        &m_lists, &ListsSession::listShown, this, [this](ListKind list, const QString& failure) {
            if (m_funkAfterLoad.remove(list)) {
                playSwitchable(QStringLiteral("Funk"));
                emit loadTold(list, loadSentence(list, m_lists.model(list)->rowCount(), failure));
            }
            // A confirmation names a net of the service's own list, never one of the bundled
            // rows.
            if (list == ListKind::Nets && failure.isEmpty() && m_lists.hasDirectoryService() &&
                !std::exchange(m_serviceNetsShown, true))
                emit confirmationsReadyChanged(confirmationsReady());
            // Only a good load says what is on the air: after a failed one, every watched spot
            // would be new again.
            if ((list != ListKind::Pota && list != ListKind::Sota && list != ListKind::Wwff) ||
                !failure.isEmpty())
                return;
            ListModel* model = m_lists.model(list);
            const QList<int> hits = m_tracker.newHits(list, *model, m_watch);
            model->setHighlighted(hits);
            for (int row : hits) {
                const QString said = watchAnnouncement(model->facts(row));
                if (!m_screenReader)
                    announce(said);
                if (m_platform.notifier)
                    m_platform.notifier->notify(tr("Watched spot"), said);
                emit watchedSpotted(list, said);
            }
        });
    m_watch = WatchList::fromText(m_preferences.text(QStringLiteral("watchList")));
    connect(&m_autoRefresh, &QTimer::timeout, this, [this] {
        // Automatic, so the feeds are asked no more than once a minute whatever the setting.
        for (ListKind list : {ListKind::Pota, ListKind::Sota, ListKind::Wwff, ListKind::NetLogger})
            m_lists.load(list, QDateTime::currentDateTimeUtc(), LoadReason::Automatic);
    });
    applyRefreshMinutes(m_preferences.text(QStringLiteral("refreshMinutes")).toInt());
    connect(&m_lists, &ListsSession::confirmAnswered, this, [this](bool, const QString& said) {
        if (!m_screenReader)
            announce(said);
        emit confirmationTold(said);
        m_lists.load(ListKind::Nets);
    });
    connect(&m_conditions, &conditions::ConditionsFetcher::shown, this,
            [this](const conditions::PanelView& view) {
                emit conditionsShown(view);
                if (std::exchange(m_funkAfterConditions, false))
                    playSwitchable(QStringLiteral("Funk"));
            });
    connect(&m_conditions, &conditions::ConditionsFetcher::diagnostic, this, &Station::print);
    connect(&m_version, &conditions::VersionFetcher::finished, this, [this](const QString& newest) {
        newestVersion = newest;
        m_versionAnswered = true;
        maybeRunVersionCheck();
    });
    connect(&m_version, &conditions::VersionFetcher::diagnostic, this, &Station::print);
    if (m_platform.keys) {
        m_keyLoaded = false;
        connect(m_platform.keys, &nets::OperatorKeyStore::loaded, this, [this] {
            if (!std::exchange(m_keyLoaded, true))
                emit confirmationsReadyChanged(confirmationsReady());
        });
    } else {
        m_keyLoaded = true;
    }
    applySpotSources(readSpotSources(m_preferences));
    connect(&m_lists, &ListsSession::spotSourcesSwitched, this,
            [this](const feeds::SotaSourceSettings& sources) {
                storeSpotSources(m_preferences, sources);
            });
}

Station::~Station() = default;

void Station::print(const QString& line) const {
    core::writeDiagnostic(m_platform.out, line);
}

void Station::playSwitchable(const QString& name) {
    if (m_preferences.soundsOn() && m_platform.sounds)
        m_platform.sounds->play(name);
}

void Station::start() {
    if (started)
        return;
    settingsRestore();
    fetchBandConditions();
    // Without a directory service there is nobody to ask about new versions.
    if (m_lists.hasDirectoryService())
        m_version.start(m_platform.hosts.maker);
    QTimer::singleShot(500, this, [this] {
        m_restorePauseOver = true;
        maybeRunVersionCheck();
    });
}

void Station::settingsRestore() {
    const QString radioTitle = m_preferences.text(QStringLiteral("defaultRadio"));
    const QString port = m_preferences.text(QStringLiteral("defaultPort"));
    const QString baud = m_preferences.text(QStringLiteral("defaultBaud"));
    if (!radioTitle.isEmpty())
        m_radio.showRadio(radioTitle);
    if (!baud.isEmpty()) {
        print(baud);
        m_radio.showBaud(baud.toInt());
    }
    if (!port.isEmpty())
        m_radio.showPort(port);
    m_preferences.restoreSwitches();
    started = true;
    // The six loads run side by side; each shows its rows two seconds after its own start.
    for (ListKind list : {ListKind::Pota, ListKind::NetLogger, ListKind::Sota, ListKind::Wwff,
                          ListKind::Nets, ListKind::MW})
        m_lists.load(list, QDateTime::currentDateTimeUtc(), LoadReason::Automatic);
}

void Station::refresh(Refresh what) {
    ListKind list = ListKind::Pota;
    switch (what) {
    case Refresh::Conditions:
        m_funkAfterConditions = true;
        fetchBandConditions();
        return;
    case Refresh::Pota:
        break;
    case Refresh::NetLogger:
        list = ListKind::NetLogger;
        break;
    case Refresh::Sota:
        list = ListKind::Sota;
        break;
    case Refresh::Wwff:
        list = ListKind::Wwff;
        break;
    case Refresh::Nets:
        list = ListKind::Nets;
        break;
    }
    m_funkAfterLoad.insert(list);
    m_lists.load(list);
}

void Station::showHelp() {
    if (!m_lists.hasDirectoryService())
        return print(QStringLiteral("No directory service is set, so there is no product page "
                                    "to open; see the README or man bandhopper"));
    if (m_platform.browser)
        m_platform.browser->open(conditions::productPageUrl(m_platform.hosts.maker));
}

QString Station::remind(int row) {
    const auto& nets = m_lists.rows<core::DirectoryNet>().rows();
    if (row < 0 || row >= nets.size())
        return {};
    const core::DirectoryNet& net = nets[row];
    if (!m_reminders.add(net))
        return tr("%1 has no session to be reminded of").arg(net.name);
    // A session within the lead time is told of at once, and that is the one thing to say.
    const auto& waiting = m_reminders.list();
    if (std::none_of(waiting.begin(), waiting.end(),
                     [&net](const Reminder& r) { return r.netId == net.netId; }))
        return {};
    return tr("You will be reminded %1 minutes before %2 starts")
        .arg(m_reminders.leadMinutes())
        .arg(net.name);
}

void Station::refreshNetTimes() {
    auto& nets = m_lists.rows<core::DirectoryNet>();
    const QDateTime now = m_platform.clock();
    QStringList next;
    for (const core::DirectoryNet& net : nets.rows())
        next << nextSessionText(net, now);
    nets.setColumnTexts(u"next", next);
    nets.setColumnTexts(u"active",
                        activeTexts(nets.rows(), m_lists.rows<core::NetLoggerNet>().rows()));
}

void Station::setWatchList(const QString& text) {
    m_watch = WatchList::fromText(text);
    m_preferences.setText(QStringLiteral("watchList"), m_watch.toText());
}

void Station::setRefreshMinutes(int minutes) {
    applyRefreshMinutes(minutes);
    m_preferences.setText(QStringLiteral("refreshMinutes"), QString::number(m_refreshMinutes));
}

void Station::applyRefreshMinutes(int minutes) {
    m_refreshMinutes = std::clamp(minutes, 0, 24 * 60);
    if (m_refreshMinutes == 0)
        return m_autoRefresh.stop();
    m_autoRefresh.start(m_refreshMinutes * 60'000);
}

bool Station::confirmationsReady() const {
    return m_keyLoaded && m_lists.hasDirectoryService() && m_serviceNetsShown;
}

void Station::setServiceUrl(const QString& url) {
    m_preferences.setText(QStringLiteral("serviceUrl"), url.trimmed());
    m_lists.setDirectoryService(QUrl(url.trimmed()));
    m_serviceNetsShown = false;
    m_platform.hosts.maker = m_lists.hosts().maker;
    emit confirmationsReadyChanged(confirmationsReady());
    m_lists.load(ListKind::Nets);
    m_lists.load(ListKind::MW);
}

void Station::tune(ListKind list, int row) {
    const ListModel* model = m_lists.model(list);
    // A press for a row that a reload has since removed does nothing.
    if (row < 0 || row >= model->rowCount())
        return;
    tuning::TuneInput input = model->tuneInput(row);
    input.familyCode = m_radio.familyCode;
    input.civAddress = m_radio.civAddress;
    input.vfo = m_radio.vfo;
    const tuning::TuneCommands commands = tuning::composeTune(input);
    m_radio.tune(list, commands);
    if (!commands.refused)
        cmd = commands.cmd();
    for (const QString& line : commands.diagnostics)
        print(line);
    if (!commands.refused)
        announce(commands.announcement);
}

void Station::confirm(int row, bool confirm) {
    const auto& nets = m_lists.rows<core::DirectoryNet>().rows();
    if (row < 0 || row >= nets.size() || !m_keyLoaded)
        return;
    if (!m_lists.hasDirectoryService()) {
        const QString address = m_lists.hosts().maker.toString();
        return print(
            QStringLiteral("net %1 not sent for %2: %3")
                .arg(confirm ? QStringLiteral("confirmation") : QStringLiteral("retraction"),
                     nets[row].name,
                     address.isEmpty()
                         ? QStringLiteral("no directory service is set")
                         : u'"' + address + QStringLiteral("\" is not a web address")));
    }
    if (!m_serviceNetsShown)
        return print(
            QStringLiteral("net %1 not sent for %2: the directory service's nets have "
                           "not arrived yet")
                .arg(confirm ? QStringLiteral("confirmation") : QStringLiteral("retraction"),
                     nets[row].name));
    const QString key = m_platform.keys ? m_platform.keys->ensureKey() : QString();
    m_lists.confirm(nets[row].netId, nets[row].name, confirm, key);
}

void Station::announce(const QString& text) {
    if (m_preferences.voiceOn() && m_platform.speech)
        m_platform.speech->say(text);
}

void Station::fetchBandConditions() {
    m_conditions.start(m_platform.hosts.solar);
}

void Station::setDeadlineMs(int ms) {
    m_lists.setDeadlineMs(ms);
    m_conditions.setDeadlineMs(ms);
}

void Station::setSpotSources(const feeds::SotaSourceSettings& sources) {
    storeSpotSources(m_preferences, sources);
    applySpotSources(readSpotSources(m_preferences));
    m_lists.load(ListKind::Sota);
}

void Station::setIdentity(const StationIdentity& identity) {
    const bool callsignChanged = identity.callsign != spotSources().callsign;
    storeStationIdentity(m_preferences, identity);
    applySpotSources(readSpotSources(m_preferences));
    // The cluster logs in with the callsign, so it is asked again under the new one.
    if (callsignChanged && spotSources().source == feeds::SotaSource::Cluster)
        m_lists.load(ListKind::Sota);
}

void Station::applySpotSources(const feeds::SotaSourceSettings& sources) {
    m_lists.setSpotSources(sources);
    if (net::RequestPolicy* policy = net::policyOf(m_platform.nam))
        policy->setCallsign(sources.callsign);
}

void Station::maybeRunVersionCheck() {
    if (m_versionChecked || !m_versionAnswered || !m_restorePauseOver)
        return;
    m_versionChecked = true;
    if (const auto alert = conditions::updateAlert(runningVersion, newestVersion))
        emit updateAvailable(*alert);
    emit versionChecked();
}

void Station::downloadInstaller() {
    if (m_platform.browser && m_lists.hasDirectoryService())
        m_platform.browser->open(conditions::installerUrl(m_platform.hosts.maker));
}

} // namespace session
