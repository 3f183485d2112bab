#include "testing.h"
#include "tuning/catencoding.h"

using namespace tuning;

// Frames of an IC-7300 (address 94) that recur in the table below.
const QString kLsb = QStringLiteral("FEFE94E00600FD");
const QString kUsb = QStringLiteral("FEFE94E00601FD");
const QString kAm = QStringLiteral("FEFE94E00602FD");
const QString kCw = QStringLiteral("FEFE94E00603FD");
const QString kDataOff = QStringLiteral("FEFE94E01A060000FD");
const QString kDataOn = QStringLiteral("FEFE94E01A060101FD");

// A Tune of a row of `list` as the table shows it; the spoken column names the list's row type,
// so the announcement shows which column each Tune speaks.
static TuneInput input(ListKind list, const QString& f, const QString& mode, const char* radio) {
    core::PotaSpot pota;
    core::SotaSpot sota;
    core::WwffSpot wwff;
    core::NetLoggerNet logged;
    core::DirectoryNet net;
    core::MwStation mw;
    pota.frequency = sota.frequency = wwff.frequency = logged.frequency = net.frequency =
        mw.frequency = f;
    pota.mode = sota.mode = wwff.mode = logged.mode = net.mode = mode;
    pota.parkName = "Park", sota.summitName = "Summit", wwff.referenceName = "Reserve";
    logged.name = "Logged net";
    net.name = "Net", mw.call = QString::fromUtf8("WA\xF0\x9F\x93\xBB"); // a surrogate pair
    const TuneInput rows[] = {tuneInput(pota),   tuneInput(sota), tuneInput(wwff),
                              tuneInput(logged), tuneInput(net),  tuneInput(mw)};
    TuneInput in = rows[core::listIndex(list)];
    in.familyCode = QString::fromLatin1(radio);
    in.civAddress = QStringLiteral("94");
    return in;
}

