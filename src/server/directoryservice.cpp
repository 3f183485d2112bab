#include "server/directoryservice.h"

#include "directory/linetext.h"
#include "directory/session.h"
#include "server/storagepool.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <algorithm>
#include <atomic>

namespace server {

Q_LOGGING_CATEGORY(lcService, "bandhopper.server")

HttpResponse errorResponse(const ApiError& error) {
    using Kind = ApiError::Kind;
    const int status = [&] {
        switch (error.kind) {
        case Kind::BadRequest:
            return 400;
        case Kind::NotFound:
            return 404;
        case Kind::MethodNotAllowed:
            return 405;
        case Kind::TooManyRequests:
            return 429;
        case Kind::Unavailable:
            return 503;
        }
        return 500;
    }();
    HttpResponse response = HttpResponse::error(status, error.message);
    if (error.retryAfterSeconds > 0)
        response.addHeader("Retry-After", QByteArray::number(error.retryAfterSeconds));
    if (error.kind == Kind::MethodNotAllowed)
        response.addHeader("Allow", error.allow);
    return response;
}

namespace {

HttpResponse text(const QByteArray& body, const QByteArray& type = "text/plain; charset=utf-8") {
    HttpResponse response;
    response.contentType = type;
    response.body = body;
    // The lists change with every confirmation; a cache in between would show stale counts.
    response.addHeader("Cache-Control", "no-cache");
    return response;
}

HttpResponse unavailable(const QString& why, int retryAfterSeconds) {
    return errorResponse(ApiError(ApiError::Kind::Unavailable, why, retryAfterSeconds));
}

} // namespace

Listing DirectoryController::listing(Storage& storage, const QDateTime& now) {
    const QList<directory::NetRecord> nets = storage.nets();
    const auto counts = storage.liveConfirmations(now);
    struct Entry {
        QDateTime start;
        directory::ListedNet listed;
    };
    Listing listing;
    listing.validUntil = now.addSecs(24 * 3600);
    QList<Entry> entries;
    for (const directory::NetRecord& net : nets) {
        const directory::Session session = directory::nextSession(net, now);
        if (session.isValid())
            listing.validUntil = std::min(listing.validUntil, session.end);
        entries.append(
            {session.start, {net, counts.value({net.id, session.start.toSecsSinceEpoch()})}});
    }
    // Soonest first; a net running now started before any that has yet to start.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.start.isValid() && (!b.start.isValid() || a.start < b.start);
    });
    QList<directory::ListedNet> listed;
    for (const Entry& entry : entries)
        listed.append(entry.listed);
    listing.nets = directory::netsDirectoryText(listed);
    listing.stations = directory::stationsText(storage.stations());
    listing.release = storage.release();
    return listing;
}

HttpResponse ConfirmationController::confirm(Storage& storage, const ApiCall& call) {
    const Confirmation& c = call.confirmation;
    bool numeric = false;
    const int netId = c.netId.toInt(&numeric);
    const std::optional<int> count =
        numeric && netId > 0 ? storage.setConfirmation(netId, c.key, c.confirm, call.now)
                             : std::nullopt;
    if (!count)
        throw ApiError{ApiError::Kind::NotFound, QStringLiteral("no net %1").arg(c.netId)};
    return HttpResponse::json(
        QJsonDocument(QJsonObject{{QStringLiteral("net_id"), c.netId},
                                  {QStringLiteral("action"), c.confirm ? 1 : 0},
                                  {QStringLiteral("confirmed"), *count}})
            .toJson(QJsonDocument::Compact));
}

HttpResponse ReleaseController::versionText(const ReleaseInfo& release) {
    if (release.version.isEmpty())
        return errorResponse(
            ApiError(ApiError::Kind::NotFound, QStringLiteral("no version has been published")));
    return text(release.version.toUtf8() + '\n');
}

HttpResponse ReleaseController::productPage(const ReleaseInfo& release) {
    const QString download =
        release.installerSize >= 0
            ? QStringLiteral("<p><a href=\"Installer.dmg\">Download the installer</a> (%1 MB)</p>")
                  .arg(double(release.installerSize) / 1e6, 0, 'f', 1)
            : QStringLiteral("<p>No installer has been published for this version yet.</p>");
    const QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\">"
        "<title>Bandhopper</title></head>\n<body>\n<h1>Bandhopper</h1>\n"
        "<p>Bandhopper is a desktop assistant for amateur-radio operators. It shows POTA and "
        "SOTA spots, the nets running on NetLogger, a directory of scheduled nets and a list of "
        "medium-wave stations; a click on Tune sets the radio to the frequency and mode.</p>\n"
        "<p>Current version: <strong>%1</strong></p>\n%2\n</body>\n</html>\n");
    return text(page.arg(release.version.toHtmlEscaped(), download).toUtf8(),
                "text/html; charset=utf-8");
}

