#include "server/httpserver.h"

#include <QDateTime>
#include <QLocale>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace server {

Q_LOGGING_CATEGORY(lcHttp, "bandhopper.server.http")

namespace {

constexpr qsizetype kReadChunk = 16 * 1024;
// Answers of pipelined requests gather up to this much before the connection stops reading.
constexpr qsizetype kOutHighWater = 64 * 1024;
// A streamed body asks for its next part once less than this waits to be sent.
constexpr qsizetype kLowWater = 256 * 1024;
constexpr int kLingerMs = 2000;
// While draining, a connection with no request started gets this long for one to arrive:
// a request already on its way is answered rather than cut off.
constexpr int kDrainIdleMs = 250;
constexpr int kSweepMs = 100;
// Descriptors kept for everything but client connections: database connections, files, pipes.
constexpr int kSpareDescriptors = 64;

QString failureText(int status) {
    switch (status) {
    case 408:
        return QStringLiteral("the request did not arrive in time");
    case 411:
        return QStringLiteral("a request body needs Content-Length or chunked Transfer-Encoding");
    case 413:
        return QStringLiteral("the request body is too large");
    case 431:
        return QStringLiteral("the request head is too large");
    case 501:
        return QStringLiteral("unsupported transfer coding");
    case 505:
        return QStringLiteral("unsupported HTTP version");
    default:
        return QStringLiteral("malformed request");
    }
}

// Bytes a log line can show as they are; the rest (controls, separators such as U+0085 or
// U+2028, anything else outside printable ASCII) percent-encoded, so a path cannot forge lines.
QByteArray loggable(const QByteArray& text) {
    for (const char c : text)
        if (c <= ' ' || c > '~')
            return text.toPercentEncoding("/?&=:;,+@!$'()*[]~-._%");
    return text;
}

QHostAddress normalised(const sockaddr* address) {
    QHostAddress host(address);
    bool v4 = false;
    const quint32 ip = host.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : host;
}

} // namespace

class HttpConnection : public QObject {
public:
    HttpConnection(HttpServer* server, int fd, QHostAddress address, quint64 id);
    ~HttpConnection() override;
    void answer(const HttpResponse& response, quint32 request);
    void takePart(const std::optional<QByteArray>& part);
    // A reset skips TIME_WAIT, for a client that is gone or not wanted; it would also discard
    // an answer still on its way, so a connection that ends in order closes plainly.
    void drop(bool reset = false);
    void onTimeout();
    void startDraining();
    void onEvents(quint32 events);

    enum class Phase { Reading, Handling, Streaming, Lingering, Closed };
    Phase phase() const { return m_phase; }
    bool idle() const { return m_phase == Phase::Reading && m_in.isEmpty() && !m_parser.started(); }
    qint64 deadline() const { return m_deadline; }
    qint64 lastActive() const { return m_lastActive; }
    const QHostAddress& address() const { return m_address; }

private:
    void onReadable();
    void onWritable();
    void process();
    void dispatch(HttpRequest request);
    void fail(int status);
    void flush();
    void resume();
    void linger();
    void waitForRequest();
    void updateNotifiers();
    qsizetype pendingOut() const { return m_out.size() - m_outAt; }

    HttpServer* m_server;
    int m_fd;
    QHostAddress m_address;
    quint64 m_id;
    quint32 m_events = 0; // what the server's epoll set watches for on this socket
    HttpRequestParser m_parser;
    QByteArray m_in;
    QByteArray m_out;
    qsizetype m_outAt = 0;
    Phase m_phase = Phase::Reading;
    qint64 m_deadline = 0;
    qint64 m_lastActive = 0;
    bool m_processing = false;
    bool m_peerClosed = false;
    bool m_shutDown = false;
    bool m_closeAfter = false;
    bool m_headOnly = false;
    quint32 m_request = 0;
    QByteArray m_method;
    QByteArray m_path;
    QByteArray m_version;
    qint64 m_handlingSince = 0;
    std::function<void(int, HttpResponse::PartReady)> m_streamPart;
    int m_nextPart = 0;
    qint64 m_streamLeft = 0;
    bool m_fetching = false;
};

