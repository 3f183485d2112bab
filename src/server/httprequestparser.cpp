#include "server/httprequestparser.h"

#include "core/numbers.h"

#include <QByteArrayView>

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

bool isTokenChar(char c) {
    static constexpr std::string_view extra = "!#$%&'*+-.^_`|~";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           extra.find(c) != std::string_view::npos;
}

bool isToken(QByteArrayView text) {
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!isTokenChar(c))
            return false;
    return true;
}

// A field value may hold visible characters, spaces and tabs; NUL, a bare CR and other controls
// are where two readers of one message start to disagree.
bool isFieldValue(QByteArrayView text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

QByteArrayView trimmedOws(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

bool isDigits(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 15)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool equalsLower(QByteArrayView text, QByteArrayView lower) {
    return text.compare(lower, Qt::CaseInsensitive) == 0;
}

// The next line of `text` from `at`, without its LF or CRLF; `at` moves past it.
QByteArrayView nextLine(QByteArrayView text, qsizetype& at) {
    const qsizetype newline = text.indexOf('\n', at);
    const qsizetype end = newline < 0 ? text.size() : newline;
    QByteArrayView line = text.sliced(at, end - at);
    at = end + 1;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
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
    case Stage::Done:
        return Status::Complete;
    default:
        return readChunked(input);
    }
}

HttpRequestParser::Status HttpRequestParser::readRequestLine(const QByteArray& line) {
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    if (second < 0 || line.indexOf(' ', second + 1) >= 0)
        return fail(400);
    const QByteArrayView method = QByteArrayView(line).first(first);
    QByteArrayView target = QByteArrayView(line).sliced(first + 1, second - first - 1);
    const QByteArrayView version = QByteArrayView(line).sliced(second + 1);
    if (!isToken(method) || target.isEmpty())
        return fail(400);
    for (const char c : target)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return fail(400);
    m_request.method = method.toByteArray();
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return fail(version.startsWith("HTTP/") ? 505 : 400);
    // The absolute form names the host before the path (RFC 9112, 3.2.2); a proxy sends it.
    bool absolute = false;
    for (const QByteArrayView scheme : {QByteArrayView("http://"), QByteArrayView("https://")}) {
        if (target.size() > scheme.size() && equalsLower(target.first(scheme.size()), scheme)) {
            target = target.sliced(scheme.size());
            qsizetype authority = 0;
            while (authority < target.size() && target[authority] != '/' &&
                   target[authority] != '?')
                ++authority;
            if (authority == 0)
                return fail(400);
            target = target.sliced(authority);
            absolute = true;
            break;
        }
    }
    if (target == "*" && method == "OPTIONS") {
        m_request.path = "*";
    } else if (target.startsWith('/') || (absolute && (target.isEmpty() || target[0] == '?'))) {
        const qsizetype question = target.indexOf('?');
        const QByteArrayView path = question < 0 ? target : target.first(question);
        m_request.path = path.isEmpty() ? QByteArray("/") : path.toByteArray();
        if (question >= 0)
            m_request.query = target.sliced(question + 1).toByteArray();
    } else {
        return fail(400);
    }
    m_request.version = version.toByteArray();
    return Status::NeedMore;
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

    const QByteArray head = input.left(end);
    input.remove(0, end);
    m_stage = Stage::Done; // from here on the request has begun, whatever its fate
    qsizetype at = 0;
    const QByteArrayView requestLine = nextLine(head, at);
    if (requestLine.contains('\r'))
        return fail(400);
    if (readRequestLine(requestLine.toByteArray()) == Status::Failed)
        return Status::Failed;

    while (at < head.size()) {
        const QByteArrayView line = nextLine(head, at);
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        // Folded lines and blanks before the colon are where request smuggling starts.
        if (colon <= 0 || !isToken(line.first(colon)) || !isFieldValue(line.sliced(colon + 1)))
            return fail(400);
        if (m_request.headers.size() >= 100)
            return fail(431);
        m_request.headers.append({line.first(colon).toByteArray().toLower(),
                                  trimmedOws(line.sliced(colon + 1)).toByteArray()});
    }
    const Status framed = frame();
    return framed == Status::NeedMore ? parse(input) : framed; // the body may be here already
}

// Where the body ends, decided from the whole head: every Transfer-Encoding and Content-Length
// line counts, not only the first of its name.
HttpRequestParser::Status HttpRequestParser::frame() {
    int hosts = 0;
    int lengths = 0;
    QByteArray length;
    QList<QByteArrayView> codings;
    for (const auto& [name, value] : std::as_const(m_request.headers)) {
        if (name == "host") {
            ++hosts;
        } else if (name == "content-length") {
            if (!isDigits(value) || (lengths++ > 0 && value != length))
                return fail(400);
            length = value;
        } else if (name == "transfer-encoding") {
            // An empty value, or an empty element of the list, is one reader's "none" and
            // another's "unknown".
            qsizetype at = 0;
            do {
                const qsizetype comma = value.indexOf(',', at);
                const qsizetype end = comma < 0 ? value.size() : comma;
                const QByteArrayView coding =
                    trimmedOws(QByteArrayView(value).sliced(at, end - at));
                if (coding.isEmpty())
                    return fail(400);
                codings.append(coding);
                at = end + 1;
            } while (at <= value.size());
        }
    }
    // Every HTTP/1.1 request names exactly one host (RFC 9112, 3.2).
    if (hosts > 1 || (hosts == 0 && m_request.version == "HTTP/1.1"))
        return fail(400);

    m_stage = Stage::Done;
    if (!codings.isEmpty()) {
        // Chunked must come last and once, or the length cannot be known (RFC 9112, 6.3).
        qsizetype chunked = 0;
        for (const QByteArrayView coding : codings)
            chunked += equalsLower(coding, "chunked");
        if (lengths > 0 || m_request.version != "HTTP/1.1" || chunked != 1 ||
            !equalsLower(codings.last(), "chunked"))
            return fail(400);
        if (codings.size() > 1)
            return fail(501); // a coding under the chunks that this server does not undo
        m_stage = Stage::ChunkSize;
    } else if (lengths > 0) {
        m_remaining = length.toLongLong();
        if (m_remaining > m_limits.bodyBytes)
            return fail(413);
        if (m_remaining > 0)
            m_stage = Stage::Length;
    } else if (m_request.method == "POST" || m_request.method == "PUT" ||
               m_request.method == "PATCH") {
        // Read as empty, the body would be taken for the next request.
        return fail(411);
    }
    m_continue = m_stage != Stage::Done && m_request.header("expect").toLower() == "100-continue";
    return m_stage == Stage::Done ? Status::Complete : Status::NeedMore;
}

bool HttpRequestParser::takeRemaining(QByteArray& input) {
    const qsizetype take = qsizetype(qMin<qint64>(m_remaining, input.size()));
    if (take == input.size() && m_request.body.isEmpty())
        m_request.body = std::exchange(input, QByteArray());
    else
        m_request.body += QByteArrayView(input).first(take);
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
            qsizetype at = 0;
            const QByteArray line = nextLine(input, at).toByteArray();
            input.remove(0, newline + 1);
            if (!isFieldValue(line))
                return fail(400);
            if (m_stage == Stage::Trailer) {
                m_trailerBytes += lineBytes;
                if (line.isEmpty()) {
                    m_stage = Stage::Done;
                    return Status::Complete;
                }
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0 || !isToken(QByteArrayView(line).first(colon)))
                    return fail(400);
                continue;
            }
            // Hex digits only: no sign, no 0x, no blank before them (RFC 9112, 7.1).
            qsizetype digits = 0;
            qint64 length = 0;
            for (; digits < line.size() && core::hexDigitValue(line[digits]) >= 0; ++digits) {
                length = length * 16 + core::hexDigitValue(line[digits]);
                if (length > m_limits.bodyBytes)
                    return fail(413);
            }
            const QByteArrayView rest = trimmedOws(QByteArrayView(line).sliced(digits));
            if (digits == 0 || (!rest.isEmpty() && !rest.startsWith(';')))
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
