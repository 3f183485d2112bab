#include "server/httpmessage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace server {

QByteArray HttpRequest::header(const QByteArray& lowerName) const {
    for (const auto& [name, value] : headers)
        if (name == lowerName)
            return value;
    return {};
}

bool HttpRequest::keepAlive() const {
    const QByteArray connection = header("connection").toLower();
    if (version == "HTTP/1.0")
        return connection.contains("keep-alive");
    return !connection.contains("close");
}

HttpResponse HttpResponse::error(int status, const QString& message) {
    HttpResponse response = json(QJsonDocument(QJsonObject{{QStringLiteral("error"), message}})
                                     .toJson(QJsonDocument::Compact));
    response.status = status;
    return response;
}

HttpResponse HttpResponse::json(const QByteArray& compactJson) {
    HttpResponse response;
    response.contentType = "application/json";
    response.body = compactJson + '\n';
    return response;
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

} // namespace server
