#include "conditions/updatenotice.h"

#include "loopbackserver.h"
#include "waitfor.h"

#include <QNetworkAccessManager>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace conditions;

namespace {

TEST(ParsePublishedVersion, AcceptsOnlyShortVersionTexts) {
    const std::vector<std::pair<QByteArray, QString>> valid = {
        {"  0.94\r\n", "0.94"},
        {"\xEF\xBB\xBF"
         "1.0-beta2\n",
         "1.0-beta2"},
        {"1234567890123456", "1234567890123456"},
    };
    for (const auto& [body, version] : valid)
        EXPECT_EQ(parsePublishedVersion(body), version) << body.toStdString();
    // The first one has 17 characters.
    for (const QByteArray body :
         {"12345678901234567", "", " \n", "v0.94", "0.94 beta", "0.94\n0.95", "0.9\xc3\xa9",
          "<html><body>Not Found</body></html>"})
        EXPECT_EQ(parsePublishedVersion(body), std::nullopt) << body.toStdString();
    EXPECT_EQ(parsePublishedVersion(QByteArray("0.9\0", 4)), std::nullopt);
}

// The texts of the alert are shown where the controller raises it for a newer version.
TEST(UpdateAlert, RaisedWhenTheTextsDifferNotByOrder) {
    EXPECT_FALSE(updateAlert(kVersion, kVersion));
    EXPECT_FALSE(updateAlert(kVersion, QString()));
    EXPECT_TRUE(updateAlert(kVersion, kVersion + "0"));
    EXPECT_TRUE(updateAlert(kVersion, QStringLiteral("0.01")));
}

TEST(VersionFetcher, PublishedVersionOrTheRunningOne) {
    const struct {
        const char* name;
        LoopbackServer::Response response;
        QString version;
        int diagnostics;
    } cases[] = {
        {"published", {200, "0.94\n"}, "0.94", 0},
        {"missing file", {404, "0.95"}, kVersion, 1},
        {"error page", {200, "<html>oops</html>", "text/html"}, kVersion, 1},
        {"empty", {200, ""}, kVersion, 1},
        {"oversized", {200, "0.94" + QByteArray(64 * 1024, ' ')}, kVersion, 1},
        {"unreachable", {}, kVersion, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        ASSERT_TRUE(server.listen());
        server.route("/bandhopper/version.txt", c.response);
        QUrl base = server.baseUrl();
        if (c.name == std::string_view("unreachable")) {
            QTcpServer closed;
            ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
            base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
        }
        QNetworkAccessManager nam;
        VersionFetcher fetcher(&nam);
        QStringList finished, diagnostics;
        QObject::connect(&fetcher, &VersionFetcher::finished,
                         [&](const QString& v) { finished << v; });
        QObject::connect(&fetcher, &VersionFetcher::diagnostic,
                         [&](const QString& line) { diagnostics << line; });
        fetcher.start(base);
        ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 5000));
        settle(50);
        EXPECT_EQ(finished, QStringList{c.version});
        EXPECT_EQ(diagnostics.size(), c.diagnostics) << diagnostics.join(u'\n').toStdString();
    }
}

} // namespace
