#include "server/directoryservice.h"

#include "directory/linetext.h"
#include "directory/session.h"
#include "server/storage.h"
#include "server/storagepool.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <algorithm>

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
    if (error.kind == Kind::TooManyRequests)
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

} // namespace

HttpResponse DirectoryController::nets(Storage& storage, const ApiCall& call) {
    const QList<directory::NetRecord> nets = storage.nets();
    const auto counts = storage.liveConfirmations(call.now);
    struct Entry {
        QDateTime start;
        directory::ListedNet listed;
    };
    QList<Entry> entries;
    for (const directory::NetRecord& net : nets) {
        const directory::Session session = directory::nextSession(net, call.now);
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
    return text(directory::netsDirectoryText(listed));
}

HttpResponse DirectoryController::stations(Storage& storage, const ApiCall&) {
    return text(directory::stationsText(storage.stations()));
}

HttpResponse DirectoryController::health(Storage& storage, const ApiCall&) {
    storage.ping();
    return HttpResponse::json(R"({"status":"ok"})");
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

HttpResponse ReleaseController::versionText(Storage& storage, const ApiCall&) {
    const QString version = storage.release().version;
    if (version.isEmpty())
        throw ApiError{ApiError::Kind::NotFound, QStringLiteral("no version has been published")};
    return text(version.toUtf8() + '\n');
}

HttpResponse ReleaseController::productPage(Storage& storage, const ApiCall&) {
    const ReleaseInfo release = storage.release();
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
        pool->run([revision, part, ready](Storage& storage) {
            try {
                ready(storage.installerPart(revision, part));
            } catch (const StorageError&) {
                ready(std::nullopt);
            }
        });
    };
    return response;
}

DirectoryService::DirectoryService(Options options, StoragePool& pool)
    : m_options(std::move(options))
    , m_pool(pool)
    , m_limiter(m_options.rateLimit) {}

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
    bool v4 = false;
    const quint32 address = request.peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(address).toString() : request.peer.toString();
}

void DirectoryService::route(const HttpRequest& request, const HttpServer::Respond& respond) {
    using Action = HttpResponse (*)(Storage&, const ApiCall&);
    static const struct {
        const char* path;
        const char* method;
        Action action;
    } routes[] = {
        {"/nets.php", "GET", &DirectoryController::nets},
        {"/mw.php", "GET", &DirectoryController::stations},
        {"/healthz", "GET", &DirectoryController::health},
        {"/netconf.php", "POST", &ConfirmationController::confirm},
        {"/bandhopper/version.txt", "GET", &ReleaseController::versionText},
        {"/bandhopper/", "GET", &ReleaseController::productPage},
        {"/bandhopper/Installer.dmg", "GET", &ReleaseController::installer},
    };
    const auto route = std::find_if(std::begin(routes), std::end(routes),
                                    [&](const auto& r) { return request.path == r.path; });
    if (route == std::end(routes))
        throw ApiError{ApiError::Kind::NotFound, QStringLiteral("no such page")};
    const QByteArray method = route->method;
    if (request.method != method && !(method == "GET" && request.method == "HEAD"))
        throw ApiError{ApiError::Kind::MethodNotAllowed, QStringLiteral("use %1").arg(method), 0,
                       method == "GET" ? "GET, HEAD" : method};

    ApiCall call{request, m_options.clock(), {}, &m_pool};
    if (route->action == &ConfirmationController::confirm) {
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
    }
    m_pool.run([action = route->action, call, respond](Storage& storage) {
        try {
            respond(action(storage, call));
        } catch (const ApiError& error) {
            respond(errorResponse(error));
        } catch (const StorageError& error) {
            qCWarning(lcService, "%s %s: %s", call.request.method.constData(),
                      call.request.path.constData(), error.what());
            respond(errorResponse(ApiError(ApiError::Kind::Unavailable,
                                           QStringLiteral("the directory is unavailable"))));
        }
    });
}

} // namespace server
