#include "server/commands.h"
#include "server/directoryserver.h"
#include "testing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <atomic>
#include <list>

using namespace server;

const QByteArray kKeyA = "operator-key-aaaa";
const QByteArray kKeyB = "operator-key-bbbb";

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
    bool closed = false;
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

// A raw HTTP exchange on its own connection, waiting for a whole answer or the close.
static Reply exchange(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    QByteArray data;
    Reply reply;
    waitFor(
        [&] {
            data += socket.readAll();
            const qsizetype end = data.indexOf("\r\n\r\n");
            reply = {data.mid(9, 3).toInt(), data.left(end),
                     end < 0 ? QByteArray() : data.mid(end + 4),
                     socket.state() == QAbstractSocket::UnconnectedState};
            return reply.closed ||
                   (end >= 0 && reply.body.size() >= reply.header("Content-Length").toInt());
        },
        5000);
    return reply;
}

static Reply get(quint16 port, const QByteArray& path) {
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: t\r\n\r\n");
}

static Reply post(quint16 port, const QByteArray& body, const QByteArray& type = "Application/json",
                  const QByteArray& path = "/netconf.php", const QByteArray& extra = "") {
    return exchange(port, "POST " + path + " HTTP/1.1\r\nHost: t\r\nContent-Type: " + type +
                              "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
                              extra + "\r\n" + body);
}

static Reply confirm(quint16 port, const QByteArray& key, const QByteArray& net, int action = 1,
                     const QByteArray& extra = "") {
    return post(port,
                R"({"key":")" + key + R"(","net_id":")" + net + R"(","action":)" +
                    QByteArray::number(action) + "}",
                "Application/json", "/netconf.php", extra);
}

// The Confirmed value of a net in the directory, -1 when the net is not listed.
static int confirmedCount(quint16 port, const QByteArray& net) {
    const QList<QByteArray> lines = get(port, "/nets.php").body.split('\n');
    for (qsizetype i = 6; i < lines.size(); ++i)
        if (lines[i] == "<NetID>" + net + "</NetID>")
            return lines[i - 1].mid(11, lines[i - 1].size() - 23).toInt();
    return -1;
}

static int run(const QStringList& arguments, QString* errors = nullptr) {
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const int status = runCommand(arguments, out, err);
    err.flush();
    if (errors)
        *errors = errText;
    return status;
}

enum class Driver { Sqlite, Postgresql };

class DirectoryServerTest : public ::testing::TestWithParam<Driver> {
protected:
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("bandhopper.server.http.info=false"));
        m_database = DatabaseUrl::sqlite(m_dir.filePath(QStringLiteral("directory.sqlite")));
        if (GetParam() == Driver::Postgresql) {
            const QString base = qEnvironmentVariable("BANDHOPPER_TEST_POSTGRES");
            if (base.isEmpty())
                GTEST_SKIP() << "BANDHOPPER_TEST_POSTGRES is not set; run the tests under "
                                "tools/with-postgres.sh to include PostgreSQL";
            m_admin = *DatabaseUrl::parse(base);
            m_database = m_admin;
            m_database.name = QStringLiteral("bh_test_%1").arg(QCoreApplication::applicationPid());
            admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_database.name));
            admin(QStringLiteral("CREATE DATABASE %1").arg(m_database.name));
        }
    }
    void TearDown() override {
        m_servers.clear();
        if (GetParam() == Driver::Postgresql && !m_admin.name.isEmpty())
            admin(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_database.name));
    }
    void admin(const QString& sql) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "admin");
            db.setHostName(m_admin.host);
            db.setUserName(m_admin.user);
            db.setDatabaseName(m_admin.name);
            ASSERT_TRUE(db.open());
            ASSERT_TRUE(QSqlQuery(db).exec(sql)) << sql.toStdString();
        }
        QSqlDatabase::removeDatabase("admin");
    }
    quint16 start(int rateLimit = 0, int timeoutMs = 10000, bool forwarded = false) {
        DirectoryServer& server = m_servers.emplace_back(ServerConfig{
            .database = m_database,
            .port = 0,
            .rateLimit = rateLimit,
            .trustForwardedFor = forwarded,
            .requestTimeoutMs = timeoutMs,
            .clock = [this] { return QDateTime::fromMSecsSinceEpoch(m_nowMs, Qt::UTC); }});
        QString error;
        EXPECT_TRUE(server.start(&error)) << error.toStdString();
        return server.port();
    }
    void setNow(const char* iso) {
        m_nowMs = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
    }
    QString writeFile(const QString& name, const QByteArray& contents) {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName();
    }

    QTemporaryDir m_dir;
    DatabaseUrl m_database;
    DatabaseUrl m_admin;
    std::atomic<qint64> m_nowMs{QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC)
                                    .toMSecsSinceEpoch()}; // a Monday, noon UTC
    std::list<DirectoryServer> m_servers;
};

