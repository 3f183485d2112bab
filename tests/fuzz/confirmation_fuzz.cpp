#include "server/confirmation.h"

#include "fuzzcheck.h"

#include <QJsonDocument>
#include <QJsonObject>

// Whatever the body, the answer is a confirmation whose key would pass again, or a reason.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto parsed = server::parseConfirmation(body);
    if (const QString* why = std::get_if<QString>(&parsed)) {
        FUZZ_CHECK(!why->isEmpty());
        return 0;
    }
    const server::Confirmation& c = std::get<server::Confirmation>(parsed);
    FUZZ_CHECK(server::isOperatorKey(c.key), c.key);
    const QJsonObject again{{"key", c.key}, {"net_id", c.netId}, {"action", c.confirm ? 1 : 0}};
    const auto reparsed =
        server::parseConfirmation(QJsonDocument(again).toJson(QJsonDocument::Compact));
    const auto* same = std::get_if<server::Confirmation>(&reparsed);
    FUZZ_CHECK(same && same->key == c.key && same->netId == c.netId && same->confirm == c.confirm);
    return 0;
}
