#include "directory/csv.h"

#include <QStringDecoder>

namespace directory {

namespace {

// The line of the first byte sequence that is not UTF-8, so the operator knows where to look.
int firstBadUtf8Line(const QByteArray& bytes) {
    int line = 1;
    for (const QByteArray& text : bytes.split('\n')) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(text); // decoding happens on conversion
        if (decoder.hasError())
            return line;
        ++line;
    }
    return line;
}

} // namespace

CsvTable readCsv(const QByteArray& utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(utf8);
    if (decoder.hasError())
        return {{}, ParseError{firstBadUtf8Line(utf8), QStringLiteral("not UTF-8 text")}};

    CsvTable table;
    CsvRecord record;
    QString field;
    int line = 1;
    record.line = 1;
    bool quotedField = false; // the current field was quoted (and its closing quote seen)
    const auto fail = [](int at, const QString& why) { return CsvTable{{}, ParseError{at, why}}; };
    const auto endRecord = [&] {
        record.fields.append(field);
        const bool blank = record.fields.size() == 1 && field.trimmed().isEmpty() && !quotedField;
        if (!blank)
            table.records.append(record);
        record = CsvRecord{line + 1, {}};
        field.clear();
        quotedField = false;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            // Blanks around a quoted value are what hand-edited files have; they are not data.
            if (quotedField || !field.trimmed().isEmpty())
                return fail(line, QStringLiteral("a quote inside a value that does not start "
                                                 "with one"));
            field.clear();
            const int opened = line;
            for (++i;; ++i) {
                if (i >= n)
                    return fail(opened, QStringLiteral("a quoted value is never closed"));
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        ++i;
                        continue;
                    }
                    break;
                }
                if (text[i] == u'\n')
                    ++line;
                field += text[i];
            }
            quotedField = true;
            while (i + 1 < n && (text[i + 1] == u' ' || text[i + 1] == u'\t'))
                ++i;
            const QChar next = i + 1 < n ? text[i + 1] : QChar(u'\n');
            const bool crlf = next == u'\r' && i + 2 < n && text[i + 2] == u'\n';
            if (next != u',' && next != u'\n' && !crlf)
                return fail(line, QStringLiteral("text after the closing quote of a value"));
        } else if (c == u',') {
            record.fields.append(field);
            field.clear();
            quotedField = false;
        } else if (c == u'\n' || (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')) {
            if (c == u'\r')
                ++i;
            endRecord();
            ++line;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || quotedField || !record.fields.isEmpty())
        endRecord();
    return table;
}

} // namespace directory
