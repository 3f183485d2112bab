#include "radio/readback.h"

#include "radio/replyframes.h"
#include "radio/rigctldreplies.h"

#include <QQueue>

#include <algorithm>

namespace radio {
namespace {

using tuning::Family;

constexpr quint8 kController = 0xE0;
// CI-V commands: read the operating frequency; the radio's "OK" and "NG" answers.
constexpr quint8 kReadFrequency = 0x03;
constexpr quint8 kOk = 0xFB;
constexpr quint8 kNg = 0xFA;

class CivProtocol : public TuneProtocol {
public:
    explicit CivProtocol(quint8 address)
        : m_address(address) {}

    QList<QByteArray> start(const tuning::TuneCommands& commands) override {
        m_sets = commands.writes;
        m_answered = 0;
        m_mode = modeSetBy(commands);
        m_live = true;
        return m_sets + QList<QByteArray>{question()};
    }

    ReadProgress read(QByteArrayView chunk) override {
        ReadProgress progress;
        for (const CivFrame& frame : m_frames.feed(chunk)) {
            // Every frame on the CI-V bus comes back to its sender: ours carry our address as
            // their source. Frames to other controllers, or broadcasts, are not answers either.
            if (!m_live || frame.from != m_address || frame.to != kController)
                continue;
            if (frame.command == kOk) {
                ++m_answered;
            } else if (frame.command == kNg) {
                // Answers come in the order of the commands.
                const QByteArray refused =
                    m_answered < m_sets.size() ? m_sets[m_answered] : question();
                progress.refusals << QStringLiteral("Radio refused ") +
                                         QString::fromLatin1(refused.toHex().toUpper());
                ++m_answered;
            } else if (frame.command == kReadFrequency) {
                if (const std::optional<qint64> hertz = civFrequency(frame.data)) {
                    progress.readBack = ReadBack{*hertz, m_mode};
                    m_live = false;
                }
            }
        }
        return progress;
    }

    void abandon() override { m_live = false; }

private:
    QByteArray question() const {
        const char frame[] = {char(0xFE),        char(0xFE),           char(m_address),
                              char(kController), char(kReadFrequency), char(0xFD)};
        return QByteArray(frame, sizeof frame);
    }

    quint8 m_address;
    CivFrameReader m_frames;
    QList<QByteArray> m_sets;
    qsizetype m_answered = 0;
    QString m_mode;
    bool m_live = false;
};

// Yaesu CAT: "FA;" asks VFO A's frequency and the radio answers "FA" and the digits (nine on
// current radios, eight on older ones); "?;" answers a command the radio did not accept.
class CatProtocol : public TuneProtocol {
public:
    explicit CatProtocol(const QString& vfo)
        : m_vfo(vfo == u"B" ? "FB" : "FA") {}

    QList<QByteArray> start(const tuning::TuneCommands& commands) override {
        m_sent = commands.writes.join();
        m_mode = modeSetBy(commands);
        m_live = true;
        return commands.writes + QList<QByteArray>{m_vfo + ';'};
    }

    ReadProgress read(QByteArrayView chunk) override {
        ReadProgress progress;
        for (QByteArray piece : m_pieces.feed(chunk)) {
            piece = piece.trimmed();
            if (!m_live)
                continue;
            if (piece == "?") {
                progress.refusals << QStringLiteral("Radio refused a command of ") +
                                         QString::fromLatin1(m_sent);
            } else if ((piece.size() == 10 || piece.size() == 11) && piece.startsWith(m_vfo)) {
                const QByteArray digits = piece.mid(2);
                if (std::all_of(digits.begin(), digits.end(),
                                [](char c) { return c >= '0' && c <= '9'; })) {
                    progress.readBack = ReadBack{digits.toLongLong(), m_mode};
                    m_live = false;
                }
            }
        }
        return progress;
    }

    void abandon() override { m_live = false; }

private:
    QByteArray m_vfo;
    PieceReader m_pieces{';', 64};
    QByteArray m_sent;
    QString m_mode;
    bool m_live = false;
};

// rigctld answers each command in turn, so each one waits for the answer to the one before.
class RigctldProtocol : public TuneProtocol {
public:
    QList<QByteArray> start(const tuning::TuneCommands& commands) override {
        ++m_tune;
        m_plan = commands.writes + QList<QByteArray>{"f\n", "m\n"};
        m_hertz = 0;
        return {next()};
    }

    ReadProgress read(QByteArrayView chunk) override {
        ReadProgress progress;
        for (const RigctldAnswer& answer : m_replies.feed(chunk)) {
            const Sent sent = m_sent.dequeue();
            if (sent.tune != m_tune)
                continue; // the answer to a tune given up
            if (answer.kind == RigctldAnswer::Kind::Error ||
                answer.kind == RigctldAnswer::Kind::Garbled) {
                const QString command = QString::fromLatin1(sent.command.trimmed());
                progress.refusals << (answer.kind == RigctldAnswer::Kind::Error
                                          ? command + QStringLiteral(": ") +
                                                hamlibErrorText(answer.code)
                                          : command + QStringLiteral(": unexpected answer \"") +
                                                answer.text + u'"');
                progress.ended = true;
                abandon();
            } else if (answer.ask == RigctldAsk::Mode) {
                progress.readBack = ReadBack{m_hertz, answer.mode};
                abandon();
            } else {
                if (answer.ask == RigctldAsk::Frequency)
                    m_hertz = answer.hertz;
                if (!m_plan.isEmpty())
                    progress.writes << next();
            }
        }
        return progress;
    }

