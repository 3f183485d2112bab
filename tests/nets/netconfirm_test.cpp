#include "nets/netconfirm.h"

#include "loopbackserver.h"
#include "waitfor.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace nets;

namespace {

TEST(ConfirmBody, ExactlyThreeMembersOfFixedTypes) {
    for (const bool confirm : {true, false}) {
        const QString key = QStringLiteral("k\"e\\y \u00e9");
        const QByteArray body = confirmBody(key, QStringLiteral("1234"), confirm);
        EXPECT_FALSE(body.contains('\n'));
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(body, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << body.toStdString();
        EXPECT_EQ(object.keys(), QStringList({"action", "key", "net_id"}));
        EXPECT_EQ(object["key"].toString(), key);
        EXPECT_EQ(object["net_id"], QJsonValue("1234")); // the identifier goes as text
        EXPECT_EQ(object["action"], QJsonValue(confirm ? 1 : 0));
    }
    EXPECT_EQ(confirmBody("", "7", true), R"({"action":1,"key":"","net_id":"7"})");

    const QNetworkRequest request = confirmRequest(QUrl("https://maker.example:8443/whatever"));
    EXPECT_EQ(request.url().toString(), "https://maker.example:8443/netconf.php");
    EXPECT_EQ(request.attribute(QNetworkRequest::CacheLoadControlAttribute).toInt(),
              QNetworkRequest::AlwaysNetwork);
    EXPECT_EQ(request.transferTimeout(), 30000);
}

// Each send gets one outcome, never before the answer; a failure is said as one, logged once
// and never with the operator key.
TEST(NetConfirmer, OneRequestAndOneOutcomePerSend) {
    enum class Target { Ok, ServerError, Unreachable, Invalid };
    const struct {
        bool confirm;
        Target target;
        bool succeeded;
        const char* said;
    } cases[] = {
        {true, Target::Ok, true, "thank you for confirming Net A"},
        {false, Target::Ok, true, "your confirmation of this net has been retracted"},
        {true, Target::ServerError, false, "confirmation failed for Net A"},
        {false, Target::Unreachable, false, "retraction failed for Net A"},
        {true, Target::Invalid, false, "confirmation failed for Net A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        LoopbackServer server;
        ASSERT_TRUE(server.listen());
        server.route("/netconf.php",
                     {c.target == Target::Ok ? 200 : 500, "{\"whatever\":true}", "text/html"});
        QUrl base = server.baseUrl();
        if (c.target == Target::Invalid) {
            base = QUrl();
        } else if (c.target == Target::Unreachable) {
            QTcpServer closed;
            ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
            base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
        }

        QNetworkAccessManager nam;
        NetConfirmer confirmer(&nam);
        QList<QPair<bool, QString>> outcomes;
        QStringList diagnostics;
        QObject::connect(&confirmer, &NetConfirmer::finished, [&](bool ok, const QString& said) {
            outcomes.append({ok, said});
        });
        QObject::connect(&confirmer, &NetConfirmer::diagnostic,
                         [&](const QString& line) { diagnostics << line; });
        confirmer.send(base, "secret", "42", c.confirm, "Net A");
        EXPECT_TRUE(outcomes.isEmpty());
        ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, 5000));
        settle(50);

        EXPECT_EQ(outcomes, (QList<QPair<bool, QString>>{{c.succeeded, c.said}}));
        EXPECT_EQ(diagnostics.size(), c.succeeded ? 0 : 1);
        EXPECT_TRUE(diagnostics.filter("secret").isEmpty());
        const qsizetype sent = c.target == Target::Ok || c.target == Target::ServerError;
        ASSERT_EQ(server.requests().size(), sent);
        if (sent) {
            const LoopbackServer::Request request = server.requests().first();
            EXPECT_EQ(request.method, "POST");
            EXPECT_EQ(request.path, "/netconf.php");
            EXPECT_EQ(request.body, confirmBody("secret", "42", c.confirm));
            // One Content-Type, spelt as the service expects.
            const auto named = [](const auto& h) {
                return h.first.compare("Content-Type", Qt::CaseInsensitive) == 0;
            };
            EXPECT_EQ(std::count_if(request.headers.begin(), request.headers.end(), named), 1);
            EXPECT_TRUE(request.headers.contains({"Content-Type", "Application/json"}));
        }
    }
}

} // namespace
