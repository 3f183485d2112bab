#pragma once

#include "server/confirmation.h"
#include "server/httpserver.h"
#include "server/ratelimiter.h"

#include <QDateTime>

#include <functional>

namespace server {

class Storage;
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
    int retryAfterSeconds; // TooManyRequests
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

// The endpoints, one controller per area, each action run on a storage thread.
struct DirectoryController {
    static HttpResponse nets(Storage& storage, const ApiCall& call);
    static HttpResponse stations(Storage& storage, const ApiCall& call);
    static HttpResponse health(Storage& storage, const ApiCall& call);
};
struct ConfirmationController {
    static HttpResponse confirm(Storage& storage, const ApiCall& call);
};
struct ReleaseController {
    static HttpResponse versionText(Storage& storage, const ApiCall& call);
    static HttpResponse productPage(Storage& storage, const ApiCall& call);
    static HttpResponse installer(Storage& storage, const ApiCall& call);
};

// Routes requests to the actions; what needs no database (routing, rate limit, body checks) is
// decided on the HTTP thread, the rest is handed to the storage pool.
class DirectoryService {
public:
    struct Options {
        int rateLimit = 60; // confirmations per client address and minute; 0: no limit
        // Take the client address from the last X-Forwarded-For entry (set by our proxy).
        bool trustForwardedFor = false;
        std::function<QDateTime()> clock;
    };

    DirectoryService(Options options, StoragePool& pool);
    void handle(const HttpRequest& request, const HttpServer::Respond& respond);

private:
    void route(const HttpRequest& request, const HttpServer::Respond& respond);
    QString clientAddress(const HttpRequest& request) const;

    Options m_options;
    StoragePool& m_pool;
    RateLimiter m_limiter;
};

} // namespace server
