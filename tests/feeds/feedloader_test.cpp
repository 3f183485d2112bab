#include "feeds/http.h"

#include "fixture.h"
#include "loopbackserver.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace feeds;

namespace {

const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
constexpr int kShortDeadlineMs = 300;
const std::vector<ListKind> kLists = {ListKind::Pota, ListKind::Sota, ListKind::NetLogger,
                                      ListKind::Nets, ListKind::MW};

QByteArray potaBody(const QString& activator) {
    return QStringLiteral(R"([{"activator":"%1","frequency":"14074","mode":"FT8","comments":"",)"
                          R"("name":"Park","spotTime":"2024-11-30T23:59:00","latitude":1,)"
                          R"("longitude":2,"locationDesc":"US-MA","reference":"US-0001"}])")
        .arg(activator)
        .toUtf8();
}

class FeedLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    // A loader whose lists land in `shown`.
    std::unique_ptr<FeedLoader> loader(ListKind kind, int deadlineMs = kShortDeadlineMs) {
        auto made = std::make_unique<FeedLoader>(kind, &nam);
        made->setDeadlineMs(deadlineMs);
        QObject::connect(made.get(), &FeedLoader::shown,
                         [this](const Rows& rows) { shown.append(rows); });
        return made;
    }

    QUrl at(const QString& path) { return serviceUrl(server.baseUrl(), path); }

    LoopbackServer server;
    QNetworkAccessManager nam;
    QList<Rows> shown;
};

// Every list is shown once, at its deadline; only the two lists of the maker's service skip
// caches on the way.
TEST_F(FeedLoaderTest, EachListShownAtTheDeadlineFromItsPath) {
    server.route("/spot/activator",
                 {200, readFixture("pota-activator-spots.json"), "application/json"});
    std::vector<std::unique_ptr<FeedLoader>> loaders;
    for (const ListKind kind : kLists)
        loaders.push_back(loader(kind, kDeadlineMs));
    QSignalSpy last(loaders.back().get(), &FeedLoader::shown);
    QElapsedTimer clock;
    clock.start();
    for (const auto& each : loaders)
        each->start(feedUrl(each->kind(), ServiceHosts::allAt(server.baseUrl())), kNow);
    ASSERT_TRUE(last.wait(kDeadlineMs + 2000));
    EXPECT_GE(clock.elapsed(), kDeadlineMs);
    EXPECT_LT(clock.elapsed(), kDeadlineMs + 500);
    ASSERT_EQ(shown.size(), 5);
    EXPECT_EQ(shown[0].size(), 54);

    ASSERT_EQ(server.requests().size(), 5);
    for (const LoopbackServer::Request& request : server.requests()) {
        EXPECT_EQ(request.method, "GET");
        const bool uncached = request.path == "/nets.php" || request.path == "/mw.php";
        EXPECT_EQ(request.header("Cache-Control") == "no-cache", uncached) << request.path.data();
    }
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
        shown.clear();
        const auto pota = loader(ListKind::Pota);
        QSignalSpy spy(pota.get(), &FeedLoader::shown);
        QElapsedTimer clock;
        clock.start();
        pota->start(at("/spot/activator?older"), kNow);
        if (gapMs > 0)
            QTest::qWait(gapMs);
        const qint64 newerStart = clock.elapsed();
        pota->start(at("/spot/activator?newer"), kNow);
        ASSERT_TRUE(spy.wait(kShortDeadlineMs + 1000));
        EXPECT_FALSE(spy.wait(200)) << "a second list for the superseded load";
        EXPECT_GE(clock.elapsed() - newerStart, kShortDeadlineMs) << gapMs;
        ASSERT_EQ(shown.size(), 1);
        ASSERT_EQ(shown[0].size(), 1) << gapMs;
        EXPECT_EQ(shown[0][0][0], "NEWER") << gapMs;
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
        EXPECT_TRUE(spy.wait(deadlineMs + 1000));
        EXPECT_FALSE(fetch.isRunning());
        return fetched;
    }
};

// An error status keeps its body (the feeds decide what it is worth); no answer and a body
// beyond 16 MiB, announced or not, give an empty result and one line naming the address.
TEST_F(DeadlineFetchTest, WhatArrivedByTheDeadline) {
    const QByteArray big(kMaxBodyBytes + 1024 * 1024, 'x');
    LoopbackServer::Response hang;
    hang.hang = true;
    LoopbackServer::Response declared{200, "x"};
    declared.declaredLength = big.size();
    LoopbackServer::Response unannounced{200, big};
    unannounced.omitLength = true;
    server.route("/ok", {200, "fine"});
    server.route("/broken", {500, "<html>500</html>", "text/html"});
    server.route("/hang", hang);
    server.route("/big", {200, big});
    server.route("/declared", declared);
    server.route("/unannounced", unannounced);
    struct Case {
        QString path;
        int status; // 0: nothing arrived
        QByteArray body;
        bool error;
    };
    const std::vector<Case> cases = {
        {"/ok", 200, "fine", false},
        {"/broken", 500, "<html>500</html>", true},
        {"/missing", 404, "not found", true},
        {"/hang", 0, "", false},
        {"/big", 0, "", false},
        {"/declared", 0, "", false},
        {"/unannounced", 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const Fetched fetched = fetch(at(c.path), 600);
        ASSERT_EQ(fetched.results.size(), 1);
        const FetchResult& result = fetched.results[0];
        EXPECT_EQ(result.arrived, c.status != 0);
        EXPECT_EQ(result.httpStatus, c.status);
        EXPECT_EQ(result.body, c.body);
        if (c.status != 0) {
            EXPECT_EQ(!result.error.isEmpty(), c.error);
            EXPECT_TRUE(fetched.diagnostics.isEmpty());
        } else {
            ASSERT_EQ(fetched.diagnostics.size(), 1);
            EXPECT_TRUE(fetched.diagnostics[0].contains(at(c.path).toDisplayString()));
        }
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
    EXPECT_EQ(results[1].body, "fine");
}

TEST(FeedUrl, EachListOnItsHostWithATimeOut) {
    const ServiceHosts hosts;
    const QStringList paths = {"/spot/activator", "/api/spots/-3/all", "/api/GetActiveNets.php",
                               "/nets.php", "/mw.php"};
    const std::vector<QUrl> bases = {hosts.pota, hosts.sota, hosts.netLogger, hosts.maker,
                                     hosts.maker};
    for (std::size_t i = 0; i < kLists.size(); ++i)
        EXPECT_EQ(feedUrl(kLists[i], hosts), serviceUrl(bases[i], paths[i]));
    EXPECT_EQ(makeRequest(QUrl("https://x.test"), CachePolicy::Default, 1234).transferTimeout(),
              1234);
}

} // namespace
