#include "feeds/jsonrecords.h"
#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"
#include "feeds/wwffspots.h"
#include "testing.h"

#include <QRegularExpression>
#include <QTimeZone>

using namespace feeds;

// Sub-second parts of now are truncated along with the rest of an age.
const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0, 0, 999), QTimeZone::utc());

// Spot templates: "CALL" is the callsign, the last member is never varied.
const QByteArray kPota =
    R"({"activator":"CALL","frequency":"14074","mode":"FT8","comments":"cq","name":"Some Park",)"
    R"("spotTime":"2024-12-01T00:00:00","latitude":40.25,"longitude":-71,"locationDesc":"US-MA",)"
    R"("reference":"US-0001","invalid":null,"parkName":null})";
const QByteArray kSota =
    R"({"activatorCallsign":"CALL","timeStamp":"2024-12-01T00:00:00","comments":"cq",)"
    R"("activatorName":"Kaz","frequency":"14.062","mode":"CW","summitCode":"GM-084",)"
    R"("summitDetails":"Peak, 1246m, 8 points","highlightColor":null})";

// One spot for `call`, with member `key` set to the JSON text `json` (nullptr: left out).
static QByteArray spot(const QByteArray& templ, const QString& call, const QString& key = {},
                       const char* json = "") {
    QString text = QString::fromUtf8(templ).replace("CALL", call);
    if (!key.isEmpty()) {
        const QRegularExpression member('"' + key + R"(":("[^"]*"|[^,}]*),)");
        text.replace(member, json ? '"' + key + "\":" + QString::fromUtf8(json) + ',' : QString());
    }
    return text.toUtf8();
}

// `count` columns of each row from `from` on (all of them for -1), joined by '|'.
template <class Row>
static QStringList texts(const QList<Row>& rows, int from = 0, int count = -1) {
    QStringList out;
    for (const Row& row : rows)
        out << core::columns(row).mid(from, count).join(u'|');
    return out;
}

constexpr int kDropped = -1; // no row and no line: the feed's own rule left it out
constexpr int kSkipped = -2; // no row, one line naming the spot and what is wrong

// A member, its JSON text (nullptr: left out), the column of the row it shows in (or kDropped or
// kSkipped) and the cells from that column on, joined by '|' (kSkipped: what the line names).
using FieldCase = std::tuple<QString, const char*, int, QString>;

