#pragma once

#include "radio/replyframes.h"

#include <QQueue>
#include <QString>

// rigctld's default protocol: one command per line, and per command one answer block. A set
// command is answered "RPRT 0" on success and "RPRT -n" (a Hamlib error code) on failure; "f"
// with the frequency in hertz on one line; "m" with the mode token on one line and the passband
// in hertz on the next. Every get may instead be answered by a single "RPRT -n" line.
namespace radio {

enum class RigctldAsk { Set, Frequency, Mode };

struct RigctldAnswer {
    enum class Kind { Ok, Error, Value, Garbled };
    RigctldAsk ask = RigctldAsk::Set;
    Kind kind = Kind::Garbled;
    int code = 0;     // of an Error: the negative Hamlib code
    qint64 hertz = 0; // of a Frequency value
    QString mode;     // of a Mode value
    QString text;     // the answer's first line as received, for diagnostics
    bool operator==(const RigctldAnswer&) const = default;
};

// Reads the answers in the order the commands went out: each command sent is announced with
// expect(), and its answer block is cut from the stream once complete. Lines nobody asked for
// are dropped.
class RigctldReplyReader {
public:
    static constexpr qsizetype kMaxLine = 256;

    void expect(RigctldAsk ask) { m_asks.enqueue(ask); }
    QList<RigctldAnswer> feed(QByteArrayView chunk);
    qsizetype outstanding() const { return m_asks.size(); }
    QByteArray pendingTail() const { return m_lines.pendingTail(); }

private:
    PieceReader m_lines{'\n', kMaxLine};
    QQueue<RigctldAsk> m_asks;
    std::optional<RigctldAnswer> m_modeLine; // a mode read, waiting for its passband line
};

// "RPRT -9 (command rejected by the radio)"; unknown codes show the number alone.
QString hamlibErrorText(int code);

} // namespace radio
