#include "log/adif.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <limits>

namespace logbook {

namespace {

// Beyond every band ADIF knows; keeps the arithmetic of a hostile FREQ far from overflow.
constexpr qint64 kMaxHz = 1'000'000'000'000;
// No ADIF field name comes near this; a longer "tag" is text that happens to hold a '<'.
constexpr qsizetype kMaxTagBytes = 96;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where a value may end: before the next tag, white space or the end of the file.
bool endsValue(QByteArrayView data, qsizetype at) {
    return at >= data.size() || data[at] == '<' || isSpace(data[at]);
}

// A piece of the file fit for a one-line message: decoded, its control characters blanked.
QString shown(QString text) {
    text.truncate(40);
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return text;
}

struct Field {
    QByteArray name; // upper case
    QString value;
};

// One step of the scanner: a field, the end of a record or of the header, or why it failed.
struct Step {
    enum Kind { FieldRead, EndOfRecord, EndOfHeader, Failed, EndOfFile } kind = Failed;
    Field field;
    QString reason;
};

// The length of the value at `at` that holds `characters` UTF-8 characters; -1 when the text
// there ends or breaks first.
qsizetype bytesOfCharacters(QByteArrayView data, qsizetype at, qint64 characters) {
    qsizetype end = at;
    for (qint64 i = 0; i < characters; ++i) {
        if (end >= data.size())
            return -1;
        const auto lead = uchar(data[end]);
        const int size = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
        if (size == 0 || end + size > data.size())
            return -1;
        end += size;
    }
    return end - at;
}

class Scanner {
public:
    explicit Scanner(QByteArrayView data)
        : m_data(data) {}

    qsizetype pos = 0;

    // Skips the text between fields (ignored by the format) up to the next '<'.
    bool skipToTag() {
        while (pos < m_data.size() && m_data[pos] != '<')
            ++pos;
        return pos < m_data.size();
    }

    Step next() {
        if (!skipToTag())
            return {Step::EndOfFile, {}, {}};
        const qsizetype open = pos;
        qsizetype close = open + 1;
        while (close < m_data.size() && m_data[close] != '>' && close - open <= kMaxTagBytes)
            ++close;
        if (close >= m_data.size())
            return fail(QStringLiteral("the file ends inside a tag"));
        if (m_data[close] != '>')
            return fail(QStringLiteral("a tag at byte %1 has no closing '>'").arg(open));
        const QByteArray tag = m_data.sliced(open + 1, close - open - 1).toByteArray().toUpper();
        pos = close + 1;
        if (tag == "EOR")
            return {Step::EndOfRecord, {}, {}};
        if (tag == "EOH")
            return {Step::EndOfHeader, {}, {}};
        const QList<QByteArray> parts = tag.split(':');
        const QByteArray name = parts[0].trimmed();
        bool nameOk = !name.isEmpty() && parts.size() >= 2 && parts.size() <= 3;
        for (char c : name)
            nameOk = nameOk && (std::isalnum(uchar(c)) || c == '_');
        if (!nameOk)
            return fail(QStringLiteral("malformed tag <%1>").arg(shown(QString::fromUtf8(tag))));
        const QByteArray digits = parts[1].trimmed();
        bool lengthOk = !digits.isEmpty() && digits.size() <= 12;
        for (char c : digits)
            lengthOk = lengthOk && c >= '0' && c <= '9';
        if (!lengthOk)
            return fail(
                QStringLiteral("field %1 has no valid length").arg(QString::fromLatin1(name)));
        const qint64 length = digits.toLongLong();
        const qint64 remaining = m_data.size() - pos;
        if (length > remaining)
            return fail(
                QStringLiteral("field %1 declares %2 bytes but the file ends %3 bytes later")
                    .arg(QString::fromLatin1(name))
                    .arg(length)
                    .arg(remaining));
        // As bytes of UTF-8 first; as characters when that cuts a character or runs into text.
        qsizetype size = qsizetype(length);
        QByteArrayView value = m_data.sliced(pos, size);
        if (!value.isValidUtf8() || !endsValue(m_data, pos + size)) {
            const qsizetype asCharacters = bytesOfCharacters(m_data, pos, length);
            if (asCharacters >= 0 && m_data.sliced(pos, asCharacters).isValidUtf8() &&
                endsValue(m_data, pos + asCharacters)) {
                size = asCharacters;
                value = m_data.sliced(pos, size);
            }
        }
        if (!value.isValidUtf8())
            return fail(QStringLiteral("field %1 is not UTF-8 text (wrong encoding?)")
                            .arg(QString::fromLatin1(name)));
        pos += size;
        return {Step::FieldRead, {name, QString::fromUtf8(value)}, {}};
    }

private:
    Step fail(const QString& reason) { return {Step::Failed, {}, reason}; }

