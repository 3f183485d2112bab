#include "directory/linetext.h"
#include "directory/session.h"
#include "server/confirmation.h"
#include "server/harvest.h"
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

// A request taken is framed one way only: no length beside chunking, chunking alone and last,
// one host for HTTP/1.1, no control character in any field; a refused one has a status that
// ends the connection.
void checkFraming(const Outcome& outcome) {
    if (outcome.status == HttpRequestParser::Status::Failed) {
        static const QList<int> statuses{400, 408, 411, 413, 431, 501, 505};
        FUZZ_CHECK(statuses.contains(outcome.failure), QString::number(outcome.failure));
        return;
    }
    if (outcome.status != HttpRequestParser::Status::Complete)
        return;
    const server::HttpRequest& request = outcome.request;
    int hosts = 0;
    QByteArrayList codings, lengths;
    for (const auto& [name, value] : request.headers) {
        hosts += name == "host";
        if (name == "transfer-encoding")
            codings << value;
        if (name == "content-length")
            lengths << value;
        for (const char c : value)
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\t', name);
    }
    FUZZ_CHECK(hosts == 1 || (hosts == 0 && request.version == "HTTP/1.0"));
    FUZZ_CHECK(codings.isEmpty() || lengths.isEmpty());
    FUZZ_CHECK(codings.isEmpty() || (codings.size() == 1 && codings[0].toLower() == "chunked"),
               codings.join('|'));
    if (!lengths.isEmpty())
        FUZZ_CHECK(request.body.size() == lengths[0].toLongLong());
    FUZZ_CHECK(request.path.startsWith('/') || request.path == "*", request.path);
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

bool lineSafe(const QStringList& values) {
    for (const QString& value : values)
        for (const QChar c : value)
            if (c == u'<' || c == u'>' || c == u'\r' || c == u'\n' || value != value.trimmed())
                return false;
    return true;
}

// True when the file was refused, which it must be at a line it has and without any row.
template <typename Row> bool refused(const directory::Parsed<Row>& parsed, const QByteArray& csv) {
    if (parsed.error)
        FUZZ_CHECK(parsed.rows.isEmpty() && parsed.error->line >= 1 &&
                       parsed.error->line <= csv.count('\n') + 1,
                   parsed.error->reason);
    return parsed.error.has_value();
}

// A file is read whole or refused at a line it has; what is read never breaks the line format,
// and every net read has a session.
void checkCsv(const QByteArray& csv, bool nets) {
    if (nets) {
        const auto parsed = directory::readNetsCsv(csv);
        if (refused(parsed, csv))
            return;
        QList<directory::ListedNet> listed;
        for (const directory::NetRecord& net : parsed.rows) {
            FUZZ_CHECK(lineSafe({net.name, net.frequencyMhz, net.utc, net.mode, net.url}));
            const directory::Session session =
                directory::nextSession(net, QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC));
            FUZZ_CHECK(session.isValid() && session.start < session.end, net.utc);
            listed.append({net, 0});
        }
        FUZZ_CHECK(directory::netsDirectoryText(listed).count('\n') == 2 + 11 * listed.size());
    } else if (const auto parsed = directory::readStationsCsv(csv); !refused(parsed, csv)) {
        for (const directory::StationRecord& s : parsed.rows)
            FUZZ_CHECK(lineSafe({s.call, s.frequencyKhz, s.city, s.powerKw, s.url}));
        FUZZ_CHECK(directory::stationsText(parsed.rows).count('\n') == 2 + 5 * parsed.rows.size());
    }
}

// A NetLogger reply gives only sessions that can be stored and served as they are.
void checkHarvest(const QByteArray& body) {
    const QDateTime now(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC);
    for (const server::Observation& o : server::readActiveNetsReply(body, now).observations) {
        FUZZ_CHECK(lineSafe({o.name, o.mode, o.band, o.netControl}), o.name);
        FUZZ_CHECK(o.frequencyHz >= 100'000 && o.frequencyHz <= 3'000'000'000);
        FUZZ_CHECK(o.start.isValid() && o.start <= now.addSecs(15 * 60));
    }
}

} // namespace

// What the service reads: a client's request, a confirmation as its body, a file of nets or
// stations to import and a NetLogger reply to harvest. The first byte gives the size of each read
// (its low six bits) and whether the file holds nets (its top bit). However the rest is cut into
// reads, the parser reaches the same verdict and request, a body never exceeds its limit, and what
// is taken is framed one way.
FUZZ_TARGET(input) {
    fuzzcheck::ByteReader reader{input};
    const uint8_t choice = reader.byte();
    const qsizetype piece = 1 + choice % 64;
    const QByteArray bytes = reader.rest();
    checkConfirmation(bytes);
    checkCsv(bytes, choice & 0x80);
    checkHarvest(bytes);
    const Outcome whole = parseInPieces(bytes, qMax<qsizetype>(1, bytes.size()));
    const Outcome cut = parseInPieces(bytes, piece);
    FUZZ_CHECK(whole.status == cut.status && whole.failure == cut.failure);
    FUZZ_CHECK(whole.request.body == cut.request.body && whole.request.path == cut.request.path &&
               whole.request.headers == cut.request.headers);
    FUZZ_CHECK(whole.request.body.size() <= 64);
    checkFraming(whole);
    if (whole.status == HttpRequestParser::Status::Failed)
        FUZZ_CHECK(whole.failure >= 400 && whole.failure < 600);
}
