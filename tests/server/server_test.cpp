#include "databasetest.h"
#include "server/commands.h"

#include <QCoreApplication>
#include <QDir>
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
#include <mutex>
#include <numeric>

using namespace server;

const QByteArray kKeyA = "operator-key-aaaa";
const QByteArray kKeyB = "operator-key-bbbb";

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
    bool closed = false;

    // The first answer in `data`, as far as it has come.
    static Reply read(const QByteArray& data, bool closed) {
        const qsizetype end = data.indexOf("\r\n\r\n");
        return {data.mid(9, 3).toInt(), data.left(end), end < 0 ? QByteArray() : data.mid(end + 4),
                closed};
    }
    bool whole() const {
        return !head.isEmpty() && body.size() >= header("Content-Length").toInt();
    }
    // Whole, and the connection closed when the answer said it would be.
    bool done() const { return closed || (whole() && header("Connection") != "close"); }
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

// A raw HTTP exchange on its own connection, waiting for a whole answer or the close.
static Reply exchange(quint16 port, const QByteArray& request, const char* from = "127.0.0.1") {
    QTcpSocket socket;
    socket.bind(QHostAddress(from));
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    QByteArray data;
    Reply reply;
    waitFor(
        [&] {
            data += socket.readAll();
            reply = Reply::read(data, socket.state() == QAbstractSocket::UnconnectedState);
            return reply.done();
        },
        5000);
    return reply;
}

static Reply get(quint16 port, const QByteArray& path, const char* from = "127.0.0.1") {
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: t\r\n\r\n", from);
}

static QByteArray postRequest(const QByteArray& body, const QByteArray& type = "Application/json",
                              const QByteArray& path = "/netconf.php",
                              const QByteArray& extra = "") {
    return "POST " + path + " HTTP/1.1\r\nHost: t\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extra + "\r\n" +
           body;
}

static QByteArray confirmRequest(const QByteArray& key, const QByteArray& net, int action = 1,
                                 const QByteArray& extra = "") {
    return postRequest(R"({"key":")" + key + R"(","net_id":")" + net + R"(","action":)" +
                           QByteArray::number(action) + "}",
                       "Application/json", "/netconf.php", extra);
}

static Reply post(quint16 port, const QByteArray& body, const QByteArray& type = "Application/json",
                  const QByteArray& path = "/netconf.php") {
    return exchange(port, postRequest(body, type, path));
}

static Reply confirm(quint16 port, const QByteArray& key, const QByteArray& net, int action = 1,
                     const QByteArray& extra = "") {
    return exchange(port, confirmRequest(key, net, action, extra));
}

// The Confirmed value of a net in the directory, -1 when the net is not listed.
static int confirmedCount(quint16 port, const QByteArray& net) {
    const QList<QByteArray> lines = get(port, "/nets.php").body.split('\n');
    for (qsizetype i = 6; i < lines.size(); ++i)
        if (lines[i] == "<NetID>" + net + "</NetID>")
            return lines[i - 1].mid(11, lines[i - 1].size() - 23).toInt();
    return -1;
}

// What another process changed shows once the server has looked (every pollMs).
static int settledCount(quint16 port, const QByteArray& net, int expected) {
    int count = -2;
    waitFor([&] { return (count = confirmedCount(port, net)) == expected; }, 3000);
    return count;
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

// The log lines written while it lives, from any thread.
struct LogCapture {
    LogCapture() {
        QLoggingCategory::setFilterRules(QString());
        lines().clear();
        previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& line) {
                std::lock_guard lock(mutex());
                lines() << line;
            });
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    QStringList taken() {
        std::lock_guard lock(mutex());
        return lines();
    }
    static QStringList& lines() {
        static QStringList lines;
        return lines;
    }
    static std::mutex& mutex() {
        static std::mutex mutex;
        return mutex;
    }
    QtMessageHandler previous;
};

