#include "server/directoryserver.h"

#include "server/directoryservice.h"
#include "server/httpserver.h"
#include "server/storagepool.h"

namespace server {

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
    try {
        Storage(m_config.database).migrate(bundledDirectory());
    } catch (const StorageError& e) {
        *error = QString::fromStdString(e.what());
        return false;
    }
    m_pool = std::make_unique<StoragePool>(m_config.database, m_config.storageThreads);
    m_service = std::make_unique<DirectoryService>(
        DirectoryService::Options{m_config.rateLimit, m_config.trustForwardedFor, m_config.clock},
        *m_pool);
    HttpServer::Options options;
    options.requestTimeoutMs = m_config.requestTimeoutMs;
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

void DirectoryServer::stop() {
    // Connections first, so no new work arrives; then the threads, whose last answers go to
    // connections that are gone; the HTTP server outlives them to take those answers.
    if (m_http)
        m_http->close();
    if (m_pool)
        m_pool->stop();
    m_http.reset();
    m_service.reset();
    m_pool.reset();
}

} // namespace server
