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

// Every row of a list, sorted, each as its columns joined by '|'.
template <class Row> QStringList shownRows(session::Station& station) {
    QStringList rows;
    for (const Row& row : station.lists().rows<Row>().rows())
        rows << core::columns(row).join(u'|');
    rows.sort();
    return rows;
}

struct DirectoryTest : ::testing::Test, StationRig {
    // Loads the nets and the stations, and waits until both are shown.
    void loadBoth(bool confirmationsReady) {
        station->setDeadlineMs(500);
        QSignalSpy shown(&station->lists(), &session::ListsSession::listShown);
        station->lists().load(ListKind::Nets);
        station->lists().load(ListKind::MW);
        ASSERT_TRUE(waitFor(
            [&] {
                return shown.size() == 2 && station->confirmationsReady() == confirmationsReady;
            },
            3000));
    }
    core::ServiceHosts hosts = core::ServiceHosts::allAt(server.baseUrl());
};

TEST_F(DirectoryTest, TheApplicationReadsWhatTheServiceWritesAndConfirmsThroughIt) {
    server::ServerConfig config;
    config.database = server::DatabaseUrl::sqlite(dir.filePath("directory.sqlite"));
    config.port = 0;
    server::DirectoryServer service(config);
    QString error;
    ASSERT_TRUE(service.start(&error)) << error.toStdString();
    nets::OperatorKeyStore store(settings.get());
    store.setKeychainTimeoutMs(100);
    keys = &store;
    hosts.maker = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(service.port()));
    makeStation(hosts).preferences().restoreSwitches();
    store.load();
    loadBoth(true);

    // Every curated net and station, value for value.
    QStringList nets, stations;
    for (const directory::NetRecord& n : directory::readNetsCsv(directory::bundledNetsCsv()).rows)
        nets << QStringList{n.name, n.frequencyMhz,       n.utc, n.mode, n.url,
                            "0",    QString::number(n.id)}
                    .join(u'|');
    for (const directory::StationRecord& s :
         directory::readStationsCsv(directory::bundledStationsCsv()).rows)
        stations << QStringList{s.call, s.frequencyKhz, s.city, s.powerKw, s.url}.join(u'|');
    nets.sort(), stations.sort();
    EXPECT_EQ(shownRows<core::DirectoryNet>(*station), nets);
    EXPECT_EQ(shownRows<core::MwStation>(*station), stations);

    core::DirectoryNet net = station->lists().rows<core::DirectoryNet>().rows().at(1);
    station->confirm(1, true);
    net.confirmed = "1";
    ASSERT_TRUE(waitFor(
        [&] {
            return shownRows<core::DirectoryNet>(*station).contains(core::columns(net).join(u'|'));
        },
        3000));
    EXPECT_EQ(speech.spoken.last(), "thank you for confirming " + net.name);
}

// Where no service is set, the tabs show the bundled lists and nothing is confirmed.
TEST_F(DirectoryTest, WithoutAServiceTheBundledListsShow) {
    hosts.maker = QUrl();
    makeStation(hosts);
    loadBoth(false);
    EXPECT_EQ(rowsOf(ListKind::MW),
              directory::readStationsCsv(directory::bundledStationsCsv()).rows.size());
    ASSERT_GT(rowsOf(ListKind::Nets), 0);
    EXPECT_EQ(station->lists().rows<core::DirectoryNet>().rows().first().confirmed, "");
    EXPECT_TRUE(server.requests().isEmpty());
}

} // namespace