class DirectoryServerTest : public DatabaseTest {
protected:
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("bandhopper.server.http.info=false"));
        DatabaseTest::SetUp();
    }
    quint16 start(const std::function<void(ServerConfig&)>& adjust = {}) {
        ServerConfig config{
            .database = m_database,
            .port = 0,
            .rateLimit = 0,
            .clock = [this] { return QDateTime::fromMSecsSinceEpoch(m_nowMs, Qt::UTC); },
            .pollMs = 20};
        if (adjust)
            adjust(config);
        DirectoryServer& server = m_servers.emplace_back(config);
        QString error;
        EXPECT_TRUE(server.start(&error)) << error.toStdString();
        return server.port();
    }
    // A connection of the test's own holding the database's write lock while it lives.
    std::unique_ptr<QSqlDatabase, void (*)(QSqlDatabase*)> lockDatabase() {
        const bool sqlite = GetParam() == Driver::Sqlite;
        auto* db =
            new QSqlDatabase(QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", "lock"));
        db->setDatabaseName(sqlite ? m_database.path : m_database.name);
        db->setHostName(m_database.host);
        db->setUserName(m_database.user);
        EXPECT_TRUE(db->open());
        for (const char* sql : sqlite
                                   ? QList<const char*>{"BEGIN IMMEDIATE"}
                                   : QList<const char*>{"BEGIN", "LOCK TABLE session_counts, "
                                                                 "confirmations IN EXCLUSIVE MODE"})
            EXPECT_TRUE(QSqlQuery(*db).exec(sql)) << sql;
        return {db, [](QSqlDatabase* db) {
                    QSqlQuery(*db).exec("ROLLBACK");
                    db->close();
                    delete db;
                    QSqlDatabase::removeDatabase("lock");
                }};
    }
    void setNow(const char* iso) {
        m_nowMs = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
    }
    std::atomic<qint64> m_nowMs{QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC)
                                    .toMSecsSinceEpoch()}; // a Monday, noon UTC
};

TEST_P(DirectoryServerTest, ServesTheBundledDirectoryAndTheRelease) {
    const quint16 port = start();
    // From Monday noon the net running (1145 UTC for two hours) first, then the soonest: the
    // weekday and Sunday nets in the week's order, two at one minute in the file's order.
    const Reply nets = get(port, "/nets.php");
    EXPECT_EQ(nets.status, 200);
    QList<QByteArray> ids;
    for (const QByteArray& line : nets.body.split('\n'))
        if (line.startsWith("<NetID>"))
            ids << line.mid(7, line.size() - 15);
    EXPECT_EQ(ids, QList<QByteArray>({"4", "16", "20", "6",  "1",  "11", "14", "3", "19", "12",
                                      "8", "18", "7",  "10", "17", "13", "2",  "5", "15", "9"}));
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
    EXPECT_TRUE(
        waitFor([&] { return get(port, "/bandhopper/version.txt").body == "0.94\n"; }, 3000));
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
    EXPECT_EQ(settledCount(port, nextId().toLatin1(), 0),
              0);                            // the bundled ids are never handed out again
    EXPECT_EQ(confirmedCount(port, "1"), 1); // kept net, kept confirmations
    EXPECT_EQ(confirmedCount(port, "2"), -1);
    EXPECT_EQ(confirm(port, kKeyA, "2").status, 404);
    const QString second = writeFile("second.csv", header + "1,Renamed,14.3,1700,daily,USB,,540\n"
                                                            ",Newer,7.2,1300,daily,LSB,,\n");
    ASSERT_EQ(run({"import", "nets", second, "--database", m_database.display()}), 0);
    EXPECT_EQ(settledCount(port, nextId().toLatin1(), -1), -1);
    EXPECT_EQ(confirmedCount(port, nextId(2).toLatin1()), 0);

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
    QByteArray list;
    waitFor(
        [&] { return (list = get(port, "/mw.php").body).startsWith("<Stations>\n<Station>WX"); },
        3000);
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
    EXPECT_EQ(settledCount(first, "3", 2), 2);
    m_servers.clear();
    EXPECT_EQ(confirmedCount(start(), "3"), 2);
}

INSTANTIATE_TEST_SUITE_P(Storage, DirectoryServerTest,
                         ::testing::Values(Driver::Sqlite, Driver::Postgresql), driverName);

// The HTTP layer does not depend on the database kind.
class HttpTest : public DirectoryServerTest {};
INSTANTIATE_TEST_SUITE_P(Http, HttpTest, ::testing::Values(Driver::Sqlite), driverName);

