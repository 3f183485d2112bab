#include "radio/replyparser.h"

#include <QList>
#include <QString>
#include <QStringDecoder>

#include <charconv>

namespace radio {

std::optional<int> meterValue(QByteArrayView piece) {
    QByteArray text = piece.toByteArray();
    text.replace('\n', QByteArray());
    if (!text.startsWith("RM"))
        return std::nullopt;
    // The last six characters carry the reading; with a short reply they include "RM", which
    // then reads as no number.
    const QByteArray digits = text.size() > 6 ? text.right(6) : text;
    const char* first = digits.constData();
    const char* last = first + digits.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return 0;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last)
        return 0;
    return value;
}

std::optional<int> MeterReplyReader::feed(const QByteArray& chunk) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8(chunk));
    if (utf8.hasError())
        return std::nullopt;

    QByteArray data = m_tail + chunk;
    const qsizetype lastTerminator = data.lastIndexOf(';');
    m_tail = data.mid(lastTerminator + 1);
    if (m_tail.size() > kMaxTail)
        m_tail.clear();
    if (lastTerminator < 0)
        return std::nullopt;

    std::optional<int> result;
    for (const QByteArray& piece : data.left(lastTerminator).split(';'))
        if (const auto value = meterValue(piece))
            result = value;
    return result;
}

} // namespace radio