HttpResponse ReleaseController::installer(Storage& storage, const ApiCall& call) {
    const ReleaseInfo release = storage.release();
    if (release.installerSize < 0)
        throw ApiError{ApiError::Kind::NotFound, QStringLiteral("no installer has been published")};
    HttpResponse response;
    response.contentType = "application/x-apple-diskimage";
    response.streamLength = release.installerSize;
    // Parts name their release, so a download that spans a new release ends short instead of
    // mixing two files.
    response.streamPart = [pool = call.pool, revision = release.installerRevision](
                              int part, HttpResponse::PartReady ready) {
        const bool taken = pool->run([revision, part, ready](Storage& storage) {
            try {
                ready(storage.installerPart(revision, part));
            } catch (const StorageError&) {
                ready(std::nullopt);
            }
        });
        if (!taken)
            ready(std::nullopt);
    };
    return response;
}

void OutageLog::failed(const char* what) {
    std::lock_guard lock(m_mutex);
    ++m_failures;
    if (m_down)
        return;
    m_down = true;
    m_since.start();
    qCWarning(lcService, "the database is unavailable: %s", what);
}

void OutageLog::succeeded() {
    std::lock_guard lock(m_mutex);
    if (!m_down)
        return;
    m_down = false;
    qCWarning(lcService,
              "the database is available again after %lld s; %lld operations failed meanwhile",
              m_since.elapsed() / 1000, m_failures);
    m_failures = 0;
}

// One confirmation on its way: whoever moves it on first (a storage thread starting it, the
// deadline giving up on it) decides.
struct DirectoryService::PendingWrite {
    enum Stage { Waiting, Running, Abandoned };
    std::atomic<int> stage{Waiting};
    HttpServer::Respond respond;
    std::optional<HttpResponse> committed;
};

const HttpResponse& DirectoryService::Snapshot::operator[](Read read) const {
    switch (read) {
    case Read::Nets:
        return nets;
    case Read::Stations:
        return stations;
    case Read::Version:
        return version;
    case Read::Product:
        break;
    }
    return product;
}

DirectoryService::DirectoryService(Options options, StoragePool& writers, StoragePool& monitor,
                                   Listing first)
    : m_options(std::move(options))
    , m_writers(writers)
    , m_monitor(monitor)
    , m_limiter(m_options.rateLimit) {
    publish(first);
    m_parkTimer.setSingleShot(true);
    QObject::connect(&m_parkTimer, &QTimer::timeout, &m_context, [this] {
        // The database does not answer in time: the lists as last read are better than none.
        m_staleAccepted = true;
        answerParked();
    });
    QObject::connect(&m_poll, &QTimer::timeout, &m_context, [this] {
        refresh(m_sinceRefresh.hasExpired(m_options.refreshMs) ||
                m_options.clock() >= m_snapshot.validUntil);
    });
    m_poll.start(m_options.pollMs);
}

DirectoryService::~DirectoryService() = default;

void DirectoryService::handle(const HttpRequest& request, const HttpServer::Respond& respond) {
    try {
        route(request, respond);
    } catch (const ApiError& error) {
        respond(errorResponse(error));
    }
}

QString DirectoryService::clientAddress(const HttpRequest& request) const {
    if (m_options.trustForwardedFor) {
        const QByteArray forwarded = request.header("x-forwarded-for");
        if (!forwarded.isEmpty())
            return QString::fromLatin1(forwarded.split(',').last().trimmed());
    }
    return request.peer.toString();
}