TEST(ComposeTune, ExamplesInBothFamilies) {
    // The list, the frequency and mode texts, the Icom frames (one per write) and the Yaesu text
    // (one write).
    const std::tuple<ListKind, QString, QString, QStringList, QString> examples[] = {
        // clang-format off
        // POTA, kilohertz
        {ListKind::Pota, "14074", "FT8", {"FEFE94E0050040071400FD", kUsb, kDataOn}, "MD02;SF1E;FA014074000;SS0640000;"},
        {ListKind::Pota, "7185.5", "SSB", {"FEFE94E0050055180700FD", kLsb, kDataOff}, "MD01;SF1E;FA007185500;SS0640000;"},
        {ListKind::Pota, "7030", "CW", {"FEFE94E0050000030700FD", kCw, kDataOff}, "MD07;SF1H;FA007030000;SS0640000;"},
        {ListKind::Pota, "9999.999", "SSB", {"FEFE94E0059999990900FD", kLsb, kDataOff}, "MD01;SF1E;FA009999999;SS0640000;"},
        {ListKind::Pota, "10000", "SSB", {"FEFE94E0050000001000FD", kUsb, kDataOff}, "MD02;SF1E;FA010000000;SS0640000;"},
        {ListKind::Pota, "14074", "ssb", {"FEFE94E0050040071400FD", kUsb, kDataOff}, "FA014074000;SS0640000;"},
        {ListKind::Pota, "3573", "FT8", {"FEFE94E0050030570300FD", kUsb, kDataOn}, "MD02;SF1E;FA003573000;SS0640000;"},
        {ListKind::Pota, "7074", "DATA", {"FEFE94E0050040070700FD", kLsb, kDataOff}, "FA007074000;SS0640000;"},
        // WWFF, kilohertz, in POTA's modes
        {ListKind::Wwff, "7046.0", "CW", {"FEFE94E0050060040700FD", kCw, kDataOff}, "MD07;SF1H;FA007046000;SS0640000;"},
        {ListKind::Wwff, "14074", "DATA", {"FEFE94E0050040071400FD", kUsb, kDataOff}, "FA014074000;SS0640000;"},
        // SOTA, megahertz
        {ListKind::Sota, "14.062", "CW", {"FEFE94E0050020061400FD", kCw, kDataOff}, "MD03;SF1H;FA014062000;SS0640000;"},
        {ListKind::Sota, "7.032", "DATA", {"FEFE94E0050020030700FD", kUsb, kDataOn}, "FA007032000;SS0640000;"},
        {ListKind::Sota, "10.1185", "SSB", {"FEFE94E0050085111000FD", kUsb, kDataOff}, "MD02;SF1E;FA010118500;SS0640000;"},
        {ListKind::Sota, "2.0001", "SSB", {"FEFE94E0059900000200FD", kLsb, kDataOff}, "MD01;SF1E;FA002000099;SS0640000;"},
        // NetLogger: free-form megahertz or kilohertz, Yaesu ignores the mode. Where the digits
        // of the text do not fit the frame or stand for another frequency, the hertz do.
        {ListKind::NetLogger, "14.300", "SSB", {"FEFE94E0050000301400FD", kUsb, kDataOff}, "MD02;FA014300000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "14300", "SSB", {"FEFE94E0050000301400FD", kUsb, kDataOff}, "MD02;FA014300000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "3.940", "SSB", {"FEFE94E0050000940300FD", kLsb, kDataOff}, "MD01;FA003940000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "7255", "SSB", {"FEFE94E0050050250700FD", kLsb, kDataOff}, "MD01;FA007255000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "3.9165", "SSB", {"FEFE94E0050065910300FD", kLsb, kDataOff}, "MD01;FA003916500;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "10.000", "SSB", {"FEFE94E0050000001000FD", kUsb, kDataOff}, "MD02;FA010000000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "7.2", "SSB", {"FEFE94E0050000200700FD", kLsb, kDataOff}, "MD01;FA007200000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "70", "SSB", {"FEFE94E0050000007000FD", kUsb, kDataOff}, "MD02;FA070000000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "7.12345678", "SSB", {"FEFE94E0055734120700FD", kLsb, kDataOff}, "MD01;FA007123457;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "14.300", "DATA", {"FEFE94E0050000301400FD", kUsb, kDataOn}, "MD02;FA014300000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "3.940", "CW", {"FEFE94E0050000940300FD", kCw, kDataOff}, "MD01;FA003940000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "10.100", "SSB", {"FEFE94E0050000101000FD", kUsb, kDataOff}, "MD02;FA010100000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "9393", "SSB", {"FEFE94E0050030390900FD", kLsb, kDataOff}, "MD01;FA009393000;SS0640000;SS0560000;"},
        {ListKind::NetLogger, "1.23456789", "SSB", {"FEFE94E0056845230100FD", kLsb, kDataOff}, "MD01;FA001234567;SS0640000;SS0560000;"},
        // Nets: explicit sidebands steer Yaesu only
        {ListKind::Nets, "3.940", "LSB", {"FEFE94E0050000940300FD", kLsb, kDataOff}, "MD01;FA003940000;SS0640000;"},
        {ListKind::Nets, "14.300", "USB", {"FEFE94E0050000301400FD", kUsb, kDataOff}, "MD02;FA014300000;SS0640000;"},
        {ListKind::Nets, "7.255", "SSB", {"FEFE94E0050050250700FD", kLsb, kDataOff}, "FA007255000;SS0640000;"},
        {ListKind::Nets, "3.5735", "CW", {"FEFE94E0050035570300FD", kCw, kDataOff}, "MD07;SF1H;FA003573500;SS0640000;"},
        {ListKind::Nets, "7.255", "USB", {"FEFE94E0050050250700FD", kLsb, kDataOff}, "MD02;FA007255000;SS0640000;"},
        {ListKind::Nets, "14.300", "LSB", {"FEFE94E0050000301400FD", kUsb, kDataOff}, "MD01;FA014300000;SS0640000;"},
        {ListKind::Nets, "7.074", "FT8", {"FEFE94E0050040070700FD", kUsb, kDataOn}, "MD02;SF1E;FA007074000;SS0640000;"},
        {ListKind::Nets, "14.074", "DATA", {"FEFE94E0050040071400FD", kUsb, kDataOn}, "FA014074000;SS0640000;"},
        // MW: always AM, no data-mode frame, longer zero runs
        {ListKind::MW, "1010", "", {"FEFE94E0050000010100FD", kAm}, "MD05;FA001010000;SS0640000;"},
        {ListKind::MW, "540", "", {"FEFE94E0050000540000FD", kAm}, "MD05;FA000540000;SS0640000;"},
        {ListKind::MW, "1700", "", {"FEFE94E0050000700100FD", kAm}, "MD05;FA001700000;SS0640000;"},
        {ListKind::MW, "999.999", "", {"FEFE94E0059999990000FD", kAm}, "MD05;FA000999999;SS0640000;"},
        {ListKind::MW, "1000", "", {"FEFE94E0050000000100FD", kAm}, "MD05;FA001000000;SS0640000;"},
        // clang-format on
    };
    for (const auto& [list, frequency, mode, frames, text] : examples) {
        SCOPED_TRACE((QString::number(core::listIndex(list)) + ' ' + frequency).toStdString());
        const TuneCommands icom = composeTune(input(list, frequency, mode, "I"));
        const TuneCommands yaesu = composeTune(input(list, frequency, mode, "Y"));
        QStringList printed; // upper-case hexadecimal of each write
        for (qsizetype i = 0; i < icom.writes.size(); ++i)
            printed << icom.printed(i);
        EXPECT_EQ(printed, frames);
        EXPECT_EQ(yaesu.writes, QList<QByteArray>{text.toLatin1()});
        EXPECT_EQ(icom.cmd() + ' ' + yaesu.cmd(), frames.last() + ' ' + text);
        // Every list prints its last write (cmd) but NetLogger (nothing) and MW (the hertz first,
        // and only the Yaesu text after them); MW spells the call out.
        const bool mw = list == ListKind::MW, logger = list == ListKind::NetLogger;
        const QString hertz = QString::number(text.mid(text.indexOf("FA") + 2, 9).toInt());
        EXPECT_EQ(icom.diagnostics,
                  logger ? QStringList() : QStringList{mw ? hertz : frames.last()});
        const QStringList yaesuLines = logger ? QStringList()
                                       : mw   ? QStringList{hertz, text}
                                              : QStringList{text};
        EXPECT_EQ(yaesu.diagnostics, yaesuLines);
        const QString spoken[] = {"Park",    "Summit",
                                  "Reserve", "Logged net",
                                  "Net",     QString::fromUtf8("W A \xF0\x9F\x93\xBB")};
        EXPECT_EQ(icom.announcement, spoken[core::listIndex(list)]);
        EXPECT_EQ(yaesu.announcement, icom.announcement);
    }
    // Exactly "I" is Icom; anything else, even before a radio was chosen, is Yaesu.
    for (const char* radio : {"", "i", "I ", "IC"})
        EXPECT_EQ(familyFor(radio), Family::Yaesu) << radio;
}

