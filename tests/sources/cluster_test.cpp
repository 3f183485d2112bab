// The cluster client against a cluster on loopback that prompts, sends spots in the cluster's own
// format, drops the connection and comes back.
#include "cli/cli.h"
#include "feeds/sotasources.h"
#include "loopbackpeers.h"
#include "testing.h"

// A cluster that prompts for a login.
struct FakeCluster : FakePeer {
    explicit FakeCluster(QList<QByteArray> answers = {})
        : FakePeer(answers, "Welcome to the SOTA cluster\r\nlogin: ") {}
    feeds::ClusterAddress at() const { return {"127.0.0.1", serverPort()}; }
};

// A line as the cluster writes it, heard `minutesAgo` before now.
static QByteArray spotLine(const char* frequency, const char* call, const char* comment,
                           int minutesAgo) {
    const QString time = QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo).toString("HHmm");
    return QStringLiteral("DX de RBNHOLE:  %1  %2  %3  %4Z\r\n")
        .arg(frequency, call, comment, time)
        .toLatin1();
}

TEST(ClusterClient, LogsInWhenPromptedCollectsSpotsAndComesBackAfterADrop) {
    FakeCluster cluster;
    feeds::ClusterClient client(cluster.at(), "N0CALL");
    client.setBackoffBaseMs(200);
    client.start();
    ASSERT_TRUE(waitFor([&] { return cluster.heard == "N0CALL\r\nping5\r\n"; }, 2000));
    EXPECT_EQ(client.stateText(), "") << "logged in";

    // The first spot arrives in two reads, between garbage and the cluster's own prompt.
    const QByteArray first = spotLine("14054.0", "K1GC", "W1/DI-009", 2);
    cluster.send(first.left(20));
    settle(50);
    cluster.send(first.mid(20) + "\x07garbage\r\n" +
                 spotLine("7032.0", "KX0R", "W0C/SR-046 cw", 1) +
                 "VU3GLJ de GM4LLD sota_cluster >");
    ASSERT_TRUE(
        waitFor([&] { return client.rows(QDateTime::currentDateTimeUtc()).size() == 2; }, 2000));
    const QList<core::SotaSpot> rows = client.rows(QDateTime::currentDateTimeUtc());
    EXPECT_EQ(rows[0].activatorCallsign, "KX0R");
    EXPECT_EQ(rows[1].frequency, "14.054");
    EXPECT_EQ(rows[1].mode, "CW");

    cluster.sessions.last()->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return client.retryDelayMs() == 200; }, 1000))
        << "spots heard: the back-off starts afresh";
    EXPECT_TRUE(client.stateText().contains("trying again at")) << client.stateText().toStdString();
    ASSERT_TRUE(waitFor([&] { return cluster.heard.count("N0CALL") == 2; }, 2000));
    EXPECT_EQ(client.rows(QDateTime::currentDateTimeUtc()).size(), 2) << "the heard spots stay";
}

// A connection that stays silent past twice the prompt interval it asked for is given up.
TEST(ClusterClient, ASilentConnectionIsTakenForDeadAndTriedAgain) {
    FakeCluster cluster;
    feeds::ClusterClient client(cluster.at(), "N0CALL");
    client.setSilenceLimitMs(200);
    client.start();
    ASSERT_TRUE(waitFor([&] { return client.retryDelayMs() > 0; }, 2000));
    const QString since = QDateTime::currentDateTimeUtc().toString("HH:mm");
    EXPECT_EQ(client.stateText(), "SOTA cluster silent since " + since + " UTC; reconnecting");
    EXPECT_EQ(cluster.sessions.size(), 1);
}

TEST(ClusterClient, BacksOffDoublingWhileTheClusterDropsEveryConnection) {
    FakeCluster cluster;
    cluster.dropAtOnce = true;
    feeds::ClusterClient client(cluster.at(), "N0CALL");
    client.setBackoffBaseMs(40);
    client.start();
    for (int delay : {40, 80, 160, 320})
        ASSERT_TRUE(waitFor([&] { return client.retryDelayMs() == delay; }, 1000)) << delay;
    EXPECT_EQ(cluster.sessions.size(), 4);
}

// Without a callsign the cluster is not even asked; with one, the command line prints what it
// heard.
TEST(ClusterClient, NeedsACallsignAndServesTheCommandLine) {
    FakeCluster cluster({spotLine("10118.0", "W7ABC", "W7O/WV-096", 3)});
    feeds::SotaSourceLoader loader(nullptr);
    loader.setDeadlineMs(10);
    loader.setSettings({feeds::SotaSource::Cluster, cluster.at(), {}});
    QSignalSpy shown(&loader, &feeds::SotaSourceLoader::shown);
    loader.start({}, QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(shown.wait(1000));
    EXPECT_EQ(shown[0][0].value<feeds::LoadedList>().failure, feeds::kClusterNeedsCallsign);
    EXPECT_TRUE(cluster.sessions.isEmpty());

    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    cli::Cli cli({"rows", "sota", "--sota-source", "cluster", "--cluster", cluster.address(),
                  "--callsign", "n0call", "--listen-seconds", "0.5"},
                 outStream, errStream);
    QSignalSpy finished(&cli, &cli::Cli::finished);
    cli.start();
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(finished[0][0].toInt(), 0);
    // The age is left out: the minute may turn while the test runs.
    EXPECT_TRUE(out.startsWith("[\"W7ABC\",\"\",\"10.118\",\"CW\",\"W7O/WV-096\",\"W7O/WV-096\","
                               "\"W7O/WV-096\",\" \",\" \",\""))
        << out.toStdString();
    EXPECT_TRUE(err.contains("\n1 row, loaded ")) << err.toStdString();
}
