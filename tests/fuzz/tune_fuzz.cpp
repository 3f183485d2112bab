#include "tuning/catencoding.h"

#include "fuzzcheck.h"

#include <QRegularExpression>

#include <array>
#include <cmath>

using core::ListKind;
using tuning::Family;

namespace {

// The hertz the Icom writes set, or -1 unless they are exactly: the frequency frame (five
// packed-decimal bytes, least significant first, the fifth 00), the mode frame (00 to 03) and, for
// every list but MW, the data-mode frame (00 00 or 01 01); each FE FE addr E0 ... FD.
qint64 icomHertz(const QList<QByteArray>& writes, char address, bool mw) {
    static const QRegularExpression kFrames(QRegularExpression::anchoredPattern(
        "FEFE([0-9A-F]{2})E005([0-9]{8})00FD FEFE\\1E0060[0-3]FD( FEFE\\1E01A06(0000|0101)FD)?"));
    QStringList hex;
    for (const QByteArray& write : writes)
        hex << QString::fromLatin1(write.toHex().toUpper());
    const QRegularExpressionMatch match = kFrames.match(hex.join(u' '));
    QString digits; // the bytes' digits, most significant first
    for (int i = 6; i >= 0; i -= 2)
        digits += match.capturedView(2).mid(i, 2);
    return match.hasMatch() && match.captured(1) == QByteArray(1, address).toHex().toUpper() &&
                   match.hasCaptured(3) == !mw
               ? digits.toLongLong()
               : -1;
}

// The hertz the one Yaesu write sets, or -1 unless it is made of table commands and exactly one
// "FA", nine digits and ";".
qint64 yaesuHertz(const QList<QByteArray>& writes) {
    static const QString kCommand = "(?:MD0[12357];|SF1[EH];|SS0640000;|SS0560000;)*";
    static const QRegularExpression kWrite(
        QRegularExpression::anchoredPattern(kCommand + "FA([0-9]{9});" + kCommand));
    const QRegularExpressionMatch match = kWrite.match(QString::fromLatin1(writes.value(0)));
    return writes.size() == 1 && match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

// One Tune from any frequency and mode text. The first bytes choose the list, the radio family,
// the CI-V address and the mode; the rest is the frequency text (and, for the last mode choice,
// "frequency\nmode").
FUZZ_TARGET(bytes) {
    static const std::array<QString, 4> kRadios = {"I", "Y", "", "i"};
    static const std::array<QString, 8> kModes = {"CW",  "FT8", "FT4", "DATA",
                                                  "SSB", "LSB", "USB", ""};
    fuzzcheck::ByteReader input{bytes};
    tuning::TuneInput in;
    in.list = ListKind(input.byte() % 5);
    in.familyCode = kRadios[input.byte() % kRadios.size()];
    const char address = char(input.byte());
    in.civAddress = QString::fromLatin1(QByteArray(1, address).toHex().toUpper());
    const uint8_t modeChoice = input.byte() % (kModes.size() + 1);
    const QString text = QString::fromUtf8(input.rest());
    const qsizetype newline = modeChoice < kModes.size() ? -1 : text.indexOf(u'\n');
    in.frequencyText = newline < 0 ? text : text.left(newline);
    in.modeText = modeChoice < kModes.size() ? kModes[modeChoice] : text.mid(newline + 1);
    in.spokenText = QStringLiteral("K1ABC");

    const tuning::TuneCommands out = tuning::composeTune(in);
    const Family family = in.familyCode == u"I" ? Family::Icom : Family::Yaesu;
    const QString context = QStringLiteral("list %1, radio \"%2\", frequency \"%3\", mode \"%4\"")
                                .arg(core::listIndex(in.list))
                                .arg(in.familyCode, in.frequencyText, in.modeText);
    FUZZ_CHECK(out.family == family, context);

    // The hertz the text stands for: NetLogger texts above 70 are kilohertz, the others are
    // read in their list's unit and truncated to whole hertz.
    std::optional<double> expected;
    if (in.list == ListKind::NetLogger) {
        if (const std::optional<float> value = core::parseFloat32(in.frequencyText))
            expected = double(*value > 70.0f ? *value / 1000.0f : *value) * 1e6;
    } else {
        const bool megahertz = in.list == ListKind::Sota || in.list == ListKind::Nets;
        if (const auto hertz = tuning::textToHertz(in.frequencyText, megahertz ? 1e6f : 1e3f))
            expected = double(*hertz);
    }
    // Broadcast stations sit below 10 MHz; the other lists are HF and 6 m, 1 to 100 MHz.
    const double low = in.list == ListKind::MW ? 1e5 : 1e6, high = low * 100;
    FUZZ_CHECK(out.refused == !(expected && *expected >= low && *expected < high), context);
    if (out.refused) {
        FUZZ_CHECK(out.writes.isEmpty() && out.announcement.isEmpty() &&
                       out.diagnostics == QStringList{"Cannot tune " + in.frequencyText},
                   context);
        return;
    }
    const qint64 hertz = family == Family::Icom
                             ? icomHertz(out.writes, address, in.list == ListKind::MW)
                             : yaesuHertz(out.writes);
    // The radio goes where the row says, to the hertz (NetLogger: within the 10 Hz its digits
    // may differ from the value).
    FUZZ_CHECK(hertz >= low && hertz < high &&
                   std::abs(double(hertz) - *expected) <= (in.list == ListKind::NetLogger ? 10 : 0),
               QString::number(hertz) + QStringLiteral(" Hz; ") + context);
    FUZZ_CHECK(out.diagnostics.filter(QStringLiteral("Cannot tune")).isEmpty(), context);
}
