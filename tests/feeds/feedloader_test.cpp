#include "feeds/http.h"

#include "fixture.h"
#include "loopbackserver.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace feeds;

namespace {

const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
constexpr int kShortDeadlineMs = 300;
const QByteArray kErrorPage = "<html><body><h1>500 Internal Server Error</h1></body></html>";

QByteArray potaBody(const QString& activator) {
    return QStringLiteral(R"([{"activator":"%1","frequency":"14074","mode":"FT8","comments":"",)"
                          R"("name":"Park","spotTime":"2024-11-30T23:59:00","latitude":1,)"
                          R"("longitude":2,"locationDesc":"US-MA","reference":"US-0001"}])")
        .arg(activator)
        .toUtf8();
}

// Everything one loader emitted, in order.
struct Outcome {
    QList<Rows> shown;
    QStringList diagnostics;
};

class FeedLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    std::unique_ptr<FeedLoader> loader(ListKind kind, int deadlineMs = kShortDeadlineMs) {
        return loader(kind, outcome, deadlineMs);
    }

    std::unique_ptr<FeedLoader> loader(ListKind kind, Outcome& into, int deadlineMs) {
        auto made = std::make_unique<FeedLoader>(kind, &nam);
        made->setDeadlineMs(deadlineMs);
        QObject::connect(made.get(), &FeedLoader::shown,
                         [&into](const Rows& rows) { into.shown.append(rows); });
        QObject::connect(made.get(), &FeedLoader::diagnostic,
                         [&into](const QString& line) { into.diagnostics.append(line); });
        return made;
    }

    QUrl url(ListKind kind, const QString& query = {}) {
        QUrl address = feedUrl(kind, ServiceHosts::allAt(server.baseUrl()));
        address.setQuery(query);
        return address;
    }

    // Waits for the list, then a while longer so that a second, unwanted one would be seen.
    void waitShown(FeedLoader& loader, int timeoutMs, int afterMs = 200) {
        QSignalSpy spy(&loader, &FeedLoader::shown);
        ASSERT_TRUE(spy.wait(timeoutMs));
        EXPECT_FALSE(spy.wait(afterMs));
        EXPECT_EQ(outcome.shown.size(), 1);
    }

    LoopbackServer server;
    QNetworkAccessManager nam;
    Outcome outcome;
};

TEST_F(FeedLoaderTest, ShowsRowsTwoSecondsAfterStartWhileTheLoopTurns) {
    server.route("/spot/activator",
                 {200, readFixture("pota-activator-spots.json"), "application/json"});
    const auto pota = loader(ListKind::Pota, kDeadlineMs);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);

    QSignalSpy spy(pota.get(), &FeedLoader::shown);
    QElapsedTimer clock;
    clock.start();
    pota->start(url(ListKind::Pota), kNow);
    ASSERT_TRUE(spy.wait(kDeadlineMs + 2000));
    const qint64 elapsed = clock.elapsed();

    EXPECT_GE(elapsed, kDeadlineMs);
    EXPECT_LT(elapsed, kDeadlineMs + 500);
    EXPECT_GE(ticks, 30);
    ASSERT_EQ(outcome.shown.size(), 1);
    EXPECT_EQ(outcome.shown[0].size(), 54);
    EXPECT_TRUE(outcome.diagnostics.isEmpty());
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path, "/spot/activator");
}

TEST_F(FeedLoaderTest, ReplyHeldPastTheDeadlineLeavesTheListEmpty) {
    LoopbackServer::Response late{200, potaBody("LATE"), "application/json"};
    late.delayMs = 2500;
    server.route("/spot/activator", late);
    const auto pota = loader(ListKind::Pota, kDeadlineMs);
    pota->start(url(ListKind::Pota), kNow);
    waitShown(*pota, kDeadlineMs + 1000, 600);
    EXPECT_TRUE(outcome.shown.value(0).isEmpty());
    ASSERT_EQ(outcome.diagnostics.size(), 1);
    EXPECT_TRUE(outcome.diagnostics[0].endsWith("gave no reply within 2000 ms"))
        << outcome.diagnostics[0].toStdString();
}

TEST_F(FeedLoaderTest, NewerStartDropsTheOlderReplyAndDeadline) {
    LoopbackServer::Response older{200, potaBody("OLDER"), "application/json"};
    older.delayMs = 30;
    LoopbackServer::Response newer{200, potaBody("NEWER"), "application/json"};
    newer.delayMs = 100;
    server.route("/spot/activator?older", older);
    server.route("/spot/activator?newer", newer);

    // Superseded before the older reply came, and after it had already come.
    for (const int gapMs : {0, 150}) {
        outcome = {};
        const auto pota = loader(ListKind::Pota);
        QElapsedTimer clock;
        clock.start();
        pota->start(url(ListKind::Pota, "older"), kNow);
        if (gapMs > 0)
            QTest::qWait(gapMs);
        const qint64 newerStart = clock.elapsed();
        pota->start(url(ListKind::Pota, "newer"), kNow);
        waitShown(*pota, kShortDeadlineMs + 1000);
        EXPECT_GE(clock.elapsed() - newerStart, kShortDeadlineMs) << gapMs;
        ASSERT_EQ(outcome.shown.value(0).size(), 1) << gapMs;
        EXPECT_EQ(outcome.shown[0][0][0], "NEWER") << gapMs;
    }
}

