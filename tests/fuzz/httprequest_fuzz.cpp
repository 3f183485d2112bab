#include "server/httprequestparser.h"

#include "fuzzcheck.h"

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

} // namespace

// However the bytes are cut into reads, the parser reaches the same verdict and request, and a
// body never exceeds its limit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader reader(data, size);
    const qsizetype piece = 1 + reader.byte() % 64;
    const QByteArray input(reader.rest(), qsizetype(reader.restSize()));
    const Outcome whole = parseInPieces(input, qMax<qsizetype>(1, input.size()));
    const Outcome cut = parseInPieces(input, piece);
    FUZZ_CHECK(whole.status == cut.status && whole.failure == cut.failure);
    FUZZ_CHECK(whole.request.body == cut.request.body && whole.request.path == cut.request.path &&
               whole.request.headers == cut.request.headers);
    FUZZ_CHECK(whole.request.body.size() <= 64);
    if (whole.status == HttpRequestParser::Status::Failed)
        FUZZ_CHECK(whole.failure >= 400 && whole.failure < 600);
    return 0;
}