void DirectoryService::route(const HttpRequest& request, const HttpServer::Respond& respond) {
    enum class Action { Nets, Stations, Health, Confirm, Version, Product, Installer };
    static const struct {
        const char* path;
        const char* method;
        Action action;
    } routes[] = {
        {"/nets.php", "GET", Action::Nets},
        {"/mw.php", "GET", Action::Stations},
        {"/healthz", "GET", Action::Health},
        {"/netconf.php", "POST", Action::Confirm},
        {"/bandhopper/version.txt", "GET", Action::Version},
        {"/bandhopper/", "GET", Action::Product},
        {"/bandhopper/Installer.dmg", "GET", Action::Installer},
    };
    const auto route = std::find_if(std::begin(routes), std::end(routes),
                                    [&](const auto& r) { return request.path == r.path; });
    if (route == std::end(routes))
        throw ApiError{ApiError::Kind::NotFound, QStringLiteral("no such page")};
    const QByteArray method = QByteArray::fromRawData(route->method, qstrlen(route->method));
    if (request.method != method && !(method == "GET" && request.method == "HEAD"))
        throw ApiError{ApiError::Kind::MethodNotAllowed,
                       QStringLiteral("use %1").arg(QLatin1String(method)), 0,
                       method == "GET" ? "GET, HEAD" : QByteArray(route->method)};

    switch (route->action) {
    case Action::Nets:
        return read(Read::Nets, respond);
    case Action::Stations:
        return read(Read::Stations, respond);
    case Action::Version:
        return read(Read::Version, respond);
    case Action::Product:
        return read(Read::Product, respond);
    case Action::Health:
        return health(respond);
    case Action::Confirm:
    case Action::Installer:
        break;
    }

    ApiCall call{request, m_options.clock(), {}, &m_writers};
    if (route->action == Action::Installer) {
        const bool taken = m_writers.run([call, respond](Storage& storage) {
            try {
                respond(ReleaseController::installer(storage, call));
            } catch (const ApiError& error) {
                respond(errorResponse(error));
            } catch (const StorageError&) {
                respond(unavailable(QStringLiteral("the directory is unavailable"), 5));
            }
        });
        if (!taken)
            respond(unavailable(QStringLiteral("the directory is busy"), 2));
        return;
    }
    // Counted before the body is looked at: a client sending garbage is limited as well.
    const int wait = m_limiter.admit(clientAddress(request), call.now.toMSecsSinceEpoch());
    if (wait > 0)
        throw ApiError{ApiError::Kind::TooManyRequests,
                       QStringLiteral("too many confirmations; try again later"), wait};
    const QByteArray type = request.header("content-type").split(';').first().trimmed();
    if (type.compare("application/json", Qt::CaseInsensitive) != 0)
        throw ApiError{ApiError::Kind::BadRequest,
                       QStringLiteral("Content-Type must be application/json")};
    auto parsed = parseConfirmation(request.body);
    if (const QString* why = std::get_if<QString>(&parsed))
        throw ApiError{ApiError::Kind::BadRequest, *why};
    call.confirmation = std::get<Confirmation>(parsed);
    write(std::move(call), respond);
}

void DirectoryService::read(Read read, const HttpServer::Respond& respond) {
    if (!m_staleAccepted && m_options.clock() >= m_snapshot.validUntil) {
        // A session has ended since the lists were read: wait (briefly) for them to be read again.
        m_parked.push_back({read, respond});
        if (!m_parkTimer.isActive())
            m_parkTimer.start(m_options.healthDeadlineMs);
        return refresh(true);
    }
    respond(m_snapshot[read]);
}

void DirectoryService::answerParked() {
    m_parkTimer.stop();
    for (const Parked& parked : std::exchange(m_parked, {}))
        parked.respond(m_snapshot[parked.read]);
}

void DirectoryService::write(ApiCall call, const HttpServer::Respond& respond) {
    auto pending = std::make_shared<PendingWrite>();
    pending->respond = respond;
    const bool taken = m_writers.run([this, pending, call](Storage& storage) {
        int waiting = PendingWrite::Waiting;
        if (!pending->stage.compare_exchange_strong(waiting, PendingWrite::Running))
            return; // answered already: too late to make the change
        HttpResponse response;
        bool changed = false;
        try {
            response = ConfirmationController::confirm(storage, call);
            changed = true;
            m_outage.succeeded();
        } catch (const ApiError& error) {
            response = errorResponse(error);
        } catch (const StorageError& error) {
            m_outage.failed(error.what());
            response = unavailable(QStringLiteral("the directory is unavailable"), 2);
        }
        QMetaObject::invokeMethod(
            &m_context, [this, pending, response, changed] { written(pending, response, changed); },
            Qt::QueuedConnection);
    });
    if (!taken)
        return respond(unavailable(QStringLiteral("the directory is busy"), 2));
    QTimer::singleShot(m_options.writeDeadlineMs, &m_context, [pending] {
        // Not started in time: never made. Started: its outcome is unknown, which a client can
        // settle by sending it again (confirming twice changes nothing). Made: it is answered.
        int waiting = PendingWrite::Waiting;
        if (pending->committed)
            pending->respond(*pending->committed);
        else if (pending->stage.compare_exchange_strong(waiting, PendingWrite::Abandoned) ||
                 waiting == PendingWrite::Running)
            pending->respond(unavailable(QStringLiteral("the directory is busy"), 2));
    });
}

