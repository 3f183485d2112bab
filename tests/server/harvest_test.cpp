#include "databasetest.h"
#include "loopbackserver.h"
#include "server/commands.h"
#include "server/harvest.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <functional>
#include <list>

using namespace server;

// NetLogger's reply as captured, with the nets named kept and each one's start set.
static QByteArray activeNets(const QList<std::pair<QByteArray, QByteArray>>& starts) {
    const QByteArray real = fixture("netlogger-active-nets.xml");
    QByteArray reply = real.left(real.indexOf("<Net>"));
    for (const auto& [name, start] : starts) {
        const qsizetype at = real.lastIndexOf("<Net>", real.indexOf("<NetName>" + name + "<"));
        QByteArray block = real.mid(at, real.indexOf("</Net>", at) + 7 - at);
        const qsizetype date = block.indexOf("<Date>") + 6;
        reply += block.replace(date, 19, start);
    }
    return reply + "</Server>\n</ServerList>\n</NetLoggerXML>\n";
}

// The body of the answer to one request that closes its connection.
static QByteArray ask(quint16 port, const QByteArray& head, const QByteArray& content = {}) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(head + "\r\nHost: x\r\nConnection: close\r\nContent-Type: application/json\r\n" +
                 "Content-Length: " + QByteArray::number(content.size()) + "\r\n\r\n" + content);
    QByteArray data;
    waitFor(
        [&] {
            data += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return data.mid(data.indexOf("\r\n\r\n") + 4);
}

// The server's snapshot follows the database within a second or so: `read` must give
// `expected` within 3 s.
static void expectSettled(const std::function<QStringList()>& read, const QStringList& expected) {
    QStringList got;
    waitFor([&] { return (got = read()) == expected; }, 3000);
    EXPECT_EQ(got, expected);
}

// The directory's nets as "NetID|name|frequency|UTC|days|duration", by identifier.
static QStringList listed(quint16 port) {
    QMap<int, QString> nets;
    QStringList values;
    for (const QByteArray& line : ask(port, "GET /nets.php HTTP/1.1").split('\n')) {
        const qsizetype open = line.indexOf('>');
        if (line.startsWith("<Net>"))
            values.clear();
        else if (open > 0 && line.endsWith('>') && !line.startsWith("</"))
            values << QString::fromUtf8(line.mid(open + 1, line.lastIndexOf("</") - open - 1));
        if (line == "</Net>")
            nets.insert(
                values[6].toInt(),
                QStringList{values[6], values[0], values[1], values[2], values[7], values[8]}.join(
                    u'|'));
    }
    return nets.values();
}

class HarvestTest : public DatabaseTest {
protected:
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("bandhopper.server*.info=false"));
        DatabaseTest::SetUp();
    }
    quint16 serve() {
        DirectoryServer& server = m_servers.emplace_back(
            ServerConfig{.database = m_database, .port = 0, .clock = [this] { return now(); }});
        QString error;
        EXPECT_TRUE(server.start(&error)) << error.toStdString();
        return server.port();
    }
    QDateTime now() const { return QDateTime::fromSecsSinceEpoch(m_now, Qt::UTC); }
    void setNow(const char* iso) {
        m_now = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toSecsSinceEpoch();
    }
    int run(QStringList arguments, QString* output = nullptr) {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const int status = runCommand(arguments << "--database" << m_database.display(), out, err);
        out.flush();
        if (output)
            *output = outText;
        return status;
    }
    int harvest(const QByteArray& reply, const char* at) {
        return run({"harvest", writeFile("reply.xml", reply), "--at", QString::fromLatin1(at)});
    }

    std::atomic<qint64> m_now{0};
};

