#include "feeds/spotfeeds.h"

#include "fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <vector>

using namespace feeds;

namespace {

const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());

QString timeText(qint64 secondsBeforeNow) {
    return kNow.addSecs(-secondsBeforeNow).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QJsonObject potaSpot(const QString& activator) {
    return QJsonObject{
        {"activator", activator}, {"frequency", "14074"}, {"mode", "FT8"},
        {"comments", "cq"},       {"name", "Some Park"},  {"spotTime", timeText(0)},
        {"latitude", 40.25},      {"longitude", -71},     {"locationDesc", "US-MA"},
        {"reference", "US-0001"}, {"spotId", 1},          {"parkName", QJsonValue::Null}};
}

QJsonObject sotaSpot(const QString& callsign) {
    return QJsonObject{{"timeStamp", timeText(0)},
                       {"comments", "cq"},
                       {"activatorCallsign", callsign},
                       {"activatorName", "Kaz"},
                       {"frequency", "14.062"},
                       {"mode", "CW"},
                       {"summitCode", "GM-084"},
                       {"summitDetails", "Peak, 1246m, 8 points"},
                       {"highlightColor", QJsonValue::Null}};
}

QByteArray body(const QJsonArray& array) {
    return QJsonDocument(array).toJson();
}

QStringList column(const Rows& rows, int index) {
    QStringList texts;
    for (const Row& row : rows)
        texts.append(row.value(index));
    return texts;
}

TEST(ParseSpotTime, IsStrictUtcWithOptionalZ) {
    const QDateTime expected(QDate(2024, 11, 30), QTime(23, 56, 35), QTimeZone::utc());
    const std::vector<std::pair<QString, bool>> cases = {
        {"2024-11-30T23:56:35", true},
        {"2024-11-30T23:56:35Z", true},
        {"2024-11-30T23:56:35z", false},
        {"2024-11-30T23:56:35ZZ", false},
        {"2024-11-30 23:56:35", false},
        {" 2024-11-30T23:56:35", false},
        {"2024-11-30T23:56:35.5", false},
        {"2024-1-30T23:56:35", false},
        {"2024-02-30T00:00:00", false},
        {"2024-11-30T24:00:00", false},
        {"2024-11-30T23:60:00", false},
        {"2024-11-30T23:59:60", false},
        {"", false},
        {"+024-11-30T23:56:35", false},
    };
    for (const auto& [text, valid] : cases) {
        const std::optional<QDateTime> time = parseSpotTime(text);
        EXPECT_EQ(time.has_value(), valid) << text.toStdString();
        if (time) {
            EXPECT_EQ(*time, expected) << text.toStdString();
        }
    }
    EXPECT_EQ(parseSpotTime(u"2024-02-29T12:00:00"),
              QDateTime(QDate(2024, 2, 29), QTime(12, 0), QTimeZone::utc()));
}

TEST(CoordinateText, ShortestRoundTripWithDecimalPoint) {
    const std::vector<std::pair<float, QString>> cases = {
        {0.0f, "0.0"},         {-71.0f, "-71.0"},     {42.5f, "42.5"},
        {40.25f, "40.25"},     {41.8694f, "41.8694"}, {-96.1556f, "-96.1556"},
        {137.542f, "137.542"}, {0.00001f, "0.00001"}, {-0.0f, "-0.0"},
        {180.0f, "180.0"},     {1e-7f, "0.0000001"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(shortestFloatText(value), text) << text.toStdString();
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
    // Spots of equal age keep the reply's order.
    EXPECT_EQ(column(parsed.rows, 0).mid(1, 5),
              QStringList({"WB0RLJ", "K7CAR", "JF2CRP/2", "JF1WQC/P", "K7LVJ"}));
    qint64 previous = 0;
    for (const Row& row : parsed.rows) {
        ASSERT_EQ(row.size(), 10);
        EXPECT_FALSE(row[3].contains("qrt", Qt::CaseInsensitive));
        EXPECT_GE(row[5].toLongLong(), previous);
        previous = row[5].toLongLong();
    }
}

TEST(PotaSpots, BuildsTheTenColumns) {
    const ParsedRows parsed = parsePotaSpots(body({potaSpot("K1ABC")}), kNow);
    ASSERT_EQ(parsed.rows.size(), 1);
    EXPECT_EQ(parsed.rows[0], Row({"K1ABC", "14074", "FT8", "cq", "Some Park", "0", "40.25",
                                   "-71.0", "US-MA", "US-0001"}));
}

TEST(PotaSpots, CommentsMentioningQrtDropTheSpot) {
    const std::vector<std::pair<QJsonValue, bool>> cases = {
        {"QRT now", false}, {"going qrt", false}, {"QRTing", false},        {"afterqRt", false},
        {"QR T", true},     {"", true},           {QJsonValue::Null, true},
    };
    for (const auto& [comments, kept] : cases) {
        QJsonObject spot = potaSpot("K1ABC");
        spot["comments"] = comments;
        const ParsedRows parsed = parsePotaSpots(body({spot}), kNow);
        EXPECT_EQ(parsed.rows.size(), kept ? 1 : 0) << comments.toString().toStdString();
        EXPECT_TRUE(parsed.diagnostics.isEmpty());
    }
    QJsonObject missing = potaSpot("K1ABC");
    missing.remove("comments");
    const ParsedRows parsed = parsePotaSpots(body({missing}), kNow);
    ASSERT_EQ(parsed.rows.size(), 1);
    EXPECT_EQ(parsed.rows[0][3], "");
}

TEST(PotaSpots, AgesTruncateTowardZero) {
    const std::vector<std::pair<QString, QString>> cases = {
        {timeText(59), "0"},         {timeText(60), "1"},        {timeText(119), "1"},
        {timeText(-30), "0"},        {timeText(-90), "-1"},      {timeText(3600) + "Z", "60"},
        {"2024-11-30 23:00:00", ""}, {timeText(120) + ".5", ""},
    };
    const QDateTime now = kNow.addMSecs(999); // sub-second parts of now are truncated too
    for (const auto& [spotTime, age] : cases) {
        QJsonObject spot = potaSpot("K1ABC");
        spot["spotTime"] = spotTime;
        const ParsedRows parsed = parsePotaSpots(body({spot}), now);
        ASSERT_EQ(parsed.rows.size(), 1) << spotTime.toStdString();
        EXPECT_EQ(parsed.rows[0][5], age) << spotTime.toStdString();
    }
}

TEST(PotaSpots, UnreadableTimesSortLast) {
    QJsonObject broken = potaSpot("BROKEN");
    broken["spotTime"] = "yesterday";
    QJsonObject older = potaSpot("OLDER");
    older["spotTime"] = timeText(600);
    QJsonObject newer = potaSpot("NEWER");
    newer["spotTime"] = timeText(-120);
    const ParsedRows parsed = parsePotaSpots(body({broken, older, potaSpot("NOW"), newer}), kNow);
    EXPECT_EQ(column(parsed.rows, 0), QStringList({"NEWER", "NOW", "OLDER", "BROKEN"}));
    EXPECT_EQ(column(parsed.rows, 5), QStringList({"-2", "0", "10", ""}));
}

TEST(PotaSpots, OptionalCoordinates) {
    const std::vector<std::pair<QJsonValue, QString>> cases = {
        {40.25, "40.25"},
        {0, "0.0"},
        {QJsonValue::Null, "0.0"},
        {QJsonValue::Undefined, "0.0"},
    };
    for (const auto& [latitude, text] : cases) {
        QJsonObject spot = potaSpot("K1ABC");
        if (latitude.isUndefined())
            spot.remove("latitude");
        else
            spot["latitude"] = latitude;
        const ParsedRows parsed = parsePotaSpots(body({spot}), kNow);
        ASSERT_EQ(parsed.rows.size(), 1);
        EXPECT_EQ(parsed.rows[0][6], text);
    }
}

// Numbers a double cannot hold either: too large does not fit, too small is a (signed) zero.
TEST(PotaSpots, CoordinatesBeyondADouble) {
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"1e400", ""}, // "" : the spot is skipped
        {"-96e1556", ""},
        {"1e-400", "0.0"},
        {"-1e-400", "-0.0"},
    };
    QJsonObject spot = potaSpot("K1ABC");
    spot["latitude"] = 12.5;
    for (const auto& [latitude, text] : cases) {
        QByteArray reply = body({spot});
        reply.replace("12.5", latitude);
        const ParsedRows parsed = parsePotaSpots(reply, kNow);
        if (text.isEmpty()) {
            EXPECT_TRUE(parsed.rows.isEmpty()) << latitude.toStdString();
            ASSERT_EQ(parsed.diagnostics.size(), 1) << latitude.toStdString();
            EXPECT_TRUE(parsed.diagnostics[0].contains("does not fit in a 32-bit float"));
        } else {
            ASSERT_EQ(parsed.rows.size(), 1) << latitude.toStdString();
            EXPECT_EQ(parsed.rows[0][6], text);
        }
    }
}

// One broken element costs only itself, with a line that says which one and why.
TEST(PotaSpots, BrokenElementIsSkippedAlone) {
    struct Case {
        const char* key;
        QJsonValue value; // Undefined removes the key
        const char* mentions;
    };
    const std::vector<Case> cases = {
        {"activator", QJsonValue::Null, "activator"},
        {"frequency", 14074, "frequency"},
        {"mode", QJsonValue::Undefined, "mode"},
        {"comments", 5, "comments"},
        {"spotTime", QJsonValue::Undefined, "spotTime"},
        {"latitude", "40.1", "latitude"},
        {"longitude", 1e39, "longitude"},
        {"reference", QJsonArray{}, "reference"},
    };
    for (const Case& c : cases) {
        QJsonObject broken = potaSpot("BROKEN");
        if (c.value.isUndefined())
            broken.remove(c.key);
        else
            broken[c.key] = c.value;
        const ParsedRows parsed =
            parsePotaSpots(body({potaSpot("A"), broken, potaSpot("B")}), kNow);
        EXPECT_EQ(column(parsed.rows, 0), QStringList({"A", "B"})) << c.key;
        ASSERT_EQ(parsed.diagnostics.size(), 1) << c.key;
        EXPECT_TRUE(parsed.diagnostics[0].contains("spot 1"))
            << parsed.diagnostics[0].toStdString();
        EXPECT_TRUE(parsed.diagnostics[0].contains(c.mentions))
            << parsed.diagnostics[0].toStdString();
    }
    const ParsedRows notObject = parsePotaSpots(body({potaSpot("A"), 7}), kNow);
    EXPECT_EQ(notObject.rows.size(), 1);
    EXPECT_EQ(notObject.diagnostics.size(), 1);
}

TEST(SpotFeeds, BodiesThatAreNotArraysGiveOneLineAndNoRows) {
    const std::vector<QByteArray> bodies = {
        "", "{}", "<html><body>500 Internal Server Error</body></html>", "[{\"a\":1},", "\"text\"",
    };
    for (const QByteArray& reply : bodies) {
        for (const ParsedRows& parsed :
             {parsePotaSpots(reply, kNow), parseSotaSpots(reply, kNow)}) {
            EXPECT_TRUE(parsed.rows.isEmpty()) << reply.toStdString();
            EXPECT_EQ(parsed.diagnostics.size(), 1) << reply.toStdString();
        }
    }
    for (const ParsedRows& parsed : {parsePotaSpots("[]", kNow), parseSotaSpots("[]", kNow)}) {
        EXPECT_TRUE(parsed.rows.isEmpty());
        EXPECT_TRUE(parsed.diagnostics.isEmpty());
    }
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
    EXPECT_FALSE(column(parsed.rows, 2).contains("146.58"));
}

TEST(SotaSpots, FrequencyWindowFromTwoUpToSeventyMegahertz) {
    const std::vector<std::pair<QString, bool>> cases = {
        {"14.062", true},        {"2.000", true},    {"69.990", true},
        {"69.99999", true},      {"1.843", false},   {"70.200", false},
        {"144.300", false},      {"432.100", false}, {"14.062 ", false},
        {"14,062", false},       {"", false},        {"inf", false},
        {"nan", false},          {"-14.062", false}, {"69.9999999", false}, // 70 as a 32-bit float
        {"+7.09", true},         {"1e1", true},      {"0x1p4", false},
        {" 14.062", false},      {"1e39", false},    {"+-7", false},
        {"\uFF11\uFF14", false},
    };
    for (const auto& [frequency, kept] : cases) {
        QJsonObject spot = sotaSpot("K1ABC");
        spot["frequency"] = frequency;
        EXPECT_EQ(parseSotaSpots(body({spot}), kNow).rows.size(), kept ? 1 : 0)
            << frequency.toStdString();
    }
}

TEST(SotaSpots, SummitDetailsSplitIntoThreeColumns) {
    struct Case {
        QString details;
        QStringList columns;
    };
    const std::vector<Case> cases = {
        {"Peak, 1246m, 8 points", {"Peak", "1246m", "8 points"}},
        {" Peak ,\t1246m\n, 8 points, extra", {" Peak ", "1246m", "8 points"}},
        {"Peak,, 1246m, 8 points", {"Peak", "1246m", "8 points"}},
        {",Peak, 1246m, 8 points,", {"Peak", "1246m", "8 points"}},
        {"Peak", {"Peak", " ", " "}},
        {"Peak, 1246m", {"Peak, 1246m", " ", " "}},
        {",,", {",,", " ", " "}},
    };
    for (const Case& c : cases) {
        QJsonObject spot = sotaSpot("K1ABC");
        spot["summitDetails"] = c.details;
        const ParsedRows parsed = parseSotaSpots(body({spot}), kNow);
        ASSERT_EQ(parsed.rows.size(), 1);
        EXPECT_EQ(parsed.rows[0].mid(6, 3), c.columns) << c.details.toStdString();
    }
}

TEST(SotaSpots, TimeStampsAndComments) {
    const std::vector<std::pair<QString, QString>> times = {
        {timeText(60), "1"},
        {timeText(-90), "-1"},
        {timeText(60) + ".54", "1"},
        {timeText(60) + "Z", "1"},
        {timeText(60) + ".54Z", "1"},
        {"." + timeText(60), "1"},
        {"", ""},
        {"...", ""},
        {"30/11/2024 23:55", ""},
    };
    for (const auto& [timeStamp, age] : times) {
        QJsonObject spot = sotaSpot("K1ABC");
        spot["timeStamp"] = timeStamp;
        const ParsedRows parsed = parseSotaSpots(body({spot}), kNow);
        ASSERT_EQ(parsed.rows.size(), 1);
        EXPECT_EQ(parsed.rows[0][9], age) << timeStamp.toStdString();
    }

    const std::vector<std::pair<QJsonValue, QString>> comments = {
        {QJsonValue::Null, " "},
        {QJsonValue::Undefined, " "},
        {"", ""},
        {"qrt", "qrt"},
    };
    for (const auto& [value, text] : comments) {
        QJsonObject spot = sotaSpot("K1ABC");
        if (value.isUndefined())
            spot.remove("comments");
        else
            spot["comments"] = value;
        const ParsedRows parsed = parseSotaSpots(body({spot}), kNow);
        ASSERT_EQ(parsed.rows.size(), 1);
        EXPECT_EQ(parsed.rows[0][4], text);
    }
}

TEST(SotaSpots, BrokenElementIsSkippedAlone) {
    const std::vector<std::pair<const char*, QJsonValue>> cases = {
        {"timeStamp", QJsonValue::Null},
        {"comments", 3},
        {"activatorCallsign", QJsonValue::Undefined},
        {"frequency", 14.062},
        {"summitDetails", QJsonObject{}},
    };
    for (const auto& [key, value] : cases) {
        QJsonObject broken = sotaSpot("BROKEN");
        if (value.isUndefined())
            broken.remove(key);
        else
            broken[key] = value;
        const ParsedRows parsed =
            parseSotaSpots(body({sotaSpot("A"), sotaSpot("B"), broken}), kNow);
        EXPECT_EQ(column(parsed.rows, 0), QStringList({"A", "B"})) << key;
        ASSERT_EQ(parsed.diagnostics.size(), 1) << key;
        EXPECT_TRUE(parsed.diagnostics[0].contains("spot 2")) << key;
        EXPECT_TRUE(parsed.diagnostics[0].contains(key)) << key;
    }
}

} // namespace
