#include "tuning/catencoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace tuning {

namespace {

constexpr qint64 kTenMegahertz = 10'000'000;
constexpr qint64 kOneMegahertz = 1'000'000;

QString frame(const QString& kvIC, const QString& body) {
    return QStringLiteral("FEFE") + kvIC + QStringLiteral("E0") + body + QStringLiteral("FD");
}

// The data bytes carry the digit pairs least significant first; the fifth byte (1 GHz and
// 100 MHz digits) is always 00 because the eight digits stop at 10 MHz.
QString frequencyFrame(const QString& kvIC, const QString& eightDigits) {
    return QStringLiteral("FEFE") + kvIC + QStringLiteral("E005") + eightDigits.mid(6, 2) +
           eightDigits.mid(4, 2) + eightDigits.mid(2, 2) + eightDigits.mid(0, 2) +
           QStringLiteral("00FD");
}

QString modeFrame(const QString& kvIC, const QString& modeByte) {
    return frame(kvIC, QStringLiteral("06") + modeByte);
}

QString dataModeFrame(const QString& kvIC, bool dataOn) {
    return frame(kvIC, dataOn ? QStringLiteral("1A060101") : QStringLiteral("1A060000"));
}

struct ModeChoice {
    QString icomModeByte;
    bool dataMode = false;
    QString yaesuCommands;
};

// The mode texts are compared whole and case-sensitively; anything unrecognised falls back to
// the sideband of the frequency on Icom and to no mode command on Yaesu.
ModeChoice chooseMode(ListKind list, const QString& mode, bool upper) {
    ModeChoice choice{upper ? QStringLiteral("01") : QStringLiteral("00"), false, QString()};
    if (mode == QLatin1String("CW")) {
        choice.icomModeByte = QStringLiteral("03");
        choice.yaesuCommands = upper ? QStringLiteral("MD03;SF1H;") : QStringLiteral("MD07;SF1H;");
    } else if (mode == QLatin1String("FT8") || mode == QLatin1String("FT4")) {
        choice.icomModeByte = QStringLiteral("01");
        choice.dataMode = true;
        choice.yaesuCommands = QStringLiteral("MD02;SF1E;");
    } else if (mode == QLatin1String("DATA") && list != ListKind::Pota) {
        // Icom only: a Yaesu radio gets no mode command for DATA rows.
        choice.icomModeByte = QStringLiteral("01");
        choice.dataMode = true;
    } else if (mode == QLatin1String("SSB")) {
        // The nets directory names sidebands explicitly, so its SSB rows leave the Yaesu mode as
        // is.
        if (list != ListKind::Nets)
            choice.yaesuCommands =
                upper ? QStringLiteral("MD02;SF1E;") : QStringLiteral("MD01;SF1E;");
    } else if (list == ListKind::Nets && mode == QLatin1String("LSB")) {
        choice.yaesuCommands = QStringLiteral("MD01;");
    } else if (list == ListKind::Nets && mode == QLatin1String("USB")) {
        choice.yaesuCommands = QStringLiteral("MD02;");
    }
    return choice;
}

TuneCommands refusal(Family family, const QString& frequencyText) {
    TuneCommands out;
    out.refused = true;
    out.family = family;
    out.diagnostics << QStringLiteral("Cannot tune ") + frequencyText;
    return out;
}

void setIcomFrames(TuneCommands& out, const QStringList& frames) {
    out.frames = frames;
    out.cmd = frames.last();
}

void setYaesuText(TuneCommands& out, const QString& text) {
    out.frames = QStringList{text};
    out.cmd = text;
}

// The digit texts of this list are built from the shortest text of the float in megahertz
// (the feed's frequency is free-form), so they are checked against the value they claim to
// represent: a misplaced point or a value outside 1 to 100 MHz would tune somewhere else.
bool representsMegahertz(const QString& digits, float megahertz) {
    bool ok = false;
    const qint64 hertz = digits.toLongLong(&ok);
    return ok && std::abs(double(hertz) - double(megahertz) * 1e6) <= 10.0;
}

TuneCommands composeNetLogger(const TuneInput& in, Family family) {
    const std::optional<float> value = parseFloat32(in.frequencyText);
    if (!value || !std::isfinite(*value))
        return refusal(family, in.frequencyText);
    // Net controls type kilohertz or megahertz; anything above 70 must be kilohertz.
    const float megahertz = *value > 70.0f ? *value / 1000.0f : *value;
    if (!(megahertz >= 1.0f && megahertz < 100.0f))
        return refusal(family, in.frequencyText);

    TuneCommands out;
    out.family = family;
    if (family == Family::Icom) {
        // The shortest text of F*100000 has one decimal for any whole-hertz value, so removing
        // the point leaves the hertz digits.
        const float scaled = megahertz * 100000.0f;
        const QString digits = shortestFloatText(scaled).remove(QLatin1Char('.'));
        bool ok = false;
        const qint64 hertz = digits.toLongLong(&ok);
        const bool upper = ok && hertz >= kTenMegahertz;
        const QString eightDigits = upper ? digits : QStringLiteral("0") + digits;
        if (eightDigits.size() != 8 || !representsMegahertz(digits, megahertz))
            return refusal(family, in.frequencyText);
        const ModeChoice choice = chooseMode(ListKind::NetLogger, in.modeText, upper);
        setIcomFrames(out, {frequencyFrame(in.kvIC, eightDigits),
                            modeFrame(in.kvIC, choice.icomModeByte),
                            dataModeFrame(in.kvIC, choice.dataMode)});
    } else {
        const bool upper = megahertz >= 10.0f;
        const QString digits = shortestFloatText(megahertz)
                                   .remove(QLatin1Char('.'))
                                   .leftJustified(upper ? 8 : 7, QLatin1Char('0'), true);
        if (!representsMegahertz(digits, megahertz))
            return refusal(family, in.frequencyText);
        const QString command = upper ? QStringLiteral("MD02;F") + in.kvAorB + QStringLiteral("0")
                                      : QStringLiteral("MD01;F") + in.kvAorB + QStringLiteral("00");
        setYaesuText(out, command + digits + QStringLiteral(";SS0640000;SS0560000;"));
    }
    out.announcement = in.spokenText;
    return out;
}

TuneCommands composeMW(const TuneInput& in, Family family, qint64 hertz) {
    const QString decimal = QString::number(hertz);
    TuneCommands out;
    out.family = family;
    if (family == Family::Icom) {
        const QString eightDigits =
            (hertz >= kOneMegahertz ? QStringLiteral("0") : QStringLiteral("00")) + decimal;
        if (eightDigits.size() != 8)
            return refusal(family, in.frequencyText);
        setIcomFrames(
            out, {frequencyFrame(in.kvIC, eightDigits), modeFrame(in.kvIC, QStringLiteral("02"))});
        out.diagnostics << decimal;
    } else {
        const QString nineDigits =
            (hertz < kOneMegahertz ? QStringLiteral("000") : QStringLiteral("00")) + decimal;
        if (nineDigits.size() != 9)
            return refusal(family, in.frequencyText);
        setYaesuText(out, QStringLiteral("MD05;F") + in.kvAorB + nineDigits +
                              QStringLiteral(";SS0640000;"));
        out.diagnostics << decimal << out.cmd;
    }
    out.announcement = spellOut(in.spokenText);
    return out;
}

} // namespace

