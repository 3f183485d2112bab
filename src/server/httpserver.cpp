#include "server/httpserver.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace server {

Q_LOGGING_CATEGORY(lcHttp, "bandhopper.server.http")

namespace {

constexpr qint64 kReadChunk = 16 * 1024;
// A streamed body asks for its next part once less than this waits in the socket.
constexpr qint64 kLowWater = 256 * 1024;
constexpr int kLingerMs = 2000;

QString failureText(int status) {
    switch (status) {
    case 408:
        return QStringLiteral("the request did not arrive in time");
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

} // namespace

class HttpConnection : public QObject {
public:
    HttpConnection(HttpServer* server, QTcpSocket* socket, quint64 id);
    void answer(const HttpResponse& response);
    void takePart(const std::optional<QByteArray>& part);
    void drop();

private:
    enum class Phase { Reading, Handling, Writing, Lingering };

    void waitForRequest();
    void onReadable();
    void onWritten();
    void onTimeout();
    void fail(int status);
    void linger();

    HttpServer* m_server;
    QTcpSocket* m_socket;
    quint64 m_id;
    int m_timeoutMs;
    QTimer m_timer;
    HttpRequestParser m_parser;
    QByteArray m_buffer;
    Phase m_phase = Phase::Reading;
    bool m_dropped = false;
    bool m_closeAfter = false;
    bool m_headOnly = false;
    QByteArray m_method = "-";
    QByteArray m_path = "-";
    QByteArray m_version;
    QElapsedTimer m_handling;
    std::function<void(int, HttpResponse::PartReady)> m_streamPart;
    int m_nextPart = 0;
    qint64 m_streamLeft = 0;
    bool m_fetching = false;
};

HttpConnection::HttpConnection(HttpServer* server, QTcpSocket* socket, quint64 id)
    : QObject(server)
    , m_server(server)
    , m_socket(socket)
    , m_id(id)
    , m_timeoutMs(server->m_options.requestTimeoutMs)
    , m_parser(server->m_options.limits) {
    socket->setParent(this);
    // Qt stops reading from the kernel once this much waits unread, so a client that sends
    // faster than it is answered fills its own TCP window rather than our memory.
    socket->setReadBufferSize(kReadChunk);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadable);
    connect(socket, &QTcpSocket::bytesWritten, this, &HttpConnection::onWritten);
    connect(socket, &QTcpSocket::disconnected, this, &HttpConnection::drop);
    waitForRequest();
}

void HttpConnection::waitForRequest() {
    m_phase = Phase::Reading;
    m_timer.start(m_timeoutMs);
    onReadable();
}

void HttpConnection::onReadable() {
    if (m_phase == Phase::Lingering) {
        while (m_socket->bytesAvailable() > 0)
            m_socket->read(kReadChunk);
        return;
    }
    if (m_phase != Phase::Reading)
        return; // the rest waits in the socket's bounded buffer until this answer is out
    for (;;) {
        const HttpRequestParser::Status status = m_parser.parse(m_buffer);
        if (status == HttpRequestParser::Status::Failed)
            return fail(m_parser.failure());
        if (status == HttpRequestParser::Status::Complete) {
            HttpRequest request = m_parser.take();
            request.peer = m_socket->peerAddress();
            m_method = request.method;
            m_path = request.path;
            m_version = request.version;
            m_closeAfter = !request.keepAlive();
            m_headOnly = request.method == "HEAD";
            m_phase = Phase::Handling;
            m_timer.stop();
            m_handling.start();
            m_server->m_handler(request, m_server->responder(m_id));
            return;
        }
        if (m_parser.takeContinue())
            m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        if (m_socket->bytesAvailable() <= 0)
            return;
        m_buffer += m_socket->read(kReadChunk);
    }
}

void HttpConnection::fail(int status) {
    if (!m_parser.current().method.isEmpty()) {
        m_method = m_parser.current().method;
        m_path = m_parser.current().path;
    }
    m_closeAfter = true;
    m_headOnly = false;
    m_phase = Phase::Handling;
    m_handling.start();
    answer(HttpResponse::error(status, failureText(status)));
}

void HttpConnection::answer(const HttpResponse& response) {
    if (m_phase != Phase::Handling)
        return;
    m_closeAfter = m_closeAfter || response.close;
    const bool streamed = bool(response.streamPart);
    const qint64 length = streamed ? response.streamLength : response.body.size();
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     reasonPhrase(response.status) + "\r\nDate: " +
                     QLocale::c()
                         .toString(QDateTime::currentDateTimeUtc(),
                                   QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                         .toLatin1() +
                     "\r\nContent-Type: " + response.contentType +
                     "\r\nContent-Length: " + QByteArray::number(length) + "\r\n";
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    if (m_closeAfter)
        out += "Connection: close\r\n";
    else if (m_version == "HTTP/1.0")
        out += "Connection: keep-alive\r\n";
    out += "\r\n";
    if (!m_headOnly && !streamed)
        out += response.body;
    m_socket->write(out);
    if (!m_headOnly && streamed) {
        m_streamPart = response.streamPart;
        m_streamLeft = length;
        m_nextPart = 0;
    }
    qCInfo(lcHttp, "%s %s %d %lld ms", m_method.constData(), m_path.constData(), response.status,
           m_handling.elapsed());
    m_phase = Phase::Writing;
    m_timer.start(m_timeoutMs);
    onWritten();
}

void HttpConnection::onWritten() {
    if (m_phase == Phase::Lingering && m_socket->bytesToWrite() == 0) {
        // Closing with unread input would reset the connection and could take the answer with
        // it before the client reads it: close our side only and discard what still comes.
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
        return;
    }
    if (m_phase != Phase::Writing)
        return;
    m_timer.start(m_timeoutMs); // the client is taking the answer
    if (m_streamLeft > 0) {
        if (!m_fetching && m_socket->bytesToWrite() < kLowWater) {
            m_fetching = true;
            m_streamPart(m_nextPart++, m_server->partReceiver(m_id));
        }
        return;
    }
    if (m_socket->bytesToWrite() > 0)
        return;
    m_streamPart = nullptr;
    if (m_closeAfter)
        linger();
    else
        waitForRequest();
}

void HttpConnection::takePart(const std::optional<QByteArray>& part) {
    if (m_phase != Phase::Writing || !m_fetching)
        return;
    m_fetching = false;
    if (!part || part->isEmpty() || part->size() > m_streamLeft) {
        // The body can no longer be whole; ending the connection lets the client see it short.
        qCWarning(lcHttp, "%s %s: body part %d unavailable", m_method.constData(),
                  m_path.constData(), m_nextPart - 1);
        return drop();
    }
    m_streamLeft -= part->size();
    m_socket->write(*part);
    onWritten();
}

void HttpConnection::linger() {
    m_phase = Phase::Lingering;
    m_timer.start(qMin(m_timeoutMs, kLingerMs));
    onWritten();
    onReadable();
}

void HttpConnection::onTimeout() {
    // A request that has begun gets told why the connection ends; an idle one just ends.
    if (m_phase == Phase::Reading && (!m_buffer.isEmpty() || m_parser.started()))
        return fail(408);
    drop();
}

void HttpConnection::drop() {
    if (m_dropped)
        return;
    m_dropped = true;
    m_timer.stop();
    m_server->m_connections.remove(m_id);
    m_socket->abort();
    deleteLater();
}

HttpServer::HttpServer(Options options, Handler handler, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_handler(std::move(handler))
    , m_listener(new QTcpServer(this)) {
    connect(m_listener, &QTcpServer::newConnection, this, &HttpServer::onNewConnection);
}

HttpServer::~HttpServer() {
    close();
}

bool HttpServer::listen(const QHostAddress& address, quint16 port) {
    return m_listener->listen(address, port);
}

quint16 HttpServer::port() const {
    return m_listener->serverPort();
}

QString HttpServer::errorString() const {
    return m_listener->errorString();
}

void HttpServer::close() {
    m_listener->close();
    const QList<HttpConnection*> connections = m_connections.values();
    for (HttpConnection* connection : connections)
        connection->drop();
}

void HttpServer::onNewConnection() {
    while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
        if (m_connections.size() >= m_options.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const quint64 id = m_nextId++;
        m_connections.insert(id, new HttpConnection(this, socket, id));
    }
}

HttpServer::Respond HttpServer::responder(quint64 connection) {
    return [this, connection](HttpResponse response) {
        QMetaObject::invokeMethod(
            this, [this, connection, response] { deliver(connection, response); },
            Qt::QueuedConnection);
    };
}

HttpResponse::PartReady HttpServer::partReceiver(quint64 connection) {
    return [this, connection](std::optional<QByteArray> part) {
        QMetaObject::invokeMethod(
            this, [this, connection, part] { deliverPart(connection, part); },
            Qt::QueuedConnection);
    };
}

void HttpServer::deliver(quint64 connection, const HttpResponse& response) {
    if (HttpConnection* target = m_connections.value(connection))
        target->answer(response);
}

void HttpServer::deliverPart(quint64 connection, const std::optional<QByteArray>& part) {
    if (HttpConnection* target = m_connections.value(connection))
        target->takePart(part);
}

} // namespace server
