#include "log/contact.h"

#include <QSet>

#include <algorithm>

namespace logbook {

namespace {

struct BandEdge {
    qint64 lowHz;
    qint64 highHz;
    const char* name;
};

// ADIF's band enumeration (the amateur allocations, edges included).
constexpr BandEdge kBands[] = {
    {136'000, 137'000, "2190m"},
    {472'000, 479'000, "630m"},
    {501'000, 504'000, "560m"},
    {1'800'000, 2'000'000, "160m"},
    {3'500'000, 4'000'000, "80m"},
    {5'060'000, 5'450'000, "60m"},
    {7'000'000, 7'300'000, "40m"},
    {10'100'000, 10'150'000, "30m"},
    {14'000'000, 14'350'000, "20m"},
    {18'068'000, 18'168'000, "17m"},
    {21'000'000, 21'450'000, "15m"},
    {24'890'000, 24'990'000, "12m"},
    {28'000'000, 29'700'000, "10m"},
    {50'000'000, 54'000'000, "6m"},
    {70'000'000, 71'000'000, "4m"},
    {144'000'000, 148'000'000, "2m"},
    {222'000'000, 225'000'000, "1.25m"},
    {420'000'000, 450'000'000, "70cm"},
    {902'000'000, 928'000'000, "33cm"},
    {1'240'000'000, 1'300'000'000, "23cm"},
    {2'300'000'000, 2'450'000'000, "13cm"},
    {3'300'000'000, 3'500'000'000, "9cm"},
    {5'650'000'000, 5'925'000'000, "6cm"},
    {10'000'000'000, 10'500'000'000, "3cm"},
    {24'000'000'000, 24'250'000'000, "1.25cm"},
    {47'000'000'000, 47'200'000'000, "6mm"},
    {75'500'000'000, 81'000'000'000, "4mm"},
    {119'980'000'000, 120'020'000'000, "2.5mm"},
    {142'000'000'000, 149'000'000'000, "2mm"},
    {241'000'000'000, 250'000'000'000, "1mm"},
};

// Modes of the weak-signal programs, whose reports are signal-to-noise ratios in dB.
const QSet<QString> kDecibelModes = {"FT8",  "FT4",   "JT65", "JT9",    "JT4", "Q65",
                                     "FST4", "FST4W", "JS8",  "MSK144", "WSPR"};

// Mode names that ADIF files as a submode of a wider mode.
struct Submode {
    const char* submode;
    const char* mode;
};
constexpr Submode kSubmodes[] = {
    {"USB", "SSB"},           {"LSB", "SSB"},
    {"FT4", "MFSK"},          {"JS8", "MFSK"},
    {"Q65", "MFSK"},          {"FST4", "MFSK"},
    {"FST4W", "MFSK"},        {"PSK31", "PSK"},
    {"PSK63", "PSK"},         {"PSK125", "PSK"},
    {"BPSK31", "PSK"},        {"QPSK31", "PSK"},
    {"DMR", "DIGITALVOICE"},  {"DSTAR", "DIGITALVOICE"},
    {"C4FM", "DIGITALVOICE"}, {"FREEDV", "DIGITALVOICE"},
    {"M17", "DIGITALVOICE"},  {"VARA HF", "DYNAMIC"},
};

} // namespace

QString bandForHz(qint64 hz) {
    for (const BandEdge& band : kBands)
        if (hz >= band.lowHz && hz <= band.highHz)
            return QString::fromLatin1(band.name);
    return {};
}

int bandIndex(QStringView band) {
    for (int i = 0; i < int(std::size(kBands)); ++i)
        if (band.compare(QLatin1String(kBands[i].name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

AdifMode adifModeFor(const QString& listMode, qint64 hz) {
    QString mode = listMode.trimmed().toUpper();
    // Radios and lists name the data flavour of a sideband ("USB-D", "LSB-D", "PKTUSB").
    if (mode.endsWith(QLatin1String("-D")))
        mode.chop(2);
    if (mode == u"PHONE" || mode == u"SSB") {
        if (hz <= 0)
            return {QStringLiteral("SSB"), {}};
        // Below 10 MHz voice is on the lower sideband, except on 60 m where it is the upper.
        const bool lower = hz < 10'000'000 && bandForHz(hz) != u"60m";
        return {QStringLiteral("SSB"), lower ? QStringLiteral("LSB") : QStringLiteral("USB")};
    }
    if (mode == u"CW-R" || mode == u"CWR")
        return {QStringLiteral("CW"), {}};
    if (mode == u"FM-N" || mode == u"NFM" || mode == u"WFM")
        return {QStringLiteral("FM"), {}};
    if (mode == u"RTTY-R")
        return {QStringLiteral("RTTY"), {}};
    for (const Submode& known : kSubmodes)
        if (mode == QLatin1String(known.submode))
            return {QString::fromLatin1(known.mode), mode};
    return {mode, {}};
}

QString defaultReport(const AdifMode& mode) {
    const QString name = mode.submode.isEmpty() ? mode.mode : mode.submode;
    if (kDecibelModes.contains(name))
        return QStringLiteral("-10");
    if (mode.mode.isEmpty() || mode.mode == u"SSB" || mode.mode == u"FM" || mode.mode == u"AM" ||
        mode.mode == u"DIGITALVOICE")
        return QStringLiteral("59");
    return QStringLiteral("599");
}

QString programName(Program program) {
    switch (program) {
    case Program::Pota:
        return QStringLiteral("POTA");
    case Program::Sota:
        return QStringLiteral("SOTA");
    case Program::Wwff:
        return QStringLiteral("WWFF");
    }
    return {};
}

std::optional<Program> programNamed(QStringView name) {
    for (Program program : kAllPrograms)
        if (name.compare(programName(program), Qt::CaseInsensitive) == 0)
            return program;
    return std::nullopt;
}

QStringList splitReferences(const QString& text) {
    QStringList out;
    for (QString ref : text.split(u',')) {
        // A park may carry the location it was activated from: "US-0001@US-WY".
        ref = ref.section(u'@', 0, 0).trimmed().toUpper();
        if (!ref.isEmpty() && !out.contains(ref))
            out << ref;
    }
    return out;
}

void setReference(Contact& contact, Program program, const QString& text) {
    // As given, but for spaces and case: a park's "@location" belongs to what is logged.
    QStringList list;
    for (const QString& ref : text.split(u',', Qt::SkipEmptyParts))
        if (!ref.trimmed().isEmpty())
            list << ref.trimmed().toUpper();
    const QString refs = list.join(u',');
    switch (program) {
    case Program::Pota:
        contact.potaRef = refs;
        break;
    case Program::Sota:
        contact.sotaRef = refs;
        return;
    case Program::Wwff:
        contact.wwffRef = refs;
        break;
    }
    contact.sig = refs.isEmpty() ? QString() : programName(program);
    contact.sigInfo = refs;
}

QStringList references(const Contact& contact, Program program) {
    const QString& own = program == Program::Pota   ? contact.potaRef
                         : program == Program::Sota ? contact.sotaRef
                                                    : contact.wwffRef;
    if (!own.isEmpty())
        return splitReferences(own);
    if (contact.sig.compare(programName(program), Qt::CaseInsensitive) == 0)
        return splitReferences(contact.sigInfo);
    return {};
}

} // namespace logbook
