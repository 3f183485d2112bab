#include "conditions/updatenotice.h"

#include "loopbackserver.h"
#include "waitfor.h"

#include <QNetworkAccessManager>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace conditions;

namespace {

TEST(ParsePublishedVersion, AcceptsOnlyShortVersionTexts) {
    const struct {
        QByteArray body;
        std::optional<QString> version;
    } cases[] = {
        {"0.94", "0.94"},
        {"  0.94\r\n", "0.94"},
        {"\xEF\xBB\xBF"
         "1.0-beta2\n",
         "1.0-beta2"},
        {"1234567890123456", "1234567890123456"},
        {"12345678901234567", std::nullopt}, // 17 characters
        {"", std::nullopt},
        {" \n", std::nullopt},
        {"v0.94", std::nullopt},
        {"0.94 beta", std::nullopt},
        {"0.94\n0.95", std::nullopt},
        {QByteArray("0.9\0", 4), std::nullopt},
        {"0.9\xc3\xa9", std::nullopt},
        {"<html><body>Not Found</body></html>", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parsePublishedVersion(c.body), c.version) << c.body.toStdString();
}

TEST(UpdateAlert, RaisedWhenTheTextsDiffer) {
    const auto newer = updateAlert(kVersion, QStringLiteral("0.94"));
    ASSERT_TRUE(newer);
    EXPECT_EQ(*newer, (UpdateAlert{"Bandhopper", "v0.94 is now available.", "Download", "OK"}));

    EXPECT_FALSE(updateAlert(kVersion, QStringLiteral("0.93")));
    EXPECT_FALSE(updateAlert(kVersion, QString()));
    // Inequality, not order: a different form or an older version still raises it.
    EXPECT_EQ(updateAlert(kVersion, QStringLiteral("0.930"))->informative,
              "v0.930 is now available.");
    EXPECT_TRUE(updateAlert(kVersion, QStringLiteral("0.92")));
}

TEST(VersionFetcher, PublishedVersionOrTheRunningOne) {
    const struct {
        const char* name;
        LoopbackServer::Response response;
        QString version;
        int diagnostics;
    } cases[] = {
        {"published", {200, "0.94\n"}, "0.94", 0},
        {"same", {200, "0.93"}, "0.93", 0},
        {"missing file", {404, "0.95"}, kVersion, 1},
        {"error page", {200, "<html>oops</html>", "text/html"}, kVersion, 1},
        {"empty", {200, ""}, kVersion, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        ASSERT_TRUE(server.listen());
        server.route("/bandhopper/version.txt", c.response);
        QNetworkAccessManager nam;
        VersionFetcher fetcher(&nam);
        QStringList finished, diagnostics;
        QObject::connect(&fetcher, &VersionFetcher::finished,
                         [&](const QString& v) { finished << v; });
        QObject::connect(&fetcher, &VersionFetcher::diagnostic,
                         [&](const QString& line) { diagnostics << line; });
        fetcher.start(server.baseUrl());
        ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 5000));
        settle(50);
        EXPECT_EQ(finished, QStringList{c.version});
        EXPECT_EQ(diagnostics.size(), c.diagnostics) << diagnostics.join(u'\n').toStdString();
        EXPECT_EQ(server.count("/bandhopper/version.txt"), 1);
    }
}

TEST(VersionFetcher, UnreachableHostGivesTheRunningVersion) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    QNetworkAccessManager nam;
    VersionFetcher fetcher(&nam);
    QStringList finished;
    QObject::connect(&fetcher, &VersionFetcher::finished, [&](const QString& v) { finished << v; });
    fetcher.start(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 5000));
    EXPECT_EQ(finished, QStringList{kVersion});
}

TEST(VersionFetcher, OversizedReplyIsDropped) {
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    server.route("/bandhopper/version.txt", {200, "0.94" + QByteArray(64 * 1024, ' ')});
    QNetworkAccessManager nam;
    VersionFetcher fetcher(&nam);
    QStringList finished;
    QObject::connect(&fetcher, &VersionFetcher::finished, [&](const QString& v) { finished << v; });
    fetcher.start(server.baseUrl());
    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 5000));
    EXPECT_EQ(finished, QStringList{kVersion});
}

} // namespace
