// The station as the window and the command line use it: start-up, settings, refreshes, the
// lists, Tune, confirmations and the update check, with faked platform pieces and every
// service on loopback.
#include "loopbackpeers.h"
#include "nets/operatorkey.h"
#include "stationrig.h"
#include "testing.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using core::ListKind;
using session::Refresh;

class StationTest : public ::testing::Test, protected StationRig {
protected:
    void SetUp() override { makeStation(); }
    session::Station& st() { return *station; }
};

// The remembered radio is shown and driven in its own family at its own address.
TEST_F(StationTest, StoredChoicesAreShownAppliedAndOutliveARestart) {
    settings->setValue("defaultRadio", "Icom IC-7300");
    settings->setValue("defaultPort", "ttyUSB1");
    settings->setValue("defaultBaud", "38400");
    settings->setValue("sounds", "0");
    makeStation();
    QSignalSpy radio(&st().radio(), &session::RadioSession::radioShown);
    QSignalSpy baud(&st().radio(), &session::RadioSession::baudShown);
    st().start();
    EXPECT_EQ(radio.value(0).value(0).toString(), "Icom IC-7300");
    EXPECT_EQ(baud.value(0).value(0).toInt(), 38400);
    EXPECT_TRUE(out.contains("38400"));
    EXPECT_EQ(st().radio().familyCode + ' ' + st().radio().civAddress, "I 94");
    EXPECT_FALSE(st().preferences().soundsOn());
    EXPECT_TRUE(st().preferences().voiceOn());
    // The shown port is the one Connect opens, at the shown rate.
    ASSERT_NE(st().radio().link(), nullptr);
    EXPECT_EQ(st().radio().link()->description(), "ttyUSB1");
    EXPECT_EQ(ports.lastLink->baudRate(), 38400);

    st().preferences().setVoice(false);
    st().preferences().setSounds(true);
    for (const auto& [title, line] :
         {std::pair{"Icom IC-7300", "I 94"}, {"Yaesu FT-710", "Y 00"}}) {
        st().radio().chooseRadio(int(st().radio().radioTitles().indexOf(title)), title);
        EXPECT_EQ(out.last(), line);
    }
    makeStation();
    st().start();
    EXPECT_FALSE(st().preferences().voiceOn());
    EXPECT_TRUE(st().preferences().soundsOn());
    EXPECT_EQ(settings->value("defaultRadio").toString(), "Yaesu FT-710");
    st().announce("CQ");
    EXPECT_TRUE(speech.spoken.isEmpty()) << "the voice guide is off";
}

// The first start turns the switches on and fetches everything once, a second start nothing;
// each refresh reloads its list and plays Funk.
TEST_F(StationTest, FirstStartFetchesEverythingOnceAndRefreshesReloadTheirList) {
    server.route("/spot/activator", {200, "[]"});
    server.route("/api/spots/epoch", {200, "1"});
    st().setDeadlineMs(300);
    QSignalSpy shown(&st().radio(), &session::RadioSession::radioShown);
    st().start();
    EXPECT_TRUE(st().preferences().voiceOn());
    EXPECT_TRUE(st().preferences().soundsOn());
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(st().radio().link(), nullptr);
    ASSERT_TRUE(waitFor([&] { return server.requests().size() >= 9; }, 3000));
    st().start();
    settle(400);
    // Fresh settings read SOTA from its current API.
    for (const char* path :
         {"/spot/activator", "/api/GetActiveNets.php", "/api/spots/epoch", "/api/spots/-3/all/all",
          "/static/spots.json", "/nets.php", "/mw.php", "/solarxml.php", "/bandhopper/version.txt"})
        EXPECT_EQ(server.count(path), 1) << path;
    EXPECT_TRUE(sounds.played.isEmpty());
    st().refresh(Refresh::Conditions);
    st().refresh(Refresh::Pota);
    ASSERT_TRUE(waitFor([&] { return sounds.played.size() == 2; }, 2000));
    EXPECT_EQ(sounds.played, (QStringList{"Funk", "Funk"}));
    EXPECT_EQ(server.count("/solarxml.php"), 2);
    EXPECT_EQ(server.count("/spot/activator"), 2);
    EXPECT_EQ(server.count("/mw.php"), 1) << "no refresh reloads the MW list";

    st().preferences().setSounds(false);
    st().refresh(Refresh::Nets);
    ASSERT_TRUE(waitFor([&] { return server.count("/nets.php") == 2; }, 1000));
    settle(400);
    EXPECT_EQ(sounds.played.size(), 2) << "sounds off: no Funk";
    st().showHelp();
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0].path(), "/bandhopper/");
}

