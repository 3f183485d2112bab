#include "feeds/spotfeeds.h"

#include "fixture.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace feeds;

namespace {

// Sub-second parts of now are truncated along with the rest of an age.
const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0, 0, 999), QTimeZone::utc());

// Spot templates: "CALL" is the callsign, the last member is never varied.
const QByteArray kPota =
    R"({"activator":"CALL","frequency":"14074","mode":"FT8","comments":"cq","name":"Some Park",)"
    R"("spotTime":"2024-12-01T00:00:00","latitude":40.25,"longitude":-71,"locationDesc":"US-MA",)"
    R"("reference":"US-0001","parkName":null})";
const QByteArray kSota =
    R"({"activatorCallsign":"CALL","timeStamp":"2024-12-01T00:00:00","comments":"cq",)"
    R"("activatorName":"Kaz","frequency":"14.062","mode":"CW","summitCode":"GM-084",)"
    R"("summitDetails":"Peak, 1246m, 8 points","highlightColor":null})";

// One spot for `call`, with member `key` set to the JSON text `json` (nullptr: left out).
QByteArray spot(const QByteArray& templ, const QString& call, const QString& key = {},
                const char* json = "") {
    QString text = QString::fromUtf8(templ).replace("CALL", call);
    if (!key.isEmpty()) {
        const QRegularExpression member('"' + key + R"(":("[^"]*"|[^,}]*),)");
        text.replace(member, json ? '"' + key + "\":" + QString::fromUtf8(json) + ',' : QString());
    }
    return text.toUtf8();
}

QStringList column(const Rows& rows, int index) {
    QStringList texts;
    for (const Row& row : rows)
        texts.append(row.value(index));
    return texts;
}

constexpr int kDropped = -1; // no row and no line: the feed's own rule left it out
constexpr int kSkipped = -2; // no row, one line naming the spot and `cells`

struct FieldCase {
    QString key;
    const char* json;   // nullptr: the member is left out
    int column;         // of the row, or kDropped or kSkipped
    QString cells = {}; // the row's cells from `column` on, joined by '|'
};

// Spot X between two good spots: whatever becomes of X, the others stay.
void checkFieldCases(ParsedRows (*parse)(const QByteArray&, const QDateTime&),
                     const QByteArray& templ, const std::vector<FieldCase>& cases) {
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.key.toStdString() + " = " + (c.json ? c.json : "(left out)"));
        const ParsedRows parsed =
            parse('[' + spot(templ, "A") + ',' + spot(templ, "X", c.key, c.json) + ',' +
                      spot(templ, "B") + ']',
                  kNow);
        QStringList calls = column(parsed.rows, 0);
        const qsizetype x = calls.indexOf("X");
        EXPECT_EQ(x >= 0, c.column >= 0);
        calls.removeAll("X");
        EXPECT_EQ(calls, QStringList({"A", "B"}));
        if (c.column >= 0 && x >= 0) {
            EXPECT_EQ(parsed.rows[x].mid(c.column, c.cells.count('|') + 1).join('|'), c.cells);
        }
        if (c.column == kSkipped) {
            ASSERT_EQ(parsed.diagnostics.size(), 1);
            EXPECT_TRUE(parsed.diagnostics[0].contains("spot 1 skipped"));
            EXPECT_TRUE(parsed.diagnostics[0].contains(c.cells))
                << parsed.diagnostics[0].toStdString();
        } else {
            EXPECT_TRUE(parsed.diagnostics.isEmpty());
        }
    }
}

