#include "directory/linetext.h"
#include "directory/session.h"
#include "testing.h"

using namespace directory;

const QByteArray kNetsHead = "id,name,frequency_mhz,utc,days,mode,url,duration_min\n";
const QByteArray kGoodNet = "7,Net,14.300,1600,daily,USB,,\n";

TEST(DirectoryCsv, ReadsQuotedValuesDefaultsAndWeekdays) {
    const QByteArray csv =
        "\xEF\xBB\xBF" + kNetsHead +
        "\r\n"
        "12, \"Net, \"\"Evening\"\"\" ,3.5735,2330,Mon fri,CW,https://a.example/x,90\r\n"
        ",Caf\xC3\xA9 Net,7.2675,0000,DAILY,LSB,,\n"
        "\n";
    const Parsed<NetRecord> parsed = readNetsCsv(csv);
    ASSERT_FALSE(parsed.error) << parsed.error->line << parsed.error->reason.toStdString();
    ASSERT_EQ(parsed.rows.size(), 2);
    EXPECT_EQ(parsed.rows[0], (NetRecord{12, "Net, \"Evening\"", "3.5735", "2330", 0b10001, "CW",
                                         "https://a.example/x", 90}));
    EXPECT_EQ(parsed.rows[1], (NetRecord{0, QString::fromUtf8("Caf\xC3\xA9 Net"), "7.2675", "0000",
                                         kEveryDay, "LSB", "", 60}));
    EXPECT_EQ(daysText(parsed.rows[0].days), "Mon Fri");
    // What is written reads back as the same rows.
    EXPECT_EQ(readNetsCsv(writeNetsCsv(parsed.rows)).rows, parsed.rows);
    const Parsed<StationRecord> mw =
        readStationsCsv("call,frequency_khz,city,power_kw,url\nWGN,720,\"Chicago, IL\",50,\n");
    EXPECT_EQ(mw.rows, QList<StationRecord>({{"WGN", "720", "Chicago, IL", "50", ""}}));
}

// Each reason a file is refused, with the line it names; one bad row refuses the whole file.
TEST(DirectoryCsv, RejectsTheWholeFileAtItsFirstBadLine) {
    const QByteArray mw = "call,frequency_khz,city,power_kw,url\n";
    // The file, the line named and part of the reason.
    const std::tuple<QByteArray, int, const char*> cases[] = {
        {"", 1, "the header line is missing"},
        {"id,name\n" + kGoodNet, 1, "the header line must be"},
        {kNetsHead + kGoodNet + "8,Net,14.3,1600,daily,USB,\n", 3, "expected 8 values, found 7"},
        {kNetsHead + "8,,14.3,1600,daily,USB,,\n", 2, "name is empty"},
        {kNetsHead + "8,Net,abc,1600,daily,USB,,\n", 2, "frequency_mhz \"abc\" is not a number"},
        {kNetsHead + "8,Net,9999,1600,daily,USB,,\n", 2, "is not a number from 0.1 to 3000"},
        {kNetsHead + "8,Net,-7.1,1600,daily,USB,,\n", 2, "is not a number"},
        {kNetsHead + "8,Net,14.3,2460,daily,USB,,\n", 2, "utc \"2460\" is not a time as HHMM"},
        {kNetsHead + "8,Net,14.3,16:00,daily,USB,,\n", 2, "is not a time as HHMM"},
        {kNetsHead + "8,Net,14.3,1600,Mo,USB,,\n", 2, "days \"Mo\" is neither daily"},
        {kNetsHead + "8,Net,14.3,1600,daily,,,\n", 2, "mode is empty"},
        {kNetsHead + "8,Net,14.3,1600,daily,USB,ftp://x.example,\n", 2, "not an http or https"},
        {kNetsHead + "8,Net,14.3,1600,daily,USB,,0\n", 2, "duration_min \"0\" is not a whole"},
        {kNetsHead + "8,Net,14.3,1600,daily,USB,,1441\n", 2, "from 1 to 1440"},
        {kNetsHead + "x,Net,14.3,1600,daily,USB,,\n", 2, "id \"x\" is not a positive"},
        {kNetsHead + kGoodNet + "7,Net,14.3,1600,daily,USB,,\n", 3, "id 7 is also on line 2"},
        {kNetsHead + "8,A <b> net,14.3,1600,daily,USB,,\n", 2, "name contains \"<\""},
        {kNetsHead + "8,Net,14.3,1600,daily,USB>,,\n", 2, "mode contains \">\""},
        {kNetsHead + "8,\"Two\nlines\",14.3,1600,daily,USB,,\n", 2, "name contains a line break"},
        {kNetsHead + "8,Net\rX,14.3,1600,daily,USB,,\n", 2, "name contains a line break"},
        {kNetsHead + "8,Net\tX,14.3,1600,daily,USB,,\n", 2, "name contains a control character"},
        {kNetsHead + kGoodNet + "8,\"Net,14.3\n", 3, "a quoted value is never closed"},
        {kNetsHead + "8,\"Net\"x,14.3,1600,daily,USB,,\n", 2, "text after the closing quote"},
        {kNetsHead + "8,Ne\"t,14.3,1600,daily,USB,,\n", 2, "a quote inside a value"},
        {kNetsHead + kGoodNet + "8,Net\xFF,14.3,1600,daily,USB,,\n", 3, "not UTF-8 text"},
        {mw + ",720,Chicago,50,\n", 2, "call is empty"},
        {mw + "WGN,1800,Chicago,50,\n", 2,
         "frequency_khz \"1800\" is not a number from 520 to 1710"},
        {mw + "WGN,720,,50,\n", 2, "city is empty"},
        {mw + "WGN,720,Chicago,0,\n", 2, "power_kw \"0\" is not a number"},
        {mw + "WGN,720,Chicago,50,www.wgn.example\n", 2, "not an http or https address"},
        {mw + "WGN,720,Chicago\n", 2, "expected 5 values, found 3"},
    };
    for (const auto& [csv, line, reason] : cases) {
        SCOPED_TRACE(csv.toStdString());
        const bool stations = csv.startsWith(mw);
        const auto parsed =
            stations ? Parsed<NetRecord>{{}, readStationsCsv(csv).error} : readNetsCsv(csv);
        ASSERT_TRUE(parsed.error);
        EXPECT_TRUE(parsed.rows.isEmpty());
        EXPECT_EQ(parsed.error->line, line);
        EXPECT_TRUE(parsed.error->reason.contains(QLatin1String(reason)))
            << parsed.error->reason.toStdString();
    }
}