TEST_F(StationTest, ListsFillSideBySideAndTuneReadsTheirRows) {
    serveEverything();
    server.route("/mw.php", {200, kStations + "<Station>BAD</Station><Frequency>20000</Frequency>"
                                              "<City>x</City><Power>1</Power><URL></URL>\n"});
    QElapsedTimer clock;
    clock.start();
    st().start();
    ASSERT_TRUE(allShown(3000));
    EXPECT_LT(clock.elapsed(), 2800) << "the loads run side by side, not one after another";

    st().radio().choosePort("ttyUSB0");
    st().radio().openOrClose();
    FakeLink* link = ports.lastLink;
    st().tune(ListKind::Sota, 0);
    EXPECT_EQ(link->written, (QList<QByteArray>{"FA007032000;SS0640000;", "FA;"}));
    EXPECT_EQ(speech.spoken, QStringList{"Mount Si"});
    EXPECT_EQ(st().cmd, "FA007032000;SS0640000;");
    // A row that a reload removed, or a frequency no radio can take, sends and says nothing.
    st().tune(ListKind::Pota, 7);
    st().tune(ListKind::MW, 2);
    EXPECT_EQ(link->written.size(), 2);
    EXPECT_EQ(out.last(), "Cannot tune 20000");
    EXPECT_EQ(speech.spoken.size(), 1);
}

TEST_F(StationTest, ConfirmationsAnnounceTheAnswerThenReloadTheDirectory) {
    nets::OperatorKeyStore store(settings.get());
    store.setKeychainTimeoutMs(200);
    keys = &store;
    makeStation();
    serveEverything();
    server.route("/netconf.php", {200, "ok"});
    st().setDeadlineMs(300);
    st().start();
    ASSERT_TRUE(allShown(2000));
    // Before the key has been read nothing goes out: it would carry an empty key.
    EXPECT_FALSE(st().confirmationsReady());
    st().confirm(1, true);
    settle(100);
    EXPECT_EQ(server.count("/netconf.php"), 0);
    QSignalSpy ready(&st(), &session::Station::confirmationsReadyChanged);
    store.load();
    ASSERT_TRUE(ready.wait(2000));
    ASSERT_TRUE(store.key().isEmpty());

    const int loads = server.count("/nets.php");
    st().confirm(1, true);
    EXPECT_TRUE(speech.spoken.isEmpty()) << "said only once the service has answered";
    ASSERT_TRUE(waitFor([&] { return server.count("/nets.php") == loads + 1; }, 2000));
    EXPECT_EQ(speech.spoken.last(), "thank you for confirming Noon Net");
    // An operator without a key gets one of their own, kept for next time.
    const QJsonObject body =
        QJsonDocument::fromJson(server.requests()[server.requests().size() - 2].body).object();
    EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9_-]{22}$").match(store.key()).hasMatch());
    EXPECT_EQ(body, (QJsonObject{{"key", store.key()}, {"net_id", "43"}, {"action", 1}}));
}

