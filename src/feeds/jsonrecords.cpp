#include "feeds/jsonrecords.h"

#include "core/numbers.h"

#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace feeds {

namespace {

// Deep enough for any real reply, shallow enough that recursion cannot exhaust the stack.
constexpr int kMaxDepth = 256;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

class Reader {
public:
    Reader(const QByteArray& body, std::span<const std::string_view> keys)
        : m_begin(body.constData())
        , m_p(m_begin)
        , m_end(m_begin + body.size())
        , m_keys(keys) {}

    void read(JsonRecords& out) {
        // A byte-order mark is not JSON, but some servers send one.
        if (m_end - m_p >= 3 && std::string_view(m_p, 3) == "\xEF\xBB\xBF")
            m_p += 3;
        skipSpace();
        if (m_p == m_end) {
            fail("the reply is empty");
        } else if (*m_p != '[') {
            JsonField top;
            if (readValue(top, 0))
                m_error =
                    QStringLiteral("expected an array but found %1").arg(jsonTypeName(top.type));
        } else if (readArray(out)) {
            skipSpace();
            if (m_p != m_end)
                fail("unexpected text after the array");
        }
        out.error = m_error;
        if (!out.error.isEmpty()) {
            out.elements.clear();
            out.fields.clear();
        }
    }

private:
    bool fail(const char* what) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1 at offset %2")
                          .arg(QLatin1String(what))
                          .arg(qint64(m_p - m_begin));
        return false;
    }

    void skipSpace() {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }

    bool expect(char c) {
        skipSpace();
        if (m_p == m_end || *m_p != c)
            return fail(m_p == m_end ? "unexpected end of the reply" : "unexpected character");
        ++m_p;
        return true;
    }

    bool readArray(JsonRecords& out) {
        ++m_p; // '['
        skipSpace();
        if (m_p != m_end && *m_p == ']') {
            ++m_p;
            return true;
        }
        for (;;) {
            skipSpace();
            const std::size_t element = out.elements.size();
            out.fields.resize(out.fields.size() + m_keys.size());
            if (m_p != m_end && *m_p == '{') {
                out.elements.push_back(JsonType::Object);
                if (!readObject(&out.fields[element * m_keys.size()], 1))
                    return false;
            } else {
                JsonField value;
                if (!readValue(value, 1))
                    return false;
                out.elements.push_back(value.type);
            }
            skipSpace();
            if (m_p == m_end)
                return fail("unexpected end of the reply");
            if (*m_p == ']') {
                ++m_p;
                return true;
            }
            if (*m_p != ',')
                return fail("expected ',' or ']'");
            ++m_p;
        }
    }

    // `fields` receives the wanted keys; null skips the whole object.
    bool readObject(JsonField* fields, int depth) {
        if (depth > kMaxDepth)
            return fail("nesting too deep");
        ++m_p; // '{'
        skipSpace();
        if (m_p != m_end && *m_p == '}') {
            ++m_p;
            return true;
        }
        for (;;) {
            skipSpace();
            if (m_p == m_end || *m_p != '"')
                return fail("expected a key");
            std::string key;
            const char* start = nullptr;
            const char* stop = nullptr;
            if (!readRawString(key, start, stop))
                return false;
            if (!expect(':'))
                return false;
            skipSpace();
            const std::string_view name = start ? std::string_view(start, stop - start) : key;
            if (!decodeText(QByteArrayView(name.data(), qsizetype(name.size())), nullptr))
                return false;
            int wanted = -1;
            if (fields) {
                for (std::size_t k = 0; k < m_keys.size() && wanted < 0; ++k)
                    if (m_keys[k] == name)
                        wanted = int(k);
            }
            if (wanted >= 0) {
                // A repeated key: the last one counts.
                fields[wanted] = JsonField{};
                if (!readValue(fields[wanted], depth + 1))
                    return false;
            } else {
                JsonField ignored;
                if (!readValue(ignored, depth + 1, false))
                    return false;
            }
            skipSpace();
            if (m_p == m_end)
                return fail("unexpected end of the reply");
            if (*m_p == '}') {
                ++m_p;
                return true;
            }
            if (*m_p != ',')
                return fail("expected ',' or '}'");
            ++m_p;
        }
    }

