#include "session/listssession.h"

#include "feeds/feedloader.h"
#include "feeds/spotfeeds.h"
#include "net/politeness.h"
#include "nets/netconfirm.h"
#include "session/bundled.h"

namespace session {

using core::ListKind;

namespace {

const QString kSotaSwitched =
    QStringLiteral("SOTA's old address is retired; now reading the current SOTA API");
const QString kSotaWantsCallsign =
    QStringLiteral("SOTA asks programs to name their operator: set your callsign in Preferences, "
                   "Station…");

QString clockSeconds(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" UTC");
}

} // namespace

ListsSession::ListsSession(QNetworkAccessManager* nam, const core::ServiceHosts& hosts,
                           core::DiagnosticSink out, QObject* parent)
    : QObject(parent)
    , m_nam(nam)
    , m_hosts(hosts)
    , m_out(std::move(out)) {
    m_models = {new TypedListModel<core::PotaSpot>(hosts, this),
                new TypedListModel<core::SotaSpot>(hosts, this),
                new TypedListModel<core::WwffSpot>(hosts, this),
                new TypedListModel<core::NetLoggerNet>(hosts, this),
                new TypedListModel<core::DirectoryNet>(hosts, this),
                new TypedListModel<core::MwStation>(hosts, this)};
    for (ListKind list : core::kAllLists) {
        auto* loader = new feeds::FeedLoader(list, nam, this);
        m_loaders[core::listIndex(list)] = loader;
        connect(loader, &feeds::FeedLoader::shown, this, &ListsSession::onLoaded);
        connect(loader, &feeds::FeedLoader::diagnostic, this, &ListsSession::print);
    }
    m_handOver.setSingleShot(true);
    m_handOver.setInterval(0);
    connect(&m_handOver, &QTimer::timeout, this, &ListsSession::showNext);
    // The window's network keeps the manners of every request; a bare one gets a policy here so
    // that the once-a-minute rule holds all the same.
    m_policy = net::policyOf(nam);
    if (!m_policy) {
        m_ownPolicy = std::make_unique<net::RequestPolicy>();
        m_policy = m_ownPolicy.get();
    }
    m_sota = new feeds::SotaSourceLoader(nam, this);
    connect(m_sota, &feeds::SotaSourceLoader::shown, this, &ListsSession::onLoaded);
    connect(m_sota, &feeds::SotaSourceLoader::diagnostic, this, &ListsSession::print);
    m_confirmer = new nets::NetConfirmer(nam, this);
    connect(m_confirmer, &nets::NetConfirmer::diagnostic, this, &ListsSession::print);
    connect(m_confirmer, &nets::NetConfirmer::finished, this, &ListsSession::confirmAnswered);
}

ListsSession::~ListsSession() = default;

void ListsSession::print(const QString& line) const {
    core::writeDiagnostic(m_out, line);
}

ListModel* ListsSession::model(ListKind list) const {
    return m_models[core::listIndex(list)];
}

void ListsSession::setDirectoryService(const QUrl& url) {
    m_hosts.maker = url;
    // Loads from the previous source, still under way or waiting to be shown, must not land in
    // the lists of the new one, and that one has not loaded yet.
    for (ListKind list : {ListKind::Nets, ListKind::MW}) {
        m_loaders[core::listIndex(list)]->cancel();
        m_settled.removeIf([list](const feeds::LoadedList& loaded) { return loaded.list == list; });
        m_goodLoadAt[core::listIndex(list)] = {};
    }
}

bool ListsSession::hasDirectoryService() const {
    return core::isWebAddress(m_hosts.maker);
}

void ListsSession::load(ListKind list, const QDateTime& now, LoadReason reason) {
    if (const QString feed = feedKey(list); !feed.isEmpty()) {
        // SOTA asks every client for one load a minute at most, so the operator's refresh keeps
        // to it too; the rows stay and the line says when the next may go.
        if (list == ListKind::Sota && !m_policy->mayAskAutomatically(feed)) {
            ListStatus status = m_status[core::listIndex(list)];
            status.pause = QStringLiteral("SOTA asks for one request a minute; next at %1")
                               .arg(clockSeconds(m_policy->nextAutomatic(feed)));
            setStatus(list, status);
            emit loadHeldBack(list, status.pause);
            return;
        }
        if (reason == LoadReason::Automatic && !m_policy->mayAskAutomatically(feed)) {
            ListStatus status = m_status[core::listIndex(list)];
            status.heldBackAt = m_policy->now();
            return setStatus(list, status);
        }
        m_policy->noteAsked(feed);
    }
    if (list == ListKind::Sota && spotSources().source != feeds::SotaSource::Legacy)
        return m_sota->start(m_hosts, now);
    if ((list == ListKind::Nets || list == ListKind::MW) && !hasDirectoryService())
        return onLoaded(bundledList(list, now));
    m_loaders[core::listIndex(list)]->start(feeds::feedUrl(list, m_hosts), now);
}

