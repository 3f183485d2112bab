#pragma once

#include "core/rows.h"
#include "core/seams.h"
#include "core/servicehosts.h"
#include "feeds/feedloader.h"
#include "feeds/sotasources.h"
#include "session/listmodel.h"
#include "session/liststatus.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <array>
#include <memory>

class QNetworkAccessManager;

namespace net {
class RequestPolicy;
}

namespace nets {
class NetConfirmer;
}

namespace session {

// Automatic loads (start-up, ports appearing, timed refreshes) never ask a public feed within a
// minute of its previous request; those the operator asks for always go out.
enum class LoadReason { Operator, Automatic };

// The six lists: their loads, the models that own their rows, and the confirmations of the
// nets directory.
class ListsSession : public QObject {
    Q_OBJECT
public:
    ListsSession(QNetworkAccessManager* nam, const core::ServiceHosts& hosts,
                 core::DiagnosticSink out, QObject* parent = nullptr);
    ~ListsSession() override;

    const core::ServiceHosts& hosts() const { return m_hosts; }
    // The directory service (nets, stations, confirmations) at `url`; an empty or unusable
    // address leaves the application with the lists bundled into it. Loads of the nets and
    // stations from the previous source are dropped.
    void setDirectoryService(const QUrl& url);
    bool hasDirectoryService() const;
    ListModel* model(core::ListKind list) const;
    template <class Row> TypedListModel<Row>& rows() const {
        return static_cast<TypedListModel<Row>&>(*model(Row::kind));
    }

    // Starts a load; its rows are shown 2.0 s later. A newer load of the same list supersedes
    // one still waiting. A load that fails keeps the rows of the last one that did not.
    // `now` is the instant the spot ages count to.
    // An automatic load of a feed asked within the last minute keeps the rows shown and says so.
    void load(core::ListKind list, const QDateTime& now = QDateTime::currentDateTimeUtc(),
              LoadReason reason = LoadReason::Operator);
    // How long every load waits before showing what arrived; shortened only by soak runs and
    // tests that repeat many loads.
    void setDeadlineMs(int ms);

    // Where SOTA spots come from; the cluster connection opens as soon as it is chosen.
    void setSpotSources(const feeds::SotaSourceSettings& sources);
    const feeds::SotaSourceSettings& spotSources() const;

    // The line under the list's table.
    QString statusText(core::ListKind list) const;
    // What the status line adds of the window's filter and of the last Tune of a row.
    void setHiddenRows(core::ListKind list, int hidden);
    void setTuneOutcome(core::ListKind list, const QString& text);

    // Sends a confirmation (or retraction) of a net; false, with one diagnostic line and
    // nothing sent, when the service's address is unusable.
    bool confirm(const QString& netId, const QString& netName, bool confirm, const QString& key);

signals:
    // A load settled: the list's model holds its rows, or, when it failed after an earlier load
    // that did not, still those of that load; `failure` says why nothing usable came back ("" when
    // the reply was read).
    void listShown(core::ListKind list, const QString& failure);
    // The service answered a confirmation (or failed to).
    void confirmAnswered(bool succeeded, const QString& announcement);
    // The line under the list's table changed.
    void statusChanged(core::ListKind list, const QString& text);
    // The legacy SOTA address proved retired, so SOTA is now read from the current API; the
    // operator's settings should keep that.
    void spotSourcesSwitched(const feeds::SotaSourceSettings& sources);
    // A load was not sent, by the service's own rule; `why` says when the next may go.
    void loadHeldBack(core::ListKind list, const QString& why);

private:
    void onLoaded(const feeds::LoadedList& loaded);
    void showNext();
    void print(const QString& line) const;
    // The name the once-a-minute rule knows the list's current feed by; "" for the maker's own
    // lists and the cluster, which are not asked over the web.
    QString feedKey(core::ListKind list) const;
    void setStatus(core::ListKind list, const ListStatus& status);
    // Whether the list's reply says the legacy SOTA address is gone; if so, the switch to the
    // current API is made and its first load started.
    bool switchedFromRetiredSota(const feeds::LoadedList& loaded);
    // What the SOTA status line adds: the switch just made, a missing callsign.
    QString sotaNotice(const QString& notice);

    QNetworkAccessManager* m_nam;
    core::ServiceHosts m_hosts;
    core::DiagnosticSink m_out;
    std::array<ListModel*, core::kAllLists.size()> m_models{};
    std::array<feeds::FeedLoader*, core::kAllLists.size()> m_loaders{};
    nets::NetConfirmer* m_confirmer = nullptr;
    QList<feeds::LoadedList> m_settled;
    QTimer m_handOver;
    std::unique_ptr<net::RequestPolicy> m_ownPolicy;
    net::RequestPolicy* m_policy = nullptr;
    feeds::SotaSourceLoader* m_sota = nullptr;
    std::array<ListStatus, core::kAllLists.size()> m_status{};
    QString m_sotaSwitchNotice;
    // When each list last loaded without failing; invalid while it never has.
    std::array<QDateTime, core::kAllLists.size()> m_goodLoadAt{};
};

} // namespace session
