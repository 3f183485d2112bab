#include "loopbackserver.h"

#include <QFile>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

QByteArray LoopbackServer::Request::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

LoopbackServer::LoopbackServer()
    : m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this,
            &LoopbackServer::onNewConnection);
    m_server->listen(QHostAddress::LocalHost, 0);
}

bool LoopbackServer::listen() {
    return m_server->isListening();
}

bool LoopbackServer::listenTls(const QString& certificatePath, const QString& keyPath) {
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    QFile keyFile(keyPath);
    if (certificates.isEmpty() || !keyFile.open(QIODevice::ReadOnly))
        return false;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificates.first());
    configuration.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);

    // A TLS server hands out a connection only once its handshake has succeeded.
    auto* server = new QSslServer(this);
    server->setSslConfiguration(configuration);
    connect(server, &QTcpServer::pendingConnectionAvailable, this,
            &LoopbackServer::onNewConnection);
    delete m_server;
    m_server = server;
    m_tls = true;
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QUrl LoopbackServer::baseUrl() const {
    return QUrl(QStringLiteral("%1://127.0.0.1:%2")
                    .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(m_server->serverPort()));
}

void LoopbackServer::route(const QByteArray& path, const Response& response) {
    m_routes.insert(path, response);
}

int LoopbackServer::count(const QByteArray& path) const {
    return int(std::count_if(m_requests.begin(), m_requests.end(),
                             [&](const Request& r) { return r.path == path; }));
}

void LoopbackServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { tryAnswer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackServer::tryAnswer(QTcpSocket* socket) {
    if (socket->property("answered").toBool())
        return;
    QByteArray data = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", data);
    const qsizetype headerEnd = data.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    Request request;
    const QList<QByteArray> lines = data.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    request.body = data.mid(headerEnd + 4);
    if (request.body.size() < request.header("Content-Length").toLongLong())
        return;
    socket->setProperty("answered", true);
    m_requests.append(request);

    const Response response =
        m_routes.value(request.path, m_routes.value(request.path.left(request.path.indexOf('?')),
                                                    {404, "not found"}));

    auto send = [socket = QPointer<QTcpSocket>(socket), response] {
        if (!socket)
            return;
        const qint64 length =
            response.declaredLength >= 0 ? response.declaredLength : response.body.size();
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
        head += "Content-Type: " + response.contentType + "\r\n";
        if (!response.omitLength)
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        head += response.extraHeaders + "Connection: close\r\n\r\n";
        socket->write(head + response.body);
        socket->flush();
        socket->disconnectFromHost();
    };
    QTimer::singleShot(response.delayMs, socket, send);
}
