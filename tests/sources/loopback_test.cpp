// The lists session on loopback with the application's network: the epoch rule of the current
// SOTA API, pauses asked for with Retry-After, the User-Agent, and the once-a-minute rule.
#include "loopbackserver.h"
#include "net/politeness.h"
#include "session/listssession.h"
#include "testing.h"

#include <QTimeZone>

using core::ListKind;

class Lists : public ::testing::Test {
protected:
    void SetUp() override { lists.setDeadlineMs(150); }
    // Loads the list and waits for it to be shown; its failure text.
    QString load(ListKind list, session::LoadReason reason = session::LoadReason::Operator) {
        QSignalSpy shown(&lists, &session::ListsSession::listShown);
        lists.load(list, now, reason);
        return shown.wait(2000) ? shown[0][1].toString() : QStringLiteral("not shown");
    }

    LoopbackServer server;
    QDateTime now = QDateTime(QDate(2026, 8, 5), QTime(22, 0), QTimeZone::utc());
    net::PoliteNetworkAccess nam{[this] { return now; }};
    QStringList out;
    session::ListsSession lists{&nam, core::ServiceHosts::allAt(server.baseUrl()),
                                [this](const QString& line) { out << line; }};
};

// Two spots in the order the API happened to send them: the older first.
static QByteArray twoApiSpots() {
    QByteArray older = fixture("sota-api-element.json").trimmed();
    QByteArray newer = QByteArray(older).replace("21:46:18", "21:50:00").replace("KK7ER", "W7NEW");
    return older.chopped(1) + ',' + newer.mid(1);
}

TEST_F(Lists, TheSotaApiIsAskedOnceAMinuteEpochFirstAndListsTheNewestFirst) {
    server.route("/api/spots/epoch", {200, "1722895578\n"});
    server.route("/api/spots/-3/all/all", {200, twoApiSpots()});
    nam.policy().setCallsign(u"N0CALL");
    lists.setSpotSources({feeds::SotaSource::Api, feeds::kSotaCluster, "N0CALL"});
    const auto calls = [this] {
        QStringList calls;
        for (const core::SotaSpot& row : lists.rows<core::SotaSpot>().rows())
            calls << row.activatorCallsign;
        return calls;
    };
    EXPECT_EQ(load(ListKind::Sota), "");
    EXPECT_EQ(calls(), (QStringList{"W7NEW", "KK7ER"}));

    // The operator's refresh within the minute keeps the rows and says when the next may go.
    lists.load(ListKind::Sota, now);
    EXPECT_TRUE(lists.statusText(ListKind::Sota)
                    .endsWith("SOTA asks for one request a minute; next at 22:01:00 UTC"))
        << lists.statusText(ListKind::Sota).toStdString();
    EXPECT_EQ(calls().size(), 2);
    EXPECT_EQ(server.count("/api/spots/epoch"), 1);

    now = now.addSecs(60);
    EXPECT_EQ(load(ListKind::Sota), "");
    EXPECT_EQ(server.count("/api/spots/-3/all/all"), 1) << "the epoch did not change";
    server.route("/api/spots/epoch", {200, "1722895600"});
    now = now.addSecs(60);
    EXPECT_EQ(load(ListKind::Sota), "");
    EXPECT_EQ(server.count("/api/spots/-3/all/all"), 2);
    for (const LoopbackServer::Request& request : server.requests())
        EXPECT_EQ(request.header("User-Agent"),
                  "Bandhopper/" + QByteArray(BANDHOPPER_VERSION) + " (N0CALL)");

    // The epoch and the list each have the whole deadline (150 ms here).
    server.route("/api/spots/epoch", {.status = 200, .body = "1722895700", .delayMs = 100});
    server.route("/api/spots/-3/all/all",
                 {.status = 200, .body = fixture("sota-api-element.json"), .delayMs = 100});
    now = now.addSecs(60);
    EXPECT_EQ(load(ListKind::Sota), "");
    EXPECT_EQ(calls(), QStringList{"KK7ER"});

    server.route("/api/spots/epoch", {404, "gone"});
    now = now.addSecs(60);
    EXPECT_EQ(load(ListKind::Sota), "HTTP 404 from 127.0.0.1");
    EXPECT_EQ(calls(), QStringList{"KK7ER"}) << "the last good rows stay";
}

