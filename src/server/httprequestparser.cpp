#include "server/httprequestparser.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace server {

namespace {

// The index just past the blank line that ends a head (CRLF or bare LF line ends), or -1.
qsizetype headEnd(const QByteArray& input, qsizetype scanLimit) {
    const qsizetype end = qMin(input.size(), scanLimit);
    for (qsizetype i = input.indexOf('\n'); i >= 0 && i < end; i = input.indexOf('\n', i + 1)) {
        if (i + 1 < input.size() && input[i + 1] == '\n')
            return i + 2;
        if (i + 2 < input.size() && input[i + 1] == '\r' && input[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

bool isToken(const QByteArray& text) {
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) ||
              QByteArray("!#$%&'*+-.^_`|~").contains(c)))
            return false;
    return true;
}

bool isDigits(const QByteArray& text) {
    return !text.isEmpty() && text.size() <= 15 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

HttpRequestParser::HttpRequestParser(Limits limits)
    : m_limits(limits) {}

HttpRequestParser::Status HttpRequestParser::fail(int status) {
    m_failure = status;
    return Status::Failed;
}

bool HttpRequestParser::takeContinue() {
    return std::exchange(m_continue, false);
}

HttpRequest HttpRequestParser::take() {
    m_stage = Stage::Head;
    m_continue = false;
    m_trailerBytes = 0;
    return std::exchange(m_request, HttpRequest{});
}

HttpRequestParser::Status HttpRequestParser::parse(QByteArray& input) {
    if (m_failure)
        return Status::Failed;
    switch (m_stage) {
    case Stage::Head:
        return readHead(input);
    case Stage::Length:
        if (!takeRemaining(input))
            return Status::NeedMore;
        m_stage = Stage::Done;
        return Status::Complete;
    case Stage::UntilClose:
        if (m_request.body.size() + input.size() > m_limits.bodyBytes)
            return fail(413);
        m_request.body += input;
        input.clear();
        return Status::NeedMore;
    case Stage::Done:
        return Status::Complete;
    default:
        return readChunked(input);
    }
}

HttpRequestParser::Status HttpRequestParser::readHead(QByteArray& input) {
    // Empty lines before a request line are tolerated (RFC 9112, 2.2).
    while (input.startsWith("\r\n") || input.startsWith('\n'))
        input.remove(0, input.startsWith('\n') ? 1 : 2);
    const qsizetype end = headEnd(input, m_limits.headBytes);
    if (end < 0)
        return input.size() > m_limits.headBytes ? fail(431) : Status::NeedMore;
    if (end > m_limits.headBytes) // the blank line counts too, however the bytes arrived
        return fail(431);

    QList<QByteArray> lines = input.left(end).split('\n');
    input.remove(0, end);
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    const QList<QByteArray> parts = lines.first().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/'))
        return fail(400);
    for (const char c : parts[1])
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return fail(400);
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return fail(parts[2].startsWith("HTTP/") ? 505 : 400);
    m_request.method = parts[0];
    const qsizetype question = parts[1].indexOf('?');
    m_request.path = question < 0 ? parts[1] : parts[1].left(question);
    m_request.query = question < 0 ? QByteArray() : parts[1].mid(question + 1);
    m_request.version = parts[2];

    QList<QByteArray> lengths;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        // Folded lines and blanks before the colon are where request smuggling starts.
        if (colon <= 0 || !isToken(line.left(colon)))
            return fail(400);
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length")
            lengths << value;
        m_request.headers.append({name, value});
    }
    if (m_request.headers.size() > 100)
        return fail(431);

    m_stage = Stage::Done;
    const QByteArray coding = m_request.header("transfer-encoding");
    if (!coding.isEmpty()) {
        if (!lengths.isEmpty())
            return fail(400);
        if (coding.toLower() != "chunked")
            return fail(501);
        m_stage = Stage::ChunkSize;
    } else if (!lengths.isEmpty()) {
        for (const QByteArray& length : lengths)
            if (!isDigits(length) || length.toLongLong() != lengths.first().toLongLong())
                return fail(400);
        m_remaining = lengths.first().toLongLong();
        if (m_remaining > m_limits.bodyBytes)
            return fail(413);
        if (m_remaining > 0)
            m_stage = Stage::Length;
    } else if (m_request.method == "POST" || m_request.method == "PUT" ||
               m_request.method == "PATCH") {
        // HTTP/1.1 would read this body as empty and the bytes after it as the next request;
        // taking them as a body up to the close holds a client streaming without announcing
        // to the same limit.
        m_stage = Stage::UntilClose;
    }
    m_continue = m_stage != Stage::Done && m_request.header("expect").toLower() == "100-continue";
    return parse(input);
}

bool HttpRequestParser::takeRemaining(QByteArray& input) {
    const qsizetype take = qsizetype(qMin<qint64>(m_remaining, input.size()));
    m_request.body += input.left(take);
    input.remove(0, take);
    m_remaining -= take;
    return m_remaining == 0;
}

HttpRequestParser::Status HttpRequestParser::readChunked(QByteArray& input) {
    for (;;) {
        if (m_stage == Stage::ChunkSize || m_stage == Stage::Trailer) {
            // A size line (with its extensions) or the trailer may be as long as a head; the
            // same bound holds whether the line has ended yet or not.
            const qsizetype newline = input.indexOf('\n');
            const qsizetype lineBytes = newline < 0 ? input.size() : newline + 1;
            if (lineBytes + m_trailerBytes > m_limits.headBytes)
                return fail(m_stage == Stage::Trailer ? 431 : 400);
            if (newline < 0)
                return Status::NeedMore;
            QByteArray line = input.left(newline);
            input.remove(0, newline + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (m_stage == Stage::Trailer) {
                m_trailerBytes += lineBytes;
                if (line.isEmpty()) {
                    m_stage = Stage::Done;
                    return Status::Complete;
                }
                continue;
            }
            const QByteArray size = line.split(';').first().trimmed(); // extensions ignored
            bool ok = size.size() <= 8 && !size.isEmpty();
            const qint64 length = ok ? size.toLongLong(&ok, 16) : 0;
            if (!ok || length < 0)
                return fail(400);
            if (length == 0) {
                m_stage = Stage::Trailer;
                continue;
            }
            if (m_request.body.size() + length > m_limits.bodyBytes)
                return fail(413);
            m_remaining = length;
            m_stage = Stage::ChunkData;
        }
        if (m_stage == Stage::ChunkData) {
            if (!takeRemaining(input))
                return Status::NeedMore;
            m_stage = Stage::ChunkEnd;
        }
        if (m_stage == Stage::ChunkEnd) {
            if (input.startsWith("\r\n") || input.startsWith('\n')) {
                input.remove(0, input.startsWith('\n') ? 1 : 2);
                m_stage = Stage::ChunkSize;
            } else if (input.isEmpty() || input == "\r") {
                return Status::NeedMore;
            } else {
                return fail(400);
            }
        }
    }
}

} // namespace server