HttpConnection::HttpConnection(HttpServer* server, int fd, QHostAddress address, quint64 id)
    : QObject(server)
    , m_server(server)
    , m_fd(fd)
    , m_address(std::move(address))
    , m_id(id)
    , m_parser(server->m_options.limits) {
    epoll_event event{};
    event.events = m_events = EPOLLIN;
    event.data.ptr = this;
    ::epoll_ctl(server->m_epoll, EPOLL_CTL_ADD, fd, &event);
    waitForRequest();
}

void HttpConnection::onEvents(quint32 events) {
    // Both directions closed, or an error: nobody is left to answer.
    if (events & (EPOLLHUP | EPOLLERR))
        return drop();
    if (events & EPOLLIN)
        onReadable();
    if ((events & EPOLLOUT) && m_phase != Phase::Closed)
        onWritable();
}

HttpConnection::~HttpConnection() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void HttpConnection::waitForRequest() {
    m_phase = Phase::Reading;
    m_method.clear();
    m_path.clear();
    m_lastActive = m_server->now();
    m_deadline = m_lastActive + m_server->m_options.requestTimeoutMs;
    if (m_server->m_draining && idle())
        m_deadline = qMin(m_deadline, m_lastActive + kDrainIdleMs);
}

void HttpConnection::startDraining() {
    if (idle())
        m_deadline = qMin(m_deadline, m_server->now() + kDrainIdleMs);
}

void HttpConnection::onReadable() {
    char buffer[kReadChunk];
    for (;;) {
        if (m_phase == Phase::Closed)
            return;
        if (m_phase != Phase::Reading && m_phase != Phase::Lingering)
            return updateNotifiers();
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                drop();
            return;
        }
        if (got == 0) {
            m_peerClosed = true;
            if (m_phase == Phase::Lingering)
                return drop();
            // A client may close its side once it has sent its request; it still gets the answer.
            return process();
        }
        if (m_phase == Phase::Lingering)
            continue; // closing: what still comes is not read as a request
        m_lastActive = m_server->now();
        m_in.append(buffer, got);
        process();
        if (got < qsizetype(sizeof buffer))
            return;
    }
}

void HttpConnection::process() {
    m_processing = true;
    bool needMore = false;
    while (m_phase == Phase::Reading && !needMore) {
        while (m_phase == Phase::Reading && pendingOut() < kOutHighWater) {
            const HttpRequestParser::Status status = m_parser.parse(m_in);
            if (status == HttpRequestParser::Status::Failed) {
                fail(m_parser.failure());
                break;
            }
            if (status == HttpRequestParser::Status::Complete) {
                dispatch(m_parser.take());
                continue;
            }
            if (m_parser.takeContinue())
                m_out += "HTTP/1.1 100 Continue\r\n\r\n";
            needMore = true;
            break;
        }
        // Answers of pipelined requests leave in one write; reading goes on once they are out.
        flush();
        if (pendingOut() > 0)
            break;
    }
    m_processing = false;
    if (m_in.isEmpty())
        m_in.clear(); // an idle connection holds no buffer
    if (m_phase == Phase::Reading && m_peerClosed && pendingOut() == 0)
        return drop(); // nothing more can come, and what began can never end
    updateNotifiers();
}