// Spot X between two good spots: whatever becomes of X, the others stay.
template <class Row>
static void checkFieldCases(Parsed<Row> (*parse)(const QByteArray&, const QDateTime&),
                            const QByteArray& templ, const std::vector<FieldCase>& cases) {
    for (const auto& [key, json, index, cells] : cases) {
        SCOPED_TRACE(key.toStdString() + " = " + (json ? json : "(left out)"));
        const Parsed<Row> parsed =
            parse('[' + spot(templ, "A") + ',' + spot(templ, "X", key, json) + ',' +
                      spot(templ, "B") + ']',
                  kNow);
        QStringList calls = texts(parsed.rows, 0, 1);
        const qsizetype x = calls.indexOf("X");
        calls.removeAll("X");
        EXPECT_EQ(calls, QStringList({"A", "B"}));
        ASSERT_EQ(x >= 0, index >= 0);
        if (x >= 0) {
            EXPECT_EQ(texts(parsed.rows, index, cells.count('|') + 1)[x], cells);
        }
        const QString lines = parsed.diagnostics.join(u'\n');
        EXPECT_TRUE(index != kSkipped
                        ? lines.isEmpty()
                        : parsed.diagnostics.size() == 1 && lines.contains("spot 1 skipped: ") &&
                              lines.contains(cells))
            << lines.toStdString();
    }
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

TEST(PotaSpots, EachMemberReadOrSkippedAlone) {
    checkFieldCases(parsePotaSpots, kPota,
                    {
                        {"comments", R"("afterqRting")", kDropped, ""},
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
                        {"frequency", nullptr, kSkipped, "frequency"},
                        // Any other member left empty is an empty cell.
                        {"mode", nullptr, 2, ""},
                        {"mode", "null", 2, ""},
                        {"name", "null", 4, ""},
                        {"spotTime", "null", 5, ""},
                        {"locationDesc", "null", 8, ""},
                        {"reference", "null", 9, ""},
                        {"comments", R"x(" (null)")x", 3, ""},
                        // Hertz where no band has those kilohertz; kilohertz wherever one has.
                        {"frequency", R"("21063000")", 1, "21063"},
                        {"frequency", R"("7074500")", 1, "7074.5"},
                        {"frequency", R"("146535")", 1, "146535"},
                        {"frequency", R"("1294940")", 1, "1294940"},
                        {"frequency", R"("10136000")", 1, "10136000"},
                        {"invalid", "false", 0, "X"},
                        {"invalid", "0", 0, "X"},
                        {"invalid", nullptr, 0, "X"},
                        {"invalid", "true", kDropped, ""},
                        {"invalid", "1", kDropped, ""},
                        {"invalid", R"("flagged")", kDropped, ""},
                    });
    const QByteArray invalid = spot(kPota, "A", "invalid", "true");
    EXPECT_EQ(parsePotaSpots('[' + invalid + ',' + spot(kPota, "B") + ']', kNow).notice,
              "1 spot marked invalid is hidden");
    EXPECT_EQ(parsePotaSpots('[' + invalid + ',' + invalid + ']', kNow).notice,
              "2 spots marked invalid are hidden");
}

TEST(PotaSpots, FreshestFirstUnreadableTimesLast) {
    const QByteArray body = '[' + spot(kPota, "BROKEN", "spotTime", R"("yesterday")") + ',' +
                            spot(kPota, "OLDER", "spotTime", R"("2024-11-30T23:50:00")") + ',' +
                            spot(kPota, "NOW") + ',' +
                            spot(kPota, "NEWER", "spotTime", R"("2024-12-01T00:02:00Z")") + ',' +
                            spot(kPota, "SAME") + ",7]";
    const Parsed<core::PotaSpot> parsed = parsePotaSpots(body, kNow);
    EXPECT_EQ(texts(parsed.rows, 0, 1), QStringList({"NEWER", "NOW", "SAME", "OLDER", "BROKEN"}));
    EXPECT_EQ(texts(parsed.rows, 5, 1), QStringList({"-1", "0", "0", "10", ""}));
    EXPECT_EQ(parsed.diagnostics.size(), 1); // the element that is not an object
}

TEST(SpotFeeds, BodiesThatAreNotArraysAreUnreadableWithOneLineAndNoRows) {
    for (const QByteArray reply :
         {"", "{}", "<html><body>500</body></html>", "[{\"a\":1},", "[]"}) {
        const auto pota = parsePotaSpots(reply, kNow);
        const auto sota = parseSotaSpots(reply, kNow);
        const qsizetype lines = reply == "[]" ? 0 : 1;
        EXPECT_TRUE(pota.rows.isEmpty() && sota.rows.isEmpty()) << reply.toStdString();
        EXPECT_EQ(pota.unreadable && sota.unreadable, lines == 1) << reply.toStdString();
        EXPECT_EQ(pota.diagnostics.size(), lines) << reply.toStdString();
        EXPECT_EQ(sota.diagnostics.size(), lines) << reply.toStdString();
    }
}

TEST(SotaSpots, EachMemberReadOrSkippedAlone) {
    checkFieldCases(
        parseSotaSpots, kSota,
        {
            // From 2 MHz up to, not including, 70 MHz; 69.9999999 is 70 as a 32-bit float.
            {"frequency", R"("2.000")", 2, "2.000"},
            {"frequency", R"("69.99999")", 2, "69.99999"},
            {"frequency", R"("1.843")", kDropped, ""},
            {"frequency", R"("69.9999999")", kDropped, ""},
            {"frequency", R"("14,062")", kDropped, ""},
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

constexpr std::array<std::string_view, 2> kKeys = {"a", "b"};

TEST(JsonRecords, FollowsTheGrammarStrictlyAndKeepsOnlyTheWantedKeys) {
    using T = JsonType;
    // A byte-order mark is allowed only at the very start.
    const std::vector<std::pair<QByteArray, std::vector<JsonType>>> valid = {
        {"\xEF\xBB\xBF [ ] \n", {}},
        {R"([{}, 1, -0.5e+3, "x", null, true, [1, [2]], {"c": {"d": []}}])",
         {T::Object, T::Number, T::Number, T::String, T::Null, T::Bool, T::Array, T::Object}},
    };
    for (const auto& [body, elements] : valid) {
        const JsonRecords records = readJsonRecords(body, kKeys);
        EXPECT_TRUE(records.error.isEmpty()) << records.error.toStdString();
        EXPECT_EQ(records.elements, elements);
    }
    // Nesting deeper than the reader allows is refused, not followed down the stack.
    QByteArrayList invalid = {QByteArray(300, '[') + QByteArray(300, ']'), QByteArray(200000, '[')};
    for (const char* body : {" \xEF\xBB\xBF[]", "", "{\"a\": 1}", "\"text\"", "<html></html>",
                             "[1,]", "[01]", "[1.]", "[.5]", "[1e]", "[tru]", "[] []", "["})
        invalid << body;
    for (const char* body : {"[\"a\tb\"]", "[\"\\x\"]", "[\"\\u12G4\"]", "[\"open]", "[\"\xFF\"]",
                             "[{\"\xC3\"\"a\": 1}]", "[{\"a\" 1}]", "[{a: 1}]", "[{\"a\": 1,}]"})
        invalid << body;
    for (const QByteArray& body : invalid) {
        const JsonRecords records = readJsonRecords(body, kKeys);
        EXPECT_FALSE(records.error.isEmpty()) << body.left(40).toStdString();
        EXPECT_TRUE(records.elements.empty()) << body.left(40).toStdString();
    }

    // Only the wanted keys of each element are kept, the first of each name.
    const QByteArray body =
        R"([{"a": "caf\u00e9 \"\n\ud83d\ude00 \ud83d", "x": {"a": "nested"}, "b": -1.5e3},)"
        "{\"\\u0061\": \"first\", \"a\": \"\xC3\xA9 last\", \"b\": [1]}, {}]";
    JsonRecords records = readJsonRecords(body, kKeys);
    ASSERT_TRUE(records.error.isEmpty()) << records.error.toStdString();
    ASSERT_EQ(records.elements.size(), 3u);
    EXPECT_EQ(records.field(0, 0, 2).text, QStringLiteral("caf\u00E9 \"\n\U0001F600 \uFFFD"));
    EXPECT_EQ(records.field(0, 1, 2).type, JsonType::Number);
    EXPECT_EQ(records.field(0, 1, 2).number, "-1.5e3");
    EXPECT_EQ(records.field(1, 0, 2).text, QStringLiteral("\u00E9 last"));
    EXPECT_EQ(records.field(1, 1, 2).type, JsonType::Array);
    EXPECT_EQ(records.field(2, 0, 2).type, JsonType::Missing);
}

// One net as the server writes it, a tag per line.
static QString net(const QString& name, const QString& frequency, const QString& mode,
                   const QString& count) {
    return "<NetName>" + name + "</NetName>\n<Frequency>" + frequency + "</Frequency>\n<Mode>" +
           mode + "</Mode>\n<SubscriberCount>" + count + "</SubscriberCount>\n";
}

// The text feeds are searched line by line for literal tags, and the values of each tag pair by
// their position in its list, not by entry.
TEST(NetLoggerNets, FiltersPairsAndSorts) {
    const std::pair<QString, QStringList> cases[] = {
        // Only exact SSB.
        {net("a", "7.1", "ssb", "1") + net("b", "7.2", "USB", "1") + net("c", "7.3", " SSB", "1") +
             net("d", "7.4", "SSB", "1"),
         {"d|7.4|SSB|1"}},
        // Most subscribers first, ties in reply order, counts that are not numbers before all.
        {net("a", "1", "SSB", "12") + net("b", "2", "SSB", "40") + net("c", "3", "SSB", " 5") +
             net("d", "4", "SSB", "12") + net("e", "5", "SSB", "") + net("f", "6", "SSB", "-3"),
         {"c|3|SSB| 5", "e|5|SSB|", "b|2|SSB|40", "a|1|SSB|12", "d|4|SSB|12", "f|6|SSB|-3"}},
        // The frequency keeps digits and points.
        {net("a", "14.300 MHz", "SSB", "1") + net("b", "7,185", "SSB", "1"),
         {"a|14.300|SSB|1", "b|7185|SSB|1"}},
        // The whole document on one line gives at most one row.
        {QString(net("a", "1", "SSB", "2") + net("b", "2", "SSB", "3")).replace('\n', ' '),
         {"a|1|SSB|2"}},
        // A value split across lines adds nothing, and pairing stays by position.
        {"<NetName>\nx</NetName>\n" + net("a", "1", "SSB", "2").remove("<NetName>a</NetName>") +
             net("b", "2", "SSB", "3"),
         {"b|1|SSB|2"}},
        // CRLF line ends do no harm.
        {net("a", "1", "SSB", "2").replace("\n", "\r\n"), {"a|1|SSB|2"}},
        // Values stay untrimmed and unescaped, the first closing tag after the opening one ends
        // them, and tags compare exactly.
        {net(" A &amp; B </NetName><NetName>C", "1", "SSB", "2") +
             "<netname>x</netname>\n<NetName id=\"1\">y</NetName>\n<NetNames>z</NetNames>\n",
         {" A &amp; B |1|SSB|2"}},
        // An error page gives nothing.
        {"<html><body>500 Internal Server Error</body></html>", {}},
    };
    for (const auto& [reply, rows] : cases)
        EXPECT_EQ(texts(parseNetLoggerNets(reply)), rows) << reply.toStdString();
}

// The spot time is 00:00:00 and its formatted twin, read when the time is not, 23:58:00.
const QByteArray kWwff =
    R"({"id":1,"activator":"CALL","frequency_khz":7046.0,"mode":"CW","reference":"KFF-2482",)"
    R"("reference_name":"Fort Snelling","remarks":"cq","spotter":"WE9V","spot_time":1733011200,)"
    R"("spot_time_formatted":"2024-11-30 23:58:00","latitude":44.86})";

TEST(WwffSpots, EachMemberReadOrSkippedAlone) {
    checkFieldCases(parseWwffSpots, kWwff,
                    {
                        {"frequency_khz", "7006", 1, "7006|CW"},
                        {"frequency_khz", R"(" 14244.5 ")", 1, "14244.5"},
                        {"frequency_khz", "null", kSkipped, "frequency_khz"},
                        {"frequency_khz", nullptr, kSkipped, "frequency_khz"},
                        // The line quotes the text on one line.
                        {"frequency_khz", R"("QRV\nsoon")", kSkipped, "\"QRV soon\""},
                        {"frequency_khz", R"("")", kSkipped, "frequency_khz"},
                        {"frequency_khz", "0", kSkipped, "frequency_khz"},
                        {"frequency_khz", "1e39", kSkipped, "1e39"},
                        {"activator", R"(" ")", kSkipped, "activator"},
                        {"activator", "7", kSkipped, "activator"},
                        {"mode", nullptr, 2, "|KFF-2482|Fort Snelling"},
                        {"reference", "null", 3, "|Fort Snelling"},
                        {"reference_name", nullptr, 4, "|0|cq"},
                        {"remarks", R"("")", 6, ""},
                        {"remarks", "null", 6, ""},
                        {"remarks", "5", kSkipped, "remarks"},
                        {"spot_time", "1733011139.9", 5, "1"},
                        {"spot_time", R"("1733011080")", 5, "2"},
                        {"spot_time", R"("soon")", 5, "2"},
                        {"spot_time", "1e300", 5, "2"},
                        {"spot_time", nullptr, 5, "2"},
                    });
}

TEST(WwffSpots, RealElementsNewestFirstUnreadableTimesLast) {
    const QDateTime now(QDate(2026, 6, 5), QTime(8, 0), QTimeZone::utc());
    QByteArray body = fixture("wwff-spots-elements.json").trimmed();
    ASSERT_TRUE(body.endsWith(']'));
    body.chop(1);
    body += ',' +
            spot(kWwff, "LATE")
                .replace("\"2024-11-30 23:58:00\"", "null")
                .replace("1733011200", "\"-\"") +
            R"(, 7, {"activator":"NEWEST","frequency_khz":"14244","spot_time":1780646400}])";
    const Parsed<core::WwffSpot> parsed = parseWwffSpots(body, now);
    EXPECT_EQ(texts(parsed.rows),
              QStringList({"NEWEST|14244||||0|",
                           "F4ILK/P|7006|CW|FFF-3970|CAVITES SOUTERRAINES LE BUISSON|7|"
                           "Auto-spotted via RBN",
                           "WB8MIW|7046.0|CW|KFF-2482|Fort Snelling|31151|Re-spotted via RBN",
                           "LATE|7046.0|CW|KFF-2482|Fort Snelling||cq"}));
    EXPECT_EQ(parsed.diagnostics,
              QStringList{"WWFF spots: spot 3 skipped: expected an object but found a number"});
}
