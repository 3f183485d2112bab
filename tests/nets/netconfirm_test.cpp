#include "nets/netconfirm.h"

#include "loopbackserver.h"
#include "waitfor.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace nets;

namespace {

TEST(ConfirmBody, ExactlyThreeMembersOfFixedTypes) {
    for (const bool confirm : {true, false}) {
        for (const QString& key : {QString(), QStringLiteral("k\"e\\y \u00e9")}) {
            const QByteArray body = confirmBody(key, QStringLiteral("1234"), confirm);
            EXPECT_FALSE(body.contains('\n'));
            QJsonParseError error;
            const QJsonObject object = QJsonDocument::fromJson(body, &error).object();
            ASSERT_EQ(error.error, QJsonParseError::NoError) << body.toStdString();
            EXPECT_EQ(object.keys(), QStringList({"action", "key", "net_id"}));
            EXPECT_TRUE(object["key"].isString());
            EXPECT_EQ(object["key"].toString(), key);
            EXPECT_TRUE(object["net_id"].isString()); // the identifier goes as text, not a number
            EXPECT_EQ(object["net_id"].toString(), "1234");
            EXPECT_TRUE(object["action"].isDouble());
            EXPECT_EQ(object["action"].toInt(-1), confirm ? 1 : 0);
        }
    }
    EXPECT_EQ(confirmBody("", "7", true), R"({"action":1,"key":"","net_id":"7"})");
}

TEST(ConfirmRequest, TargetHeaderAndSettings) {
    const QNetworkRequest request =
        confirmRequest(QUrl(QStringLiteral("https://maker.example:8443/whatever")));
    EXPECT_EQ(request.url().toString(), "https://maker.example:8443/netconf.php");
    EXPECT_EQ(request.rawHeader("Content-Type"), "Application/json");
    EXPECT_EQ(request.attribute(QNetworkRequest::CacheLoadControlAttribute).toInt(),
              QNetworkRequest::AlwaysNetwork);
    EXPECT_EQ(request.transferTimeout(), 30000);
}

quint16 closedPort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

TEST(NetConfirmer, OneRequestAndOneOutcomePerSend) {
    enum class Target { Ok, ServerError, Unreachable };
    const struct {
        const char* name;
        bool confirm;
        Target target;
        bool succeeded;
        const char* said;
    } cases[] = {
        {"confirm 200", true, Target::Ok, true, "thank you for confirming Net A"},
        {"unconfirm 200", false, Target::Ok, true,
         "your confirmation of this net has been retracted"},
        {"confirm 500", true, Target::ServerError, false, "confirmation failed for Net A"},
        {"unconfirm 500", false, Target::ServerError, false, "retraction failed for Net A"},
        {"confirm unreachable", true, Target::Unreachable, false, "confirmation failed for Net A"},
        {"unconfirm unreachable", false, Target::Unreachable, false, "retraction failed for Net A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        ASSERT_TRUE(server.listen());
        server.route("/netconf.php",
                     {c.target == Target::Ok ? 200 : 500, "{\"whatever\":true}", "text/html"});
        const QUrl base = c.target == Target::Unreachable
                              ? QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()))
                              : server.baseUrl();

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
        ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, 5000));
        settle(50);

        ASSERT_EQ(outcomes.size(), 1);
        EXPECT_EQ(outcomes[0].first, c.succeeded);
        EXPECT_EQ(outcomes[0].second, c.said);
        EXPECT_EQ(diagnostics.size(), c.succeeded ? 0 : 1);
        for (const QString& line : diagnostics)
            EXPECT_FALSE(line.contains("secret")) << "the operator key must not be logged";

        if (c.target == Target::Unreachable) {
            EXPECT_TRUE(server.requests().isEmpty());
            continue;
        }
        ASSERT_EQ(server.requests().size(), 1);
        const LoopbackServer::Request request = server.requests().first();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/netconf.php");
        int contentTypes = 0;
        for (const auto& [name, value] : request.headers) {
            if (name.compare("Content-Type", Qt::CaseInsensitive) == 0) {
                ++contentTypes;
                EXPECT_EQ(name, "Content-Type");
                EXPECT_EQ(value, "Application/json");
            }
        }
        EXPECT_EQ(contentTypes, 1);
        EXPECT_EQ(request.body, confirmBody("secret", "42", c.confirm));
    }
}

TEST(NetConfirmer, InvalidAddressFailsWithoutSending) {
    QNetworkAccessManager nam;
    NetConfirmer confirmer(&nam);
    QList<bool> outcomes;
    int diagnostics = 0;
    QObject::connect(&confirmer, &NetConfirmer::finished,
                     [&](bool ok, const QString&) { outcomes << ok; });
    QObject::connect(&confirmer, &NetConfirmer::diagnostic, [&](const QString&) { ++diagnostics; });
    confirmer.send(QUrl(), "k", "1", true, "Net B");
    EXPECT_TRUE(outcomes.isEmpty()) << "the outcome comes later, like any network outcome";
    ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, 1000));
    EXPECT_EQ(outcomes, QList<bool>{false});
    EXPECT_EQ(diagnostics, 1);
}

} // namespace
