#pragma once

#include "conditions/bandconditions.h"
#include "conditions/updatenotice.h"
#include "core/seams.h"
#include "core/servicehosts.h"
#include "session/listssession.h"
#include "session/preferences.h"
#include "session/radiosession.h"
#include "session/reminders.h"
#include "session/spotsources.h"
#include "session/watchlist.h"

#include <QObject>
#include <QSet>
#include <QTimer>

class QNetworkAccessManager;
class QSettings;

namespace nets {
class OperatorKeyStore;
}

namespace session {

// Everything outside the sessions that they talk to, handed in so that tests can substitute
// each piece. The station owns none of them.
struct Platform {
    QSettings* settings = nullptr;
    radio::PortManager* ports = nullptr;
    core::SpeechEngine* speech = nullptr;
    core::SoundPlayer* sounds = nullptr;
    core::Notifier* notifier = nullptr;
    core::Browser* browser = nullptr;
    QNetworkAccessManager* nam = nullptr;
    nets::OperatorKeyStore* keys = nullptr;
    core::ServiceHosts hosts;
    core::DiagnosticSink out; // standard output when empty
    std::function<QDateTime()> clock =
        {}; // now in UTC, for the nets' times; the system's when empty
};

// What a refresh command reloads.
enum class Refresh { Conditions, Pota, NetLogger, Sota, Wwff, Nets };

// The application without its window: the three sessions, start-up, refreshes, Tune, net
// confirmations, announcements, the band conditions and the update check. The window binds its
// controls to these slots and signals; the command-line tool uses the same pieces.
class Station : public QObject {
    Q_OBJECT
public:
    explicit Station(const Platform& platform, QObject* parent = nullptr);
    ~Station() override;

    Preferences& preferences() { return m_preferences; }
    RadioSession& radio() { return m_radio; }
    ListsSession& lists() { return m_lists; }
    const Platform& platform() const { return m_platform; }

    // The start-up sequence: once per run, however often it is called.
    void start();
    // Shows the remembered radio, rate and port, reads the switches and loads the six lists.
    void settingsRestore();

    void refresh(session::Refresh what);
    void showHelp();
    void tune(core::ListKind list, int row);
    void confirm(int row, bool confirm);
    // Speaks when the voice guide is on.
    void announce(const QString& text);
    // With a screen reader running, what it is told (watched spots, confirmation answers) is
    // not spoken by the voice guide as well; the guide keeps to the names it speaks on a Tune.
    void setScreenReaderActive(bool active) { m_screenReader = active; }
    bool screenReaderActive() const { return m_screenReader; }
    void fetchBandConditions();
    // Opens the installer's page; the answer to updateAvailable.
    void downloadInstaller();
    // Every list load and the band-conditions fetch wait this long before showing what arrived.
    void setDeadlineMs(int ms);
    // The SOTA source and the cluster: stored, applied, and the SOTA list reloaded from the new
    // source. The callsign in `sources` is ignored: it is the station's.
    void setSpotSources(const feeds::SotaSourceSettings& sources);
    // The operator's callsign and grid: stored, named in every request from now on and used for
    // the cluster's log-in.
    void setIdentity(const StationIdentity& identity);
    StationIdentity identity() const { return readStationIdentity(m_preferences); }
    const feeds::SotaSourceSettings& spotSources() const { return m_lists.spotSources(); }
    // A directory service is set, its nets are shown and the operator key has been read, so a
    // confirmation can go out, names one of the service's nets and carries the key.
    bool confirmationsReady() const;
    // The nets shown are the directory service's own.
    bool serviceNetsShown() const { return m_serviceNetsShown; }
    // The directory service's address ("serviceUrl" in the settings); empty for none, which
    // leaves the Nets and MW tabs with the lists bundled into the application.
    void setServiceUrl(const QString& url);
    QString serviceUrl() const { return m_lists.hosts().maker.toString(); }
    // The callsigns and references the operator waits for ("watchList" in the settings): a new
    // spot of one is marked, announced and notified once.
    void setWatchList(const QString& text);
    const WatchList& watchList() const { return m_watch; }
    // The reminders of nets and their lead time ("Remind Me" on a Nets row).
    Reminders& reminders() { return m_reminders; }
    // Reminds the operator before the next session of the Nets row; what to tell them.
    QString remind(int row);
    // POTA, SOTA, WWFF and NetLogger reload by themselves every `minutes` ("refreshMinutes"); 0
    // is never.
    void setRefreshMinutes(int minutes);
    int refreshMinutes() const { return m_refreshMinutes; }

    bool started = false;
    QString runningVersion;
    QString newestVersion;
    QString cmd; // the last composed command, as printed

signals:
    void conditionsShown(const conditions::PanelView& view);
    // A version other than the running one is published.
    void updateAvailable(const conditions::UpdateAlert& alert);
    void versionChecked();
    void confirmationsReadyChanged(bool ready);
    // A watched callsign or reference has just been spotted.
    void watchedSpotted(core::ListKind list, const QString& announcement);
    // A net the operator asked to be reminded of starts soon; already spoken and notified.
    void reminderDue(const QString& announcement);
    // A load the operator asked for settled: "POTA: 54 spots", "POTA did not load: ...".
    void loadTold(core::ListKind list, const QString& sentence);
    // The directory service answered a confirmation or retraction.
    void confirmationTold(const QString& sentence);

private:
    void print(const QString& line) const;
    void playSwitchable(const QString& name);
    void maybeRunVersionCheck();
    void applyRefreshMinutes(int minutes);
    void applySpotSources(const feeds::SotaSourceSettings& sources);
    // The Nets tab's next sessions and NetLogger marks, as of now.
    void refreshNetTimes();

    Platform m_platform;
    Preferences m_preferences;
    RadioSession m_radio;
    ListsSession m_lists;
    conditions::ConditionsFetcher m_conditions;
    conditions::VersionFetcher m_version;
    QSet<core::ListKind> m_funkAfterLoad;
    bool m_screenReader = false;
    bool m_funkAfterConditions = false;
    bool m_versionAnswered = false;
    bool m_restorePauseOver = false;
    bool m_versionChecked = false;
    bool m_keyLoaded = false;
    bool m_serviceNetsShown = false;
    WatchList m_watch;
    WatchTracker m_tracker;
    QTimer m_autoRefresh;
    int m_refreshMinutes = 0;
    Reminders m_reminders;
    QTimer m_netTimes;
};

} // namespace session