    bool skipArray(int depth) {
        if (depth > kMaxDepth)
            return fail("nesting too deep");
        ++m_p; // '['
        skipSpace();
        if (m_p != m_end && *m_p == ']') {
            ++m_p;
            return true;
        }
        for (;;) {
            JsonField ignored;
            skipSpace();
            if (!readValue(ignored, depth + 1, false))
                return false;
            skipSpace();
            if (m_p == m_end)
                return fail("unexpected end of the reply");
            if (*m_p == ']') {
                ++m_p;
                return true;
            }
            if (*m_p != ',')
                return fail("expected ',' or ']'");
            ++m_p;
        }
    }

    bool readValue(JsonField& field, int depth, bool keep = true) {
        if (m_p == m_end)
            return fail("unexpected end of the reply");
        switch (*m_p) {
        case '"': {
            field.type = JsonType::String;
            std::string unescaped;
            const char* start = nullptr;
            const char* stop = nullptr;
            if (!readRawString(unescaped, start, stop))
                return false;
            const QByteArrayView bytes =
                start ? QByteArrayView(start, stop - start)
                      : QByteArrayView(unescaped.data(), qsizetype(unescaped.size()));
            return decodeText(bytes, keep ? &field.text : nullptr);
        }
        case '{':
            field.type = JsonType::Object;
            return readObject(nullptr, depth);
        case '[':
            field.type = JsonType::Array;
            return skipArray(depth);
        case 't':
            field.type = JsonType::Bool;
            field.number = "true";
            return readWord("true");
        case 'f':
            field.type = JsonType::Bool;
            field.number = "false";
            return readWord("false");
        case 'n':
            field.type = JsonType::Null;
            return readWord("null");
        default:
            field.type = JsonType::Number;
            return readNumber(field.number);
        }
    }

    bool readWord(std::string_view word) {
        if (std::size_t(m_end - m_p) < word.size() || std::string_view(m_p, word.size()) != word)
            return fail("unexpected character");
        m_p += word.size();
        return true;
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool readNumber(std::string_view& number) {
        const char* const start = m_p;
        if (m_p != m_end && *m_p == '-')
            ++m_p;
        if (m_p == m_end || !isDigit(*m_p))
            return fail("unexpected character");
        if (*m_p == '0')
            ++m_p;
        else
            while (m_p != m_end && isDigit(*m_p))
                ++m_p;
        if (m_p != m_end && *m_p == '.') {
            ++m_p;
            if (m_p == m_end || !isDigit(*m_p))
                return fail("expected a digit after the decimal point");
            while (m_p != m_end && isDigit(*m_p))
                ++m_p;
        }
        if (m_p != m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p != m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            if (m_p == m_end || !isDigit(*m_p))
                return fail("expected a digit in the exponent");
            while (m_p != m_end && isDigit(*m_p))
                ++m_p;
        }
        number = std::string_view(start, m_p - start);
        return true;
    }

    // Leaves [start, stop) on the body when the string has no escapes, or fills `unescaped`.
    bool readRawString(std::string& unescaped, const char*& start, const char*& stop) {
        ++m_p; // '"'
        const char* const first = m_p;
        while (m_p != m_end && *m_p != '"' && *m_p != '\\' && uchar(*m_p) >= 0x20)
            ++m_p;
        if (m_p != m_end && *m_p == '"') {
            start = first;
            stop = m_p++;
            return true;
        }
        unescaped.assign(first, m_p);
        while (m_p != m_end) {
            const char c = *m_p;
            if (c == '"') {
                ++m_p;
                return true;
            }
            if (uchar(c) < 0x20)
                return fail("control character in a string");
            if (c != '\\') {
                unescaped += c;
                ++m_p;
                continue;
            }
            if (++m_p == m_end)
                break;
            switch (*m_p++) {
            case '"':
                unescaped += '"';
                break;
            case '\\':
                unescaped += '\\';
                break;
            case '/':
                unescaped += '/';
                break;
            case 'b':
                unescaped += '\b';
                break;
            case 'f':
                unescaped += '\f';
                break;
            case 'n':
                unescaped += '\n';
                break;
            case 'r':
                unescaped += '\r';
                break;
            case 't':
                unescaped += '\t';
                break;
            case 'u': {
                int unit = 0;
                if (!readHex4(unit))
                    return false;
                char32_t code = char32_t(unit);
                if (unit >= 0xD800 && unit <= 0xDBFF && m_end - m_p >= 6 && m_p[0] == '\\' &&
                    m_p[1] == 'u') {
                    const char* const mark = m_p;
                    m_p += 2;
                    int low = 0;
                    if (!readHex4(low))
                        return false;
                    if (low >= 0xDC00 && low <= 0xDFFF)
                        code = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (low - 0xDC00);
                    else
                        m_p = mark; // read the second escape on its own
                }
                if (code >= 0xD800 && code <= 0xDFFF)
                    code = 0xFFFD; // a lone surrogate names no character
                appendUtf8(unescaped, code);
                break;
            }
            default:
                --m_p;
                return fail("invalid escape in a string");
            }
        }
        return fail("unterminated string");
    }

    bool readHex4(int& value) {
        if (m_end - m_p < 4)
            return fail("unterminated string");
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = core::hexDigitValue(m_p[i]);
            if (digit < 0)
                return fail("invalid \\u escape in a string");
            value = value * 16 + digit;
        }
        m_p += 4;
        return true;
    }

