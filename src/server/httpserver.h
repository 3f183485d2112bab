#pragma once

#include "server/httpmessage.h"
#include "server/httprequestparser.h"

#include <QHash>
#include <QObject>

#include <functional>

class QTcpServer;

namespace server {

class HttpConnection;

// HTTP/1.1 on plain sockets, driven by the event loop: every connection is a small state machine
// with its own deadline, so a slow or stuck client only ever holds its own socket.
//
// Qt HttpServer 6.4 reads a whole request into memory before anyone can look at it and has no
// time-outs, so it cannot refuse a large body or drop a client that trickles; this layer reads
// with a bounded buffer, decides on the body from its head, and times every phase.
class HttpServer : public QObject {
    Q_OBJECT
public:
    struct Options {
        HttpRequestParser::Limits limits;
        // Time for a whole request to arrive, counted from the moment the server waits for it;
        // also how long a response may sit without the client taking any of it.
        int requestTimeoutMs = 10000;
        int maxConnections = 1024;
    };
    // Answers a request; must be called exactly once, from any thread.
    using Respond = std::function<void(HttpResponse)>;
    using Handler = std::function<void(const HttpRequest&, Respond)>;

    HttpServer(Options options, Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    // Stops accepting and drops every connection.
    void close();

private:
    friend class HttpConnection;
    void onNewConnection();
    void deliver(quint64 connection, const HttpResponse& response);
    void deliverPart(quint64 connection, const std::optional<QByteArray>& part);
    Respond responder(quint64 connection);
    HttpResponse::PartReady partReceiver(quint64 connection);

    Options m_options;
    Handler m_handler;
    QTcpServer* m_listener;
    QHash<quint64, HttpConnection*> m_connections;
    quint64 m_nextId = 1;
};

} // namespace server