Family familyFor(const QString& kvRadio) {
    return kvRadio == QLatin1String("I") ? Family::Icom : Family::Yaesu;
}

QByteArray hexTextToBytes(QStringView hex) {
    // Indexed by (c & 0x1F) ^ 0x10: '0'..'9' land on 0..9, 'A'..'F' and 'a'..'f' on 17..22.
    // clang-format off
    static constexpr std::array<quint8, 32> table = {
        0, 1,  2,  3,  4,  5,  6,  7, 8, 9, 0, 0, 0, 0, 0, 0,
        0, 10, 11, 12, 13, 14, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // clang-format on
    const auto nibble = [](QChar c) { return table[(c.unicode() & 0x1F) ^ 0x10]; };
    QByteArray bytes;
    bytes.reserve(hex.size() / 2);
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2)
        bytes.append(char(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return bytes;
}

QString spellOut(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += text[i];
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            out += text[++i];
    }
    return out;
}

std::optional<qint64> textToHertz(QStringView text, float scale) {
    const std::optional<float> value = parseFloat32(text);
    if (!value)
        return std::nullopt;
    const float product = *value * scale;
    // 2^63 is exactly representable, so this keeps the truncation inside qint64.
    constexpr float kLimit = 9223372036854775808.0f;
    if (!std::isfinite(product) || !(std::fabs(product) < kLimit))
        return std::nullopt;
    return static_cast<qint64>(product);
}

QList<QByteArray> TuneCommands::writes() const {
    QList<QByteArray> out;
    out.reserve(frames.size());
    for (const QString& frame : frames)
        out << (family == Family::Icom ? hexTextToBytes(frame) : frame.toUtf8());
    return out;
}

TuneCommands composeTune(const TuneInput& in) {
    const Family family = familyFor(in.kvRadio);
    if (in.list == ListKind::NetLogger)
        return composeNetLogger(in, family);

    const bool megahertzText = in.list == ListKind::Sota || in.list == ListKind::Nets;
    const std::optional<qint64> hertz =
        textToHertz(in.frequencyText, megahertzText ? 1'000'000.0f : 1000.0f);
    if (!hertz || *hertz < 0)
        return refusal(family, in.frequencyText);
    if (in.list == ListKind::MW)
        return composeMW(in, family, *hertz);

    const bool upper = *hertz >= kTenMegahertz;
    const QString decimal = QString::number(*hertz);
    const ModeChoice choice = chooseMode(in.list, in.modeText, upper);
    TuneCommands out;
    out.family = family;
    if (family == Family::Icom) {
        const QString eightDigits = (upper ? QString() : QStringLiteral("0")) + decimal;
        if (eightDigits.size() != 8)
            return refusal(family, in.frequencyText);
        setIcomFrames(out, {frequencyFrame(in.kvIC, eightDigits),
                            modeFrame(in.kvIC, choice.icomModeByte),
                            dataModeFrame(in.kvIC, choice.dataMode)});
    } else {
        const QString nineDigits = (upper ? QStringLiteral("0") : QStringLiteral("00")) + decimal;
        if (nineDigits.size() != 9)
            return refusal(family, in.frequencyText);
        setYaesuText(out, choice.yaesuCommands + QStringLiteral("F") + in.kvAorB + nineDigits +
                              QStringLiteral(";SS0640000;"));
    }
    out.diagnostics << out.cmd;
    out.announcement = in.spokenText;
    return out;
}

std::optional<TuneInput> tuneInputFromRow(ListKind list, const feeds::Row& row,
                                          const QString& kvRadio, const QString& kvIC,
                                          const QString& kvAorB) {
    struct Columns {
        int frequency;
        int mode; // -1: the list has no mode column
        int spoken;
    };
    Columns columns{1, 2, 4};
    switch (list) {
    case ListKind::Pota:
        columns = {1, 2, 4};
        break;
    case ListKind::Sota:
        columns = {2, 3, 6};
        break;
    case ListKind::NetLogger:
        columns = {1, 2, 0};
        break;
    case ListKind::Nets:
        columns = {1, 3, 0};
        break;
    case ListKind::MW:
        columns = {1, -1, 0};
        break;
    }
    const int needed = std::max({columns.frequency, columns.mode, columns.spoken}) + 1;
    if (row.size() < needed)
        return std::nullopt;
    TuneInput in;
    in.list = list;
    in.frequencyText = row.at(columns.frequency);
    in.modeText = columns.mode >= 0 ? row.at(columns.mode) : QString();
    in.spokenText = row.at(columns.spoken);
    in.kvRadio = kvRadio;
    in.kvIC = kvIC;
    in.kvAorB = kvAorB;
    return in;
}

} // namespace tuning