TEST_P(DirectoryServerTest, ServesTheBundledDirectoryAndTheRelease) {
    const quint16 port = start();
    // The bundled nets start 1700, 2100, 0300 and 1145 UTC: from Monday noon the one running
    // (1145 for two hours) first, then the soonest.
    const Reply nets = get(port, "/nets.php");
    EXPECT_EQ(nets.status, 200);
    QList<QByteArray> ids;
    for (const QByteArray& line : nets.body.split('\n'))
        if (line.startsWith("<NetID>"))
            ids << line.mid(7, line.size() - 15);
    EXPECT_EQ(ids, QList<QByteArray>({"4", "1", "3", "2"}));
    EXPECT_TRUE(get(port, "/mw.php").body.contains("<Station>WGN</Station>\n<Frequency>720"));
    EXPECT_EQ(get(port, "/healthz").status, 200);
    const QByteArray bundled = bundledDirectory().version.toUtf8();
    EXPECT_EQ(get(port, "/bandhopper/version.txt").body, bundled + '\n');
    EXPECT_TRUE(get(port, "/bandhopper/").body.contains("<strong>" + bundled + "</strong>"));
    EXPECT_EQ(get(port, "/bandhopper/Installer.dmg").status, 404);

    QByteArray installer(700 * 1024, '\0'); // several parts in the database
    for (qsizetype i = 0; i < installer.size(); ++i)
        installer[i] = char(i * 7 % 251);
    const QString path = writeFile(QStringLiteral("Installer.dmg"), installer);
    ASSERT_EQ(run({"release", "0.94", "--installer", path, "--database", m_database.display()}), 0);
    EXPECT_EQ(get(port, "/bandhopper/version.txt").body, "0.94\n");
    EXPECT_TRUE(get(port, "/bandhopper/").body.contains("href=\"Installer.dmg\""));
    const Reply download = get(port, "/bandhopper/Installer.dmg");
    EXPECT_EQ(download.status, 200);
    EXPECT_TRUE(download.body == installer) << download.body.size();
}

// A confirmation belongs to the session running or next; counts are distinct keys and fall
// back to zero once that session ends, also across midnight (net 1 runs 1700 to 0200 UTC).
TEST_P(DirectoryServerTest, ConfirmationsCountDistinctKeysUntilTheSessionEnds) {
    const quint16 port = start();
    // When, whose key, the action (-1: only look) and the count after it.
    const std::tuple<const char*, QByteArray, int, int> steps[] = {
        {"2024-06-03T12:00:00Z", kKeyA, 1, 1}, {"2024-06-03T12:00:00Z", kKeyA, 1, 1},
        {"2024-06-03T18:00:00Z", kKeyB, 1, 2}, {"2024-06-03T18:00:00Z", kKeyB, 0, 1},
        {"2024-06-03T18:00:00Z", kKeyB, 0, 1}, {"2024-06-04T01:59:59Z", {}, -1, 1},
        {"2024-06-04T02:00:00Z", {}, -1, 0},   {"2024-06-04T02:00:00Z", kKeyB, 1, 1},
    };
    for (const auto& [now, key, action, count] : steps) {
        SCOPED_TRACE(std::string(now) + " " + key.data());
        setNow(now);
        if (action >= 0) {
            const Reply reply = confirm(port, key, "1", action);
            EXPECT_EQ(reply.status, 200);
            EXPECT_TRUE(reply.body.contains("\"confirmed\":" + QByteArray::number(count)));
        }
        EXPECT_EQ(confirmedCount(port, "1"), count);
    }
}

