#include "tuning/catencoding.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <array>
#include <cmath>

using feeds::ListKind;
using tuning::Family;

namespace {

struct Range {
    qint64 low;  // inclusive
    qint64 high; // exclusive
};

Range tunableRange(ListKind list) {
    // Broadcast stations sit below 10 MHz; every other list is HF and 6 m, read as 1 to 100 MHz.
    return list == ListKind::MW ? Range{100'000, 10'000'000} : Range{1'000'000, 100'000'000};
}

bool isUpperHex(QStringView text) {
    for (const QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return false;
    return true;
}

bool isDecimalDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The hertz of a frequency frame's five data bytes (packed decimal, least significant byte
// first), or an explanation of what is wrong with them.
std::optional<qint64> frequencyData(QStringView data, QString& why) {
    qint64 hertz = 0;
    for (qsizetype byte = 4; byte >= 0; --byte) {
        const QChar high = data[byte * 2];
        const QChar low = data[byte * 2 + 1];
        if (!isDecimalDigit(high) || !isDecimalDigit(low)) {
            why = QStringLiteral("frequency byte %1 is not two decimal digits").arg(byte);
            return std::nullopt;
        }
        hertz = hertz * 100 + (high.unicode() - u'0') * 10 + (low.unicode() - u'0');
    }
    if (data.mid(8, 2) != u"00") {
        why = QStringLiteral("fifth frequency byte is not 00");
        return std::nullopt;
    }
    return hertz;
}

// Frames: frequency, mode, then (not for every list) data mode.
std::optional<qint64> icomHertz(const tuning::TuneCommands& out, const QString& kvIC,
                                QString& why) {
    if (out.frames.size() != 2 && out.frames.size() != 3) {
        why = QStringLiteral("%1 frames").arg(out.frames.size());
        return std::nullopt;
    }
    const QString head = QStringLiteral("FEFE") + kvIC + QStringLiteral("E0");
    std::optional<qint64> hertz;
    for (qsizetype i = 0; i < out.frames.size(); ++i) {
        const QString& frame = out.frames[i];
        if (frame.size() % 2 != 0 || !isUpperHex(frame) || !frame.startsWith(head) ||
            !frame.endsWith(QLatin1String("FD")) || frame.size() < head.size() + 4) {
            why = QStringLiteral("malformed frame ") + frame;
            return std::nullopt;
        }
        const QStringView body =
            QStringView(frame).mid(head.size(), frame.size() - head.size() - 2);
        if (i == 0) {
            if (frame.size() != 22 || !body.startsWith(u"05")) {
                why = QStringLiteral("not an 11-byte frequency frame: ") + frame;
                return std::nullopt;
            }
            hertz = frequencyData(body.mid(2), why);
            if (!hertz)
                return std::nullopt;
        } else if (i == 1) {
            if (body != u"0600" && body != u"0601" && body != u"0602" && body != u"0603") {
                why = QStringLiteral("not a mode frame: ") + frame;
                return std::nullopt;
            }
        } else if (body != u"1A060000" && body != u"1A060101") {
            why = QStringLiteral("not a data-mode frame: ") + frame;
            return std::nullopt;
        }
    }
    const QList<QByteArray> writes = out.writes();
    for (qsizetype i = 0; i < out.frames.size(); ++i) {
        if (writes.value(i) != QByteArray::fromHex(out.frames[i].toLatin1()) ||
            writes.value(i).size() * 2 != out.frames[i].size()) {
            why = QStringLiteral("bytes written differ from frame ") + out.frames[i];
            return std::nullopt;
        }
    }
    if (out.cmd != out.frames.last()) {
        why = QStringLiteral("cmd is not the last frame");
        return std::nullopt;
    }
    return hertz;
}

// The whole text must split into known commands with exactly one frequency command.
std::optional<qint64> yaesuHertz(const tuning::TuneCommands& out, QString& why) {
    static const std::array<QLatin1String, 9> kCommands = {
        QLatin1String("MD01;"), QLatin1String("MD02;"),      QLatin1String("MD03;"),
        QLatin1String("MD05;"), QLatin1String("MD07;"),      QLatin1String("SF1E;"),
        QLatin1String("SF1H;"), QLatin1String("SS0640000;"), QLatin1String("SS0560000;")};
    if (out.frames.size() != 1 || out.cmd != out.frames.first()) {
        why = QStringLiteral("Yaesu text is not one element equal to cmd");
        return std::nullopt;
    }
    const QStringView text = out.frames.first();
    std::optional<qint64> hertz;
    qsizetype at = 0;
    while (at < text.size()) {
        const QStringView rest = text.mid(at);
        bool known = false;
        for (const QLatin1String command : kCommands) {
            if (rest.startsWith(command)) {
                at += command.size();
                known = true;
                break;
            }
        }
        if (known)
            continue;
        const QStringView digits = rest.mid(2, 9);
        const bool frequency = rest.startsWith(u"FA") && rest.size() >= 12 && rest[11] == u';' &&
                               std::all_of(digits.begin(), digits.end(), isDecimalDigit);
        if (!frequency || hertz) {
            why = QStringLiteral("unexpected command at %1 in ").arg(at) + text.toString();
            return std::nullopt;
        }
        hertz = digits.toLongLong();
        at += 12;
    }
    if (!hertz) {
        why = QStringLiteral("no frequency command in ") + text.toString();
        return std::nullopt;
    }
    if (out.writes() != QList<QByteArray>{text.toUtf8()}) {
        why = QStringLiteral("bytes written differ from the text");
        return std::nullopt;
    }
    return hertz;
}

// The hertz the list's text stands for, when the encoding has a reference for it.
std::optional<double> expectedHertz(ListKind list, const QString& frequencyText) {
    if (list == ListKind::NetLogger) {
        const std::optional<float> value = tuning::parseFloat32(frequencyText);
        if (!value || !std::isfinite(*value))
            return std::nullopt;
        const float megahertz = *value > 70.0f ? *value / 1000.0f : *value;
        return double(megahertz) * 1e6;
    }
    const bool megahertzText = list == ListKind::Sota || list == ListKind::Nets;
    const std::optional<qint64> hertz =
        tuning::textToHertz(frequencyText, megahertzText ? 1'000'000.0f : 1000.0f);
    return hertz ? std::optional<double>(double(*hertz)) : std::nullopt;
}

} // namespace

// One Tune from any frequency and mode text. The first bytes choose the list, the radio
// family, the CI-V address and the mode; the rest is the frequency text (and, for the last
// mode choice, "frequency\nmode").
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::array<QString, 4> kRadios = {QStringLiteral("I"), QStringLiteral("Y"),
                                                   QString(), QStringLiteral("i")};
    static const std::array<QString, 8> kModes = {
        QStringLiteral("CW"),  QStringLiteral("FT8"), QStringLiteral("FT4"), QStringLiteral("DATA"),
        QStringLiteral("SSB"), QStringLiteral("LSB"), QStringLiteral("USB"), QString()};

    fuzzcheck::ByteReader input(data, size);
    tuning::TuneInput in;
    in.list = ListKind(input.byte() % 5);
    in.kvRadio = kRadios[input.byte() % kRadios.size()];
    in.kvIC = QStringLiteral("%1").arg(input.byte(), 2, 16, QLatin1Char('0')).toUpper();
    in.kvAorB = QStringLiteral("A");
    const uint8_t modeChoice = input.byte() % (kModes.size() + 1);
    const QString text = QString::fromUtf8(input.rest(), qsizetype(input.restSize()));
    if (modeChoice < kModes.size()) {
        in.frequencyText = text;
        in.modeText = kModes[modeChoice];
    } else {
        const qsizetype newline = text.indexOf(u'\n');
        in.frequencyText = newline < 0 ? text : text.left(newline);
        in.modeText = newline < 0 ? QString() : text.mid(newline + 1);
    }
    in.spokenText = QStringLiteral("K1ABC");

    const tuning::TuneCommands out = tuning::composeTune(in);
    const Family family = in.kvRadio == u"I" ? Family::Icom : Family::Yaesu;
    const QString context = QStringLiteral("list %1, %2, frequency \"%3\", mode \"%4\"")
                                .arg(int(in.list))
                                .arg(family == Family::Icom ? "Icom" : "Yaesu")
                                .arg(in.frequencyText, in.modeText);
    FUZZ_CHECK(out.family == family, context);

    const Range range = tunableRange(in.list);
    const std::optional<double> expected = expectedHertz(in.list, in.frequencyText);
    if (out.refused) {
        FUZZ_CHECK(out.frames.isEmpty() && out.cmd.isEmpty() && out.announcement.isEmpty(),
                   context);
        FUZZ_CHECK(out.diagnostics ==
                       QStringList{QStringLiteral("Cannot tune ") + in.frequencyText},
                   context);
        // Every list but NetLogger (whose megahertz pass through a float's shortest text) tunes
        // each whole hertz of its range.
        if (in.list != ListKind::NetLogger && expected)
            FUZZ_CHECK(!(*expected >= range.low && *expected < range.high), context);
        return 0;
    }

    for (const QString& line : out.diagnostics)
        FUZZ_CHECK(!line.startsWith(QLatin1String("Cannot tune")), context);
    QString why;
    const std::optional<qint64> hertz =
        family == Family::Icom ? icomHertz(out, in.kvIC, why) : yaesuHertz(out, why);
    FUZZ_CHECK(hertz, why + QStringLiteral("; ") + context);
    FUZZ_CHECK(*hertz >= range.low && *hertz < range.high,
               QString::number(*hertz) + QStringLiteral(" Hz; ") + context);
    // The radio goes where the row says, to the hertz (NetLogger: within the 10 Hz the
    // float's digits allow).
    FUZZ_CHECK(expected, context);
    const double tolerance = in.list == ListKind::NetLogger ? 10.0 : 0.0;
    FUZZ_CHECK(std::abs(double(*hertz) - *expected) <= tolerance,
               QString::number(*hertz) + QStringLiteral(" Hz; ") + context);
    return 0;
}