// FM and AM, in any case, tune in FM and AM on every list with a mode and in every family.
TEST(ComposeTune, FmAndAmNeverGoToASideband) {
    const QString kFm = QStringLiteral("FEFE94E00605FD");
    const std::tuple<ListKind, QString, QString, QString, QString, QString, QByteArray> cases[] = {
        // clang-format off
        {ListKind::Pota, "14285", "AM", "FEFE94E0050050281400FD", kAm, "MD05;FA014285000;SS0640000;", "M AM 0\n"},
        {ListKind::Pota, "29600", "FM", "FEFE94E0050000602900FD", kFm, "MD04;FA029600000;SS0640000;", "M FM 0\n"},
        {ListKind::Sota, "7.1885", "fm", "FEFE94E0050085180700FD", kFm, "MD04;FA007188500;SS0640000;", "M FM 0\n"},
        {ListKind::NetLogger, "29.600", "FM", "FEFE94E0050000602900FD", kFm, "MD04;FA029600000;SS0640000;SS0560000;", "M FM 0\n"},
        {ListKind::NetLogger, "3.885", "Am", "FEFE94E0050050880300FD", kAm, "MD05;FA003885000;SS0640000;SS0560000;", "M AM 0\n"},
        {ListKind::Nets, "3.885", "AM", "FEFE94E0050050880300FD", kAm, "MD05;FA003885000;SS0640000;", "M AM 0\n"},
        // clang-format on
    };
    for (const auto& [list, frequency, mode, frequencyFrame, modeFrame, yaesu, rigctld] : cases) {
        SCOPED_TRACE((QString::number(core::listIndex(list)) + ' ' + frequency).toStdString());
        const TuneCommands icom = composeTune(input(list, frequency, mode, "I"));
        QStringList printed;
        for (qsizetype i = 0; i < icom.writes.size(); ++i)
            printed << icom.printed(i);
        EXPECT_EQ(printed, (QStringList{frequencyFrame, modeFrame, kDataOff}));
        EXPECT_EQ(composeTune(input(list, frequency, mode, "Y")).writes,
                  QList<QByteArray>{yaesu.toLatin1()});
        EXPECT_EQ(composeTune(input(list, frequency, mode, "R")).writes.value(1), rigctld);
    }
}

// A frequency that would not fill the frame or command exactly is refused rather than sent as a
// malformed or shifted command. NetLogger refuses only what is no number or outside 1-100 MHz
// (anything above 70 is kilohertz).
TEST(ComposeTune, RefusesFrequenciesThatDoNotFit) {
    const std::vector<std::pair<ListKind, QStringList>> cases = {
        {ListKind::Pota, {"", "abc", "-14074", "1e39", "1e30", "144200", "999"}},
        {ListKind::Sota, {"144.2", "0.5"}},
        {ListKind::Nets, {"", "14.300.5"}},
        {ListKind::MW, {"99.9", "10000", "-540"}},
        {ListKind::NetLogger, {"", "abc", "0", "1e39", "70.5", "-7.2", "144200", "144.2"}},
    };
    for (const auto& [list, frequencies] : cases)
        for (const QString& frequency : frequencies)
            for (const char* radio : {"I", "Y"}) {
                const TuneCommands out = composeTune(input(list, frequency, "SSB", radio));
                EXPECT_TRUE(out.refused && out.writes.isEmpty() && out.announcement.isEmpty())
                    << frequency.toStdString() << radio;
                EXPECT_EQ(out.diagnostics, QStringList{"Cannot tune " + frequency});
            }
}