    QByteArrayView m_data;
};

std::optional<qint64> readDecimal(QStringView text, int scaleDigits) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    qint64 whole = 0;
    qint64 fraction = 0;
    int fractionDigits = 0;
    bool point = false;
    bool anyDigit = false;
    for (QChar c : text) {
        if (c == u'.' && !point) {
            point = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        anyDigit = true;
        const int digit = c.unicode() - u'0';
        if (!point) {
            whole = whole * 10 + digit;
            if (whole > kMaxHz)
                return std::nullopt;
        } else if (fractionDigits < scaleDigits) {
            fraction = fraction * 10 + digit;
            ++fractionDigits;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    qint64 scale = 1;
    for (int i = 0; i < scaleDigits; ++i)
        scale *= 10;
    for (int i = fractionDigits; i < scaleDigits; ++i)
        fraction *= 10;
    const qint64 hz = whole * scale + fraction;
    if (hz > kMaxHz)
        return std::nullopt;
    return hz;
}

// The fields a contact keeps as text, in the order they are written.
struct TextField {
    const char* name;
    QString Contact::*member;
};
constexpr TextField kTextFields[] = {
    {"CALL", &Contact::call},
    {"BAND", &Contact::band},
    {"MODE", &Contact::mode},
    {"SUBMODE", &Contact::submode},
    {"RST_SENT", &Contact::rstSent},
    {"RST_RCVD", &Contact::rstReceived},
    {"NAME", &Contact::name},
    {"POTA_REF", &Contact::potaRef},
    {"SOTA_REF", &Contact::sotaRef},
    {"WWFF_REF", &Contact::wwffRef},
    {"SIG", &Contact::sig},
    {"SIG_INFO", &Contact::sigInfo},
    {"COMMENT", &Contact::comment},
    {"STATION_CALLSIGN", &Contact::stationCallsign},
    {"MY_GRIDSQUARE", &Contact::myGrid},
};

// The member a field name fills; the others go to `extra`.
QString* member(Contact& contact, const QByteArray& name) {
    static const QHash<QByteArray, QString Contact::*> kMembers = [] {
        QHash<QByteArray, QString Contact::*> members;
        for (const TextField& field : kTextFields)
            members.insert(field.name, field.member);
        return members;
    }();
    const auto found = kMembers.constFind(name);
    return found == kMembers.constEnd() ? nullptr : &(contact.*found.value());
}

// The contact of a record's fields; the reason it cannot be one otherwise.
std::optional<Contact> contactOf(const QList<Field>& fields, QString& reason) {
    Contact contact;
    QString date;
    QString time;
    QString frequency;
    QSet<QByteArray> seen;
    for (const Field& field : fields) {
        if (field.value.isEmpty() || seen.contains(field.name))
            continue;
        seen.insert(field.name);
        if (QString* known = member(contact, field.name))
            *known = field.value;
        else if (field.name == "QSO_DATE")
            date = field.value;
        else if (field.name == "TIME_ON")
            time = field.value;
        else if (field.name == "FREQ")
            frequency = field.value;
        else
            contact.extra.append({QString::fromLatin1(field.name), field.value});
    }
    contact.call = contact.call.trimmed().toUpper();
    if (contact.call.isEmpty()) {
        reason = QStringLiteral("no CALL");
        return std::nullopt;
    }
    const QDate day = QDate::fromString(date, QStringLiteral("yyyyMMdd"));
    if (!day.isValid()) {
        reason = date.isEmpty() ? QStringLiteral("no QSO_DATE")
                                : QStringLiteral("QSO_DATE %1 is not a date").arg(shown(date));
        return std::nullopt;
    }
    const QTime at = time.size() == 4   ? QTime::fromString(time, QStringLiteral("HHmm"))
                     : time.size() == 6 ? QTime::fromString(time, QStringLiteral("HHmmss"))
                                        : QTime();
    if (!at.isValid()) {
        reason = time.isEmpty() ? QStringLiteral("no TIME_ON")
                                : QStringLiteral("TIME_ON %1 is not a time").arg(shown(time));
        return std::nullopt;
    }
    contact.start = QDateTime(day, at, QTimeZone::utc());
    if (!frequency.isEmpty()) {
        const std::optional<qint64> hz = readMegahertz(frequency);
        if (!hz) {
            reason = QStringLiteral("FREQ %1 is not a frequency in MHz").arg(shown(frequency));
            return std::nullopt;
        }
        contact.frequencyHz = *hz;
    }
    contact.band = contact.band.trimmed().toLower();
    if (contact.band.isEmpty())
        contact.band = bandForHz(contact.frequencyHz);
    contact.mode = contact.mode.trimmed().toUpper();
    contact.submode = contact.submode.trimmed().toUpper();
    return contact;
}

void appendField(QByteArray& out, const char* name, const QString& value) {
    if (value.isEmpty())
        return;
    const QByteArray bytes = value.toUtf8();
    out += '<';
    out += name;
    out += ':';
    out += QByteArray::number(bytes.size());
    out += '>';
    out += bytes;
    out += ' ';
}

} // namespace

QString AdifProblem::text() const {
    return QStringLiteral("record %1 (byte %2): %3").arg(record).arg(offset).arg(reason);
}

AdifRead readAdif(QByteArrayView bytes) {
    AdifRead read;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    Scanner scanner(bytes);
    // A file that does not open with a tag opens with a header, which ends with <EOH>.
    qsizetype first = 0;
    while (first < bytes.size() && isSpace(bytes[first]))
        ++first;
    if (first < bytes.size() && bytes[first] != '<') {
        const qsizetype end = bytes.toByteArray().toUpper().indexOf("<EOH>");
        if (end >= 0) {
            Scanner header(bytes.first(end + 5));
            for (Step step = header.next(); step.kind == Step::FieldRead; step = header.next())
                if (step.field.name == "PROGRAMID")
                    read.headerProgram = step.field.value;
            scanner.pos = end + 5;
        }
    }
    const QByteArray upper = bytes.toByteArray().toUpper();
    int record = 0;
    while (scanner.skipToTag()) {
        const qsizetype start = scanner.pos;
        ++record;
        QList<Field> fields;
        QString reason;
        bool ended = false;
        while (!ended && reason.isEmpty()) {
            const qsizetype at = scanner.pos;
            Step step = scanner.next();
            switch (step.kind) {
            case Step::FieldRead:
                fields.append(std::move(step.field));
                break;
            case Step::EndOfRecord:
                ended = true;
                break;
            case Step::EndOfHeader:
                break;
            case Step::EndOfFile:
                reason = QStringLiteral("truncated: the file ends before <EOR>");
                break;
            case Step::Failed:
                reason = step.reason;
                // Read on after the end of this record.
                const qsizetype next = upper.indexOf("<EOR>", at);
                scanner.pos = next < 0 ? bytes.size() : next + 5;
                break;
            }
        }
        if (ended && fields.isEmpty()) {
            --record; // a stray <EOR> is no record
            continue;
        }
        std::optional<Contact> contact;
        if (reason.isEmpty())
            contact = contactOf(fields, reason);
        if (contact) {
            read.contacts.append(std::move(*contact));
            read.recordNumbers.append(record);
        } else {
            read.problems.append({record, start, reason});
        }
    }
    return read;
}

QByteArray adifHeader(const QString& programVersion, const QDateTime& created) {
    QByteArray out = "Bandhopper contact log\n";
    appendField(out, "ADIF_VER", QString::fromLatin1(kAdifVersion));
    appendField(out, "PROGRAMID", QStringLiteral("Bandhopper"));
    appendField(out, "PROGRAMVERSION", programVersion);
    appendField(out, "CREATED_TIMESTAMP",
                created.toUTC().toString(QStringLiteral("yyyyMMdd HHmmss")));
    out += "<EOH>\n";
    return out;
}

QByteArray adifRecord(const Contact& contact) {
    QByteArray out;
    const QDateTime start = contact.start.toUTC();
    for (const TextField& field : kTextFields) {
        appendField(out, field.name, contact.*field.member);
        // When after the call, and the frequency after the band, as loggers list them.
        if (field.member == &Contact::call) {
            appendField(out, "QSO_DATE", start.toString(QStringLiteral("yyyyMMdd")));
            appendField(out, "TIME_ON", start.toString(QStringLiteral("HHmmss")));
        } else if (field.member == &Contact::band && contact.frequencyHz > 0) {
            appendField(out, "FREQ", megahertzText(contact.frequencyHz));
        }
    }
    for (const auto& [name, value] : contact.extra)
        appendField(out, name.toLatin1().constData(), value);
    out += "<EOR>\n";
    return out;
}

QByteArray adifFile(const QList<Contact>& contacts, const QString& programVersion,
                    const QDateTime& created) {
    QByteArray out = adifHeader(programVersion, created);
    for (const Contact& contact : contacts)
        out += adifRecord(contact);
    return out;
}

QString megahertzText(qint64 hz) {
    QString text = QString::number(hz / 1'000'000) + u'.' +
                   QStringLiteral("%1").arg(hz % 1'000'000, 6, 10, QLatin1Char('0'));
    // Trailing zeros say nothing, but three decimals keep the kilohertz readable.
    while (text.endsWith(u'0') && text.size() - text.indexOf(u'.') > 4)
        text.chop(1);
    return text;
}

std::optional<qint64> readMegahertz(QStringView text) {
    return readDecimal(text, 6);
}

std::optional<qint64> readKilohertz(QStringView text) {
    return readDecimal(text, 3);
}

} // namespace logbook
