#include "tuning/catencoding.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace tuning;

namespace {

// Frames of an IC-7300 (address 94) that recur in the tables below.
const QString kModeLsb = QStringLiteral("FEFE94E00600FD");
const QString kModeUsb = QStringLiteral("FEFE94E00601FD");
const QString kModeAm = QStringLiteral("FEFE94E00602FD");
const QString kModeCw = QStringLiteral("FEFE94E00603FD");
const QString kDataOff = QStringLiteral("FEFE94E01A060000FD");
const QString kDataOn = QStringLiteral("FEFE94E01A060101FD");

struct Example {
    ListKind list;
    QString frequency;
    QString mode;
    QStringList icomFrames;
    QString yaesuText;
};

// clang-format off
const std::vector<Example> kExamples = {
    // POTA, kilohertz
    {ListKind::Pota, "14074", "FT8", {"FEFE94E0050040071400FD", kModeUsb, kDataOn}, "MD02;SF1E;FA014074000;SS0640000;"},
    {ListKind::Pota, "7185.5", "SSB", {"FEFE94E0050055180700FD", kModeLsb, kDataOff}, "MD01;SF1E;FA007185500;SS0640000;"},
    {ListKind::Pota, "7030", "CW", {"FEFE94E0050000030700FD", kModeCw, kDataOff}, "MD07;SF1H;FA007030000;SS0640000;"},
    {ListKind::Pota, "14285", "AM", {"FEFE94E0050050281400FD", kModeUsb, kDataOff}, "FA014285000;SS0640000;"},
    {ListKind::Pota, "9999.999", "SSB", {"FEFE94E0059999990900FD", kModeLsb, kDataOff}, "MD01;SF1E;FA009999999;SS0640000;"},
    {ListKind::Pota, "10000", "SSB", {"FEFE94E0050000001000FD", kModeUsb, kDataOff}, "MD02;SF1E;FA010000000;SS0640000;"},
    {ListKind::Pota, "14074", "ssb", {"FEFE94E0050040071400FD", kModeUsb, kDataOff}, "FA014074000;SS0640000;"},
    {ListKind::Pota, "3573", "FT8", {"FEFE94E0050030570300FD", kModeUsb, kDataOn}, "MD02;SF1E;FA003573000;SS0640000;"},
    {ListKind::Pota, "7074", "DATA", {"FEFE94E0050040070700FD", kModeLsb, kDataOff}, "FA007074000;SS0640000;"},
    // SOTA, megahertz
    {ListKind::Sota, "14.062", "CW", {"FEFE94E0050020061400FD", kModeCw, kDataOff}, "MD03;SF1H;FA014062000;SS0640000;"},
    {ListKind::Sota, "7.032", "DATA", {"FEFE94E0050020030700FD", kModeUsb, kDataOn}, "FA007032000;SS0640000;"},
    {ListKind::Sota, "10.1185", "SSB", {"FEFE94E0050085111000FD", kModeUsb, kDataOff}, "MD02;SF1E;FA010118500;SS0640000;"},
    {ListKind::Sota, "7.1885", "FM", {"FEFE94E0050085180700FD", kModeLsb, kDataOff}, "FA007188500;SS0640000;"},
    {ListKind::Sota, "2.0001", "SSB", {"FEFE94E0059900000200FD", kModeLsb, kDataOff}, "MD01;SF1E;FA002000099;SS0640000;"},
    // NetLogger: free-form megahertz or kilohertz, Yaesu ignores the mode
    {ListKind::NetLogger, "14.300", "SSB", {"FEFE94E0050000301400FD", kModeUsb, kDataOff}, "MD02;FA014300000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "14300", "SSB", {"FEFE94E0050000301400FD", kModeUsb, kDataOff}, "MD02;FA014300000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "3.940", "SSB", {"FEFE94E0050000940300FD", kModeLsb, kDataOff}, "MD01;FA003940000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "7255", "SSB", {"FEFE94E0050050250700FD", kModeLsb, kDataOff}, "MD01;FA007255000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "3.9165", "SSB", {"FEFE94E0050065910300FD", kModeLsb, kDataOff}, "MD01;FA003916500;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "10.000", "SSB", {"FEFE94E0050000001000FD", kModeUsb, kDataOff}, "MD02;FA010000000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "7.2", "SSB", {"FEFE94E0050000200700FD", kModeLsb, kDataOff}, "MD01;FA007200000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "70", "SSB", {"FEFE94E0050000007000FD", kModeUsb, kDataOff}, "MD02;FA070000000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "7.12345678", "SSB", {"FEFE94E0055734120700FD", kModeLsb, kDataOff}, "MD01;FA007123457;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "14.300", "DATA", {"FEFE94E0050000301400FD", kModeUsb, kDataOn}, "MD02;FA014300000;SS0640000;SS0560000;"},
    {ListKind::NetLogger, "3.940", "CW", {"FEFE94E0050000940300FD", kModeCw, kDataOff}, "MD01;FA003940000;SS0640000;SS0560000;"},
    // Nets: explicit sidebands steer Yaesu only
    {ListKind::Nets, "3.940", "LSB", {"FEFE94E0050000940300FD", kModeLsb, kDataOff}, "MD01;FA003940000;SS0640000;"},
    {ListKind::Nets, "14.300", "USB", {"FEFE94E0050000301400FD", kModeUsb, kDataOff}, "MD02;FA014300000;SS0640000;"},
    {ListKind::Nets, "7.255", "SSB", {"FEFE94E0050050250700FD", kModeLsb, kDataOff}, "FA007255000;SS0640000;"},
    {ListKind::Nets, "3.5735", "CW", {"FEFE94E0050035570300FD", kModeCw, kDataOff}, "MD07;SF1H;FA003573500;SS0640000;"},
    {ListKind::Nets, "7.255", "USB", {"FEFE94E0050050250700FD", kModeLsb, kDataOff}, "MD02;FA007255000;SS0640000;"},
    {ListKind::Nets, "14.300", "LSB", {"FEFE94E0050000301400FD", kModeUsb, kDataOff}, "MD01;FA014300000;SS0640000;"},
    {ListKind::Nets, "7.074", "FT8", {"FEFE94E0050040070700FD", kModeUsb, kDataOn}, "MD02;SF1E;FA007074000;SS0640000;"},
    {ListKind::Nets, "14.074", "DATA", {"FEFE94E0050040071400FD", kModeUsb, kDataOn}, "FA014074000;SS0640000;"},
    // MW: always AM, no data-mode frame, longer zero runs
    {ListKind::MW, "1010", "", {"FEFE94E0050000010100FD", kModeAm}, "MD05;FA001010000;SS0640000;"},
    {ListKind::MW, "540", "", {"FEFE94E0050000540000FD", kModeAm}, "MD05;FA000540000;SS0640000;"},
    {ListKind::MW, "1700", "", {"FEFE94E0050000700100FD", kModeAm}, "MD05;FA001700000;SS0640000;"},
    {ListKind::MW, "999.999", "", {"FEFE94E0059999990000FD", kModeAm}, "MD05;FA000999999;SS0640000;"},
    {ListKind::MW, "1000", "", {"FEFE94E0050000000100FD", kModeAm}, "MD05;FA001000000;SS0640000;"},
};
// clang-format on

TuneInput input(ListKind list, const QString& frequency, const QString& mode,
                const QString& kvRadio) {
    return TuneInput{list, frequency, mode, QStringLiteral("Spoken"), kvRadio, "94", "A"};
}

QByteArray bytes(const QStringList& frames) {
    return QByteArray::fromHex(frames.join(QString()).toLatin1());
}

} // namespace

TEST(ComposeTune, ExamplesInBothFamilies) {
    for (const Example& ex : kExamples) {
        SCOPED_TRACE(QStringLiteral("list %1, %2 %3")
                         .arg(int(ex.list))
                         .arg(ex.frequency, ex.mode)
                         .toStdString());
        const TuneCommands icom = composeTune(input(ex.list, ex.frequency, ex.mode, "I"));
        EXPECT_FALSE(icom.refused);
        EXPECT_EQ(icom.family, Family::Icom);
        EXPECT_EQ(icom.frames, ex.icomFrames);
        EXPECT_EQ(icom.cmd, ex.icomFrames.last());
        // Icom: one write per frame.
        EXPECT_EQ(icom.writes().size(), ex.icomFrames.size());
        EXPECT_EQ(icom.writes().join(), bytes(ex.icomFrames));

        const TuneCommands yaesu = composeTune(input(ex.list, ex.frequency, ex.mode, "Y"));
        EXPECT_FALSE(yaesu.refused);
        EXPECT_EQ(yaesu.family, Family::Yaesu);
        EXPECT_EQ(yaesu.cmd, ex.yaesuText);
        EXPECT_EQ(yaesu.writes(), QList<QByteArray>{ex.yaesuText.toLatin1()});
    }
    // Exactly "I" is Icom; anything else, even before a radio was chosen, is Yaesu.
    for (const char* radio : {"", "i", "I ", "IC"})
        EXPECT_EQ(familyFor(radio), Family::Yaesu) << radio;
}

TEST(ComposeTune, DiagnosticsAndAnnouncementPerList) {
    struct Case {
        ListKind list;
        QString frequency;
        QString radio;
        QStringList diagnostics;
        QString announcement;
    };
    const std::vector<Case> cases = {
        {ListKind::Pota, "7074", "I", {kDataOn}, "Spoken"},
        {ListKind::Sota, "7.074", "Y", {"MD02;SF1E;FA007074000;SS0640000;"}, "Spoken"},
        {ListKind::NetLogger, "7.074", "I", {}, "Spoken"},
        {ListKind::NetLogger, "7.074", "Y", {}, "Spoken"},
        {ListKind::MW, "540", "I", {"540000"}, "S p o k e n"},
        {ListKind::MW, "540", "Y", {"540000", "MD05;FA000540000;SS0640000;"}, "S p o k e n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.list));
        const TuneCommands out = composeTune(input(c.list, c.frequency, "FT8", c.radio));
        EXPECT_EQ(out.diagnostics, c.diagnostics);
        EXPECT_EQ(out.announcement, c.announcement);
    }
}

// Any frequency that would not fill the frame or command exactly is refused rather than sent
// as a malformed or shifted command.
TEST(ComposeTune, RefusesFrequenciesThatDoNotFit) {
    const std::vector<std::pair<ListKind, QStringList>> cases = {
        {ListKind::Pota, {"", "abc", "-14074", "1e39", "1e30", "144200", "999"}},
        {ListKind::Sota, {"144.2", "0.5"}},
        {ListKind::Nets, {"", "14.300.5"}},
        {ListKind::MW, {"99.9", "10000", "-540"}},
        // "abc" would be sent as zero hertz, 144200 (144.2 MHz) padded to 14.42 MHz and 70.5
        // (70.5 kHz) would need digits below 1 MHz. F*100000 of 1.23456789 is 123456.79:
        // removing the point would give 12,345,679 Hz.
        {ListKind::NetLogger, {"", "abc", "144200", "144.2", "70.5", "-7.2", "1.23456789"}},
    };
    for (const auto& [list, frequencies] : cases) {
        for (const QString& frequency : frequencies) {
            for (const char* radio : {"I", "Y"}) {
                if (frequency == "1.23456789" && radio == QLatin1String("Y"))
                    continue; // the Yaesu text rule below keeps this one within a hertz
                SCOPED_TRACE(QStringLiteral("list %1, \"%2\", %3")
                                 .arg(int(list))
                                 .arg(frequency, radio)
                                 .toStdString());
                const TuneCommands out = composeTune(input(list, frequency, "SSB", radio));
                EXPECT_TRUE(out.refused);
                EXPECT_TRUE(out.writes().isEmpty());
                EXPECT_EQ(out.cmd, "");
                EXPECT_EQ(out.announcement, "");
                EXPECT_EQ(out.diagnostics, QStringList{"Cannot tune " + frequency});
            }
        }
    }
    EXPECT_EQ(composeTune(input(ListKind::NetLogger, "1.23456789", "SSB", "Y")).cmd,
              "MD01;FA001234567;SS0640000;SS0560000;");
}

TEST(HexTextToBytes, PairsOfEitherCaseOddTailIgnored) {
    const std::vector<std::pair<QString, QByteArray>> cases = {
        {"FEfe94", "\xFE\xFE\x94"}, {"", ""}, {"ABC", "\xAB"}, {"0G", QByteArray(1, '\0')}};
    for (const auto& [hex, bytes] : cases)
        EXPECT_EQ(hexTextToBytes(hex), bytes) << hex.toStdString();
}

TEST(SpellOut, OneSpaceBetweenCodePoints) {
    EXPECT_EQ(spellOut("AB-C"), "A B - C");
    EXPECT_EQ(spellOut(QString::fromUtf8("A\xF0\x9F\x93\xBB"
                                         "B")),
              QString::fromUtf8("A \xF0\x9F\x93\xBB B"));
}

// Which columns each Tune reads is shown end to end by the table's Tune buttons.
TEST(TuneInputFromRow, RejectsRowsTooShortForTheColumnsItReads) {
    const std::vector<std::pair<ListKind, int>> needed = {
        {ListKind::Pota, 5}, {ListKind::Sota, 7}, {ListKind::NetLogger, 3},
        {ListKind::Nets, 4}, {ListKind::MW, 2},
    };
    for (const auto& [list, columns] : needed) {
        feeds::Row row(columns - 1, QStringLiteral("7074"));
        EXPECT_FALSE(tuneInputFromRow(list, row, "I", "94", "A")) << int(list);
        row << QStringLiteral("7074");
        EXPECT_TRUE(tuneInputFromRow(list, row, "I", "94", "A")) << int(list);
    }
}