void HttpConnection::dispatch(HttpRequest request) {
    request.peer = m_address;
    m_method = request.method;
    m_path = request.path;
    m_version = request.version;
    m_closeAfter = !request.keepAlive() || m_server->m_draining || m_peerClosed;
    m_headOnly = request.method == "HEAD";
    m_phase = Phase::Handling;
    m_deadline = std::numeric_limits<qint64>::max(); // the service keeps its own deadlines
    m_handlingSince = m_server->now();
    const quint32 number = ++m_request;
    HttpServer::Peer& peer = m_server->m_peers[m_address];
    if (++peer.requests > m_server->m_options.maxRequestsPerAddress) {
        HttpResponse busy =
            HttpResponse::error(503, QStringLiteral("too many requests in progress from this "
                                                    "address; try again shortly"));
        busy.addHeader("Retry-After", "1");
        return answer(busy, number);
    }
    m_server->m_handler(request, m_server->responder(m_id, number));
}

void HttpConnection::fail(int status) {
    // The method and path only when this request's line was read: never the one before it.
    m_method = m_parser.current().method;
    m_path = m_parser.current().path;
    m_closeAfter = true;
    m_headOnly = false;
    m_phase = Phase::Handling;
    m_handlingSince = m_server->now();
    ++m_server->m_peers[m_address].requests;
    answer(HttpResponse::error(status, failureText(status)), m_request);
}

void HttpConnection::answer(const HttpResponse& response, quint32 request) {
    if (m_phase != Phase::Handling || request != m_request)
        return;
    HttpServer::Peer& peer = m_server->m_peers[m_address];
    --peer.requests;
    m_closeAfter = m_closeAfter || response.close;
    const bool streamed = bool(response.streamPart);
    const qint64 length = streamed ? response.streamLength : response.body.size();
    const QByteArray& type = response.contentType;
    m_out.reserve(m_out.size() + 160 + type.size() + (m_headOnly ? 0 : response.body.size()));
    m_out += "HTTP/1.1 ";
    m_out += QByteArray::number(response.status);
    m_out += ' ';
    m_out += reasonPhrase(response.status);
    m_out += "\r\nDate: ";
    m_out += m_server->date();
    m_out += "\r\nContent-Type: ";
    m_out += type;
    m_out += "\r\nContent-Length: ";
    m_out += QByteArray::number(length);
    m_out += "\r\n";
    for (const auto& [name, value] : response.headers) {
        m_out += name;
        m_out += ": ";
        m_out += value;
        m_out += "\r\n";
    }
    if (m_closeAfter)
        m_out += "Connection: close\r\n";
    else if (m_version == "HTTP/1.0")
        m_out += "Connection: keep-alive\r\n";
    m_out += "\r\n";
    if (!m_headOnly && !streamed)
        m_out += response.body;
    if (lcHttp().isInfoEnabled())
        qCInfo(lcHttp, "%s %s %d %lld ms",
               m_method.isEmpty() ? "-" : loggable(m_method).constData(),
               m_path.isEmpty() ? "-" : loggable(m_path).constData(), response.status,
               m_server->now() - m_handlingSince);
    if (!m_headOnly && streamed && length > 0) {
        m_streamPart = response.streamPart;
        m_streamLeft = length;
        m_nextPart = 0;
        m_phase = Phase::Streaming;
        m_deadline = m_server->now() + m_server->m_options.requestTimeoutMs;
    } else if (m_closeAfter) {
        m_phase = Phase::Lingering;
        m_deadline = m_server->now() + m_server->m_options.requestTimeoutMs;
    } else {
        waitForRequest();
    }
    if (!m_processing)
        resume();
}

void HttpConnection::resume() {
    if (m_phase == Phase::Reading)
        return process();
    flush();
    updateNotifiers();
}

