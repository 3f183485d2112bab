#include "feeds/feedloader.h"

#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"
#include "feeds/wwffspots.h"

namespace feeds {

namespace {

// The maker's lists change with every confirmation, so they always go to the origin.
net::CachePolicy cachePolicy(ListKind list) {
    return list == ListKind::Nets || list == ListKind::MW ? net::CachePolicy::AlwaysNetwork
                                                          : net::CachePolicy::Default;
}

template <class Row>
ListRows withDiagnostics(Parsed<Row>&& parsed, QStringList& diagnostics, QString* notice,
                         bool* unreadable = nullptr) {
    diagnostics += parsed.diagnostics;
    if (notice)
        *notice = parsed.notice;
    if (unreadable)
        *unreadable = parsed.unreadable;
    return std::move(parsed.rows);
}

} // namespace

ListRows emptyRows(ListKind list) {
    switch (list) {
    case ListKind::Pota:
        return QList<core::PotaSpot>();
    case ListKind::Sota:
        return QList<core::SotaSpot>();
    case ListKind::Wwff:
        return QList<core::WwffSpot>();
    case ListKind::NetLogger:
        return QList<core::NetLoggerNet>();
    case ListKind::Nets:
        return QList<core::DirectoryNet>();
    case ListKind::MW:
        break;
    }
    return QList<core::MwStation>();
}

qsizetype rowCount(const ListRows& rows) {
    return std::visit([](const auto& list) { return list.size(); }, rows);
}

ListRows parseList(ListKind list, const QByteArray& body, const QDateTime& now,
                   QStringList& diagnostics, QString* notice, bool* unreadable) {
    switch (list) {
    case ListKind::Pota:
        return withDiagnostics(parsePotaSpots(body, now), diagnostics, notice, unreadable);
    case ListKind::Sota:
        return withDiagnostics(parseSotaSpots(body, now), diagnostics, notice, unreadable);
    case ListKind::Wwff:
        return withDiagnostics(parseWwffSpots(body, now), diagnostics, notice, unreadable);
    case ListKind::NetLogger:
        return parseNetLoggerNets(decodeFeedText(body));
    case ListKind::Nets:
        return parseNetsDirectory(decodeFeedText(body));
    case ListKind::MW:
        break;
    }
    return parseMWStations(decodeFeedText(body));
}

QString feedPath(ListKind list) {
    switch (list) {
    case ListKind::Pota:
        return QStringLiteral("/spot/activator");
    case ListKind::Sota:
        return QStringLiteral("/api/spots/-3/all");
    case ListKind::Wwff:
        return QStringLiteral("/static/spots.json");
    case ListKind::NetLogger:
        return QStringLiteral("/api/GetActiveNets.php");
    case ListKind::Nets:
        return QStringLiteral("/nets.php");
    case ListKind::MW:
        break;
    }
    return QStringLiteral("/mw.php");
}

QUrl feedUrl(ListKind list, const core::ServiceHosts& hosts) {
    switch (list) {
    case ListKind::Pota:
        return core::serviceUrl(hosts.pota, feedPath(list));
    case ListKind::Sota:
        return core::serviceUrl(hosts.sota, feedPath(list));
    case ListKind::Wwff:
        return core::serviceUrl(hosts.wwff, feedPath(list));
    case ListKind::NetLogger:
        return core::serviceUrl(hosts.netLogger, feedPath(list));
    case ListKind::Nets:
    case ListKind::MW:
        break;
    }
    return core::serviceUrl(hosts.maker, feedPath(list));
}

FeedLoader::FeedLoader(ListKind list, QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_list(list)
    , m_fetch(nam) {
    connect(&m_fetch, &net::DeadlineFetch::diagnostic, this, &FeedLoader::diagnostic);
    connect(&m_fetch, &net::DeadlineFetch::expired, this, [this](const net::FetchResult& result) {
        LoadedList loaded{m_list, emptyRows(m_list), net::failureText(result, m_url, m_deadlineMs)};
        // An error page is read like any reply: it simply yields no rows.
        if (result.arrived) {
            QStringList lines;
            bool unreadable = false;
            loaded.rows = parseList(m_list, result.body, m_now, lines, &loaded.notice, &unreadable);
            for (const QString& line : lines)
                emit diagnostic(line);
            // An error page sent as a success is no empty list: it must not pass for one.
            if (unreadable && loaded.failure.isEmpty())
                loaded.failure =
                    QStringLiteral("the reply from %1 is not a list of spots").arg(m_url.host());
        }
        emit shown(loaded);
    });
}

void FeedLoader::setDeadlineMs(int ms) {
    m_deadlineMs = ms;
    m_fetch.setDeadlineMs(ms);
}

void FeedLoader::start(const QUrl& url, const QDateTime& now) {
    m_url = url;
    m_now = now;
    m_fetch.start(net::makeRequest(url, cachePolicy(m_list), net::kFeedTimeoutMs));
}

} // namespace feeds
