// The pure parts: current-API elements, the legacy stub, cluster lines and the spots kept from
// them, the status line, and the request policy on an injected clock.
#include "feeds/sotaapi.h"
#include "feeds/sotacluster.h"
#include "net/politeness.h"
#include "session/liststatus.h"
#include "testing.h"

#include <QTimeZone>

const QDateTime kNow(QDate(2026, 8, 5), QTime(22, 0), QTimeZone::utc());

static QStringList joined(const QList<core::SotaSpot>& rows) {
    QStringList out;
    for (const core::SotaSpot& row : rows)
        out << core::columns(row).join(u'|');
    return out;
}

TEST(SotaApi, ElementsBecomeTheSameRowsAsTheLegacyFeed) {
    const QByteArray real = fixture("sota-api-element.json").trimmed();
    const QByteArray spot = real.mid(1, real.size() - 2);
    const auto with = [&spot](const char* from, const char* to) {
        return QByteArray(spot).replace(from, to);
    };
    const QByteArray qrt = with("\"type\":null", "\"type\":\"QRT\"").replace("21:46", "21:50");
    const QByteArray special = with("null}", "\"SPECIAL\"}");
    const QByteArray unnamed = with("\"summitName\":\"Sylvania, Mount\",", "");
    const QString row = "KK7ER|Michael|14.062|CW|[SOTA Activator] |W7O/WV-096|Sylvania, Mount|"
                        "297m|1 points|13";
    const struct {
        const char* what;
        QByteArray body;
        QStringList rows;
        int diagnostics = 0;
        QString notice = {};
    } cases[] = {
        {"real", real, {row}},
        {"string frequency", '[' + with("14.062", "\"14.062\"") + ']', {row}},
        {"null frequency", '[' + with("14.062", "null") + ']', {}},
        {"2 m", '[' + with("14.062", "144.062") + ']', {}},
        {"QRT after it", '[' + spot + ',' + qrt + ']', {}},
        {"QRT before it", '[' + qrt + ',' + with("21:46", "21:55") + ']', {row.chopped(2) + "4"}},
        {"test", '[' + with("null}", "\"TEST\"}") + ']', {}},
        {"unknown type", '[' + special + ',' + special + ']', {}, 1},
        {"no name", '[' + unnamed + ']', {QString(row).replace("Sylvania, Mount", "W7O/WV-096")}},
        {"one broken", '[' + with("\"KK7ER\"", "7") + ",3," + spot + ']', {row}, 2},
        {"all broken",
         '[' + with("\"cw\"", "1") + ']',
         {},
         1,
         "None of the 1 SOTA spots could be read; see the diagnostic lines"},
        {"not a list", "<html>", {}, 1, "The SOTA spot API did not answer with a list of spots"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const feeds::Parsed<core::SotaSpot> parsed = feeds::parseSotaApiSpots(c.body, kNow);
        EXPECT_EQ(joined(parsed.rows), c.rows);
        EXPECT_EQ(parsed.diagnostics.size(), c.diagnostics)
            << parsed.diagnostics.join('\n').toStdString();
        EXPECT_EQ(parsed.notice, c.notice);
    }
}

// A retired address answers with a stub element, alone or before the spots.
TEST(SotaLegacy, TheDeprecationStubIsNoRowButANotice) {
    const QByteArray stub =
        R"({"id":9999999999999999,"timeStamp":"2026-08-13T00:00:00","comments":"This API endpoint)"
        R"( is deprecated","callsign":"DEPRECATED","associationCode":"DEPRECATED",)"
        R"("summitCode":"DEPRECATED","activatorCallsign":"DEPRECATED","frequency":""})";
    const QByteArray legacy = fixture("sota-spots.json");
    const qsizetype spots = feeds::parseSotaSpots(legacy, kNow).rows.size();
    ASSERT_GT(spots, 0);
    for (const QByteArray& body :
         {'[' + stub + ']', '[' + stub + ',' + legacy.mid(legacy.indexOf('{'))}) {
        const auto parsed = feeds::parseSotaSpots(body, kNow);
        EXPECT_EQ(parsed.rows.size(), body.size() > stub.size() + 2 ? spots : 0);
        EXPECT_EQ(parsed.notice, feeds::kSotaDeprecatedNotice);
        EXPECT_EQ(parsed.diagnostics, QStringList{"SOTA spots: " + feeds::kSotaDeprecatedNotice});
    }
}