    // JSON text is UTF-8; a string that is not makes the whole reply unreadable.
    bool decodeText(QByteArrayView bytes, QString* text) {
        bool ascii = true;
        for (const char c : bytes)
            if (uchar(c) >= 0x80) {
                ascii = false;
                break;
            }
        if (ascii) {
            if (text)
                *text = QString::fromLatin1(bytes);
            return true;
        }
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless |
                                   QStringConverter::Flag::ConvertInitialBom);
        QString decoded = decoder.decode(bytes);
        if (decoder.hasError())
            return fail("invalid UTF-8 in a string");
        if (text)
            *text = std::move(decoded);
        return true;
    }

    const char* const m_begin;
    const char* m_p;
    const char* const m_end;
    std::span<const std::string_view> m_keys;
    QString m_error;
};

} // namespace

QString jsonTypeName(JsonType type) {
    switch (type) {
    case JsonType::Missing:
        break;
    case JsonType::Null:
        return QStringLiteral("null");
    case JsonType::Bool:
        return QStringLiteral("a boolean");
    case JsonType::Number:
        return QStringLiteral("a number");
    case JsonType::String:
        return QStringLiteral("a string");
    case JsonType::Array:
        return QStringLiteral("an array");
    case JsonType::Object:
        return QStringLiteral("an object");
    }
    return QStringLiteral("nothing");
}

JsonRecords readJsonRecords(const QByteArray& body, std::span<const std::string_view> keys) {
    JsonRecords records;
    Reader(body, keys).read(records);
    return records;
}

QString RecordReader::required(std::size_t key) {
    JsonField& f = m_fields[key];
    if (f.type == JsonType::String)
        return std::move(f.text);
    if (f.type == JsonType::Missing)
        fail(QStringLiteral("key \"%1\" is missing").arg(name(key)));
    else
        wrongType(key, "a string");
    return {};
}

std::optional<QString> RecordReader::optionalText(std::size_t key) {
    JsonField& f = m_fields[key];
    if (f.type == JsonType::Missing || f.type == JsonType::Null)
        return std::nullopt;
    if (f.type == JsonType::String)
        return std::move(f.text);
    wrongType(key, "a string");
    return std::nullopt;
}

std::optional<float> RecordReader::optionalFloat(std::size_t key) {
    const JsonField& f = m_fields[key];
    if (f.type == JsonType::Missing || f.type == JsonType::Null)
        return std::nullopt;
    if (f.type != JsonType::Number) {
        wrongType(key, "a number");
        return std::nullopt;
    }
    const char* const begin = f.number.data();
    const char* const end = begin + f.number.size();
    double number = 0;
    // Beyond a double's range from_chars leaves `number` at 0, which would read 1e400 as 0;
    // the float reading tells that overflow (an infinity) from an underflow (a zero).
    if (std::from_chars(begin, end, number).ec == std::errc::result_out_of_range)
        number = core::parseFloat32(QString::fromLatin1(begin, end - begin)).value_or(0.0f);
    if (!(std::abs(number) <= double(std::numeric_limits<float>::max()))) {
        fail(QStringLiteral("key \"%1\": the number %2 does not fit in a 32-bit float")
                 .arg(name(key), QLatin1String(f.number)));
        return std::nullopt;
    }
    // Straight from the text, so the float is not rounded twice.
    float value = 0;
    if (std::from_chars(begin, end, value).ec != std::errc())
        value = float(number);
    return value;
}

void RecordReader::wrongType(std::size_t key, const char* expected) {
    fail(QStringLiteral("key \"%1\": expected %2 but found %3")
             .arg(name(key), QLatin1String(expected), jsonTypeName(m_fields[key].type)));
}

} // namespace feeds