TEST(SpotNumbers, StrictFloatReadingAndShortestText) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<QString, float>> valid = {
        {"+5", 5.0f},  {"5.", 5.0f},    {".5", 0.5f},    {"1.5E-1", 0.15f},
        {"1e39", inf}, {"-1e39", -inf}, {"1e-50", 0.0f}, {"007.5", 7.5f},
    };
    for (const auto& [text, value] : valid)
        EXPECT_EQ(parseFloat32(text), value) << text.toStdString();
    for (const char* text : {"", " 1", "1 ", "1e", ".", "+", "inf", "nan", "0x10", "1,5", "1.2.3",
                             "e5", "--1", "\u0661"})
        EXPECT_FALSE(parseFloat32(QString::fromUtf8(text)).has_value()) << text;

    const std::vector<std::pair<float, QString>> texts = {
        {0.0f, "0.0"},         {-0.0f, "-0.0"},      {-71.0f, "-71.0"},
        {137.542f, "137.542"}, {1e-7f, "0.0000001"}, {14.3f * 100000.0f, "1430000.0"},
    };
    for (const auto& [value, text] : texts)
        EXPECT_EQ(shortestFloatText(value), text);
    for (float value : {1e-45f, 3.4e38f, 7.1234565f, 123456.79f, 2000099.9f})
        EXPECT_EQ(parseFloat32(shortestFloatText(value)), value) << value;
}

TEST(ParseSpotTime, IsStrictUtcWithOptionalZ) {
    const QDateTime expected(QDate(2024, 2, 29), QTime(23, 56, 35), QTimeZone::utc());
    EXPECT_EQ(parseSpotTime(u"2024-02-29T23:56:35"), expected);
    EXPECT_EQ(parseSpotTime(u"2024-02-29T23:56:35Z"), expected);
    for (const char* text : {"2024-02-29T23:56:35z", "2024-02-29T23:56:35ZZ", "2024-02-29 23:56:35",
                             " 2024-02-29T23:56:35", "2024-02-29T23:56:35.5", "2024-2-29T23:56:35",
                             "2023-02-29T00:00:00", "2024-11-30T24:00:00", "2024-11-30T23:60:00",
                             "2024-11-30T23:59:60", "", "+024-11-30T23:56:35"})
        EXPECT_FALSE(parseSpotTime(QString::fromLatin1(text))) << text;
}

TEST(PotaSpots, CaptureFiltersQrtAndSortsByAge) {
    const ParsedRows parsed = parsePotaSpots(readFixture("pota-activator-spots.json"), kNow);
    EXPECT_TRUE(parsed.diagnostics.isEmpty());
    ASSERT_EQ(parsed.rows.size(), 70 - 16);
    EXPECT_EQ(parsed.rows.first(), Row({"JQ2DUX/2", "7006.5", "CW", "RBN 27 dB 19 WPM via JN1ILK-#",
                                        "Shinshiro General Prefectural Park", "0", "34.9371",
                                        "137.542", "JP-AI", "JP-1463"}));
    EXPECT_EQ(parsed.rows.last()[0], "AB5GC");
    EXPECT_EQ(parsed.rows.last()[5], "26");
}

TEST(PotaSpots, EachMemberReadOrSkippedAlone) {
    checkFieldCases(parsePotaSpots, kPota,
                    {
                        {"comments", R"("afterqRting")", kDropped},
                        {"comments", R"("QR T")", 3, "QR T"},
                        {"comments", "null", 3, ""},
                        {"comments", nullptr, 3, ""},
                        {"comments", "5", kSkipped, "comments"},
                        {"spotTime", R"("2024-11-30T23:59:01")", 5, "0"},
                        {"spotTime", R"("2024-11-30T23:58:01")", 5, "1"},
                        {"spotTime", R"("2024-12-01T00:01:30")", 5, "-1"},
                        {"latitude", "0", 6, "0.0|-71.0"},
                        {"latitude", "null", 6, "0.0"},
                        // Beyond a double: too small is a signed zero, too large does not fit.
                        {"latitude", "-1e-400", 6, "-0.0"},
                        {"latitude", "1e400", kSkipped, "does not fit in a 32-bit float"},
                        {"longitude", "1e39", kSkipped, "longitude"},
                        {"latitude", R"("40.1")", kSkipped, "latitude"},
                        {"activator", "null", kSkipped, "activator"},
                        {"mode", nullptr, kSkipped, "mode"},
                    });
}