TEST_P(DirectoryServerTest, RefusedRequestsChangeNothing) {
    const quint16 port = start();
    ASSERT_EQ(confirm(port, kKeyA, "1").status, 200);
    const QByteArray key = R"("key":"operator-key-bbbb")";
    const struct {
        QByteArray body;
        int status;
        QByteArray type = "application/JSON; charset=utf-8";
        QByteArray path = "/netconf.php";
    } cases[] = {
        {"{", 400},
        {"[]", 400},
        {R"({"net_id":"1","action":1})", 400},
        {"{" + key + R"(,"net_id":1,"action":1})", 400},
        {"{" + key + R"(,"net_id":"1","action":"1"})", 400},
        {"{" + key + R"(,"net_id":"1","action":2})", 400},
        {"{" + key + R"(,"net_id":"1"})", 400},
        {R"({"key":"short-key-15chr","net_id":"1","action":1})", 400},
        {R"({"key":"operator key bbbb","net_id":"1","action":1})", 400},
        {R"({"key":")" + QByteArray(129, 'k') + R"(","net_id":"1","action":1})", 400},
        {"{" + key + R"(,"net_id":"1","action":1})", 400, "text/plain"},
        {"{" + key + R"(,"net_id":"999","action":1})", 404},
        {"{" + key + R"(,"net_id":"one","action":1})", 404},
        {"{" + key + R"(,"net_id":"1","action":1})", 405, "Application/json", "/nets.php"},
        {"{" + key + R"(,"net_id":"1","action":1})", 404, "Application/json", "/nowhere"},
        {"", 405, "Application/json", "/bandhopper/version.txt"},
    };
    for (const auto& c : cases) {
        const Reply reply = post(port, c.body, c.type, c.path);
        EXPECT_EQ(reply.status, c.status) << c.body.data();
        EXPECT_TRUE(reply.body.startsWith("{\"error\":\"")) << reply.body.data();
    }
    EXPECT_EQ(get(port, "/netconf.php").header("Allow"), "POST");
    EXPECT_EQ(confirmedCount(port, "1"), 1);
}

TEST_P(DirectoryServerTest, ImportReplacesAListWholeAndKeepsNetIds) {
    const quint16 port = start();
    ASSERT_EQ(confirm(port, kKeyA, "1").status, 200);
    const QByteArray header = "id,name,frequency_mhz,utc,days,mode,url,duration_min\n";
    const QString first = writeFile("first.csv", header + ",New Net,7.2,1300,daily,LSB,,\n"
                                                          "1,Renamed,14.3,1700,daily,USB,,540\n");
    ASSERT_EQ(run({"import", "nets", first, "--database", m_database.display()}), 0);
    EXPECT_EQ(confirmedCount(port, "1"), 1); // kept net, kept confirmations
    EXPECT_EQ(confirmedCount(port, "5"), 0); // 1 to 4 were taken, so never handed out again
    EXPECT_EQ(confirmedCount(port, "2"), -1);
    EXPECT_EQ(confirm(port, kKeyA, "2").status, 404);
    const QString second = writeFile("second.csv", header + "1,Renamed,14.3,1700,daily,USB,,540\n"
                                                            ",Newer,7.2,1300,daily,LSB,,\n");
    ASSERT_EQ(run({"import", "nets", second, "--database", m_database.display()}), 0);
    EXPECT_EQ(confirmedCount(port, "5"), -1);
    EXPECT_EQ(confirmedCount(port, "6"), 0);

    const QByteArray before = get(port, "/nets.php").body;
    const QString bad = writeFile("bad.csv", header + "9,Fine,7.2,1300,daily,LSB,,\n"
                                                      "10,,7.2,1300,daily,LSB,,\n");
    QString errors;
    EXPECT_EQ(run({"import", "nets", bad, "--database", m_database.display()}, &errors), 1);
    EXPECT_EQ(errors, bad + ":3: name is empty\n");
    EXPECT_EQ(get(port, "/nets.php").body, before);

    const QByteArray stations = "call,frequency_khz,city,power_kw,url\n";
    const QString mw =
        writeFile("mw.csv", stations + "WXYZ,1500,Town,10,\nWABC,770,\"New York, NY\",50,\n");
    ASSERT_EQ(run({"import", "mw", mw, "--database", m_database.display()}), 0);
    const QByteArray list = get(port, "/mw.php").body;
    EXPECT_TRUE(list.startsWith("<Stations>\n<Station>WXYZ</Station>")) << list.data();
    const QString badMw = writeFile("badmw.csv", stations + "WXYZ,1500,Town,lots,\n");
    EXPECT_EQ(run({"import", "mw", badMw, "--database", m_database.display()}, &errors), 1);
    EXPECT_TRUE(errors.startsWith(badMw + ":2: power_kw")) << errors.toStdString();
    EXPECT_EQ(get(port, "/mw.php").body, list);
}