// Each refused and answered, and the connection closed without reading further: the
// confirmation sent behind each is never made. Large bodies are refused before they are read.
TEST_P(HttpTest, RequestsThatCouldBeFramedTwoWaysAreRefused) {
    const quint16 port = start();
    const QByteArray post =
        "POST /netconf.php HTTP/1.1\r\nHost: t\r\nContent-Type: application/json\r\n";
    const QByteArray chunked = post + "Transfer-Encoding: chunked\r\n\r\n";
    QByteArray large = chunked;
    for (int i = 0; i < 1024; ++i)
        large += "400\r\n" + QByteArray(1024, 'x') + "\r\n";
    const std::pair<QByteArray, int> cases[] = {
        {post + "Transfer-Encoding:\r\nTransfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n"
                "0\r\n\r\n",
         400},
        {post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n0\r\n\r\n", 400},
        {post + "Transfer-Encoding: chunked, chunked\r\n\r\n0\r\n\r\n", 400},
        {post + "Transfer-Encoding: chunked,\r\n\r\n0\r\n\r\n", 400},
        {post + "Transfer-Encoding: gzip\r\n\r\n", 400},
        {post + "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n", 501},
        {post + "Content-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
        {post + "Content-Length: 2\r\nContent-Length: 3\r\n\r\n{}", 400},
        {post + "Content-Length: +2\r\n\r\n{}", 400},
        {chunked + "0x2\r\n{}\r\n0\r\n\r\n", 400},
        {chunked + "+2\r\n{}\r\n0\r\n\r\n", 400},
        {chunked + "-0\r\n\r\n", 400},
        {chunked + " 2\r\n{}\r\n0\r\n\r\n", 400},
        {chunked + "2\r\n{}x\r\n0\r\n\r\n", 400},
        {post + QByteArray("X: a\0b\r\nContent-Length: 2\r\n\r\n{}", 31), 400},
        {post + "X: a\rb\r\nContent-Length: 2\r\n\r\n{}", 400},
        {"GET /nets.php HTTP/1.1\r\n\r\n", 400},
        {"GET /nets.php HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
        {" GET /nets.php HTTP/1.1\r\nHost: t\r\n\r\n", 400},
        {"GET nets.php HTTP/1.1\r\nHost: t\r\n\r\n", 400},
        {"GET /nets.php HTTP/1.1\r\nHost: t\r\n Folded: x\r\n\r\n", 400},
        {"GET /nets.php HTTP/1.1\r\nHost: t\r\nBad Header: x\r\n\r\n", 400},
        {"GET /nets.php HTTP/2.0\r\nHost: t\r\n\r\n", 505},
        {"GET /nets.php HTTP/1.1\r\nHost: t\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n", 431},
        {post + "\r\n", 411},
        {post + "Content-Length: 50000000\r\n\r\n", 413},
        {large, 413},
    };
    int smuggled = 0;
    for (const auto& [request, status] : cases) {
        const QByteArray body = R"({"key":"smuggled-key-)" + QByteArray::number(++smuggled) +
                                R"(-0000","net_id":"1","action":1})";
        const Reply reply = exchange(port, request + postRequest(body));
        EXPECT_EQ(reply.status, status) << request.left(100).data();
        EXPECT_TRUE(reply.closed && reply.head.count("HTTP/1.1") == 1) << reply.head.data();
    }
    EXPECT_EQ(confirmedCount(port, "1"), 0);
}

TEST_P(HttpTest, ChunkedBodiesAbsoluteTargetsAndPipelinedRequests) {
    const quint16 port = start();
    const QByteArray body = R"({"key":"operator-key-aaaa","net_id":"2","action":1})";
    const Reply chunked =
        exchange(port, "POST http://t/netconf.php HTTP/1.1\r\nHost: t\r\nContent-Type: "
                       "application/json\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n" +
                           body.left(5) + "\r\n" + QByteArray::number(body.size() - 5, 16) +
                           " ;x=y\r\n" + body.mid(5) + "\r\n0\r\nX-Trailer: 1\r\n\r\n");
    EXPECT_EQ(chunked.status, 200) << chunked.body.data();

    // Two requests in one write get two answers on the one connection.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET /healthz HTTP/1.1\r\nHost: t\r\n\r\nHEAD HTTP://t HTTP/1.0\r\n\r\n");
    QByteArray data;
    EXPECT_TRUE(
        waitFor([&] { return (data += socket.readAll()).count("HTTP/1.1 404 Not") == 1; }, 5000));
    EXPECT_TRUE(data.startsWith("HTTP/1.1 200 OK")) << data.data();
    EXPECT_TRUE(data.endsWith("Connection: close\r\n\r\n")) << data.data(); // HEAD: no body
}