// Two weeks of replies: a Monday net and a weekday net become entries beside the bundled ones,
// keep their identifiers, take confirmations, give way to an imported net of the same name and
// frequency, survive an export and its import, and drop out four weeks after their last sitting.
TEST_P(HarvestTest, LearnsTheScheduleFromRepliesAndServesIt) {
    for (const char* monday : {"2024-06-03", "2024-06-10"}) {
        const QDate date = QDate::fromString(QString::fromLatin1(monday), Qt::ISODate);
        for (int day = 0; day < 5; ++day) {
            const QByteArray d = date.addDays(day).toString(Qt::ISODate).toLatin1();
            ASSERT_EQ(
                harvest(activeNets({{"The Maine Potato Net", d + " 21:00:00"}}), d + "T22:00:00Z"),
                0);
        }
        ASSERT_EQ(harvest(activeNets({{"MOONLIGHTERS", QByteArray(monday) + " 23:20:50"}}),
                          QByteArray(monday) + "T23:50:50Z"),
                  0);
    }
    setNow("2024-06-15T12:00:00Z");
    const quint16 port = serve();
    const QStringList learned = {nextId(1) + "|The Maine Potato Net|3.958|2100|daily|60",
                                 nextId(2) + "|MOONLIGHTERS|7.279|2320|Mon|30"};
    expectSettled([&] { return listed(port).mid(bundledNets()); }, learned);
    EXPECT_TRUE(
        ask(port, "POST /netconf.php HTTP/1.1",
            R"({"key":"operator-key-aaaa","net_id":")" + nextId(2).toLatin1() + R"(","action":1})")
            .contains(R"("confirmed":1)"));

    // Imported nets win: the same name and frequency lists the imported one only.
    const QString curated =
        writeFile("curated.csv", "id,name,frequency_mhz,utc,days,mode,url,duration_min\n"
                                 ",Moonlighters,7.279,2320,Mon,LSB,,45\n");
    ASSERT_EQ(run({"import", "nets", curated}), 0);
    const QString curatedRow = nextId(3) + "|Moonlighters|7.279|2320|Mon|45";
    expectSettled([&] { return listed(port); }, QStringList({learned[0], curatedRow}));

    QString exported, again;
    ASSERT_EQ(run({"export", "nets"}, &exported), 0);
    EXPECT_EQ(exported, "id,name,frequency_mhz,utc,days,mode,url,duration_min\n" + nextId(3) +
                            ",Moonlighters,7.279,2320,Mon,LSB,,45\n" + nextId(1) +
                            ",The Maine Potato Net,3.958,2100,daily,SSB,,60\n");
    ASSERT_EQ(run({"import", "nets", writeFile("export.csv", exported.toUtf8())}), 0);
    ASSERT_EQ(run({"export", "nets"}, &again), 0);
    EXPECT_EQ(again, exported);

    // Replies without nets until four weeks after the weekday net's last sitting (the import
    // gives the net without an identifier a new one).
    ASSERT_EQ(run({"import", "nets", curated}), 0);
    ASSERT_EQ(harvest(activeNets({}), "2024-07-12T20:59:59Z"), 0);
    const QString reimported = nextId(4) + "|Moonlighters|7.279|2320|Mon|45";
    expectSettled([&] { return listed(port); }, QStringList({learned[0], reimported}));
    ASSERT_EQ(harvest(activeNets({}), "2024-07-12T21:00:00Z"), 0);
    expectSettled([&] { return listed(port); }, QStringList({reimported}));
}

// Two serving processes on one database while one harvester asks a NetLogger that pauses,
// sends garbage and does not answer, and then the reply that completes a schedule.
TEST_P(HarvestTest, OneHarvesterFeedsEveryServerAndOutlastsBadReplies) {
    ASSERT_EQ(
        harvest(activeNets({{"MOONLIGHTERS", "2024-06-03 23:20:50"}}), "2024-06-03T23:50:50Z"), 0);
    setNow("2024-06-10T23:00:00Z");
    const quint16 first = serve();
    const quint16 second = serve();
    LoopbackServer netLogger;
    Harvester harvester({m_database, netLogger.baseUrl(), 20, 300, [this] { return now(); }});
    QSignalSpy recorded(&harvester, &Harvester::recorded);
    QStringList lines;
    QObject::connect(&harvester, &Harvester::polled, [&](const QString& line) { lines << line; });
    const QByteArray path = "/api/GetActiveNets.php";
    const struct {
        qint64 later; // seconds
        LoopbackServer::Response reply;
        QString line;
        int requests;
    } steps[] = {
        {0,
         {503, "busy", "text/plain", 0, -1, false, "Retry-After: 120\r\n"},
         "harvest: 127.0.0.1 asked us to wait until 23:02 UTC",
         1},
        {61, {}, "harvest: 127.0.0.1 asked us to wait until 23:02 UTC", 1},
        {60,
         {200, "<html>oops</html>"},
         "harvest: 127.0.0.1 sent a reply that is not NetLogger's list of active nets",
         2},
        {60, {200, "", "text/xml", 2000}, "harvest: no reply from 127.0.0.1 within 0.3 s", 3},
        {50 * 60 + 50 - 181,
         {200, activeNets({{"MOONLIGHTERS", "2024-06-10 23:20:50"}})},
         "harvest: 1 nets recorded, 1 learned nets listed",
         4},
    };
    for (const auto& step : steps) {
        m_now += step.later;
        netLogger.route(path, step.reply);
        if (step.later == 0)
            harvester.start();
        ASSERT_TRUE(waitFor([&] { return !lines.isEmpty(); }, 5000)) << step.line.toStdString();
        EXPECT_EQ(lines.takeFirst(), step.line);
        EXPECT_EQ(netLogger.count(path), step.requests);
        settle(50);
        lines.clear();
    }
    EXPECT_EQ(recorded.count(), 1); // the bad replies changed nothing
    EXPECT_TRUE(netLogger.requests().first().header("User-Agent").startsWith("Bandhopper/"));
    for (const quint16 port : {first, second})
        expectSettled([&] { return listed(port).mid(bundledNets()); },
                      QStringList({nextId() + "|MOONLIGHTERS|7.279|2320|Mon|30"}));
}

INSTANTIATE_TEST_SUITE_P(Storage, HarvestTest,
                         ::testing::Values(Driver::Sqlite, Driver::Postgresql), driverName);
