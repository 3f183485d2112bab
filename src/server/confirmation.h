#pragma once

#include <QByteArray>
#include <QString>

#include <variant>

namespace server {

// A POST /netconf.php body: {"key":"...","net_id":"...","action":1}.
struct Confirmation {
    QString key;         // 16 to 128 letters, digits, '-' and '_'
    QString netId;       // as sent: the net's identifier in decimal text
    bool confirm = true; // action 1; action 0 retracts
};

// The confirmation, or why the body is not one (for a 400 answer).
std::variant<Confirmation, QString> parseConfirmation(const QByteArray& body);

bool isOperatorKey(const QString& key);

} // namespace server