TEST_P(HttpTest, ClientsThatNeverFinishAreDroppedWhileOthersAreServed) {
    const quint16 port = start([](ServerConfig& c) { c.requestTimeoutMs = 300; });
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

// One address holds no more than its share of connections; once all are taken, the longest
// idle one of the busiest address makes room, and a client elsewhere is served throughout.
TEST_P(HttpTest, AFloodFromOneAddressLeavesRoomForOthers) {
    const quint16 port = start([](ServerConfig& c) {
        c.maxConnections = 6;
        c.maxConnectionsPerAddress = 4;
    });
    std::list<QTcpSocket> sockets;
    const auto open = [&](const char* from, int count) {
        for (int i = 0; i < count; ++i) {
            sockets.emplace_back().bind(QHostAddress(from));
            sockets.back().connectToHost(QHostAddress::LocalHost, port);
        }
    };
    const auto held = [&](const char* from) {
        return std::count_if(sockets.begin(), sockets.end(), [&](QTcpSocket& s) {
            return s.state() == QAbstractSocket::ConnectedState &&
                   s.localAddress() == QHostAddress(from);
        });
    };
    open("127.0.0.2", 20);
    EXPECT_TRUE(waitFor([&] { return held("127.0.0.2") == 4; }, 5000));
    open("127.0.0.3", 2);
    EXPECT_TRUE(waitFor([&] { return held("127.0.0.3") == 2; }, 5000));
    EXPECT_EQ(get(port, "/nets.php").status, 200);
    EXPECT_TRUE(waitFor([&] { return held("127.0.0.2") == 3 && held("127.0.0.3") == 2; }, 5000));
}

// With the database locked by another connection: reads and health are answered within their
// deadlines, a write gives up with 503 and Retry-After, and one address may not hold more than
// its share of requests in progress.
TEST_P(DirectoryServerTest, ALockedDatabaseHoldsUpNoRead) {
    const quint16 port = start([](ServerConfig& c) {
        c.writeDeadlineMs = 500;
        c.maxRequestsPerAddress = 1;
    });
    {
        const auto lock = lockDatabase();
        std::list<QTcpSocket> writes;
        for (int i = 0; i < 3; ++i) {
            writes.emplace_back().connectToHost(QHostAddress::LocalHost, port);
            writes.back().write(confirmRequest(kKeyA, "1"));
        }
        const auto reply = [](QTcpSocket& s) { return Reply::read(s.peek(1 << 16), false); };
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(get(port, "/nets.php", "127.0.0.2").status, 200);
        EXPECT_EQ(get(port, "/healthz", "127.0.0.3").status, 200);
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_TRUE(waitFor(
            [&] {
                return std::all_of(writes.begin(), writes.end(),
                                   [&](QTcpSocket& s) { return reply(s).done(); });
            },
            5000));
        QList<QByteArray> retryAfter;
        for (QTcpSocket& write : writes) {
            EXPECT_EQ(reply(write).status, 503);
            retryAfter << reply(write).header("Retry-After");
        }
        std::sort(retryAfter.begin(), retryAfter.end());
        EXPECT_EQ(retryAfter, QList<QByteArray>({"1", "1", "2"}));
    }
    EXPECT_EQ(confirm(port, kKeyA, "1").status, 200);
    EXPECT_EQ(confirmedCount(port, "1"), 1);
}

// A file removed under the running server takes no more writes, shows in the health check and,
// once, in the log, and is not made again; the lists as last read are still served.
// Only SQLite keeps the directory in a file of its own.
class SqliteFileTest : public DirectoryServerTest {};
INSTANTIATE_TEST_SUITE_P(Storage, SqliteFileTest, ::testing::Values(Driver::Sqlite), driverName);

TEST_P(SqliteFileTest, ARemovedDatabaseIsReportedAndNeverRecreated) {
    m_database = DatabaseUrl::sqlite(m_dir.filePath("folder/directory.sqlite"));
    const quint16 port = start();
    ASSERT_EQ(confirm(port, kKeyA, "1").status, 200);
    LogCapture log;
    ASSERT_TRUE(QDir(m_dir.filePath("folder")).removeRecursively());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(confirm(port, kKeyB, "1").status, 503);
    EXPECT_EQ(get(port, "/healthz").status, 503);
    EXPECT_EQ(confirmedCount(port, "1"), 1);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("folder")));
    EXPECT_EQ(log.taken().filter("unavailable").size(), 1) << log.taken().join('\n').toStdString();
}

