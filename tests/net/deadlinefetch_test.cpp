#include "net/http.h"

#include "loopbackpeers.h"
#include "loopbackserver.h"
#include "testing.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>

using namespace net;

constexpr int kShortDeadlineMs = 300;

class DeadlineFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fetch.setDeadlineMs(kShortDeadlineMs);
        QObject::connect(&fetch, &DeadlineFetch::expired,
                         [this](const FetchResult& result) { results.append(result); });
    }
    QUrl at(const char* path) const { return QUrl(server.baseUrl().toString() + path); }
    void start(const QUrl& url) { fetch.start(makeRequest(url, CachePolicy::Default, 60000)); }

    LoopbackServer server;
    QNetworkAccessManager nam;
    DeadlineFetch fetch{&nam};
    QSignalSpy diagnostics{&fetch, &DeadlineFetch::diagnostic};
    QList<FetchResult> results;
};

// An error status keeps its body (the consumer decides what it is worth); a body beyond the
// limit (announced or not) and a refused connection give no body and one line that names the
// address. Whatever happened, the result comes at the deadline and not before.
TEST_F(DeadlineFetchTest, HandsOverWhatArrivedAtTheDeadline) {
    const QByteArray big(kMaxBodyBytes + 1024 * 1024, 'x');
    server.route("/ok", {200, "fine"});
    server.route("/broken", {500, "<html>500</html>", "text/html"});
    server.route("/declared", {.body = "x", .declaredLength = big.size()});
    server.route("/unannounced", {.body = big, .omitLength = true});
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/").arg(freePort()));
    const std::tuple<QUrl, int, QByteArray, QString> cases[] = {
        {at("/ok"), 200, "fine", ""},
        {at("/broken"), 500, "<html>500</html>", "HTTP 500 from 127.0.0.1"},
        {at("/declared"), 0, "", "the reply from 127.0.0.1 was too large"},
        {at("/unannounced"), 0, "", "the reply from 127.0.0.1 was too large"},
        {refused, 0, "", "127.0.0.1: Connection refused"},
    };
    for (const auto& [url, status, body, failure] : cases) {
        SCOPED_TRACE(url.toString().toStdString());
        results.clear(), diagnostics.clear();
        QElapsedTimer clock;
        clock.start();
        start(url);
        ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, 5000));
        EXPECT_GE(clock.elapsed(), kShortDeadlineMs);
        EXPECT_EQ(results[0].httpStatus, status);
        EXPECT_EQ(results[0].body, body);
        EXPECT_EQ(failureText(results[0], url, kShortDeadlineMs), failure);
        ASSERT_EQ(diagnostics.size(), status == 0 ? 1 : 0);
        EXPECT_TRUE(status || diagnostics[0][0].toString().contains(url.toDisplayString()));
    }
}

// A newer start drops the older request and its deadline (which would expire early), whether the
// older reply was still on its way or had already come.
TEST_F(DeadlineFetchTest, NewerStartSupersedesTheOlder) {
    server.route("/older", {.body = "older", .delayMs = 30});
    server.route("/newer", {200, "newer"});
    for (const bool olderArrived : {false, true}) {
        results.clear();
        QSignalSpy replies(&nam, &QNetworkAccessManager::finished);
        start(at("/older"));
        if (olderArrived) {
            ASSERT_TRUE(replies.wait(2000));
        }
        QElapsedTimer clock;
        clock.start();
        start(at("/newer"));
        ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, 5000));
        EXPECT_GE(clock.elapsed(), kShortDeadlineMs) << olderArrived;
        EXPECT_EQ(results[0].body, "newer") << olderArrived;
    }
}

// A reply that comes after its deadline reaches nobody, not even the fetch a receiver starts
// from the expired signal, which then runs as any other.
TEST_F(DeadlineFetchTest, LateReplyNeverDelivered) {
    server.route("/late", {.body = "late", .delayMs = kShortDeadlineMs + 100});
    server.route("/ok", {200, "fine"});
    QObject::connect(&fetch, &DeadlineFetch::expired, [this] {
        if (results.size() == 1)
            start(at("/ok"));
    });
    start(at("/late"));
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }, 5000));
    EXPECT_EQ(failureText(results[0], at("/late"), kShortDeadlineMs),
              "no reply from 127.0.0.1 within 0.3 s");
    EXPECT_EQ(diagnostics.size(), 1);
    EXPECT_EQ(results[1].body, "fine");
    EXPECT_EQ(failureText(results[1], at("/ok"), kShortDeadlineMs), "");
}
