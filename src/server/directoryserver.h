#pragma once

#include "server/databaseurl.h"
#include "server/storage.h"

#include <QDateTime>
#include <QHostAddress>

#include <functional>
#include <memory>

namespace server {

class DirectoryService;
class HttpServer;
class StoragePool;

struct ServerConfig {
    DatabaseUrl database;
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 8765; // 0 picks a free one; port() tells which
    int rateLimit = 60;
    bool trustForwardedFor = false;
    int requestTimeoutMs = 10000;
    int storageThreads = 4;
    std::function<QDateTime()> clock; // now in UTC; the system clock when empty
    int maxConnections = 1024;
    int maxConnectionsPerAddress = 256;
    int maxRequestsPerAddress = 64;
    int writeDeadlineMs = 2000;
    int pollMs = 1000; // how often changes made by other processes are looked for
};

// The directory compiled into the server: data/nets.csv, data/mw.csv and this build's version.
Seed bundledDirectory();

// The whole service in the calling thread's event loop, with its storage threads.
class DirectoryServer {
public:
    explicit DirectoryServer(ServerConfig config);
    ~DirectoryServer();

    // Creates or upgrades the schema (loading the bundled directory into a new database), reads
    // the lists and starts listening.
    bool start(QString* error);
    quint16 port() const;
    // Stops accepting, answers every request that has begun (for up to `graceMs`), then calls
    // `done`.
    void drain(int graceMs, std::function<void()> done);
    // Drops every connection and waits for the storage threads; false when one of them is stuck
    // in a database call and was left behind.
    bool stop();

private:
    ServerConfig m_config;
    std::unique_ptr<HttpServer> m_http;
    std::unique_ptr<StoragePool> m_pool;
    std::unique_ptr<StoragePool> m_monitor;
    std::unique_ptr<DirectoryService> m_service;
};

} // namespace server