// Every request that reached the server before the stop is answered (and what was answered 200
// is counted); the server then exits in order.
TEST_P(DirectoryServerTest, SigtermAnswersEveryRequestItTook) {
    QProcess process;
    process.start(BANDHOPPER_SERVER_BINARY, {"serve", "--listen", "127.0.0.1:0", "--database",
                                             m_database.display(), "--rate-limit", "0"});
    QByteArray said;
    ASSERT_TRUE(waitFor(
        [&] { return (said += process.readAllStandardError()).contains("listening"); }, 10000));
    const QRegularExpression portPattern("listening on 127.0.0.1:(\\d+),");
    const quint16 served = quint16(portPattern.match(said).captured(1).toInt());
    struct Client {
        QTcpSocket socket;
        QByteArray in;
        int sent = 0, answered = 0, confirmed = 0;
    };
    std::list<Client> clients(8);
    int total = 0;
    for (Client& client : clients) {
        const auto send = [&client, index = total++] {
            client.socket.write(confirmRequest("stop-key-" + QByteArray::number(index) + '-' +
                                                   QByteArray::number(++client.sent) + "-00000",
                                               "1"));
        };
        QObject::connect(&client.socket, &QTcpSocket::connected, send);
        QObject::connect(&client.socket, &QTcpSocket::readyRead, [&client, send] {
            const Reply reply = Reply::read(client.in += client.socket.readAll(), false);
            if (!reply.whole())
                return;
            ++client.answered;
            client.confirmed += reply.status == 200;
            client.in.clear();
            if (reply.header("Connection") != "close")
                send();
        });
        client.socket.connectToHost(QHostAddress::LocalHost, served);
    }
    const auto answered = [&] {
        return std::accumulate(clients.begin(), clients.end(), 0,
                               [](int sum, const Client& c) { return sum + c.answered; });
    };
    ASSERT_TRUE(waitFor([&] { return answered() >= 40; }, 10000));
    process.terminate();
    ASSERT_TRUE(waitFor([&] { return process.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE((said + process.readAllStandardError()).endsWith("stopped\n"));
    int confirmed = 0;
    for (Client& client : clients) {
        EXPECT_TRUE(waitFor(
            [&] { return client.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
        EXPECT_EQ(client.sent, client.answered);
        confirmed += client.confirmed;
    }
    const quint16 port = start([](ServerConfig& c) { c.clock = &QDateTime::currentDateTimeUtc; });
    EXPECT_EQ(confirmedCount(port, "1"), confirmed);
}

TEST_P(HttpTest, ConfirmationsPerAddressAreLimitedPerMinute) {
    const quint16 port = start([](ServerConfig& c) {
        c.rateLimit = 3;
        c.trustForwardedFor = true;
    });
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

// One line per request, each its own even on a kept-alive connection, with neither the query
// (where a key could be) nor raw control or separator characters.
TEST_P(HttpTest, LogsOneLinePerRequest) {
    const quint16 port = start();
    LogCapture log;
    confirm(port, kKeyA, "1");
    get(port, "/nope?key=x");
    exchange(port, "GET /healthz HTTP/1.1\r\nHost: t\r\n\r\nBAD\r\n\r\n");
    get(port, "/a\xc2\x85z\xe2\x80\xa8z");
    ASSERT_TRUE(waitFor([&] { return log.taken().size() >= 5; }, 5000));
    const QStringList lines = log.taken();
    const char* expected[] = {"POST /netconf.php 200", "GET /nope 404", "GET /healthz 200",
                              "- - 400", "GET /a%C2%85z%E2%80%A8z 404"};
    ASSERT_EQ(lines.size(), 5) << lines.join('\n').toStdString();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1 \\d+ ms$").arg(expected[i]))
                        .match(lines[i])
                        .hasMatch())
            << lines[i].toStdString();
}

TEST(ServerCommand, UsageErrors) {
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
}