TEST_F(FeedLoaderTest, ErrorPagesYieldEmptyLists) {
    // JSON feeds say once that the page is not their array; text feeds just find no tags.
    const std::vector<std::pair<ListKind, int>> cases = {
        {ListKind::Pota, 1}, {ListKind::Sota, 1}, {ListKind::NetLogger, 0},
        {ListKind::Nets, 0}, {ListKind::MW, 0},
    };
    std::vector<Outcome> outcomes(cases.size());
    std::vector<std::unique_ptr<FeedLoader>> loaders;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ListKind kind = cases[i].first;
        server.route(feedPath(kind).toUtf8(), {500, kErrorPage, "text/html"});
        loaders.push_back(loader(kind, outcomes[i], kShortDeadlineMs));
        loaders.back()->start(url(kind), kNow);
    }
    QSignalSpy last(loaders.back().get(), &FeedLoader::shown);
    ASSERT_TRUE(last.wait(kShortDeadlineMs + 1000));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QString path = feedPath(cases[i].first);
        ASSERT_EQ(outcomes[i].shown.size(), 1) << path.toStdString();
        EXPECT_TRUE(outcomes[i].shown[0].isEmpty()) << path.toStdString();
        EXPECT_EQ(outcomes[i].diagnostics.size(), cases[i].second) << path.toStdString();
    }
}

TEST_F(FeedLoaderTest, RefusedConnectionGivesOneLineAndNoRows) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl address(
        QStringLiteral("http://127.0.0.1:%1/spot/activator").arg(closed.serverPort()));
    closed.close();

    const auto pota = loader(ListKind::Pota);
    pota->start(address, kNow);
    waitShown(*pota, kShortDeadlineMs + 1000, 0);
    EXPECT_TRUE(outcome.shown.value(0).isEmpty());
    ASSERT_EQ(outcome.diagnostics.size(), 1);
    EXPECT_TRUE(outcome.diagnostics[0].contains(address.toDisplayString()))
        << outcome.diagnostics[0].toStdString();
}

TEST_F(FeedLoaderTest, NetsAndMWAlwaysAskTheOrigin) {
    std::vector<std::unique_ptr<FeedLoader>> loaders;
    for (const ListKind kind :
         {ListKind::Pota, ListKind::Sota, ListKind::NetLogger, ListKind::Nets, ListKind::MW}) {
        loaders.push_back(loader(kind));
        loaders.back()->start(url(kind), kNow);
    }
    QSignalSpy last(loaders.back().get(), &FeedLoader::shown);
    ASSERT_TRUE(last.wait(kShortDeadlineMs + 1000));
    ASSERT_EQ(server.requests().size(), 5);
    for (const LoopbackServer::Request& request : server.requests()) {
        const bool uncached = request.path == "/nets.php" || request.path == "/mw.php";
        EXPECT_EQ(request.header("Cache-Control") == "no-cache", uncached) << request.path.data();
    }
}

class DeadlineFetchTest : public FeedLoaderTest {
protected:
    struct Fetched {
        QList<FetchResult> results;
        QStringList diagnostics;
    };

    Fetched fetch(const QUrl& address, int deadlineMs = kShortDeadlineMs) {
        Fetched fetched;
        DeadlineFetch fetch(&nam);
        fetch.setDeadlineMs(deadlineMs);
        QObject::connect(&fetch, &DeadlineFetch::expired,
                         [&fetched](const FetchResult& result) { fetched.results.append(result); });
        QObject::connect(&fetch, &DeadlineFetch::diagnostic,
                         [&fetched](const QString& line) { fetched.diagnostics.append(line); });
        QSignalSpy spy(&fetch, &DeadlineFetch::expired);
        fetch.start(makeRequest(address, CachePolicy::Default, kFeedTimeoutMs));
        EXPECT_TRUE(fetch.isRunning());
        EXPECT_TRUE(spy.wait(deadlineMs + 1000));
        EXPECT_FALSE(fetch.isRunning());
        return fetched;
    }

    QUrl at(const QByteArray& path) {
        return serviceUrl(server.baseUrl(), QString::fromUtf8(path));
    }
};

TEST_F(DeadlineFetchTest, HttpStatusesKeepTheirBody) {
    server.route("/ok", {200, "fine"});
    server.route("/broken", {500, kErrorPage, "text/html"});
    struct Case {
        QByteArray path;
        int status;
        QByteArray body;
        bool error;
    };
    const std::vector<Case> cases = {
        {"/ok", 200, "fine", false},
        {"/broken", 500, kErrorPage, true},
        {"/missing", 404, "not found", true},
    };
    for (const Case& c : cases) {
        const Fetched fetched = fetch(at(c.path));
        ASSERT_EQ(fetched.results.size(), 1) << c.path.data();
        const FetchResult& result = fetched.results[0];
        EXPECT_TRUE(result.arrived) << c.path.data();
        EXPECT_EQ(result.httpStatus, c.status) << c.path.data();
        EXPECT_EQ(result.body, c.body) << c.path.data();
        EXPECT_EQ(!result.error.isEmpty(), c.error) << c.path.data();
        EXPECT_TRUE(fetched.diagnostics.isEmpty()) << c.path.data();
    }
}

