#include "feeds/textfeed.h"

#include "fuzzcheck.h"

namespace {

void checkRows(const feeds::Rows& rows, feeds::ListKind kind) {
    for (const feeds::Row& row : rows) {
        FUZZ_CHECK(row.size() == feeds::columnCount(kind));
        // The frequency column keeps digits and points only.
        for (const QChar c : row[1])
            FUZZ_CHECK((c >= u'0' && c <= u'9') || c == u'.', row[1]);
    }
}

} // namespace

// The three text feeds read from any bytes, and the two helpers they are built on. The first
// line (its first 32 characters) doubles as a tag name and a character set for the helpers.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = feeds::decodeFeedText(body);
    // Every byte is read: nothing is dropped at a malformed sequence, and valid text comes
    // through unchanged but for a leading byte-order mark.
    const QByteArray unmarked = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body;
    FUZZ_CHECK(unmarked.isEmpty() == text.isEmpty());
    if (QByteArrayView(body).isValidUtf8())
        FUZZ_CHECK(text.toUtf8() == unmarked);

    const qsizetype newline = text.indexOf(u'\n');
    // Tags and character sets are short; a long one would only make the checks quadratic.
    const QStringView head =
        (newline < 0 ? QStringView(text) : QStringView(text).left(newline)).left(32);
    const QStringView tail = newline < 0 ? QStringView() : QStringView(text).mid(newline + 1);
    for (const QStringView line : tail.split(u'\n')) {
        if (const std::optional<QString> value = feeds::scanTag(line, head))
            FUZZ_CHECK(line.contains(*value), *value);
        const QString kept = feeds::keepCharacters(line, head);
        FUZZ_CHECK(kept.size() <= line.size());
        for (const QChar c : kept)
            FUZZ_CHECK(head.contains(c));
        if (const std::optional<qint64> number = feeds::parseWholeNumber(line)) {
            // A number reads back as itself, apart from its sign and leading zeros.
            QStringView digits = line;
            const bool negative = digits.startsWith(u'-');
            if (negative || digits.startsWith(u'+'))
                digits = digits.mid(1);
            while (digits.size() > 1 && digits.front() == u'0')
                digits = digits.mid(1);
            const QString expected =
                (negative && digits != u"0" ? QStringLiteral("-") : QString()) + digits.toString();
            FUZZ_CHECK(QString::number(*number) == expected, line.toString());
        }
    }

    checkRows(feeds::parseNetLoggerNets(text), feeds::ListKind::NetLogger);
    checkRows(feeds::parseNetsDirectory(text), feeds::ListKind::Nets);
    checkRows(feeds::parseMWStations(text), feeds::ListKind::MW);
    return 0;
}
