#pragma once

#include "server/confirmation.h"
#include "server/httpserver.h"
#include "server/ratelimiter.h"
#include "server/storage.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>

namespace server {

class StoragePool;

// Every way a request can fail on its merits. errorResponse() turns it into a status.
struct ApiError {
    enum class Kind { BadRequest, NotFound, MethodNotAllowed, TooManyRequests, Unavailable };
    ApiError(Kind kind, const QString& message, int retryAfterSeconds = 0, QByteArray allow = {})
        : kind(kind)
        , message(message)
        , retryAfterSeconds(retryAfterSeconds)
        , allow(std::move(allow)) {}

    Kind kind;
    QString message;
    int retryAfterSeconds; // TooManyRequests, Unavailable (0: no Retry-After)
    QByteArray allow;      // MethodNotAllowed
};

HttpResponse errorResponse(const ApiError& error);

// What an action gets: the request, the time it is answered at, and (for confirmations) the body
// already read.
struct ApiCall {
    HttpRequest request;
    QDateTime now;
    Confirmation confirmation;
    StoragePool* pool = nullptr;
};

// Everything the lists and the release pages are answered from, as storage had it at one moment.
struct Listing {
    QByteArray nets;     // the /nets.php body
    QByteArray stations; // the /mw.php body
    ReleaseInfo release;
    // When the order of the nets or a count changes by the clock alone: a session ends.
    QDateTime validUntil;
};

// The endpoints, one controller per area.
struct DirectoryController {
    // The one place the list bodies are built from storage, for the moment `now`.
    static Listing listing(Storage& storage, const QDateTime& now);
};
struct ConfirmationController {
    static HttpResponse confirm(Storage& storage, const ApiCall& call);
};
struct ReleaseController {
    static HttpResponse versionText(const ReleaseInfo& release);
    static HttpResponse productPage(const ReleaseInfo& release);
    static HttpResponse installer(Storage& storage, const ApiCall& call);
};

// Says once that the database stopped answering, and once that it answers again with how many
// operations failed meanwhile, rather than a line for every request. Any thread.
class OutageLog {
public:
    void failed(const char* what);
    void succeeded();

private:
    std::mutex m_mutex;
    bool m_down = false;
    qint64 m_failures = 0;
    QElapsedTimer m_since;
};

// Routes requests to the actions. Reads are answered at once from a snapshot of the lists, kept
// fresh by one storage thread of its own; writes go to the storage pool with a deadline, and
// are answered once the snapshot shows them, so that a client reads what it wrote.
class DirectoryService {
public:
    struct Options {
        int rateLimit = 60; // confirmations per client address and minute; 0: no limit
        // Take the client address from the last X-Forwarded-For entry (set by our proxy).
        bool trustForwardedFor = false;
        std::function<QDateTime()> clock;
        int writeDeadlineMs = 2000; // then 503 with Retry-After
        int healthDeadlineMs = 900; // then 503: the database does not answer
        int pollMs = 1000;          // how often changes by other processes are looked for
        int refreshMs = 60000;      // the longest a snapshot goes without being read again
    };

    // `writers` run confirmations and downloads; `monitor` (one thread) refreshes the snapshot
    // and checks health, so neither waits behind a write.
    DirectoryService(Options options, StoragePool& writers, StoragePool& monitor, Listing first);
    ~DirectoryService();
    void handle(const HttpRequest& request, const HttpServer::Respond& respond);

private:
    enum class Read { Nets, Stations, Version, Product };
    struct Snapshot {
        HttpResponse nets, stations, version, product;
        QDateTime validUntil;
        const HttpResponse& operator[](Read read) const;
    };
    struct PendingWrite;
    struct Parked {
        Read read;
        HttpServer::Respond respond;
    };

    void route(const HttpRequest& request, const HttpServer::Respond& respond);
    QString clientAddress(const HttpRequest& request) const;
    void read(Read read, const HttpServer::Respond& respond);
    void write(ApiCall call, const HttpServer::Respond& respond);
    void written(const std::shared_ptr<PendingWrite>& pending, const HttpResponse& response,
                 bool changed);
    void health(const HttpServer::Respond& respond);
    void refresh(bool force);
    void publish(const Listing& listing);
    void answerParked();

    Options m_options;
    StoragePool& m_writers;
    StoragePool& m_monitor;
    RateLimiter m_limiter;
    OutageLog m_outage;
    QObject m_context; // timers and answers from storage threads; they end with the service
    Snapshot m_snapshot;
    bool m_staleAccepted = false;
    std::vector<Parked> m_parked;
    QTimer m_parkTimer;
    QTimer m_poll;
    QElapsedTimer m_sinceRefresh;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
    bool m_forceAgain = false;
    qint64 m_changeMark = -1;
    // Confirmations committed, answered once a refresh begun after them is published.
    std::vector<std::shared_ptr<PendingWrite>> m_committed;
    std::vector<HttpServer::Respond> m_healthWaiting;
    bool m_checking = false;
};

} // namespace server
