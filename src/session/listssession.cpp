#include "session/listssession.h"

#include "feeds/feedloader.h"
#include "net/politeness.h"
#include "nets/netconfirm.h"
#include "session/bundled.h"

namespace session {

using core::ListKind;

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
}

bool ListsSession::hasDirectoryService() const {
    return core::isWebAddress(m_hosts.maker);
}

void ListsSession::load(ListKind list, const QDateTime& now, LoadReason reason) {
    if (const QString feed = feedKey(list); !feed.isEmpty()) {
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
    status.hidden = m_status[core::listIndex(loaded.list)].hidden;
    status.rows = int(feeds::rowCount(loaded.rows));
    status.loadedAt = m_policy->now();
    status.failure = loaded.failure;
    status.notice = loaded.notice;
    setStatus(loaded.list, status);
    emit listShown(loaded.list, loaded.failure);
}

bool ListsSession::confirm(const QString& netId, const QString& netName, bool confirm,
                           const QString& key) {
    return m_confirmer->send(m_hosts.maker, key, netId, confirm, netName);
}

} // namespace session