void ListsSession::setDeadlineMs(int ms) {
    for (feeds::FeedLoader* loader : m_loaders)
        loader->setDeadlineMs(ms);
    m_sota->setDeadlineMs(ms);
}

void ListsSession::setSpotSources(const feeds::SotaSourceSettings& sources) {
    m_sota->setSettings(sources);
}

const feeds::SotaSourceSettings& ListsSession::spotSources() const {
    return m_sota->settings();
}

QString ListsSession::feedKey(ListKind list) const {
    switch (list) {
    case ListKind::Pota:
    case ListKind::Wwff:
    case ListKind::NetLogger:
        return core::listName(list);
    case ListKind::Sota:
        if (spotSources().source == feeds::SotaSource::Cluster)
            break;
        return QStringLiteral("sota-") + feeds::sotaSourceName(spotSources().source);
    case ListKind::Nets:
    case ListKind::MW:
        break;
    }
    return {};
}

QString ListsSession::statusText(ListKind list) const {
    return session::statusText(m_status[core::listIndex(list)]);
}

void ListsSession::setHiddenRows(ListKind list, int hidden) {
    ListStatus status = m_status[core::listIndex(list)];
    if (status.hidden == hidden)
        return;
    status.hidden = hidden;
    setStatus(list, status);
}

void ListsSession::setTuneOutcome(ListKind list, const QString& text) {
    ListStatus status = m_status[core::listIndex(list)];
    status.tuned = text;
    setStatus(list, status);
}

void ListsSession::setStatus(ListKind list, const ListStatus& status) {
    m_status[core::listIndex(list)] = status;
    emit statusChanged(list, session::statusText(status));
}

void ListsSession::onLoaded(const feeds::LoadedList& loaded) {
    if (switchedFromRetiredSota(loaded))
        return;
    // Lists started together settle together; handed to their models one per turn of the event
    // loop, they never hold the window up for all of them at once.
    for (feeds::LoadedList& waiting : m_settled)
        if (waiting.list == loaded.list)
            return void(waiting = loaded);
    m_settled.append(loaded);
    if (!m_handOver.isActive())
        m_handOver.start();
}

void ListsSession::showNext() {
    if (m_settled.isEmpty())
        return;
    const feeds::LoadedList loaded = m_settled.takeFirst();
    const int i = core::listIndex(loaded.list);
    // A load that failed or came too late leaves the rows of the last good one, so that a
    // network blip never takes away the row the operator was about to tune.
    const bool keep = !loaded.failure.isEmpty() && m_goodLoadAt[i].isValid();
    if (!keep)
        std::visit(
            [this](const auto& rows) {
                using Row = typename std::decay_t<decltype(rows)>::value_type;
                this->rows<Row>().setRows(rows);
            },
            loaded.rows);
    if (!m_settled.isEmpty())
        m_handOver.start();
    ListStatus status;
    // A new load is new news: the hidden count follows from the filter, the Tune was of old rows.
    status.hidden = m_status[i].hidden;
    status.rows = m_models[i]->rowCount();
    status.loadedAt = m_policy->now();
    status.failure = loaded.failure;
    status.notice = loaded.list == ListKind::Sota ? sotaNotice(loaded.notice) : loaded.notice;
    if (keep)
        status.keptFrom = m_goodLoadAt[i];
    else if (loaded.failure.isEmpty())
        m_goodLoadAt[i] = status.loadedAt;
    setStatus(loaded.list, status);
    emit listShown(loaded.list, loaded.failure);
}

bool ListsSession::switchedFromRetiredSota(const feeds::LoadedList& loaded) {
    if (loaded.list != ListKind::Sota || spotSources().source != feeds::SotaSource::Legacy)
        return false;
    if (loaded.failure.isEmpty() && loaded.notice != feeds::kSotaDeprecatedNotice)
        return false;
    feeds::SotaSourceSettings sources = spotSources();
    sources.source = feeds::SotaSource::Api;
    print(QStringLiteral("SOTA: ") + kSotaSwitched +
          (loaded.failure.isEmpty() ? QString() : QStringLiteral(" (") + loaded.failure + u')'));
    m_sotaSwitchNotice = kSotaSwitched;
    setSpotSources(sources);
    emit spotSourcesSwitched(sources);
    load(ListKind::Sota, m_policy->now());
    return true;
}

QString ListsSession::sotaNotice(const QString& notice) {
    QStringList parts;
    if (!m_sotaSwitchNotice.isEmpty())
        parts << std::exchange(m_sotaSwitchNotice, QString());
    if (!notice.isEmpty())
        parts << notice;
    if (spotSources().callsign.isEmpty() && spotSources().source != feeds::SotaSource::Cluster)
        parts << kSotaWantsCallsign;
    return parts.join(QStringLiteral(". "));
}

bool ListsSession::confirm(const QString& netId, const QString& netName, bool confirm,
                           const QString& key) {
    return m_confirmer->send(m_hosts.maker, key, netId, confirm, netName);
}

} // namespace session
