#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

namespace server {

struct HttpRequest {
    QByteArray method;
    QByteArray path; // without the query
    QByteArray query;
    QByteArray version;                           // HTTP/1.0 or HTTP/1.1
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed
    QByteArray body;
    QHostAddress peer;

    QByteArray header(const QByteArray& lowerName) const;
    bool keepAlive() const;
};

struct HttpResponse {
    // Hands over one part of a streamed body, or nothing when it cannot be had any more; may
    // be called from any thread.
    using PartReady = std::function<void(std::optional<QByteArray>)>;

    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool close = false; // end the connection after this answer
    // A body too large to hold at once: streamLength bytes, asked for part by part (0, 1, ...)
    // only as fast as the client takes them.
    qint64 streamLength = -1;
    std::function<void(int part, PartReady)> streamPart;

    // A JSON object {"error": message}, the one shape of every error answer.
    static HttpResponse error(int status, const QString& message);
    static HttpResponse json(const QByteArray& compactJson);
    void addHeader(const QByteArray& name, const QByteArray& value) {
        headers.append({name, value});
    }
};

const char* reasonPhrase(int status);

} // namespace server
