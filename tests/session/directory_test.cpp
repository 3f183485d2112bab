// The application against its own directory service: what the service writes, the application
// reads back as the rows of its lists, and a confirmation made in the application shows in the
// next load of the directory.
#include "directory/records.h"
#include "nets/operatorkey.h"
#include "server/directoryserver.h"
#include "stationrig.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using core::ListKind;

namespace {

TEST(Directory, TheApplicationReadsWhatTheServiceWritesAndConfirmsThroughIt) {
    StationRig rig;
    server::ServerConfig config;
    config.database = server::DatabaseUrl::sqlite(rig.dir.filePath("directory.sqlite"));
    config.port = 0;
    server::DirectoryServer service(config);
    QString error;
    ASSERT_TRUE(service.start(&error)) << error.toStdString();
    nets::OperatorKeyStore keys(rig.settings.get());
    keys.setKeychainTimeoutMs(100);
    core::ServiceHosts hosts = core::ServiceHosts::allAt(rig.server.baseUrl());
    hosts.maker = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(service.port()));
    session::Platform platform = rig.platform(rig.settings.get(), &rig.nam, hosts, {});
    platform.keys = &keys;
    session::Station station(platform);
    station.preferences().restoreSwitches();
    station.setDeadlineMs(500);
    keys.load();
    QSignalSpy shown(&station.lists(), &session::ListsSession::listShown);
    station.lists().load(ListKind::Nets);
    station.lists().load(ListKind::MW);
    ASSERT_TRUE(waitFor([&] { return shown.size() == 2 && station.confirmationsReady(); }, 3000));

    // Every curated net and station, value for value (the nets in the order of their sessions).
    const auto csvNets = directory::readNetsCsv(directory::bundledNetsCsv()).rows;
    const auto& nets = station.lists().rows<core::DirectoryNet>().rows();
    ASSERT_EQ(nets.size(), csvNets.size());
    for (const directory::NetRecord& expected : csvNets) {
        const auto row = std::find_if(nets.begin(), nets.end(), [&](const auto& net) {
            return net.netId == QString::number(expected.id);
        });
        ASSERT_NE(row, nets.end()) << expected.name.toStdString();
        EXPECT_EQ(core::columns(*row),
                  (QStringList{expected.name, expected.frequencyMhz, expected.utc, expected.mode,
                               expected.url, "0", QString::number(expected.id)}));
    }
    const auto csvStations = directory::readStationsCsv(directory::bundledStationsCsv()).rows;
    const auto& stations = station.lists().rows<core::MwStation>().rows();
    ASSERT_EQ(stations.size(), csvStations.size());
    EXPECT_EQ(core::columns(stations.last()),
              (QStringList{csvStations.last().call, csvStations.last().frequencyKhz,
                           csvStations.last().city, csvStations.last().powerKw,
                           csvStations.last().url}));

    station.confirm(1, true);
    const QString confirmed = nets[1].netId;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& net : station.lists().rows<core::DirectoryNet>().rows())
                if (net.netId == confirmed)
                    return net.confirmed == "1";
            return false;
        },
        3000));
    EXPECT_EQ(rig.speech.spoken.last(), "thank you for confirming " + nets[1].name);
}

// Where no service is set, the tabs show the bundled lists and nothing is confirmed.
TEST(Directory, WithoutAServiceTheBundledListsShow) {
    StationRig rig;
    core::ServiceHosts hosts = core::ServiceHosts::allAt(rig.server.baseUrl());
    hosts.maker = QUrl();
    session::Station station(rig.platform(rig.settings.get(), &rig.nam, hosts, {}));
    QSignalSpy shown(&station.lists(), &session::ListsSession::listShown);
    station.lists().load(ListKind::Nets);
    station.lists().load(ListKind::MW);
    ASSERT_TRUE(waitFor([&] { return shown.size() == 2; }, 1000));
    EXPECT_EQ(station.lists().model(ListKind::MW)->rowCount(),
              directory::readStationsCsv(directory::bundledStationsCsv()).rows.size());
    ASSERT_GT(station.lists().model(ListKind::Nets)->rowCount(), 0);
    EXPECT_EQ(station.lists().rows<core::DirectoryNet>().rows().first().confirmed, "");
    EXPECT_FALSE(station.confirmationsReady());
    EXPECT_EQ(rig.server.requests().size(), 0);
}

} // namespace