void HttpConnection::flush() {
    while (pendingOut() > 0) {
        const ssize_t sent =
            ::send(m_fd, m_out.constData() + m_outAt, size_t(pendingOut()), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return drop();
            break;
        }
        m_outAt += sent;
        m_lastActive = m_server->now();
        if (m_phase != Phase::Reading) // the client is taking the answer
            m_deadline = m_lastActive + m_server->m_options.requestTimeoutMs;
    }
    if (m_phase == Phase::Streaming && m_streamLeft > 0 && !m_fetching &&
        pendingOut() < kLowWater) {
        m_fetching = true;
        m_streamPart(m_nextPart++, m_server->partReceiver(m_id));
    }
    if (pendingOut() > 0) {
        if (m_outAt > m_out.size() / 2) {
            m_out.remove(0, m_outAt);
            m_outAt = 0;
        }
        return;
    }
    m_out.clear();
    m_outAt = 0;
    if (m_phase == Phase::Streaming && m_streamLeft == 0 && !m_fetching) {
        m_streamPart = nullptr;
        if (m_closeAfter)
            linger();
        else
            waitForRequest();
    } else if (m_phase == Phase::Lingering && !m_shutDown) {
        linger();
    }
}

void HttpConnection::linger() {
    // Closing with unread input would reset the connection and could take the answer with it
    // before the client reads it: close our side only and discard what still comes.
    m_phase = Phase::Lingering;
    m_shutDown = true;
    ::shutdown(m_fd, SHUT_WR);
    m_deadline = m_server->now() + qMin(m_server->m_options.requestTimeoutMs, kLingerMs);
}

void HttpConnection::onWritable() {
    flush();
    if (m_phase == Phase::Lingering && m_peerClosed && pendingOut() == 0)
        return drop();
    resume();
}

void HttpConnection::updateNotifiers() {
    if (m_phase == Phase::Closed)
        return;
    const bool reading =
        !m_peerClosed && ((m_phase == Phase::Reading && pendingOut() < kOutHighWater) ||
                          (m_phase == Phase::Lingering && pendingOut() == 0));
    const quint32 events =
        (reading ? quint32(EPOLLIN) : 0u) | (pendingOut() > 0 ? quint32(EPOLLOUT) : 0u);
    if (events != m_events) {
        epoll_event event{};
        event.events = m_events = events;
        event.data.ptr = this;
        ::epoll_ctl(m_server->m_epoll, EPOLL_CTL_MOD, m_fd, &event);
    }
    if (m_phase == Phase::Lingering && m_peerClosed && pendingOut() == 0)
        drop();
}

void HttpConnection::takePart(const std::optional<QByteArray>& part) {
    if (m_phase != Phase::Streaming || !m_fetching)
        return;
    m_fetching = false;
    if (!part || part->isEmpty() || part->size() > m_streamLeft) {
        // The body can no longer be whole; ending the connection lets the client see it short.
        qCWarning(lcHttp, "%s %s: body part %d unavailable", m_method.constData(),
                  loggable(m_path).constData(), m_nextPart - 1);
        return drop();
    }
    m_streamLeft -= part->size();
    m_out += *part;
    resume();
}

void HttpConnection::onTimeout() {
    // A request that has begun gets told why the connection ends; an idle one just ends.
    if (m_phase == Phase::Reading && pendingOut() == 0 && (!m_in.isEmpty() || m_parser.started()))
        return fail(408);
    drop(true);
}

