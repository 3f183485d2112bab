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

QByteArray netBody(const QByteArray& name) {
    return "<NetName>" + name +
           "</NetName>\n<Frequency>7.2</Frequency>\n<Mode>SSB</Mode>\n"
           "<SubscriberCount>1</SubscriberCount>\n";
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
    LoopbackServer::Response older{200, netBody("OLDER")};
    older.delayMs = 30;
    LoopbackServer::Response newer{200, netBody("NEWER")};
    newer.delayMs = 100;
    server.route("/nets?older", older);
    server.route("/nets?newer", newer);

    // Superseded before the older reply came, and after it had already come.
    for (const int gapMs : {0, 150}) {
        shown.clear();
        const auto nets = loader(ListKind::NetLogger);
        QSignalSpy spy(nets.get(), &FeedLoader::shown);
        QElapsedTimer clock;
        clock.start();
        nets->start(at("/nets?older"), kNow);
        if (gapMs > 0)
            QTest::qWait(gapMs);
        const qint64 newerStart = clock.elapsed();
        nets->start(at("/nets?newer"), kNow);
        ASSERT_TRUE(spy.wait(kShortDeadlineMs + 1000));
        EXPECT_FALSE(spy.wait(200)) << "a second list for the superseded load";
        EXPECT_GE(clock.elapsed() - newerStart, kShortDeadlineMs) << gapMs;
        ASSERT_EQ(shown.size(), 1);
        ASSERT_EQ(shown[0].size(), 1) << gapMs;
        EXPECT_EQ(shown[0][0][0], "NEWER") << gapMs;
    }
}

// An error status keeps its body (the feeds decide what it is worth); no answer and a body
// beyond 16 MiB, announced or not, give an empty result and one line naming the address.
TEST_F(FeedLoaderTest, DeadlineFetchHandsOverWhatArrived) {
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

    const auto fetch = [&](const QString& path, int status, const QByteArray& body) {
        SCOPED_TRACE(path.toStdString());
        QList<FetchResult> results;
        QStringList diagnostics;
        DeadlineFetch fetch(&nam);
        fetch.setDeadlineMs(600);
        QObject::connect(&fetch, &DeadlineFetch::expired,
                         [&](const FetchResult& result) { results.append(result); });
        QObject::connect(&fetch, &DeadlineFetch::diagnostic,
                         [&](const QString& line) { diagnostics.append(line); });
        QSignalSpy spy(&fetch, &DeadlineFetch::expired);
        fetch.start(makeRequest(at(path), CachePolicy::Default, kFeedTimeoutMs));
        ASSERT_TRUE(spy.wait(1600));
        EXPECT_FALSE(fetch.isRunning());
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].arrived, status != 0);
        EXPECT_EQ(results[0].httpStatus, status);
        EXPECT_EQ(results[0].body, body);
        EXPECT_EQ(results[0].error.isEmpty(), status == 200);
        EXPECT_EQ(diagnostics.size(), status == 0 ? 1 : 0);
        EXPECT_TRUE(diagnostics.isEmpty() || diagnostics[0].contains(at(path).toDisplayString()));
    };
    fetch("/ok", 200, "fine");
    fetch("/broken", 500, "<html>500</html>");
    fetch("/missing", 404, "not found");
    for (const char* path : {"/hang", "/big", "/declared", "/unannounced"})
        fetch(path, 0, "");
}

TEST_F(FeedLoaderTest, AReceiverMayStartTheNextFetch) {
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

// The paths are checked where the controller fetches every list once.
TEST(FeedUrl, EachListOnItsHost) {
    const ServiceHosts hosts;
    const std::vector<QUrl> bases = {hosts.pota, hosts.sota, hosts.netLogger, hosts.maker,
                                     hosts.maker};
    for (std::size_t i = 0; i < kLists.size(); ++i)
        EXPECT_EQ(feedUrl(kLists[i], hosts).adjusted(QUrl::RemovePath), bases[i]);
}

} // namespace