TEST_F(StationTest, AnUnusableServiceAddressOnlySaysSo) {
    core::ServiceHosts hosts = core::ServiceHosts::allAt(server.baseUrl());
    hosts.maker = QUrl("nets.example");
    makeStation(hosts).preferences().restoreSwitches();
    st().setDeadlineMs(200);
    st().lists().rows<core::DirectoryNet>().setRows({{"Net", "7.2", "", "", "", "", "1"}});
    st().confirm(0, true);
    settle(300);
    EXPECT_EQ(out, QStringList{"net confirmation not sent for Net: \"nets.example\" is not a web "
                               "address"});
    EXPECT_TRUE(speech.spoken.isEmpty());
    EXPECT_EQ(rowsOf(ListKind::Nets), 1) << "and no reload";
}

TEST_F(StationTest, OnlyAnotherPublishedVersionRaisesTheNoticeOnce) {
    server.route("/bandhopper/version.txt", {200, "0.94\n"});
    QSignalSpy alerts(&st(), &session::Station::updateAvailable);
    QSignalSpy checked(&st(), &session::Station::versionChecked);
    st().start();
    ASSERT_TRUE(checked.wait(3000));
    settle(300);
    EXPECT_EQ(alerts.size(), 1);
    st().downloadInstaller();
    EXPECT_EQ(browser.opened.value(0).path(), "/bandhopper/Installer.dmg");
}

// Services that cannot be reached, or not trusted: every list and the panel stay empty, each
// failure is one line, and nothing else breaks.
TEST_F(StationTest, UnreachableAndUntrustedServicesLeaveTheirListsEmpty) {
    const QUrl dead(QStringLiteral("http://127.0.0.1:%1").arg(freePort()));
    LoopbackServer tls;
    ASSERT_TRUE(tls.listenTls(fixturePath("tls/loopback.crt"), fixturePath("tls/loopback.key")));
    tls.route("/spot/activator", {200, kPota, "application/json"});
    core::ServiceHosts hosts = core::ServiceHosts::allAt(dead);
    hosts.pota = tls.baseUrl();
    makeStation(hosts).setDeadlineMs(300);
    QSignalSpy shown(&st().lists(), &session::ListsSession::listShown);
    QSignalSpy panel(&st(), &session::Station::conditionsShown);
    st().start();
    ASSERT_TRUE(waitFor([&] { return shown.size() == 6 && panel.size() == 1; }, 4000));
    for (ListKind list : core::kAllLists)
        EXPECT_EQ(rowsOf(list), 0);
    EXPECT_EQ(panel[0][0].value<conditions::PanelView>().title, "Band Conditions - ");
    for (const char* path : {"/api/spots/epoch", "/static/spots.json", "/api/GetActiveNets.php",
                             "/nets.php", "/mw.php", "/solarxml.php"})
        EXPECT_TRUE(out.contains("GET " + dead.toString() + path + " failed: Connection refused"))
            << path;
    EXPECT_EQ(out.filter("SSL").size(), 1) << out.join('\n').toStdString();
    for (const QList<QVariant>& settled : shown)
        EXPECT_TRUE(settled[0].value<ListKind>() != ListKind::Pota ||
                    settled[1].toString().startsWith("127.0.0.1: "));
    EXPECT_EQ(tls.count("/spot/activator"), 0) << "no request over the untrusted link";
}

