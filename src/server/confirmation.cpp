#include "server/confirmation.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace server {

bool isOperatorKey(const QString& key) {
    if (key.size() < 16 || key.size() > 128)
        return false;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

std::variant<Confirmation, QString> parseConfirmation(const QByteArray& body) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return QStringLiteral("the body is not a JSON object");
    const QJsonObject object = document.object();
    const QJsonValue key = object.value(u"key");
    const QJsonValue netId = object.value(u"net_id");
    const QJsonValue action = object.value(u"action");
    if (!key.isString())
        return QStringLiteral("key must be a string");
    if (!netId.isString())
        return QStringLiteral("net_id must be a string");
    if (!action.isDouble())
        return QStringLiteral("action must be a number");
    if (!isOperatorKey(key.toString()))
        return QStringLiteral("key must be 16 to 128 letters, digits, '-' or '_'");
    const double value = action.toDouble();
    if (value != 0 && value != 1)
        return QStringLiteral("action must be 1 (confirm) or 0 (retract)");
    return Confirmation{key.toString(), netId.toString(), value == 1};
}

} // namespace server
