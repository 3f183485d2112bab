// The application and its own directory service agree: what the service writes, the application
// reads back value for value, and the confirmation the application sends is one the service takes.
#include "directory/linetext.h"
#include "directory/records.h"
#include "feeds/textfeed.h"
#include "nets/netconfirm.h"
#include "nets/operatorkey.h"
#include "server/confirmation.h"
#include "server/directoryserver.h"
#include "stationrig.h"
#include "testing.h"

using core::ListKind;

// Each row as its columns joined by '|'.
template <class Row> static QStringList joined(const QList<Row>& rows) {
    QStringList texts;
    for (const Row& row : rows)
        texts << core::columns(row).join(u'|');
    return texts;
}

TEST(Directory, TheApplicationReadsWhatTheServiceWritesAndSendsWhatItTakes) {
    QList<directory::ListedNet> listed;
    QStringList nets, stations;
    for (const directory::NetRecord& n : directory::readNetsCsv(directory::bundledNetsCsv()).rows) {
        listed.append({n, int(listed.size())});
        nets << QStringList{n.name,
                            n.frequencyMhz,
                            n.utc,
                            n.mode,
                            n.url,
                            QString::number(listed.last().confirmed),
                            QString::number(n.id)}
                    .join(u'|');
    }
    const auto mw = directory::readStationsCsv(directory::bundledStationsCsv()).rows;
    for (const directory::StationRecord& s : mw)
        stations << QStringList{s.call, s.frequencyKhz, s.city, s.powerKw, s.url}.join(u'|');
    const auto read = [](const QByteArray& text) { return feeds::decodeFeedText(text); };
    EXPECT_EQ(joined(feeds::parseNetsDirectory(read(directory::netsDirectoryText(listed)))), nets);
    EXPECT_EQ(joined(feeds::parseMWStations(read(directory::stationsText(mw)))), stations);

    // A key as the application makes them.
    const QString key = "Ab-_0123456789abcdefgh";
    for (const bool confirm : {true, false}) {
        const auto parsed = server::parseConfirmation(nets::confirmBody(key, "42", confirm));
        const auto* taken = std::get_if<server::Confirmation>(&parsed);
        ASSERT_TRUE(taken);
        EXPECT_TRUE(taken->key == key && taken->netId == "42" && taken->confirm == confirm);
    }
}

// End to end: the station confirms through the real service, and the directory it loads again
// shows the new count.
TEST(Directory, AConfirmationThroughTheServiceShowsInTheReloadedDirectory) {
    StationRig rig;
    server::ServerConfig config;
    config.database = server::DatabaseUrl::sqlite(rig.dir.filePath("directory.sqlite"));
    config.port = 0;
    server::DirectoryServer service(config);
    QString error;
    ASSERT_TRUE(service.start(&error)) << error.toStdString();
    core::ServiceHosts hosts = core::ServiceHosts::allAt(rig.server.baseUrl());
    hosts.maker = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(service.port()));
    nets::OperatorKeyStore keys(rig.settings.get());
    keys.setKeychainTimeoutMs(100);
    session::Platform platform = rig.platform(rig.settings.get(), &rig.nam, hosts, {});
    platform.keys = &keys;
    session::Station station(platform);
    station.preferences().restoreSwitches();
    station.setDeadlineMs(500);
    keys.load();
    QSignalSpy shown(&station.lists(), &session::ListsSession::listShown);
    station.lists().load(ListKind::Nets);
    ASSERT_TRUE(shown.wait(2000));
    ASSERT_TRUE(waitFor([&] { return station.confirmationsReady(); }, 1000));
    const core::DirectoryNet net = station.lists().rows<core::DirectoryNet>().rows().value(1);
    ASSERT_EQ(net.confirmed, "0");
    station.confirm(1, true);
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& row : station.lists().rows<core::DirectoryNet>().rows())
                if (row.netId == net.netId)
                    return row.confirmed == "1";
            return false;
        },
        3000));
    EXPECT_EQ(rig.speech.spoken.last(), "thank you for confirming " + net.name);
}

// Where no service is set, the tabs show the bundled lists and nothing is confirmed. A new
// service's Confirm waits for that service's nets (a bundled net's id means nothing to it), and
// clearing the service drops its loads under way, so the bundled lists stay.
TEST(Directory, WithoutAServiceTheBundledListsShowAndEachSourcesRowsStayApart) {
    StationRig rig;
    core::ServiceHosts hosts = core::ServiceHosts::allAt(rig.server.baseUrl());
    hosts.maker = QUrl();
    session::Station& station = rig.makeStation(hosts);
    station.setDeadlineMs(300);
    QSignalSpy shown(&station.lists(), &session::ListsSession::listShown);
    station.lists().load(ListKind::Nets);
    station.lists().load(ListKind::MW);
    ASSERT_TRUE(waitFor([&] { return shown.size() == 2; }, 1000));
    const int bundledNets = rig.rowsOf(ListKind::Nets), bundledStations = rig.rowsOf(ListKind::MW);
    EXPECT_EQ(bundledStations,
              directory::readStationsCsv(directory::bundledStationsCsv()).rows.size());
    ASSERT_GT(bundledNets, 2);
    EXPECT_EQ(station.lists().rows<core::DirectoryNet>().rows().first().confirmed, "");
    EXPECT_FALSE(station.confirmationsReady());
    EXPECT_TRUE(rig.server.requests().isEmpty());

    rig.server.route("/nets.php", {.body = kNets, .delayMs = 100});
    rig.server.route("/mw.php", {.body = kStations, .delayMs = 100});
    station.setServiceUrl(rig.server.baseUrl().toString());
    EXPECT_FALSE(station.confirmationsReady()) << "the table still holds the bundled nets";
    ASSERT_TRUE(waitFor([&] { return station.confirmationsReady(); }, 2000));
    EXPECT_EQ(rig.rowsOf(ListKind::Nets), 2);
    station.lists().load(ListKind::Nets);
    station.lists().load(ListKind::MW);
    station.setServiceUrl("");
    EXPECT_FALSE(station.confirmationsReady());
    settle(500);
    EXPECT_EQ(rig.rowsOf(ListKind::Nets), bundledNets);
    EXPECT_EQ(rig.rowsOf(ListKind::MW), bundledStations);
}