// Without a choice the current API is read; a stored legacy choice that meets the retired
// address switches once, for good, and says so.
TEST_F(Lists, TheRetiredLegacyAddressGivesWayToTheCurrentApi) {
    EXPECT_EQ(lists.spotSources().source, feeds::SotaSource::Api);
    server.route("/api/spots/-3/all", {200, R"([{"activatorCallsign":"DEPRECATED",)"
                                            R"("associationCode":"DEPRECATED","frequency":""}])"});
    server.route("/api/spots/epoch", {200, "1722895578"});
    server.route("/api/spots/-3/all/all", {200, fixture("sota-api-element.json")});
    lists.setSpotSources({feeds::SotaSource::Legacy, feeds::kSotaCluster, {}});
    QSignalSpy switched(&lists, &session::ListsSession::spotSourcesSwitched);
    EXPECT_EQ(load(ListKind::Sota), "");
    ASSERT_EQ(switched.size(), 1);
    EXPECT_EQ(switched[0][0].value<feeds::SotaSourceSettings>().source, feeds::SotaSource::Api);
    EXPECT_EQ(lists.rows<core::SotaSpot>().rows().value(0).summitName, "Sylvania, Mount");
    EXPECT_EQ(lists.statusText(ListKind::Sota),
              "1 row, loaded 22:00 UTC. SOTA's old address is retired; now reading the current "
              "SOTA API. SOTA asks programs to name their operator: set your callsign in "
              "Preferences, Station…");
    EXPECT_EQ(server.count("/api/spots/-3/all"), 1);
}

// A reload that fails or comes late leaves the rows of the last good load, untouched, and the
// status line says whence they are; a list that never loaded stays empty with the reason.
TEST_F(Lists, AFailedOrLateReloadKeepsTheLastGoodRows) {
    server.route("/spot/activator", {500, "down"});
    EXPECT_EQ(load(ListKind::Pota), "HTTP 500 from 127.0.0.1");
    EXPECT_EQ(lists.statusText(ListKind::Pota), "No rows (22:00 UTC): HTTP 500 from 127.0.0.1");
    server.route("/spot/activator", {200, fixture("pota-activator-spots.json")});
    EXPECT_EQ(load(ListKind::Pota), "");
    const int rows = lists.model(ListKind::Pota)->rowCount();
    ASSERT_GT(rows, 0);
    QSignalSpy reset(lists.model(ListKind::Pota), &QAbstractItemModel::modelReset);
    QSignalSpy status(&lists, &session::ListsSession::statusChanged);
    for (const LoopbackServer::Response& reply : {LoopbackServer::Response{503, "busy"},
                                                  {200, "<html>Sorry</html>"},
                                                  {.body = "[]", .delayMs = 400}}) {
        server.route("/spot/activator", reply);
        now = now.addSecs(120);
        EXPECT_NE(load(ListKind::Pota), "") << reply.body.data();
    }
    EXPECT_EQ(lists.model(ListKind::Pota)->rowCount(), rows);
    EXPECT_TRUE(reset.isEmpty()) << "the operator's selection stays";
    EXPECT_EQ(status.last()[1].toString(),
              QString::number(rows) + " rows from the earlier load at 22:00 UTC; the load at "
                                      "22:06 UTC failed: no reply from 127.0.0.1 within 0.15 s");
}

TEST_F(Lists, AHostThatAskedForAPauseIsNotAskedUntilItPasses) {
    server.route("/spot/activator",
                 {.status = 503, .body = "busy", .extraHeaders = "Retry-After: 120\r\n"});
    const QString wait = "127.0.0.1 asked us to wait until 22:02 UTC";
    EXPECT_EQ(load(ListKind::Pota), wait);
    EXPECT_EQ(load(ListKind::Pota), wait) << "the operator's refresh waits too";
    EXPECT_EQ(server.count("/spot/activator"), 1);
    now = now.addSecs(120);
    server.route("/spot/activator", {200, "[]"});
    EXPECT_EQ(load(ListKind::Pota), "");
    EXPECT_EQ(server.count("/spot/activator"), 2);
}

TEST_F(Lists, NothingAutomaticAsksAPublicFeedTwiceWithinAMinute) {
    const std::tuple<ListKind, QByteArray, const char*> feeds[] = {
        {ListKind::NetLogger, "/api/GetActiveNets.php", "netlogger-active-nets.xml"},
        {ListKind::Wwff, "/static/spots.json", "wwff-spots-elements.json"}};
    for (const auto& [list, path, file] : feeds) {
        SCOPED_TRACE(file);
        server.route(path, {200, fixture(file)});
        EXPECT_EQ(load(list, session::LoadReason::Automatic), "");
        now = now.addSecs(59);
        lists.load(list, now, session::LoadReason::Automatic);
        EXPECT_TRUE(lists.statusText(list).endsWith("asked less than a minute before"));
        EXPECT_EQ(load(list), "") << "the operator's refresh goes out";
        now = now.addSecs(60);
        EXPECT_EQ(load(list, session::LoadReason::Automatic), "");
        EXPECT_EQ(server.count(path), 3) << "all but the one within the minute";
    }
}