TEST(SotaCluster, LinesGiveSpotsKeptThreeHoursOnePerActivatorAndSummit) {
    const QList<QByteArray> real = fixture("sota-cluster-lines.txt").split('\n');
    const std::pair<QString, QString> cases[] = {
        {real[0], "K1GC|14.054|W1/DI-009|CW|1024|0"},
        {real[1], "K2CPT|146.52|W2/GA-026|SSB|1039|0"},
        {real[2], "KX0R|7.12|W0C/SR-046|SSB|1035|0"},
        {real[3], ""},
        {"DX de W1AW-#:  7032.5  ea8/dl1abc/p  (g/ld-001) ssb 0930Z JN58\r\a",
         "EA8/DL1ABC/P|7.0325|G/LD-001|SSB|570|0"},
        {"DX de K1GC: 14062 K1GC W1/DI-009 ft8 1704Z", "K1GC|14.062|W1/DI-009|FT8|1024|0"},
        {"DX de K1GC: 14075 K1GC W1/DI-009 1704Z", "K1GC|14.075|W1/DI-009|FT8|1024|0"},
        {"DX de K1GC: 10120 K1GC QRT, thanks 2359Z", "K1GC|10.12||CW|1439|1"},
        {"DX de K1GC: 14054 K1GC W1/DI-009 2460Z", ""},
        {"DX de K1GC: 14054 <script> W1/DI-009 1704Z", ""},
        {"WWV de VE7CC <18>:   SFI=68, A=4, K=1", ""},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line.toStdString());
        const auto spot = feeds::parseClusterLine(line);
        const QString got =
            !spot ? QString()
                  : QStringLiteral("%1|%2|%3|%4|%5|%6")
                        .arg(spot->activator, spot->frequency, spot->summit, spot->mode)
                        .arg(spot->minuteOfDay)
                        .arg(int(spot->qrt));
        EXPECT_EQ(got, expected);
    }

    // Spots are kept three hours, one per activator and summit, newest first.
    const QDateTime now(QDate(2026, 10, 6), QTime(1, 0), QTimeZone::utc());
    feeds::ClusterSpots spots;
    for (const char* line :
         {"DX de A: 14054 K1GC W1/DI-009 0050Z", "DX de A: 7032 K1GC W1/DI-009 0055Z",
          "DX de A: 14054 K1GC W1/DI-009 0040Z", "DX de A: 7120 KX0R W0C/SR-046 2330Z",
          "DX de A: 7120 AA1AA W1/AA-001 2130Z", "DX de A: 146520 K2CPT W2/GA-026 0058Z",
          "DX de A: 7030 N1XYZ W1/DI-001 0020Z", "DX de A: 7030 N1XYZ qrt 0030Z",
          "DX de A: 7030 W1ABC W1/AB-002 0105Z"})
        spots.add(*feeds::parseClusterLine(QString::fromLatin1(line)), now);
    EXPECT_EQ(joined(spots.rows(now)),
              (QStringList{"W1ABC||7.03|CW|W1/AB-002|W1/AB-002|W1/AB-002| | |0",
                           "K1GC||7.032|CW|W1/DI-009|W1/DI-009|W1/DI-009| | |5",
                           "KX0R||7.12|SSB|W0C/SR-046|W0C/SR-046|W0C/SR-046| | |90"}));
    EXPECT_TRUE(spots.rows(now.addSecs(4 * 3600)).isEmpty());
}

TEST(ListStatus, SaysRowsTimeAndWhy) {
    const QDateTime at(QDate(2026, 8, 5), QTime(14, 5, 30), QTimeZone::utc());
    const std::pair<session::ListStatus, QString> cases[] = {
        {{}, "Not loaded yet"},
        {{12, at}, "12 rows, loaded 14:05 UTC"},
        {{1, at}, "1 row, loaded 14:05 UTC"},
        {{0, at, "HTTP 503 from www.netlogger.org"},
         "No rows (14:05 UTC): HTTP 503 from www.netlogger.org"},
        {{0, at, {}, "Deprecated"}, "No rows, loaded 14:05 UTC. Deprecated"},
        {{3, at, {}, {}, at.addSecs(40)},
         "3 rows, loaded 14:05 UTC. Not reloaded at 14:06 UTC: asked less than a minute before"},
    };
    for (const auto& [status, text] : cases)
        EXPECT_EQ(session::statusText(status), text);
}

TEST(RequestPolicy, UserAgentPausesAndTheMinuteRule) {
    QDateTime t = kNow;
    net::RequestPolicy policy([&t] { return t; });
    const QByteArray plain = policy.userAgent();
    EXPECT_TRUE(plain.startsWith("Bandhopper/0.") && !plain.contains(' ')) << plain.data();
    policy.setCallsign(u" n0call ");
    EXPECT_EQ(policy.userAgent(), plain + " (N0CALL)");
    policy.setCallsign(u"N0CALL\r\nX-Evil: 1");
    EXPECT_EQ(policy.userAgent(), plain);

    const std::pair<const char*, std::optional<QDateTime>> waits[] = {
        {"120", t.addSecs(120)},
        {"Wed, 05 Aug 2026 22:30:00 GMT", t.addSecs(1800)},
        {"Wed Aug  5 22:30:00 2026", t.addSecs(1800)},
        {"99999999999999999999", t.addDays(1)},
        {"Wed, 05 Aug 2026 21:00:00 GMT", t},
        {"-5", std::nullopt},
        {"soon", std::nullopt},
    };
    for (const auto& [value, until] : waits)
        EXPECT_EQ(net::retryAfterInstant(value, t), until) << value;

    const QUrl pota("https://api.pota.app/spot/activator");
    EXPECT_FALSE(policy.noteAnswer(pota, 500, "120").isValid());
    EXPECT_EQ(policy.noteAnswer(pota, 429, "90"), t.addSecs(90));
    EXPECT_EQ(policy.notBefore(QUrl("https://api.pota.app/other")), t.addSecs(90));
    EXPECT_FALSE(policy.notBefore(QUrl("https://www.netlogger.org/")).isValid());
    t = t.addSecs(90);
    EXPECT_FALSE(policy.notBefore(pota).isValid());

    // A clock set back must not silence the feed; the minute itself is proven on loopback.
    policy.noteAsked("pota");
    t = t.addSecs(-10);
    EXPECT_TRUE(policy.mayAskAutomatically("pota"));
}