// Stateless apart from the database: instances share it, and a restart loses nothing.
TEST_P(DirectoryServerTest, InstancesShareTheDatabaseAcrossRestarts) {
    const quint16 first = start();
    const quint16 second = start();
    ASSERT_EQ(confirm(first, kKeyA, "3").status, 200);
    ASSERT_EQ(confirm(second, kKeyB, "3").status, 200);
    EXPECT_EQ(confirmedCount(second, "3"), 2);
    EXPECT_EQ(confirmedCount(first, "3"), 2);
    m_servers.clear();
    EXPECT_EQ(confirmedCount(start(), "3"), 2);
}

static std::string driverName(const ::testing::TestParamInfo<Driver>& info) {
    return info.param == Driver::Sqlite ? "SQLite" : "PostgreSQL";
}
INSTANTIATE_TEST_SUITE_P(Storage, DirectoryServerTest,
                         ::testing::Values(Driver::Sqlite, Driver::Postgresql), driverName);

// The HTTP layer does not depend on the database kind.
class HttpTest : public DirectoryServerTest {};
INSTANTIATE_TEST_SUITE_P(Http, HttpTest, ::testing::Values(Driver::Sqlite), driverName);

// Each refused and answered on the connection, which is then closed. Large bodies are refused
// before they are read: an announced one from the head alone (its body is never sent), one
// neither announced nor ended after megabytes, a chunked one as its chunks add up.
TEST_P(HttpTest, MalformedAndOversizedRequestsAreRefused) {
    const quint16 port = start();
    QByteArray chunked = "POST /netconf.php HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 1024; ++i)
        chunked += "400\r\n" + QByteArray(1024, 'x') + "\r\n";
    const std::pair<QByteArray, int> cases[] = {
        {"POST /netconf.php HTTP/1.1\r\nContent-Length: 50000000\r\n\r\n", 413},
        {"POST /netconf.php HTTP/1.1\r\n\r\n" + QByteArray(4 << 20, '{'), 413},
        {chunked, 413},
        {"GET /nets.php HTTP/2.0\r\n\r\n", 505},
        {"GET nets.php HTTP/1.1\r\n\r\n", 400},
        {"GET /nets.php HTTP/1.1\r\nBad Header: x\r\n\r\n", 400},
        {"GET /nets.php HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n", 431},
        {"POST /netconf.php HTTP/1.1\r\nContent-Length: x\r\n\r\n", 400},
        {"POST /netconf.php HTTP/1.1\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n",
         400},
        {"POST /netconf.php HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", 501},
        {"POST /netconf.php HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400},
    };
    for (const auto& [request, status] : cases) {
        const Reply reply = exchange(port, request);
        EXPECT_EQ(reply.status, status) << request.left(60).data();
        EXPECT_TRUE(reply.closed);
    }
}

TEST_P(HttpTest, ChunkedBodiesAndPipelinedRequests) {
    const quint16 port = start();
    const QByteArray body = R"({"key":"operator-key-aaaa","net_id":"2","action":1})";
    const Reply chunked =
        exchange(port, "POST /netconf.php HTTP/1.1\r\nContent-Type: "
                       "application/json\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n" +
                           body.left(5) + "\r\n" + QByteArray::number(body.size() - 5, 16) +
                           ";x=y\r\n" + body.mid(5) + "\r\n0\r\n\r\n");
    EXPECT_EQ(chunked.status, 200) << chunked.body.data();

    // Two requests in one write get two answers on the one connection.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET /healthz HTTP/1.1\r\n\r\nHEAD /nets.php HTTP/1.1\r\n\r\n");
    QByteArray data;
    EXPECT_TRUE(
        waitFor([&] { return (data += socket.readAll()).count("HTTP/1.1 200 OK") == 2; }, 5000));
    EXPECT_TRUE(data.endsWith("Cache-Control: no-cache\r\n\r\n")) << data.data(); // HEAD: no body
    EXPECT_EQ(socket.state(), QAbstractSocket::ConnectedState);
}

TEST_P(HttpTest, ClientsThatNeverFinishAreDroppedWhileOthersAreServed) {
    const quint16 port = start(0, 300);
    QTcpSocket idle, trickling;
    bool idleClosed = false, tricklingClosed = false;
    QObject::connect(&idle, &QTcpSocket::disconnected, [&] { idleClosed = true; });
    QObject::connect(&trickling, &QTcpSocket::disconnected, [&] { tricklingClosed = true; });
    idle.connectToHost(QHostAddress::LocalHost, port);
    trickling.connectToHost(QHostAddress::LocalHost, port);
    trickling.write("GET /nets.php HTTP/1.1\r\n");
    QTimer drip; // a header byte every 50 ms: never idle, never done
    QObject::connect(&drip, &QTimer::timeout, [&] { trickling.write("x"); });
    drip.start(50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(get(port, "/healthz").status, 200);
    EXPECT_FALSE(idleClosed || tricklingClosed); // served while they still hold their sockets
    EXPECT_TRUE(waitFor([&] { return idleClosed && tricklingClosed; }, 5000));
    EXPECT_GE(clock.elapsed(), 270); // coarse timers may fire up to 5% early
    EXPECT_TRUE(trickling.readAll().startsWith("HTTP/1.1 408"));
}

TEST_P(HttpTest, ConfirmationsPerAddressAreLimitedPerMinute) {
    const quint16 port = start(3, 10000, true);
    const QByteArray from = "X-Forwarded-For: 198.51.100.7, 192.0.2.1\r\n";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(confirm(port, kKeyA, "1", 1, from).status, 200);
    // How much later, the status and the Retry-After header.
    const std::tuple<qint64, int, QByteArray> steps[] = {
        {0, 429, "60"}, {30'000, 429, "30"}, {60'000, 200, ""}};
    for (const auto& [laterMs, status, retryAfter] : steps) {
        m_nowMs += laterMs;
        const Reply reply = confirm(port, kKeyA, "1", 1, from);
        EXPECT_EQ(reply.status, status);
        EXPECT_EQ(reply.header("Retry-After"), retryAfter);
    }
    EXPECT_EQ(confirm(port, kKeyA, "1", 1, "X-Forwarded-For: 192.0.2.2\r\n").status, 200);
}

TEST_P(HttpTest, LogsOneLinePerRequestWithoutTheKey) {
    QLoggingCategory::setFilterRules(QString());
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& line) { lines << line; });
    const quint16 port = start();
    confirm(port, kKeyA, "1");
    get(port, "/nope?key=x");
    qInstallMessageHandler(previous);
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(QRegularExpression("^POST /netconf.php 200 \\d+ ms$").match(lines[0]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^GET /nope 404 \\d+ ms$").match(lines[1]).hasMatch());
}

TEST(ServerCommand, UsageErrorsAndAStopOnSigterm) {
    const std::pair<QStringList, int> cases[] = {
        {{"--help"}, 0},
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"serve", "--rate-limit", "-1"}, 2},
        {{"serve", "--listen", "localhost"}, 2},
        {{"serve", "--database", "mysql://x/y"}, 2},
        {{"serve", "--verbose"}, 2},
        {{"import", "stations", "x.csv"}, 2},
        {{"import", "nets", "/nonexistent.csv", "--database", "sqlite:/tmp/x"}, 1},
        {{"release", "0.9 beta"}, 2}};
    for (const auto& [arguments, status] : cases)
        EXPECT_EQ(run(arguments), status) << arguments.join(' ').toStdString();

    QTemporaryDir dir;
    QProcess process;
    process.start(BANDHOPPER_SERVER_BINARY, {"serve", "--listen", "127.0.0.1:0", "--database",
                                             "sqlite:" + dir.filePath("d")});
    QByteArray errors;
    ASSERT_TRUE(waitFor(
        [&] { return (errors += process.readAllStandardError()).contains("listening"); }, 10000));
    process.terminate();
    ASSERT_TRUE(waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE((errors + process.readAllStandardError()).endsWith("stopped\n"));
}
