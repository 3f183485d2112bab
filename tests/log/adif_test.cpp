#include "log/adif.h"

#include "testing.h"

#include <QTimeZone>

using namespace logbook;

namespace {

Contact contact(const char* call, qint64 hz, const char* listMode) {
    Contact c;
    c.call = QString::fromUtf8(call);
    c.start = QDateTime(QDate(2026, 12, 7), QTime(22, 15, 30), QTimeZone::utc());
    c.frequencyHz = hz;
    c.band = bandForHz(hz);
    const AdifMode mode = adifModeFor(QString::fromUtf8(listMode), hz);
    c.mode = mode.mode;
    c.submode = mode.submode;
    c.rstSent = c.rstReceived = defaultReport(mode);
    c.stationCallsign = "N0CALL";
    c.myGrid = "FN31pr";
    return c;
}

} // namespace

// The mode a list or radio gives, in ADIF's enumeration, with its customary report and band.
TEST(Adif, ModesReportsAndBands) {
    const std::tuple<const char*, qint64, AdifMode, const char*, const char*> cases[] = {
        {"SSB", 14'285'000, {"SSB", "USB"}, "59", "20m"},
        {"SSB", 7'185'000, {"SSB", "LSB"}, "59", "40m"},
        {"SSB", 5'357'000, {"SSB", "USB"}, "59", "60m"}, // 60 m voice is on the upper sideband
        {"lsb", 3'850'000, {"SSB", "LSB"}, "59", "80m"},
        {"USB-D", 50'313'000, {"SSB", "USB"}, "59", "6m"},
        {"CW", 10'110'500, {"CW", ""}, "599", "30m"},
        {"FM", 146'520'000, {"FM", ""}, "59", "2m"},
        {"AM", 1'885'000, {"AM", ""}, "59", "160m"},
        {"FT8", 21'074'000, {"FT8", ""}, "-10", "15m"},
        {"FT4", 28'180'000, {"MFSK", "FT4"}, "-10", "10m"},
        {"PSK31", 432'100'000, {"PSK", "PSK31"}, "599", "70cm"},
        {"RTTY", 18'100'000, {"RTTY", ""}, "599", "17m"},
        {"", 24'950'000, {"", ""}, "59", "12m"},
        {"DATA", 1'000'000, {"DATA", ""}, "599", ""}, // between bands: no band
    };
    for (const auto& [listMode, hz, mode, report, band] : cases) {
        const AdifMode got = adifModeFor(listMode, hz);
        EXPECT_EQ(got, mode) << listMode << " " << got.mode.toStdString() << "/"
                             << got.submode.toStdString();
        EXPECT_EQ(defaultReport(got), report) << listMode;
        EXPECT_EQ(bandForHz(hz), band) << hz;
    }
}

// Every field of a contact of every list and mode comes back from an exported file as it went
// in: references (several parks together), names in any script, fields Bandhopper does not know.
TEST(Adif, EveryFieldRoundTrips) {
    QList<Contact> contacts;
    Contact pota = contact("K1ABC", 14'074'000, "FT8");
    setReference(pota, Program::Pota, "us-1234, US-5678@US-CA");
    contacts << pota;
    Contact sota = contact("W7X/P", 7'032'500, "CW");
    sota.name = "Zoë Ñandú 李";
    setReference(sota, Program::Sota, "W7O/CN-001");
    contacts << sota;
    Contact wwff = contact("DL1AB", 3'650'000, "SSB");
    setReference(wwff, Program::Wwff, "DLFF-0001");
    wwff.comment = "tnx <EOR> 73";
    contacts << wwff;
    contacts << contact("NET", 3'940'000, "LSB") << contact("NC", 146'520'000, "FM")
             << contact("KFI", 640'000'000, "AM") << contact("JA1XYZ", 28'180'000, "FT4");
    Contact imported = contact("VK2ABC", 50'313'000, "USB-D");
    imported.extra = {{"GRIDSQUARE", "QF56"}, {"APP_OTHER_X", "é"}, {"QSL_RCVD", "Y"}};
    contacts << imported;
    ASSERT_EQ(pota.potaRef, "US-1234,US-5678@US-CA");
    EXPECT_EQ(pota.sigInfo, pota.potaRef);
    EXPECT_EQ(pota.sig, "POTA");

    const QByteArray file = adifFile(contacts, "0.93", contacts.first().start);
    EXPECT_TRUE(
        file.startsWith("Bandhopper contact log\n<ADIF_VER:5>3.1.4 <PROGRAMID:10>Bandhopper "
                        "<PROGRAMVERSION:4>0.93 <CREATED_TIMESTAMP:15>20261207 221530 "
                        "<EOH>\n"));
    // Lengths count the bytes of UTF-8.
    EXPECT_TRUE(file.contains("<NAME:16>Zoë Ñandú 李 "));
    const AdifRead read = readAdif(file);
    EXPECT_TRUE(read.problems.isEmpty()) << read.problems.value(0).text().toStdString();
    EXPECT_EQ(read.headerProgram, "Bandhopper");
    EXPECT_EQ(read.contacts, contacts);
}