TEST_F(DeadlineFetchTest, HangingReplyExpiresEmptyWithOneLine) {
    LoopbackServer::Response hang;
    hang.hang = true;
    server.route("/hang", hang);
    const Fetched fetched = fetch(at("/hang"));
    ASSERT_EQ(fetched.results.size(), 1);
    EXPECT_FALSE(fetched.results[0].arrived);
    EXPECT_TRUE(fetched.results[0].body.isEmpty());
    EXPECT_EQ(fetched.results[0].httpStatus, 0);
    EXPECT_EQ(fetched.diagnostics.size(), 1);
}

TEST_F(DeadlineFetchTest, OversizedBodiesAreDropped) {
    const QByteArray big(kMaxBodyBytes + 1024 * 1024, 'x');
    LoopbackServer::Response declared{200, "x"};
    declared.declaredLength = big.size();
    server.route("/big", {200, big});
    server.route("/declared", declared);

    // No Content-Length and no end: only counting the bytes received can tell.
    QTcpServer streaming;
    ASSERT_TRUE(streaming.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&streaming, &QTcpServer::newConnection, [&streaming, &big] {
        QTcpSocket* socket = streaming.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &big] {
            socket->readAll();
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big);
        });
    });
    const QUrl unannounced(
        QStringLiteral("http://127.0.0.1:%1/stream").arg(streaming.serverPort()));

    for (const QUrl& address : {at("/big"), at("/declared"), unannounced}) {
        const Fetched fetched = fetch(address, 600);
        ASSERT_EQ(fetched.results.size(), 1) << address.toString().toStdString();
        EXPECT_FALSE(fetched.results[0].arrived) << address.toString().toStdString();
        EXPECT_TRUE(fetched.results[0].body.isEmpty());
        ASSERT_EQ(fetched.diagnostics.size(), 1) << address.toString().toStdString();
        EXPECT_TRUE(fetched.diagnostics[0].contains(address.toDisplayString()));
    }
}

TEST_F(DeadlineFetchTest, AReceiverMayStartTheNextFetch) {
    server.route("/ok", {200, "fine"});
    DeadlineFetch fetch(&nam);
    fetch.setDeadlineMs(100);
    QList<FetchResult> results;
    QObject::connect(&fetch, &DeadlineFetch::expired, [&](const FetchResult& result) {
        results.append(result);
        if (results.size() == 1)
            fetch.start(makeRequest(at("/ok"), CachePolicy::Default, kFeedTimeoutMs));
    });
    QSignalSpy spy(&fetch, &DeadlineFetch::expired);
    fetch.start(makeRequest(at("/ok"), CachePolicy::Default, kFeedTimeoutMs));
    ASSERT_TRUE(spy.wait(1000));
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_FALSE(spy.wait(300));
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].body, "fine");
    EXPECT_EQ(results[1].body, "fine");
}

TEST(MakeRequest, CachePolicyAndTimeOut) {
    const QUrl address(QStringLiteral("https://example.org/x"));
    const QNetworkRequest plain = makeRequest(address, CachePolicy::Default, kFeedTimeoutMs);
    EXPECT_EQ(plain.url(), address);
    EXPECT_EQ(plain.transferTimeout(), kFeedTimeoutMs);
    EXPECT_FALSE(plain.attribute(QNetworkRequest::CacheLoadControlAttribute).isValid());

    const QNetworkRequest fresh = makeRequest(address, CachePolicy::AlwaysNetwork, 1234);
    EXPECT_EQ(fresh.transferTimeout(), 1234);
    EXPECT_EQ(fresh.attribute(QNetworkRequest::CacheLoadControlAttribute).toInt(),
              QNetworkRequest::AlwaysNetwork);
    EXPECT_EQ(fresh.attribute(QNetworkRequest::CacheSaveControlAttribute).toBool(), false);
}

TEST(FeedUrl, EachListOnItsHost) {
    ServiceHosts hosts;
    hosts.pota = QUrl("https://pota.test");
    hosts.sota = QUrl("https://sota.test:8443");
    hosts.netLogger = QUrl("http://netlogger.test");
    hosts.maker = QUrl("https://maker.test");
    const std::vector<std::pair<ListKind, QString>> cases = {
        {ListKind::Pota, "https://pota.test/spot/activator"},
        {ListKind::Sota, "https://sota.test:8443/api/spots/-3/all"},
        {ListKind::NetLogger, "http://netlogger.test/api/GetActiveNets.php"},
        {ListKind::Nets, "https://maker.test/nets.php"},
        {ListKind::MW, "https://maker.test/mw.php"},
    };
    for (const auto& [kind, address] : cases)
        EXPECT_EQ(feedUrl(kind, hosts), QUrl(address)) << address.toStdString();
}

} // namespace
