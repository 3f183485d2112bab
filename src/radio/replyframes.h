#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Cutting the radio's replies out of a byte stream that arrives in chunks cut anywhere.
namespace radio {

// Cuts a stream into pieces ended by a terminator byte (';' for Yaesu CAT, '\n' for rigctld).
// The unfinished tail of a chunk is kept for the next one; a piece longer than maxPiece bytes
// keeps only its first maxPiece bytes, so that it still counts as one piece.
class PieceReader {
public:
    PieceReader(char terminator, qsizetype maxPiece)
        : m_terminator(terminator)
        , m_maxPiece(maxPiece) {}

    QList<QByteArray> feed(QByteArrayView chunk);
    QByteArray pendingTail() const { return m_tail; }

private:
    char m_terminator;
    qsizetype m_maxPiece;
    QByteArray m_tail;
};

// One CI-V frame between the preamble FE FE and the terminator FD.
struct CivFrame {
    quint8 to = 0;
    quint8 from = 0;
    quint8 command = 0;
    QByteArray data; // sub-command and data
    bool operator==(const CivFrame&) const = default;
};

// Cuts CI-V frames out of the serial stream. Bytes outside a frame are line noise and are
// dropped; a preamble inside a frame means the frame before it was cut short (a collision on
// the bus), so reading starts again there. An unfinished frame is kept for the next chunk
// unless it grows past kMaxFrame bytes.
class CivFrameReader {
public:
    static constexpr qsizetype kMaxFrame = 64;

    QList<CivFrame> feed(QByteArrayView chunk);
    QByteArray pendingTail() const { return m_pending; }

private:
    QByteArray m_pending;
};

// The hertz of a frequency in CI-V's packed decimal, least significant pair first: five bytes
// (four on the oldest radios). nullopt when a digit is not decimal.
std::optional<qint64> civFrequency(QByteArrayView bcd);

} // namespace radio