// Every record is read on its own: a bad one is reported with its number and the byte it starts
// at, and the records around it still read. Lengths that count characters read as well.
TEST(Adif, BadRecordsAreReportedWithTheirPosition) {
    const QByteArray good = "<CALL:4>N0AB<QSO_DATE:8>20260101<TIME_ON:4>1200<MODE:2>CW<EOR>\n";
    const std::tuple<QByteArray, int, QString> cases[] = {
        {"header <eoh>" + good + good, 2, ""},
        {"<call:4>N0AB <qso_date:8>20260101 <time_on:6>120000 <freq:6>14.074<eor>", 1, ""},
        // Lengths in characters, as some loggers write them.
        {"<CALL:4>N0AB<NAME:4>José<QSO_DATE:8>20260101<TIME_ON:4>1200<EOR>", 1, ""},
        {good + "<CALL:4>N0AB<QSO_DATE:8>20261340<TIME_ON:4>1200<EOR>", 1,
         "record 2 (byte 63): QSO_DATE 20261340 is not a date"},
        {"<QSO_DATE:8>20260101<TIME_ON:4>1200<EOR>" + good, 1, "record 1 (byte 0): no CALL"},
        {"<CALL:4>N0AB<QSO_DATE:8>20260101<TIME_ON:4>2561<EOR>", 0,
         "record 1 (byte 0): TIME_ON 2561 is not a time"},
        {"<CALL:4>N0AB<QSO_DATE:8>20260101<TIME_ON:4>1200<FREQ:3>abc<EOR>", 0,
         "record 1 (byte 0): FREQ abc is not a frequency in MHz"},
        {"<CALL:999999999999>N0AB<EOR>" + good, 1,
         "record 1 (byte 0): field CALL declares 999999999999 bytes but the file ends"},
        {"<CALL:99999999999999999999>N0AB<EOR>", 0, "record 1 (byte 0): field CALL has no valid"},
        {good + "<CALL:4>N0AB<QSO_DATE:8>2026", 1,
         "record 2 (byte 63): field QSO_DATE declares 8 bytes but the file ends 4 bytes later"},
        {good + "<CALL:4>N0AB", 1, "record 2 (byte 63): truncated: the file ends before <EOR>"},
        {good + "<CALL:4>N0AB<QSO_DATE", 1, "record 2 (byte 63): the file ends inside a tag"},
        {"<CALL:4>N\xE9"
         "AB<EOR>" +
             good,
         1, "record 1 (byte 0): field CALL is not UTF-8 text (wrong encoding?)"},
        {"<CA LL:4>N0AB<EOR>" + good, 1, "record 1 (byte 0): malformed tag <CA LL:4>"},
        {"<CALL:4>N0AB<" + QByteArray(200, 'x') + ">" + good, 0, "has no closing '>'"},
        {"", 0, ""},
        {"just text, no tags", 0, ""},
    };
    for (const auto& [bytes, contacts, problem] : cases) {
        const AdifRead read = readAdif(bytes);
        EXPECT_EQ(read.contacts.size(), contacts) << bytes.left(60).toStdString();
        if (problem.isEmpty())
            EXPECT_TRUE(read.problems.isEmpty()) << read.problems.value(0).text().toStdString();
        else
            EXPECT_TRUE(!read.problems.isEmpty() && read.problems.first().text().contains(problem))
                << read.problems.value(0).text().toStdString() << " / " << problem.toStdString();
    }
    EXPECT_EQ(
        readAdif("<call:4>N0AB <qso_date:8>20260101 <time_on:6>120000 <freq:9>14.074567 <eor>")
            .contacts.value(0)
            .band,
        "20m");
}

TEST(Adif, Frequencies) {
    const std::tuple<const char*, std::optional<qint64>> megahertz[] = {
        {"14.074", 14'074'000},
        {"7", 7'000'000},
        {" 0.1375 ", 137'500},
        {"14.0745678", 14'074'567},
        {"10368.1", 10'368'100'000},
        {"-1", std::nullopt},
        {"1.2.3", std::nullopt},
        {".", std::nullopt},
        {"99999999999999", std::nullopt},
    };
    for (const auto& [text, hz] : megahertz)
        EXPECT_EQ(readMegahertz(QString::fromLatin1(text)), hz) << text;
    EXPECT_EQ(readKilohertz(u"14074.5"), 14'074'500);
    EXPECT_EQ(megahertzText(14'074'000), "14.074");
    EXPECT_EQ(megahertzText(14'074'567), "14.074567");
}