TEST(PotaSpots, FreshestFirstUnreadableTimesLast) {
    const QByteArray body = '[' + spot(kPota, "BROKEN", "spotTime", R"("yesterday")") + ',' +
                            spot(kPota, "OLDER", "spotTime", R"("2024-11-30T23:50:00")") + ',' +
                            spot(kPota, "NOW") + ',' +
                            spot(kPota, "NEWER", "spotTime", R"("2024-12-01T00:02:00Z")") + ',' +
                            spot(kPota, "SAME") + ",7]";
    const ParsedRows parsed = parsePotaSpots(body, kNow);
    EXPECT_EQ(column(parsed.rows, 0), QStringList({"NEWER", "NOW", "SAME", "OLDER", "BROKEN"}));
    EXPECT_EQ(column(parsed.rows, 5), QStringList({"-1", "0", "0", "10", ""}));
    EXPECT_EQ(parsed.diagnostics.size(), 1); // the element that is not an object
}

TEST(SpotFeeds, BodiesThatAreNotArraysGiveOneLineAndNoRows) {
    for (const QByteArray reply : {"", "{}", "<html><body>500</body></html>", "[{\"a\":1},"}) {
        for (const ParsedRows& parsed :
             {parsePotaSpots(reply, kNow), parseSotaSpots(reply, kNow)}) {
            EXPECT_TRUE(parsed.rows.isEmpty()) << reply.toStdString();
            EXPECT_EQ(parsed.diagnostics.size(), 1) << reply.toStdString();
        }
    }
    for (const ParsedRows& parsed : {parsePotaSpots("[]", kNow), parseSotaSpots("[]", kNow)})
        EXPECT_TRUE(parsed.rows.isEmpty() && parsed.diagnostics.isEmpty());
}

TEST(SotaSpots, CaptureKeepsReplyOrderWithinTheWindow) {
    const ParsedRows parsed = parseSotaSpots(readFixture("sota-spots.json"), kNow);
    EXPECT_TRUE(parsed.diagnostics.isEmpty());
    ASSERT_EQ(parsed.rows.size(), 20 - 3); // three spots on 146.58 MHz
    EXPECT_EQ(parsed.rows[0],
              Row({"7N1FRE/1", "KAZ", "21.062", "CW", "[RBNHole] at JK1QLQ 22 WPM 20 dB SNR",
                   "GM-084", "Higashimikaboyama", "1246m", "8 points", "4"}));
    EXPECT_EQ(parsed.rows[1][4], " "); // null comments
    EXPECT_EQ(parsed.rows.last()[9], "59");
}

TEST(SotaSpots, EachMemberReadOrSkippedAlone) {
    checkFieldCases(
        parseSotaSpots, kSota,
        {
            // From 2 MHz up to, not including, 70 MHz; 69.9999999 is 70 as a 32-bit float.
            {"frequency", R"("2.000")", 2, "2.000"},
            {"frequency", R"("69.99999")", 2, "69.99999"},
            {"frequency", R"("1.843")", kDropped},
            {"frequency", R"("69.9999999")", kDropped},
            {"frequency", R"("14,062")", kDropped},
            {"frequency", "14.062", kSkipped, "frequency"},
            {"summitDetails", R"(" Peak ,\t1246m\n, 8 points, extra")", 6, " Peak |1246m|8 points"},
            {"summitDetails", R"(",Peak,, 1246m, 8 points,")", 6, "Peak|1246m|8 points"},
            {"summitDetails", R"("Peak, 1246m")", 6, "Peak, 1246m| | "},
            {"summitDetails", R"(",,")", 6, ",,| | "},
            {"summitDetails", "{}", kSkipped, "summitDetails"},
            {"timeStamp", R"("2024-11-30T23:59:00.54Z")", 9, "1"},
            {"timeStamp", R"(".2024-11-30T23:59:00")", 9, "1"},
            {"timeStamp", R"("2024-12-01T00:01:30")", 9, "-1"},
            {"timeStamp", R"("...")", 9, ""},
            {"timeStamp", "null", kSkipped, "timeStamp"},
            {"comments", "null", 4, " "},
            {"comments", nullptr, 4, " "},
            {"comments", R"("")", 4, ""},
            {"comments", R"("qrt")", 4, "qrt"},
            {"comments", "3", kSkipped, "comments"},
            {"activatorCallsign", nullptr, kSkipped, "activatorCallsign"},
        });
}

} // namespace