void DirectoryService::written(const std::shared_ptr<PendingWrite>& pending,
                               const HttpResponse& response, bool changed) {
    if (!changed)
        return pending->respond(response);
    pending->committed = response;
    m_committed.push_back(pending);
    refresh(true);
}

void DirectoryService::health(const HttpServer::Respond& respond) {
    m_healthWaiting.push_back(respond);
    QTimer::singleShot(m_options.healthDeadlineMs, &m_context, [respond] {
        respond(unavailable(QStringLiteral("the database does not answer"), 5));
    });
    if (m_checking)
        return; // the check under way answers this one too
    m_checking = true;
    const bool taken = m_monitor.run([this](Storage& storage) {
        std::optional<QString> problem;
        try {
            storage.checkHealth();
            m_outage.succeeded();
        } catch (const StorageError& error) {
            m_outage.failed(error.what());
            problem = QString::fromStdString(error.what());
        }
        QMetaObject::invokeMethod(
            &m_context,
            [this, problem] {
                m_checking = false;
                const HttpResponse answer =
                    problem ? unavailable(*problem, 5) : HttpResponse::json(R"({"status":"ok"})");
                for (const HttpServer::Respond& waiting : std::exchange(m_healthWaiting, {}))
                    waiting(answer);
            },
            Qt::QueuedConnection);
    });
    if (!taken) {
        m_checking = false;
        respond(unavailable(QStringLiteral("the server is stopping"), 5));
    }
}

void DirectoryService::refresh(bool force) {
    if (m_refreshing) {
        m_refreshAgain = true;
        m_forceAgain = m_forceAgain || force;
        return;
    }
    m_refreshing = true;
    // Writes committed so far are in what this refresh reads; later ones wait for the next.
    auto committed = std::exchange(m_committed, {});
    const auto clock = m_options.clock;
    const qint64 lastMark = m_changeMark;
    const bool taken = m_monitor.run([this, clock, lastMark, force, committed](Storage& storage) {
        std::optional<Listing> listing;
        qint64 mark = lastMark;
        bool failed = false;
        try {
            // The mark first: a change committed while the lists are read shows at the next look.
            mark = storage.changeMark();
            if (force || mark != lastMark)
                listing = DirectoryController::listing(storage, clock());
            m_outage.succeeded();
        } catch (const StorageError& error) {
            m_outage.failed(error.what());
            failed = true;
        }
        QMetaObject::invokeMethod(
            &m_context,
            [this, listing, mark, failed, committed] {
                m_refreshing = false;
                if (!failed) {
                    m_changeMark = mark;
                    if (listing)
                        publish(*listing);
                } else {
                    m_staleAccepted = true; // until the lists can be read again
                }
                for (const auto& pending : committed)
                    pending->respond(*pending->committed);
                // A refresh begun before the clock passed the end of a session is stale already.
                if (m_staleAccepted || m_options.clock() < m_snapshot.validUntil)
                    answerParked();
                else if (!m_parked.empty())
                    m_refreshAgain = m_forceAgain = true;
                if (std::exchange(m_refreshAgain, false))
                    refresh(std::exchange(m_forceAgain, false));
            },
            Qt::QueuedConnection);
    });
    if (!taken) {
        m_refreshing = false;
        for (const auto& pending : committed)
            pending->respond(*pending->committed);
        answerParked();
    }
}

void DirectoryService::publish(const Listing& listing) {
    m_snapshot.nets = text(listing.nets);
    m_snapshot.stations = text(listing.stations);
    m_snapshot.version = ReleaseController::versionText(listing.release);
    m_snapshot.product = ReleaseController::productPage(listing.release);
    m_snapshot.validUntil = listing.validUntil;
    m_staleAccepted = false;
    m_sinceRefresh.start();
}

} // namespace server