void HttpConnection::drop(bool reset) {
    if (m_phase == Phase::Closed)
        return;
    if (m_phase == Phase::Handling)
        --m_server->m_peers[m_address].requests;
    m_phase = Phase::Closed;
    ::epoll_ctl(m_server->m_epoll, EPOLL_CTL_DEL, m_fd, nullptr);
    if (reset) {
        const struct linger abort { 1, 0 };
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(m_fd);
    m_fd = -1;
    m_server->forget(m_id, m_address);
    deleteLater();
}

HttpServer::HttpServer(Options options, Handler handler, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_handler(std::move(handler))
    , m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {
    m_clock.start();
    // Every connection in one epoll set, watched by the event loop as one descriptor: a wake-up
    // serves all the connections that are ready, without a notifier object for each.
    m_epollNotifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
    connect(m_epollNotifier, &QSocketNotifier::activated, this, &HttpServer::onEvents);
    m_acceptPause.setSingleShot(true);
    connect(&m_acceptPause, &QTimer::timeout, this, [this] {
        if (m_acceptNotifier && !m_draining)
            m_acceptNotifier->setEnabled(true);
    });
    m_sweep.setInterval(qMin(kSweepMs, qMax(10, m_options.requestTimeoutMs / 4)));
    connect(&m_sweep, &QTimer::timeout, this, &HttpServer::sweep);
    m_drainDeadline.setSingleShot(true);
    connect(&m_drainDeadline, &QTimer::timeout, this, [this] { close(); });
}

HttpServer::~HttpServer() {
    m_drained = nullptr;
    close();
    // Their descriptors go before the set's. Connections carry no meta-object of their own, so
    // they are told apart from the notifiers and timers by their type, not by findChildren.
    const QObjectList children = this->children();
    for (QObject* child : children)
        delete dynamic_cast<HttpConnection*>(child);
    ::close(m_epoll);
}

void HttpServer::onEvents() {
    epoll_event events[128];
    for (;;) {
        const int ready = ::epoll_wait(m_epoll, events, 128, 0);
        for (int i = 0; i < ready; ++i) {
            // A connection dropped earlier in this batch is only deleted after it.
            auto* connection = static_cast<HttpConnection*>(events[i].data.ptr);
            if (connection->phase() != HttpConnection::Phase::Closed)
                connection->onEvents(events[i].events);
        }
        if (ready < 128)
            return;
    }
}

bool HttpServer::listen(const QHostAddress& address, quint16 port) {
    // Beyond the process's descriptor limit a cap could not be reached, and the fairness that
    // acts at the cap would never start.
    rlimit descriptors{};
    if (::getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur != RLIM_INFINITY) {
        const rlim_t usable = descriptors.rlim_cur > rlim_t(kSpareDescriptors) + 1
                                  ? descriptors.rlim_cur - kSpareDescriptors
                                  : 1;
        m_options.maxConnections = int(qMin(usable, rlim_t(m_options.maxConnections)));
    }
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (v4) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in;
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        length = sizeof *in6;
    }
    const int fd = ::socket(v4 ? AF_INET : AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    // Only "any address" takes IPv4 clients on an IPv6 socket too.
    const int v6Only = address == QHostAddress::Any ? 0 : 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        (!v4 && ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, sizeof v6Only) != 0) ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(fd, m_options.maxConnections) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_port = ntohs(v4 ? reinterpret_cast<sockaddr_in*>(&storage)->sin_port
                      : reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
    m_acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &HttpServer::onAcceptable);
    m_sweep.start();
    return true;
}

void HttpServer::close() {
    if (m_acceptNotifier) {
        m_acceptNotifier->setEnabled(false);
        delete m_acceptNotifier;
        m_acceptNotifier = nullptr;
    }
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
    const QList<HttpConnection*> connections = m_connections.values();
    for (HttpConnection* connection : connections)
        connection->drop();
}

void HttpServer::drain(int graceMs, std::function<void()> done) {
    m_draining = true;
    m_drained = std::move(done);
    if (m_acceptNotifier)
        m_acceptNotifier->setEnabled(false);
    if (m_listenFd >= 0)
        ::close(m_listenFd); // new clients are refused from now on, not left waiting
    m_listenFd = -1;
    const QList<HttpConnection*> connections = m_connections.values();
    for (HttpConnection* connection : connections)
        connection->startDraining();
    m_drainDeadline.start(graceMs);
    forget(0, {});
}

void HttpServer::onAcceptable() {
    // A bounded batch per wake-up, so that a flood of new connections cannot starve the others.
    for (int i = 0; i < 64; ++i) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            m_pauseLogged = false;
            admit(fd, normalised(reinterpret_cast<sockaddr*>(&address)));
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Retrying at once would spin: the waiting connection stays readable. Rest instead,
            // while the connections we have finish and give their descriptors back.
            if (!std::exchange(m_pauseLogged, true))
                qCWarning(lcHttp, "cannot accept connections (%s) with %lld open; pausing",
                          std::strerror(errno), qlonglong(m_connections.size()));
            m_acceptNotifier->setEnabled(false);
            m_acceptPause.start(m_options.acceptPauseMs);
        }
        return;
    }
}

