#include "server/directoryserver.h"

#include "server/directoryservice.h"
#include "server/httpserver.h"
#include "server/storagepool.h"

#include <QFileInfo>
#include <QLoggingCategory>

namespace server {

Q_LOGGING_CATEGORY(lcServer, "bandhopper.server")

namespace {
// A statement that cannot have the database within this long makes way for an answer.
constexpr int kMonitorWaitMs = 250;
} // namespace

Seed bundledDirectory() {
    return {directory::bundledNetsCsv(), directory::bundledStationsCsv(),
            QStringLiteral(BANDHOPPER_VERSION)};
}

DirectoryServer::DirectoryServer(ServerConfig config)
    : m_config(std::move(config)) {
    if (!m_config.clock)
        m_config.clock = [] { return QDateTime::currentDateTimeUtc(); };
}

DirectoryServer::~DirectoryServer() {
    stop();
}

bool DirectoryServer::start(QString* error) {
    Listing first;
    try {
        const bool fresh = m_config.database.driver == DatabaseUrl::Driver::Sqlite &&
                           !QFileInfo::exists(m_config.database.path);
        Storage storage(m_config.database);
        storage.migrate(bundledDirectory());
        // Said aloud: a database that was expected here and is gone shows in the log.
        if (fresh)
            qCInfo(lcServer, "created %s with the bundled directory",
                   qPrintable(m_config.database.path));
        first = DirectoryController::listing(storage, m_config.clock());
    } catch (const StorageError& e) {
        *error = QString::fromStdString(e.what());
        return false;
    }
    m_pool = std::make_unique<StoragePool>(m_config.database, m_config.storageThreads,
                                           m_config.writeDeadlineMs);
    m_monitor = std::make_unique<StoragePool>(m_config.database, 1, kMonitorWaitMs);
    DirectoryService::Options service{m_config.rateLimit, m_config.trustForwardedFor,
                                      m_config.clock};
    service.writeDeadlineMs = m_config.writeDeadlineMs;
    service.pollMs = m_config.pollMs;
    m_service = std::make_unique<DirectoryService>(service, *m_pool, *m_monitor, first);
    HttpServer::Options options;
    options.requestTimeoutMs = m_config.requestTimeoutMs;
    options.maxConnections = m_config.maxConnections;
    // Behind a proxy every connection comes from the proxy: limits per address are its business.
    options.maxConnectionsPerAddress =
        m_config.trustForwardedFor ? m_config.maxConnections : m_config.maxConnectionsPerAddress;
    options.maxRequestsPerAddress =
        m_config.trustForwardedFor ? m_config.maxConnections : m_config.maxRequestsPerAddress;
    m_http = std::make_unique<HttpServer>(
        options, [service = m_service.get()](const HttpRequest& request,
                                             const HttpServer::Respond& respond) {
            service->handle(request, respond);
        });
    if (!m_http->listen(m_config.address, m_config.port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(m_config.address.toString(), QString::number(m_config.port),
                          m_http->errorString());
        stop();
        return false;
    }
    return true;
}

quint16 DirectoryServer::port() const {
    return m_http ? m_http->port() : 0;
}

void DirectoryServer::drain(int graceMs, std::function<void()> done) {
    if (m_http)
        m_http->drain(graceMs, std::move(done));
    else
        done();
}

bool DirectoryServer::stop() {
    // Connections first, so no new work arrives; then the threads, whose last answers go to
    // connections that are gone; the HTTP server outlives them to take those answers.
    if (m_http)
        m_http->close();
    bool ended = true;
    if (m_pool)
        ended = m_pool->stop() && ended;
    if (m_monitor)
        ended = m_monitor->stop() && ended;
    m_http.reset();
    m_service.reset();
    m_pool.reset();
    m_monitor.reset();
    return ended;
}

} // namespace server
