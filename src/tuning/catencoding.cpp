#include "tuning/catencoding.h"

#include "tuning/rigctldcommands.h"

#include <array>
#include <cmath>

namespace tuning {

using core::parseFloat32;
using core::shortestFloatText;

namespace {

constexpr qint64 kTenMegahertz = 10'000'000;
constexpr qint64 kOneMegahertz = 1'000'000;
constexpr char kController = char(0xE0);

// CI-V frame: FE FE, the radio's address, our controller address E0, the body, FD.
QByteArray frame(const QString& civAddress, QByteArrayView body) {
    QByteArray bytes("\xFE\xFE", 2);
    bytes += hexTextToBytes(civAddress).left(1);
    bytes += kController;
    bytes += body;
    bytes += char(0xFD);
    return bytes;
}

// The eight decimal digits as packed decimal, least significant pair first; the fifth byte
// (1 GHz and 100 MHz digits) is always 00 because the eight digits stop at 10 MHz.
QByteArray frequencyFrame(const QString& civAddress, const QString& eightDigits) {
    QByteArray body(1, char(0x05));
    for (qsizetype pair = 6; pair >= 0; pair -= 2)
        body += char((eightDigits[pair].unicode() - u'0') * 16 +
                     (eightDigits[pair + 1].unicode() - u'0'));
    body += char(0x00);
    return frame(civAddress, body);
}

QByteArray modeFrame(const QString& civAddress, quint8 modeByte) {
    const char body[] = {0x06, char(modeByte)};
    return frame(civAddress, QByteArrayView(body, 2));
}

QByteArray dataModeFrame(const QString& civAddress, bool dataOn) {
    const char on = dataOn ? 0x01 : 0x00;
    const char body[] = {0x1A, 0x06, on, on};
    return frame(civAddress, QByteArrayView(body, 4));
}

bool isDecimal(const QString& digits) {
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

struct ModeChoice {
    quint8 icomModeByte = 0x00;
    bool dataMode = false;
    QString yaesuCommands;
};

// Icom's mode bytes and Yaesu's mode commands for FM and AM.
quint8 icomModeByte(AnalogMode mode) {
    return mode == AnalogMode::FM ? 0x05 : 0x02;
}
QString yaesuModeCommand(AnalogMode mode) {
    return mode == AnalogMode::FM ? QStringLiteral("MD04;") : QStringLiteral("MD05;");
}

// The mode texts are compared whole and case-sensitively, but for FM and AM; anything
// unrecognised falls back to the sideband of the frequency on Icom and to no mode command on
// Yaesu.
ModeChoice chooseMode(ListKind list, const QString& mode, bool upper) {
    ModeChoice choice{quint8(upper ? 0x01 : 0x00), false, QString()};
    if (const std::optional<AnalogMode> analog = analogMode(mode)) {
        choice.icomModeByte = icomModeByte(*analog);
        choice.yaesuCommands = yaesuModeCommand(*analog);
    } else if (mode == u"CW") {
        choice.icomModeByte = 0x03;
        choice.yaesuCommands = upper ? QStringLiteral("MD03;SF1H;") : QStringLiteral("MD07;SF1H;");
    } else if (mode == u"FT8" || mode == u"FT4") {
        choice.icomModeByte = 0x01;
        choice.dataMode = true;
        choice.yaesuCommands = QStringLiteral("MD02;SF1E;");
    } else if (mode == u"DATA" && list != ListKind::Pota && list != ListKind::Wwff) {
        // Icom only: a Yaesu radio gets no mode command for DATA rows.
        choice.icomModeByte = 0x01;
        choice.dataMode = true;
    } else if (mode == u"SSB") {
        // The nets directory names sidebands explicitly, so its SSB rows leave the Yaesu mode as
        // is.
        if (list != ListKind::Nets)
            choice.yaesuCommands =
                upper ? QStringLiteral("MD02;SF1E;") : QStringLiteral("MD01;SF1E;");
    } else if (list == ListKind::Nets && mode == u"LSB") {
        choice.yaesuCommands = QStringLiteral("MD01;");
    } else if (list == ListKind::Nets && mode == u"USB") {
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

void setIcomFrames(TuneCommands& out, const QString& civAddress, const QString& eightDigits,
                   const ModeChoice& choice) {
    out.writes = {frequencyFrame(civAddress, eightDigits),
                  modeFrame(civAddress, choice.icomModeByte),
                  dataModeFrame(civAddress, choice.dataMode)};
    out.hertz = eightDigits.toLongLong();
}

// Whether the digits, read as hertz, stand for `megahertz` to within 10 Hz.
bool representsMegahertz(const QString& digits, float megahertz) {
    bool ok = false;
    const qint64 hertz = digits.toLongLong(&ok);
    return ok && std::abs(double(hertz) - double(megahertz) * 1e6) <= 10.0;
}

// NetLogger frequencies are free-form text, and the digits are built from the shortest text of
// a float rather than from the hertz value. Where that text does not have the length the frame
// or command needs, or stands for another frequency (a float product with decimals, 10.100 MHz
// times 100000, gives nine digits), the hertz value rounded to the nearest hertz takes its place.
TuneCommands composeNetLogger(const TuneInput& in, Family family) {
    const std::optional<float> value = parseFloat32(in.frequencyText);
    if (!value || !std::isfinite(*value))
        return refusal(family, in.frequencyText);
    // Net controls type kilohertz or megahertz; anything above 70 must be kilohertz.
    const float megahertz = *value > 70.0f ? *value / 1000.0f : *value;
    if (!(megahertz >= 1.0f && megahertz < 100.0f))
        return refusal(family, in.frequencyText);
    const qint64 rounded = std::llround(double(megahertz) * 1e6);

    TuneCommands out;
    out.family = family;
    if (family == Family::Icom) {
        QString digits = shortestFloatText(megahertz * 100000.0f).remove(u'.');
        bool upper = isDecimal(digits) && digits.toLongLong() >= kTenMegahertz;
        QString eightDigits = upper ? digits : u'0' + digits;
        if (eightDigits.size() != 8 || !isDecimal(eightDigits) ||
            !representsMegahertz(digits, megahertz)) {
            upper = rounded >= kTenMegahertz;
            eightDigits = (upper ? QString() : QStringLiteral("0")) + QString::number(rounded);
        }
        setIcomFrames(out, in.civAddress, eightDigits,
                      chooseMode(ListKind::NetLogger, in.modeText, upper));
    } else {
        const bool upper = megahertz >= 10.0f;
        QString digits =
            shortestFloatText(megahertz).remove(u'.').leftJustified(upper ? 8 : 7, u'0', true);
        if (!representsMegahertz(digits, megahertz))
            digits = QString::number(rounded).rightJustified(upper ? 8 : 7, u'0');
        const std::optional<AnalogMode> analog = analogMode(in.modeText);
        const QString mode = analog  ? yaesuModeCommand(*analog)
                             : upper ? QStringLiteral("MD02;")
                                     : QStringLiteral("MD01;");
        const QString command =
            mode + u'F' + in.vfo + (upper ? QStringLiteral("0") : QStringLiteral("00"));
        out.writes = {(command + digits + QStringLiteral(";SS0640000;SS0560000;")).toUtf8()};
        out.hertz = digits.toLongLong();
    }
    out.announcement = in.spokenText;
    return out;
}

TuneCommands composeMW(const TuneInput& in, Family family, qint64 hertz) {
    const QString decimal = QString::number(hertz);
    TuneCommands out;
    out.family = family;
    out.hertz = hertz;
    if (family == Family::Icom) {
        const QString eightDigits =
            (hertz >= kOneMegahertz ? QStringLiteral("0") : QStringLiteral("00")) + decimal;
        if (eightDigits.size() != 8)
            return refusal(family, in.frequencyText);
        out.writes = {frequencyFrame(in.civAddress, eightDigits), modeFrame(in.civAddress, 0x02)};
        out.diagnostics << decimal;
    } else {
        const QString nineDigits =
            (hertz < kOneMegahertz ? QStringLiteral("000") : QStringLiteral("00")) + decimal;
        if (nineDigits.size() != 9)
            return refusal(family, in.frequencyText);
        out.writes = {
            (QStringLiteral("MD05;F") + in.vfo + nineDigits + QStringLiteral(";SS0640000;"))
                .toUtf8()};
        out.diagnostics << decimal << out.cmd();
    }
    out.announcement = spellOut(in.spokenText);
    return out;
}

TuneInput inputOf(ListKind list, const QString& frequency, const QString& mode,
                  const QString& spoken) {
    TuneInput in;
    in.list = list;
    in.frequencyText = frequency;
    in.modeText = mode;
    in.spokenText = spoken;
    return in;
}

} // namespace

std::optional<AnalogMode> analogMode(QStringView modeText) {
    const QStringView mode = modeText.trimmed();
    if (mode.compare(u"FM", Qt::CaseInsensitive) == 0)
        return AnalogMode::FM;
    if (mode.compare(u"AM", Qt::CaseInsensitive) == 0)
        return AnalogMode::AM;
    return std::nullopt;
}

Family familyFor(const QString& familyCode) {
    if (familyCode == u"R")
        return Family::Rigctld;
    return familyCode == u"I" ? Family::Icom : Family::Yaesu;
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
            out += u' ';
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

TuneInput tuneInput(const core::PotaSpot& row) {
    return inputOf(ListKind::Pota, row.frequency, row.mode, row.parkName);
}
TuneInput tuneInput(const core::SotaSpot& row) {
    return inputOf(ListKind::Sota, row.frequency, row.mode, row.summitName);
}
TuneInput tuneInput(const core::WwffSpot& row) {
    return inputOf(ListKind::Wwff, row.frequency, row.mode, row.referenceName);
}
TuneInput tuneInput(const core::NetLoggerNet& row) {
    return inputOf(ListKind::NetLogger, row.frequency, row.mode, row.name);
}
TuneInput tuneInput(const core::DirectoryNet& row) {
    return inputOf(ListKind::Nets, row.frequency, row.mode, row.name);
}
TuneInput tuneInput(const core::MwStation& row) {
    return inputOf(ListKind::MW, row.frequency, QString(), row.call);
}

QString TuneCommands::printed(qsizetype write) const {
    const QByteArray& bytes = writes.at(write);
    if (family == Family::Icom)
        return QString::fromLatin1(bytes.toHex().toUpper());
    return QString::fromUtf8(bytes.endsWith('\n') ? bytes.chopped(1) : bytes);
}

QString TuneCommands::cmd() const {
    return writes.isEmpty() ? QString() : printed(writes.size() - 1);
}

TuneCommands composeTune(const TuneInput& in) {
    const Family family = familyFor(in.familyCode);
    if (family == Family::Rigctld)
        return composeRigctld(in);
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
        setIcomFrames(out, in.civAddress, eightDigits, choice);
    } else {
        const QString nineDigits = (upper ? QStringLiteral("0") : QStringLiteral("00")) + decimal;
        if (nineDigits.size() != 9)
            return refusal(family, in.frequencyText);
        out.writes = {
            (choice.yaesuCommands + u'F' + in.vfo + nineDigits + QStringLiteral(";SS0640000;"))
                .toUtf8()};
        out.hertz = *hertz;
    }
    out.diagnostics << out.cmd();
    out.announcement = in.spokenText;
    return out;
}

} // namespace tuning
