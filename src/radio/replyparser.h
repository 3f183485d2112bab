#pragma once

#include <QByteArray>

#include <optional>

namespace radio {

// Reads the Yaesu meter replies ("RM" ... ";") out of the serial stream. Chunks arrive cut at
// arbitrary places, so the unterminated tail of one chunk is kept and put in front of the next;
// a tail that grows past kMaxTail bytes is garbage and is dropped.
class MeterReplyReader {
public:
    static constexpr qsizetype kMaxTail = 64;

    // The value of the last meter reply completed by this chunk, if any. A malformed meter reply
    // reads as 0. A chunk that is not UTF-8 (CI-V frames, line noise) is ignored whole.
    std::optional<int> feed(const QByteArray& chunk);

    QByteArray pendingTail() const { return m_tail; }

private:
    QByteArray m_tail;
};

// The value of one reply piece (terminator removed): nullopt when it is not a meter reply.
std::optional<int> meterValue(QByteArrayView piece);

} // namespace radio