    void abandon() override {
        m_plan.clear();
        ++m_tune;
    }

private:
    struct Sent {
        quint64 tune;
        QByteArray command;
    };

    QByteArray next() {
        const QByteArray command = m_plan.takeFirst();
        m_replies.expect(command == "f\n"   ? RigctldAsk::Frequency
                         : command == "m\n" ? RigctldAsk::Mode
                                            : RigctldAsk::Set);
        m_sent.enqueue({m_tune, command});
        return command;
    }

    RigctldReplyReader m_replies;
    QQueue<Sent> m_sent;
    QList<QByteArray> m_plan;
    quint64 m_tune = 0;
    qint64 m_hertz = 0;
};

QString icomModeName(quint8 mode) {
    switch (mode) {
    case 0x00:
        return QStringLiteral("LSB");
    case 0x01:
        return QStringLiteral("USB");
    case 0x02:
        return QStringLiteral("AM");
    case 0x03:
        return QStringLiteral("CW");
    case 0x05:
        return QStringLiteral("FM");
    case 0x07:
        return QStringLiteral("CW-R");
    default:
        return QString();
    }
}

QString yaesuModeName(char mode) {
    switch (mode) {
    case '1':
        return QStringLiteral("LSB");
    case '2':
        return QStringLiteral("USB");
    case '3':
        return QStringLiteral("CW-U");
    case '4':
        return QStringLiteral("FM");
    case '5':
        return QStringLiteral("AM");
    case '7':
        return QStringLiteral("CW-L");
    default:
        return QString();
    }
}

} // namespace

QString megahertzText(qint64 hertz) {
    const QString below = QStringLiteral("%1").arg(hertz % 1'000'000, 6, 10, QLatin1Char('0'));
    return QString::number(hertz / 1'000'000) + u'.' + below.left(3) + u'.' + below.mid(3) +
           QStringLiteral(" MHz");
}

QString reportText(const ReadBack& readBack) {
    QString text = QStringLiteral("Radio reports ") + megahertzText(readBack.hertz);
    if (!readBack.mode.isEmpty())
        text += u' ' + readBack.mode;
    return text;
}

QString spokenMegahertz(qint64 hertz) {
    QString below = QStringLiteral("%1").arg(hertz % 1'000'000, 6, 10, QLatin1Char('0'));
    while (below.size() > 3 && below.endsWith(u'0'))
        below.chop(1);
    return QString::number(hertz / 1'000'000) + u'.' + below;
}

QString modeSetBy(const tuning::TuneCommands& commands) {
    if (commands.family == Family::Yaesu) {
        const QByteArray text = commands.writes.join();
        const qsizetype at = text.indexOf("MD0");
        return at >= 0 && at + 3 < text.size() ? yaesuModeName(text[at + 3]) : QString();
    }
    // CI-V: FE FE addr E0, then 06 <mode> or 1A 06 <data mode> <filter>.
    QString mode;
    bool data = false;
    for (const QByteArray& frame : commands.writes) {
        if (frame.size() == 7 && quint8(frame[4]) == 0x06)
            mode = icomModeName(quint8(frame[5]));
        else if (frame.size() >= 8 && quint8(frame[4]) == 0x1A && frame[5] == 0x06)
            data = frame[6] != 0;
    }
    return data && !mode.isEmpty() ? mode + QStringLiteral("-D") : mode;
}

TuneCheck judgeReadBack(qint64 requested, const std::optional<ReadBack>& readBack) {
    if (!readBack) {
        const QString none = QStringLiteral("No answer from the radio");
        return {TuneVerdict::NoAnswer, none, QString(), none};
    }
    if (readBack->hertz == requested) {
        QString spoken = QStringLiteral("Tuned ") + spokenMegahertz(readBack->hertz);
        if (!readBack->mode.isEmpty())
            spoken += u' ' + readBack->mode;
        return {TuneVerdict::Tuned, QStringLiteral("Tuned"), reportText(*readBack), spoken, {},
                readBack->hertz};
    }
    return {TuneVerdict::NotFollowed,
            QStringLiteral("Radio did not follow: reports ") + megahertzText(readBack->hertz),
            reportText(*readBack),
            QStringLiteral("Radio did not follow: it reports ") + spokenMegahertz(readBack->hertz),
            {},
            readBack->hertz};
}

std::unique_ptr<TuneProtocol> makeTuneProtocol(tuning::Family family, const QString& civAddress,
                                               const QString& vfo) {
    switch (family) {
    case Family::Icom: {
        const QByteArray address = tuning::hexTextToBytes(civAddress);
        return std::make_unique<CivProtocol>(address.isEmpty() ? 0 : quint8(address[0]));
    }
    case Family::Yaesu:
        return std::make_unique<CatProtocol>(vfo);
    case Family::Rigctld:
        break;
    }
    return std::make_unique<RigctldProtocol>();
}

} // namespace radio
