#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QTcpServer>
#include <QUrl>

// A tiny HTTP/1.1 server on 127.0.0.1 for tests: canned replies per path, with delays and short
// bodies, plain or over TLS, and a record of every request it saw.
class LoopbackServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain; charset=utf-8";
        int delayMs = 0;              // answer this late
        qint64 declaredLength = -1;   // Content-Length to announce; -1 means body.size()
        bool omitLength = false;      // no Content-Length: the body ends when the connection does
        QByteArray extraHeaders = {}; // more header lines, each ending in "\r\n"
    };
    struct Request {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers; // as sent, names unchanged
        QByteArray body;
        QByteArray header(const QByteArray& name) const; // case-insensitive name lookup
    };

    // Listens on a free loopback port from the start.
    LoopbackServer();

    bool listen(); // whether it listens
    // Serves HTTPS with the given PEM certificate and key instead of plain HTTP, on a new port.
    bool listenTls(const QString& certificatePath, const QString& keyPath);
    QUrl baseUrl() const;
    void route(const QByteArray& path, const Response& response);
    QList<Request> requests() const { return m_requests; }
    // Forgets the requests seen so far, so that long runs do not accumulate them.
    void clearRequests() { m_requests.clear(); }
    int count(const QByteArray& path) const;

private:
    void onNewConnection();
    void tryAnswer(class QTcpSocket* socket);

    QTcpServer* m_server;
    bool m_tls = false;
    QHash<QByteArray, Response> m_routes;
    QList<Request> m_requests;
};
