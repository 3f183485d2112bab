#pragma once

#include "server/httpmessage.h"
#include "server/httprequestparser.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

class QSocketNotifier;

namespace server {

class HttpConnection;

// HTTP/1.1 on plain sockets, driven by the event loop: every connection is a small state machine
// with its own deadline, so a slow or stuck client only ever holds its own socket, and no one
// address can hold more than its share of connections or of requests in progress.
//
// Qt HttpServer 6.4 reads a whole request into memory before anyone can look at it and has no
// time-outs, and QTcpServer accepts with a fixed backlog of 50 and gives up for good when
// descriptors run out; this layer reads with a bounded buffer, decides on the body from its
// head, times every phase and accepts on its own listening socket.
class HttpServer : public QObject {
    Q_OBJECT
public:
    struct Options {
        HttpRequestParser::Limits limits;
        // Time for a whole request to arrive, counted from the moment the server waits for it;
        // also how long a response may sit without the client taking any of it.
        int requestTimeoutMs = 10000;
        // Also the listen backlog, so that the kernel queues as many as could be taken.
        int maxConnections = 1024;
        int maxConnectionsPerAddress = 256;
        // Requests of one address answered at once; more get 503 at once.
        int maxRequestsPerAddress = 64;
        // How long accepting rests when the process has no descriptor left for a connection.
        int acceptPauseMs = 500;
    };
    // Answers a request; the first call counts, from any thread.
    using Respond = std::function<void(HttpResponse)>;
    using Handler = std::function<void(const HttpRequest&, const Respond&)>;

    HttpServer(Options options, Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }
    // Stops accepting and drops every connection.
    void close();
    // Stops accepting, lets every request that has begun finish and be answered (with the
    // connection closed after it), closes idle connections, and calls `done` once no connection
    // is left or `graceMs` has passed, whichever is first.
    void drain(int graceMs, std::function<void()> done);
    qsizetype connectionCount() const { return m_connections.size(); }

private:
    friend class HttpConnection;
    struct Peer {
        int connections = 0;
        int requests = 0; // in progress
    };

    void onAcceptable();
    void onEvents();
    void admit(int fd, const QHostAddress& address);
    bool evictOne();
    void sweep();
    void forget(quint64 id, const QHostAddress& address);
    Respond responder(quint64 connection, quint32 request);
    HttpResponse::PartReady partReceiver(quint64 connection);
    const QByteArray& date();
    qint64 now() const { return m_clock.elapsed(); }

    Options m_options;
    Handler m_handler;
    int m_epoll;
    QSocketNotifier* m_epollNotifier = nullptr;
    int m_listenFd = -1;
    quint16 m_port = 0;
    QString m_error;
    QSocketNotifier* m_acceptNotifier = nullptr;
    QTimer m_acceptPause;
    bool m_pauseLogged = false;
    QTimer m_sweep;
    QElapsedTimer m_clock;
    QHash<quint64, HttpConnection*> m_connections;
    QHash<QHostAddress, Peer> m_peers;
    quint64 m_nextId = 1;
    qsizetype m_peakSinceTrim = 0;
    qint64 m_dateSecond = -1;
    QByteArray m_date;
    bool m_draining = false;
    std::function<void()> m_drained;
    QTimer m_drainDeadline;
};

} // namespace server
