#include "feeds/textfeed.h"

#include "fuzzcheck.h"

namespace {

// The frequency column keeps digits and points only.
template <class Row> void checkRows(const QList<Row>& rows) {
    for (const Row& row : rows)
        for (const QChar c : row.frequency)
            FUZZ_CHECK((c >= u'0' && c <= u'9') || c == u'.', row.frequency);
}

} // namespace

// The three text feeds and the whole-number reading of their counts, from any bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = fuzzcheck::bytes(data, size);
    const QString text = feeds::decodeFeedText(body);
    // Every byte is read: nothing is dropped at a malformed sequence, and valid text comes
    // through unchanged but for a leading byte-order mark.
    const QByteArray unmarked = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body;
    FUZZ_CHECK(unmarked.isEmpty() == text.isEmpty());
    if (QByteArrayView(body).isValidUtf8())
        FUZZ_CHECK(text.toUtf8() == unmarked);

    // A whole number reads back as itself, apart from its sign and leading zeros.
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const std::optional<qint64> number = core::parseWholeNumber(line);
        if (!number)
            continue;
        QStringView digits = line.startsWith(u'-') || line.startsWith(u'+') ? line.mid(1) : line;
        while (digits.size() > 1 && digits.front() == u'0')
            digits = digits.mid(1);
        const bool negative = line.startsWith(u'-') && digits != u"0";
        FUZZ_CHECK(QString::number(*number) ==
                       (negative ? QStringLiteral("-") : QString()) + digits.toString(),
                   line.toString());
    }

    checkRows(feeds::parseNetLoggerNets(text));
    checkRows(feeds::parseNetsDirectory(text));
    checkRows(feeds::parseMWStations(text));
    return 0;
}
