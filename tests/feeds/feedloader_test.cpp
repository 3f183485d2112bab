#include "feeds/feedloader.h"

#include "fixtures.h"
#include "loopbackserver.h"
#include "printers.h"
#include "waitfor.h"

#include <QNetworkAccessManager>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

using namespace feeds;

namespace {

// The captures of every list, each served at its own path and read into rows; the deadline
// itself and the failure texts are proven with the fetch.
TEST(FeedLoader, EachListFromItsPathIntoRows) {
    // The directory service's host is whatever the build names, usually none.
    static const QByteArray serviceHost =
        QUrl(QStringLiteral(BANDHOPPER_MAKER_URL)).host().toUtf8();
    const char* const kServiceHost = serviceHost.constData();
    // The list, its real host (none for the directory service unless a build names one), its
    // capture, the rows it gives (POTA: 70 spots, 16 QRT; SOTA: 20 spots, 3 on 2 m) and the first
    // of them.
    const std::tuple<ListKind, const char*, const char*, qsizetype, QString> cases[] = {
        {ListKind::Pota, "api.pota.app", "pota-activator-spots.json", 54,
         "JQ2DUX/2|7006.5|CW|RBN 27 dB 19 WPM via JN1ILK-#|Shinshiro General Prefectural "
         "Park|0|34.9371|137.542|JP-AI|JP-1463"},
        {ListKind::Sota, "api2.sota.org.uk", "sota-spots.json", 17,
         "7N1FRE/1|KAZ|21.062|CW|[RBNHole] at JK1QLQ 22 WPM 20 dB "
         "SNR|GM-084|Higashimikaboyama|1246m|8 points|4"},
        {ListKind::NetLogger, "www.netlogger.org", "netlogger-active-nets.xml", 7,
         "NATA 40m Net|7.187|SSB|39"},
        {ListKind::Nets, kServiceHost, "nets-directory.txt", 4,
         "Maritime Mobile Service Net|14.300|1600-0200|USB|https://nets.example/mmsn|12|101"},
        {ListKind::MW, kServiceHost, "mw-stations.txt", 4,
         "WABC|770|New York, NY|50|https://radio.example/wabc"},
    };
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    const core::ServiceHosts hosts = core::ServiceHosts::allAt(server.baseUrl());
    const QDateTime now(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
    QNetworkAccessManager nam;
    std::vector<std::unique_ptr<FeedLoader>> loaders;
    QList<LoadedList> shown(std::size(cases));
    int loaded = 0;
    QStringList diagnostics;
    const auto load = [&](ListKind list, const QUrl& url) {
        auto& loader = loaders.emplace_back(std::make_unique<FeedLoader>(list, &nam));
        loader->setDeadlineMs(300);
        QObject::connect(
            loader.get(), &FeedLoader::shown,
            [&, i = loaders.size() - 1](const LoadedList& l) { shown[i] = l, ++loaded; });
        QObject::connect(loader.get(), &FeedLoader::diagnostic,
                         [&](const QString& line) { diagnostics.append(line); });
        loader->start(url, now);
    };
    for (const auto& [list, host, file, rows, first] : cases) {
        server.route(feedPath(list).toUtf8(), {200, fixture(file)});
        load(list, feedUrl(list, hosts));
    }
    ASSERT_TRUE(waitFor([&] { return loaded == shown.size(); }, 5000));

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [list, host, file, rows, first] = cases[i];
        EXPECT_EQ(feedUrl(list, core::ServiceHosts{}).host(), host);
        EXPECT_EQ(shown[i].failure, "") << file;
        ASSERT_EQ(rowCount(shown[i].rows), rows) << file;
        EXPECT_EQ(
            std::visit([](const auto& l) { return core::columns(l[0]).join(u'|'); }, shown[i].rows),
            first);
    }
    EXPECT_EQ(diagnostics, QStringList());

    // The maker's lists change with every confirmation, so only they bypass caches.
    for (const LoopbackServer::Request& request : server.requests()) {
        const bool uncached = request.path == "/nets.php" || request.path == "/mw.php";
        EXPECT_EQ(request.header("Cache-Control") == "no-cache", uncached) << request.path.data();
    }
}

} // namespace
