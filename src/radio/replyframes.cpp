#include "radio/replyframes.h"

#include <algorithm>

namespace radio {
namespace {

constexpr char kPreamble = char(0xFE);
constexpr char kEnd = char(0xFD);
constexpr QByteArrayView kTwoPreambles("\xFE\xFE", 2);

} // namespace

QList<QByteArray> PieceReader::feed(QByteArrayView chunk) {
    QList<QByteArray> pieces;
    qsizetype from = 0;
    while (true) {
        const qsizetype end = chunk.indexOf(m_terminator, from);
        const QByteArrayView part = chunk.sliced(from, (end < 0 ? chunk.size() : end) - from);
        m_tail += part.first(std::min(part.size(), m_maxPiece - m_tail.size()));
        if (end < 0)
            return pieces;
        pieces.append(std::exchange(m_tail, QByteArray()));
        from = end + 1;
    }
}

QList<CivFrame> CivFrameReader::feed(QByteArrayView chunk) {
    QByteArray bytes = m_pending;
    bytes += chunk;
    QList<CivFrame> frames;
    qsizetype at = 0;
    while (true) {
        const qsizetype start = bytes.indexOf(kTwoPreambles, at);
        if (start < 0) {
            // A lone FE at the very end may be the first half of the next preamble.
            at = bytes.endsWith(kPreamble) ? bytes.size() - 1 : bytes.size();
            break;
        }
        qsizetype body = start;
        while (body < bytes.size() && bytes[body] == kPreamble)
            ++body;
        const qsizetype end = bytes.indexOf(kEnd, body);
        const qsizetype restart = bytes.indexOf(kTwoPreambles, body);
        if (restart >= 0 && (end < 0 || restart < end)) {
            at = restart;
            continue;
        }
        if (end < 0) {
            at = start;
            break;
        }
        if (end - body >= 3)
            frames.append({quint8(bytes[body]), quint8(bytes[body + 1]), quint8(bytes[body + 2]),
                           bytes.mid(body + 3, end - body - 3)});
        at = end + 1;
    }
    m_pending = bytes.mid(at);
    if (m_pending.size() > kMaxFrame)
        m_pending.clear();
    return frames;
}

std::optional<qint64> civFrequency(QByteArrayView bcd) {
    if (bcd.size() != 4 && bcd.size() != 5)
        return std::nullopt;
    qint64 hertz = 0;
    for (qsizetype i = bcd.size() - 1; i >= 0; --i) {
        const int high = quint8(bcd[i]) >> 4;
        const int low = quint8(bcd[i]) & 0x0F;
        if (high > 9 || low > 9)
            return std::nullopt;
        hertz = hertz * 100 + high * 10 + low;
    }
    return hertz;
}

} // namespace radio