void HttpServer::admit(int fd, const QHostAddress& address) {
    Peer& peer = m_peers[address];
    const bool refused = peer.connections >= m_options.maxConnectionsPerAddress ||
                         (m_connections.size() >= m_options.maxConnections && !evictOne());
    if (refused) {
        if (peer.connections == 0 && peer.requests == 0)
            m_peers.remove(address);
        ::close(fd);
        return;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ++m_peers[address].connections;
    const quint64 id = m_nextId++;
    m_connections.insert(id, new HttpConnection(this, fd, address, id));
    m_peakSinceTrim = qMax(m_peakSinceTrim, m_connections.size());
}

// Makes room for a newcomer: of the address holding the most connections, the one waiting
// longest without a request under way. Never one whose request is being answered.
bool HttpServer::evictOne() {
    HttpConnection* chosen = nullptr;
    int chosenCount = 0;
    for (HttpConnection* connection : std::as_const(m_connections)) {
        if (connection->phase() != HttpConnection::Phase::Reading)
            continue;
        const int count = m_peers.value(connection->address()).connections;
        const bool idleFirst = chosen && connection->idle() != chosen->idle();
        if (!chosen || count > chosenCount ||
            (count == chosenCount &&
             (idleFirst ? connection->idle() : connection->lastActive() < chosen->lastActive()))) {
            chosen = connection;
            chosenCount = count;
        }
    }
    if (chosen)
        chosen->drop(true);
    return chosen != nullptr;
}

void HttpServer::sweep() {
    const qint64 at = now();
    const QList<HttpConnection*> connections = m_connections.values();
    for (HttpConnection* connection : connections)
        if (connection->phase() != HttpConnection::Phase::Closed && at >= connection->deadline())
            connection->onTimeout();
    // After a flood the allocator keeps the freed memory unless asked to give it back.
    if (m_peakSinceTrim - m_connections.size() >= 256) {
        m_peakSinceTrim = m_connections.size();
        QTimer::singleShot(0, this, [] { ::malloc_trim(0); });
    }
}

void HttpServer::forget(quint64 id, const QHostAddress& address) {
    if (id != 0) {
        m_connections.remove(id);
        const auto peer = m_peers.find(address);
        if (peer != m_peers.end() && --peer->connections <= 0 && peer->requests <= 0)
            m_peers.erase(peer);
    }
    if (m_draining && m_connections.isEmpty() && m_drained) {
        m_drainDeadline.stop();
        QTimer::singleShot(0, this, std::exchange(m_drained, nullptr));
    }
}

HttpServer::Respond HttpServer::responder(quint64 connection, quint32 request) {
    return [this, connection, request](HttpResponse response) {
        if (QThread::currentThread() == thread()) {
            if (HttpConnection* target = m_connections.value(connection))
                target->answer(response, request);
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, connection, request, response] {
                if (HttpConnection* target = m_connections.value(connection))
                    target->answer(response, request);
            },
            Qt::QueuedConnection);
    };
}

HttpResponse::PartReady HttpServer::partReceiver(quint64 connection) {
    return [this, connection](std::optional<QByteArray> part) {
        QMetaObject::invokeMethod(
            this,
            [this, connection, part] {
                if (HttpConnection* target = m_connections.value(connection))
                    target->takePart(part);
            },
            Qt::QueuedConnection);
    };
}

const QByteArray& HttpServer::date() {
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_dateSecond) {
        m_dateSecond = second;
        m_date = QLocale::c()
                     .toString(QDateTime::fromSecsSinceEpoch(second, Qt::UTC),
                               QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                     .toLatin1();
    }
    return m_date;
}

} // namespace server