static QDateTime utc(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

// 2024-06-03 is a Monday.
TEST(NextSession, RunningOrNextOnTheUtcDayItStarts) {
    // The start, the days and the length of the net, now, and the session's start (nullptr: none).
    const std::tuple<const char*, Weekdays, int, const char*, const char*> cases[] = {
        {"1600", kEveryDay, 60, "2024-06-03T15:59:59Z", "2024-06-03T16:00:00Z"},
        {"1600", kEveryDay, 60, "2024-06-03T16:59:59Z", "2024-06-03T16:00:00Z"},
        {"1600", kEveryDay, 60, "2024-06-03T17:00:00Z", "2024-06-04T16:00:00Z"},
        {"2330", kEveryDay, 90, "2024-06-04T00:30:00Z", "2024-06-03T23:30:00Z"},
        {"2330", kEveryDay, 90, "2024-06-04T01:00:00Z", "2024-06-04T23:30:00Z"},
        {"2330", 0b0000001, 90, "2024-06-04T00:59:00Z", "2024-06-03T23:30:00Z"}, // Monday's
        {"2330", 0b0000001, 90, "2024-06-04T01:00:00Z", "2024-06-10T23:30:00Z"},
        {"0100", 0b1000000, 60, "2024-06-03T02:00:00Z", "2024-06-09T01:00:00Z"}, // Sunday
        {"0000", kEveryDay, 1440, "2024-06-03T23:59:59Z", "2024-06-03T00:00:00Z"},
        {"1600", 0, 60, "2024-06-03T12:00:00Z", nullptr},
        {"16:00", kEveryDay, 60, "2024-06-03T12:00:00Z", nullptr},
    };
    for (const auto& [hhmm, days, minutes, now, start] : cases) {
        SCOPED_TRACE(std::string(hhmm) + " at " + now);
        NetRecord net;
        net.utc = hhmm;
        net.days = days;
        net.durationMin = minutes;
        const Session session = nextSession(net, utc(now));
        EXPECT_EQ(session.isValid(), start != nullptr);
        if (start) {
            EXPECT_EQ(session.start, utc(start));
            EXPECT_EQ(session.end, utc(start).addSecs(minutes * 60));
        }
    }
}

// The application cuts each value out of its own line between literal tags, pairing the n-th
// value of every tag; so each net carries all seven (and its days and duration after them), one
// per line, none with markup inside.
TEST(LineText, EveryValueOnItsOwnLineWithoutMarkup) {
    NetRecord hostile{5, "A <b>bold</b>\r\nnet", "14.300", "1600", kEveryDay, "U>SB", "", 60};
    const QByteArray nets = netsDirectoryText(
        {{hostile, 3}, {NetRecord{6, "B", "7.2", "0100", kEveryDay, "", "", 60}, 0}});
    const QByteArray stations = stationsText({{"WGN", "720", "Chicago, IL", "5<0", ""}});
    EXPECT_EQ(stations, "<Stations>\n<Station>WGN</Station>\n<Frequency>720</Frequency>\n"
                        "<City>Chicago, IL</City>\n<Power>5 0</Power>\n<URL></URL>\n</Stations>\n");
    const QList<QByteArray> tags{"NetName",   "Frequency", "UTC",  "Mode",    "URL",
                                 "Confirmed", "NetID",     "Days", "Duration"};
    QList<QByteArray> values;
    for (const QByteArray& line : nets.split('\n')) {
        if (line.isEmpty() || QByteArrayList{"<Nets>", "</Nets>", "<Net>", "</Net>"}.contains(line))
            continue;
        const QByteArray& tag = tags[values.size() % tags.size()];
        ASSERT_TRUE(line.startsWith('<' + tag + '>') && line.endsWith("</" + tag + '>'))
            << line.data();
        values << line.mid(tag.size() + 2, line.size() - 2 * tag.size() - 5);
        EXPECT_FALSE(values.last().contains('<') || values.last().contains('>')) << line.data();
    }
    EXPECT_EQ(values, QList<QByteArray>({"A  b bold /b   net", "14.300", "1600", "U SB", "", "3",
                                         "5", "daily", "60", "B", "7.2", "0100", "", "", "0", "6",
                                         "daily", "60"}));
}
