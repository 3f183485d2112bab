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

TEST_F(Lists, TheSotaApiListIsAskedForOnlyWhenItsEpochChanged) {
    server.route("/api/spots/epoch", {200, "1722895578\n"});
    server.route("/api/spots/-3/all/all", {200, fixture("sota-api-element.json")});
    lists.setSpotSources({feeds::SotaSource::Api, feeds::kSotaCluster, "N0CALL"});
    nam.policy().setCallsign(u"N0CALL");
    for (int load = 0; load < 2; ++load) {
        EXPECT_EQ(this->load(ListKind::Sota), "");
        EXPECT_EQ(lists.rows<core::SotaSpot>().rows().value(0).summitName, "Sylvania, Mount");
    }
    EXPECT_EQ(server.count("/api/spots/epoch"), 2);
    EXPECT_EQ(server.count("/api/spots/-3/all/all"), 1);
    server.route("/api/spots/epoch", {200, "1722895600"});
    EXPECT_EQ(load(ListKind::Sota), "");
    EXPECT_EQ(server.count("/api/spots/-3/all/all"), 2);
    for (const LoopbackServer::Request& request : server.requests())
        EXPECT_EQ(request.header("User-Agent"),
                  "Bandhopper/" + QByteArray(BANDHOPPER_VERSION) + " (N0CALL)");

    server.route("/api/spots/epoch", {404, "gone"});
    EXPECT_EQ(load(ListKind::Sota), "HTTP 404 from 127.0.0.1");
    EXPECT_EQ(lists.model(ListKind::Sota)->rowCount(), 0);
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
