#include "feeds/feedloader.h"

#include "loopbackserver.h"
#include "testing.h"

#include <QNetworkAccessManager>
#include <QTimeZone>

using namespace feeds;

// The captures of every list, each served at its own path and read into rows; the deadline
// itself and the failure texts are proven with the fetch.
TEST(FeedLoader, EachListFromItsPathIntoRows) {
    // The directory service's host is whatever the build names, usually none.
    const QString serviceHost = QUrl(QStringLiteral(BANDHOPPER_MAKER_URL)).host();
    // The list, its real host, its capture, the rows it gives (POTA: 70 spots, 16 QRT; SOTA: 20
    // spots, 3 on 2 m) and the first of them.
    const std::tuple<ListKind, QString, const char*, qsizetype, QString> cases[] = {
        {ListKind::Pota, "api.pota.app", "pota-activator-spots.json", 54,
         "JQ2DUX/2|7006.5|CW|RBN 27 dB 19 WPM via JN1ILK-#|Shinshiro General Prefectural "
         "Park|0|34.9371|137.542|JP-AI|JP-1463"},
        {ListKind::Sota, "api2.sota.org.uk", "sota-spots.json", 17,
         "7N1FRE/1|KAZ|21.062|CW|[RBNHole] at JK1QLQ 22 WPM 20 dB "
         "SNR|GM-084|Higashimikaboyama|1246m|8 points|4"},
        {ListKind::Wwff, "spots.wwff.co", "wwff-spots-elements.json", 2,
         "F4ILK/P|7006|CW|FFF-3970|CAVITES SOUTERRAINES LE BUISSON|-793912|Auto-spotted via RBN"},
        {ListKind::NetLogger, "www.netlogger.org", "netlogger-active-nets.xml", 7,
         "NATA 40m Net|7.187|SSB|39"},
        {ListKind::Nets, serviceHost, "nets-directory.txt", 4,
         "Maritime Mobile Service Net|14.300|1600-0200|USB|https://nets.example/mmsn|12|101"},
        {ListKind::MW, serviceHost, "mw-stations.txt", 4,
         "WABC|770|New York, NY|50|https://radio.example/wabc"},
    };
    LoopbackServer server;
    QNetworkAccessManager nam;
    for (const auto& [list, host, file, rows, first] : cases) {
        SCOPED_TRACE(file);
        EXPECT_EQ(feedUrl(list, core::ServiceHosts{}).host(), host);
        server.route(feedPath(list).toUtf8(), {200, fixture(file)});
        FeedLoader loader(list, &nam);
        loader.setDeadlineMs(100);
        QSignalSpy shown(&loader, &FeedLoader::shown);
        QSignalSpy diagnostics(&loader, &FeedLoader::diagnostic);
        loader.start(feedUrl(list, core::ServiceHosts::allAt(server.baseUrl())),
                     QDateTime(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc()));
        ASSERT_TRUE(shown.wait(2000));
        const LoadedList loaded = shown[0][0].value<LoadedList>();
        EXPECT_EQ(loaded.failure, "");
        ASSERT_EQ(rowCount(loaded.rows), rows);
        EXPECT_EQ(
            std::visit([](const auto& l) { return core::columns(l[0]).join(u'|'); }, loaded.rows),
            first);
        EXPECT_TRUE(diagnostics.isEmpty());
        // The maker's lists change with every confirmation, so only they bypass caches.
        EXPECT_EQ(server.requests().last().header("Cache-Control") == "no-cache",
                  list == ListKind::Nets || list == ListKind::MW);
    }
}
