#include "server/confirmation.h"
#include "server/httprequestparser.h"

#include "fuzzcheck.h"

#include <QJsonDocument>
#include <QJsonObject>

using server::HttpRequestParser;

namespace {

struct Outcome {
    HttpRequestParser::Status status;
    int failure = 0;
    server::HttpRequest request;
};

Outcome parseInPieces(const QByteArray& input, qsizetype piece) {
    HttpRequestParser parser({256, 64});
    QByteArray buffer;
    Outcome outcome{HttpRequestParser::Status::NeedMore, 0, {}};
    for (qsizetype at = 0;
         at < input.size() && outcome.status == HttpRequestParser::Status::NeedMore; at += piece) {
        buffer += input.mid(at, piece);
        outcome.status = parser.parse(buffer);
        FUZZ_CHECK(buffer.size() <= 256 + piece); // never more held than a head and one read
    }
    outcome.failure = parser.failure();
    if (outcome.status == HttpRequestParser::Status::Complete)
        outcome.request = parser.take();
    return outcome;
}

// Whatever the body, the answer is a confirmation whose key would pass again, or a reason.
void checkConfirmation(const QByteArray& body) {
    const auto parsed = server::parseConfirmation(body);
    if (const QString* why = std::get_if<QString>(&parsed)) {
        FUZZ_CHECK(!why->isEmpty());
        return;
    }
    const server::Confirmation& c = std::get<server::Confirmation>(parsed);
    FUZZ_CHECK(server::isOperatorKey(c.key), c.key);
    const QJsonObject again{{"key", c.key}, {"net_id", c.netId}, {"action", c.confirm ? 1 : 0}};
    const auto reparsed =
        server::parseConfirmation(QJsonDocument(again).toJson(QJsonDocument::Compact));
    const auto* same = std::get_if<server::Confirmation>(&reparsed);
    FUZZ_CHECK(same && same->key == c.key && same->netId == c.netId && same->confirm == c.confirm);
}

} // namespace

// What the service reads of a client: the request, and a confirmation as its body. However the
// bytes after the first (the size of each read) are cut, the parser reaches the same verdict and
// request, and a body never exceeds its limit.
FUZZ_TARGET(input) {
    fuzzcheck::ByteReader reader{input};
    const qsizetype piece = 1 + reader.byte() % 64;
    const QByteArray bytes = reader.rest();
    checkConfirmation(bytes);
    const Outcome whole = parseInPieces(bytes, qMax<qsizetype>(1, bytes.size()));
    const Outcome cut = parseInPieces(bytes, piece);
    FUZZ_CHECK(whole.status == cut.status && whole.failure == cut.failure);
    FUZZ_CHECK(whole.request.body == cut.request.body && whole.request.path == cut.request.path &&
               whole.request.headers == cut.request.headers);
    FUZZ_CHECK(whole.request.body.size() <= 64);
    if (whole.status == HttpRequestParser::Status::Failed)
        FUZZ_CHECK(whole.failure >= 400 && whole.failure < 600);
}