// A watched callsign or reference is marked, said and notified in the load where it appears, and
// not again while it stays, failed loads between good ones included.
TEST_F(StationTest, AWatchedSpotIsAnnouncedOnceWhenItAppears) {
    st().preferences().restoreSwitches();
    st().setDeadlineMs(200);
    st().setWatchList("k2* US-9999 F4ILK*");
    QSignalSpy shown(&st().lists(), &session::ListsSession::listShown);
    QSignalSpy spotted(&st(), &session::Station::watchedSpotted);
    const QByteArray watched = QByteArray(kPota).replace(
        "}]", R"(}, {"activator":"K2XYZ","frequency":"7074","mode":"FT8","comments":"",
        "name":"Old Park","spotTime":"2030-01-01T00:00:00","latitude":1,"longitude":2,
        "locationDesc":"US-NY","reference":"US-0002"}])");
    for (const QByteArray& reply : {kPota, watched, QByteArray(), watched}) {
        server.route("/spot/activator", {reply.isEmpty() ? 500 : 200, reply, "application/json"});
        st().lists().load(ListKind::Pota);
        ASSERT_TRUE(shown.wait(2000));
    }
    ASSERT_EQ(spotted.size(), 1);
    EXPECT_EQ(spotted[0][1].toString(), "K2XYZ at US-0002 Old Park, 7.074 FT8");
    EXPECT_EQ(speech.spoken, QStringList{"K2XYZ at US-0002 Old Park, 7.074 FT8"});
    EXPECT_EQ(notifier.shown, QStringList{"Watched spot | K2XYZ at US-0002 Old Park, 7.074 FT8"});
    EXPECT_FALSE(
        st().lists().model(ListKind::Pota)->index(1, 0).data(session::HighlightRole).toBool())
        << "marked in its first load only";
    EXPECT_EQ(settings->value("watchList").toString(), "K2*\nUS-9999\nF4ILK*");
    server.route("/static/spots.json", {200, kWwff, "application/json"});
    st().lists().load(ListKind::Wwff);
    ASSERT_TRUE(spotted.wait(2000));
    EXPECT_EQ(spotted[1][1].toString(), "F4ILK/P at FFF-3970 Le Buisson, 7.006 CW");
    // With a screen reader running, it tells the next one and the voice guide keeps quiet; a
    // load the operator asked for is told, the automatic ones above were not.
    st().setScreenReaderActive(true);
    QSignalSpy told(&st(), &session::Station::loadTold);
    server.route("/spot/activator",
                 {200, QByteArray(watched).replace("US-0002", "US-9999"), "application/json"});
    st().refresh(session::Refresh::Pota);
    ASSERT_TRUE(shown.wait(2000));
    EXPECT_EQ(spotted.size(), 3);
    EXPECT_EQ(speech.spoken.size(), 2);
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0][1].toString(), "POTA: 2 spots");
}

// The Nets tab says when each net is next on; a reminder is spoken, notified and handed to the
// window once, the lead time before its session.
TEST_F(StationTest, ANetReminderIsSpokenNotifiedAndToldBeforeTheNetStarts) {
    QDateTime now = QDateTime::fromString("2024-06-03T15:50:00Z", Qt::ISODate);
    clock = [&now] { return now; };
    makeStation();
    serveEverything();
    st().preferences().restoreSwitches();
    st().setDeadlineMs(200);
    QSignalSpy shown(&st().lists(), &session::ListsSession::listShown);
    QSignalSpy due(&st(), &session::Station::reminderDue);
    st().lists().load(ListKind::Nets);
    ASSERT_TRUE(shown.wait(2000));
    auto* nets = st().lists().model(ListKind::Nets);
    EXPECT_TRUE(nets->index(0, nets->columnOf(u"next")).data().toString().endsWith(", in 10 min"));
    EXPECT_EQ(st().remind(0), "You will be reminded 5 minutes before Maritime Mobile starts");
    now = now.addSecs(5 * 60);
    st().reminders().check();
    st().reminders().check();
    const QString said = "Maritime Mobile starts in 5 minutes on 14.300";
    ASSERT_EQ(due.size(), 1);
    EXPECT_EQ(due[0][0].toString(), said);
    EXPECT_EQ(speech.spoken, QStringList{said});
    EXPECT_EQ(notifier.shown, QStringList{"Net reminder | " + said});
    // Within the lead time the reminder is due at once, and nothing is said after it.
    EXPECT_EQ(st().remind(0), "");
    ASSERT_EQ(due.size(), 2);
    EXPECT_EQ(due[1][0].toString(), "Maritime Mobile starts in 5 minutes on 14.300");
}
