#include "radio/rigctldreplies.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace radio {
namespace {

using Kind = RigctldAnswer::Kind;

bool isDecimal(QByteArrayView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// rigctld prints the frequency as an integer; older releases print decimals ("14074000.000000").
std::optional<qint64> readHertz(QByteArrayView line) {
    const qsizetype point = line.indexOf('.');
    const QByteArrayView whole = point < 0 ? line : line.first(point);
    const QByteArrayView fraction = point < 0 ? QByteArrayView() : line.sliced(point + 1);
    if (!isDecimal(whole) || whole.size() > 15 || (point >= 0 && !isDecimal(fraction)))
        return std::nullopt;
    return std::llround(line.toByteArray().toDouble());
}

bool isModeToken(QByteArrayView line) {
    return !line.isEmpty() && line.size() <= 16 &&
           std::all_of(line.begin(), line.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '_';
           });
}

bool isPassband(QByteArrayView line) {
    return isDecimal(line.startsWith('-') ? line.sliced(1) : line);
}

QString printable(QByteArrayView line) {
    QString text;
    for (char c : line)
        text += (c >= 0x20 && c < 0x7F) ? QChar(c) : QChar(u'?');
    return text;
}

} // namespace

QList<RigctldAnswer> RigctldReplyReader::feed(QByteArrayView chunk) {
    QList<RigctldAnswer> answers;
    for (QByteArray line : m_lines.feed(chunk)) {
        line = line.trimmed();
        if (line.isEmpty() || m_asks.isEmpty())
            continue;
        if (m_modeLine) {
            RigctldAnswer answer = *std::exchange(m_modeLine, std::nullopt);
            if (!isPassband(line)) {
                answer.kind = Kind::Garbled;
                answer.text += u' ' + printable(line);
            }
            m_asks.dequeue();
            answers.append(answer);
            continue;
        }
        RigctldAnswer answer;
        answer.ask = m_asks.head();
        answer.text = printable(line);
        bool isNumber = false;
        const int code = line.startsWith("RPRT ") ? line.mid(5).toInt(&isNumber) : 0;
        if (isNumber && code < 0) {
            answer.kind = Kind::Error;
            answer.code = code;
        } else if (isNumber) {
            answer.kind = code == 0 && answer.ask == RigctldAsk::Set ? Kind::Ok : Kind::Garbled;
        } else if (answer.ask == RigctldAsk::Frequency) {
            const std::optional<qint64> hertz = readHertz(line);
            answer.kind = hertz ? Kind::Value : Kind::Garbled;
            answer.hertz = hertz.value_or(0);
        } else if (answer.ask == RigctldAsk::Mode && isModeToken(line)) {
            answer.kind = Kind::Value;
            answer.mode = answer.text;
            m_modeLine = answer;
            continue;
        }
        m_asks.dequeue();
        answers.append(answer);
    }
    return answers;
}

QString hamlibErrorText(int code) {
    // Hamlib's error codes, negated on the wire.
    static const std::array<const char*, 17> kMeanings = {"invalid parameter",
                                                          "invalid configuration",
                                                          "memory shortage",
                                                          "not implemented",
                                                          "communication timed out",
                                                          "I/O error",
                                                          "internal Hamlib error",
                                                          "protocol error",
                                                          "command rejected by the radio",
                                                          "argument truncated",
                                                          "function not available",
                                                          "VFO not targetable",
                                                          "error talking on the bus",
                                                          "collision on the bus",
                                                          "invalid argument",
                                                          "invalid VFO",
                                                          "argument out of domain"};
    const QString text = QStringLiteral("RPRT ") + QString::number(code);
    if (code < 0 && -code <= int(kMeanings.size()))
        return text + QStringLiteral(" (") + QLatin1String(kMeanings[-code - 1]) + u')';
    return text;
}

} // namespace radio
