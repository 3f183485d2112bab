#include "nets/netconfirm.h"
#include "nets/operatorkey.h"

#include "loopbackpeers.h"
#include "loopbackserver.h"
#include "testing.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QTemporaryDir>

using namespace nets;

// Each send gets one outcome, never before the answer; a failure is said as one, logged once
// and never with the operator key. The body is compact, the identifier as text, the action as a
// number, the key escaped.
TEST(NetConfirmer, OneRequestAndOneOutcomePerSend) {
    EXPECT_EQ(confirmBody("", "7", true), R"({"action":1,"key":"","net_id":"7"})");
    EXPECT_EQ(confirmBody("k\"e\\y é", "1234", false),
              R"({"action":0,"key":"k\"e\\y é","net_id":"1234"})");
    LoopbackServer server;
    QNetworkAccessManager nam;
    NetConfirmer confirmer(&nam);
    QSignalSpy finished(&confirmer, &NetConfirmer::finished);
    QSignalSpy diagnostics(&confirmer, &NetConfirmer::diagnostic);
    const std::tuple<bool, int, const char*> cases[] = {
        {true, 200, "thank you for confirming Net A"},
        {false, 201, "your confirmation of this net has been retracted"},
        {true, 500, "confirmation failed for Net A"},
        {false, 0, "retraction failed for Net A"}, // nobody listens
    };
    for (const auto& [confirm, status, said] : cases) {
        finished.clear(), diagnostics.clear(), server.clearRequests();
        server.route("/netconf.php", {status, "{\"whatever\":true}", "text/html"});
        QUrl base = server.baseUrl();
        if (status == 0)
            base.setPort(freePort());
        EXPECT_TRUE(confirmer.send(base, "secret", "42", confirm, "Net A"));
        EXPECT_TRUE(finished.isEmpty());
        ASSERT_TRUE(finished.wait(5000));
        const bool succeeded = status / 100 == 2;
        EXPECT_EQ(finished[0], (QVariantList{succeeded, QString::fromUtf8(said)}));
        ASSERT_EQ(diagnostics.size(), succeeded ? 0 : 1) << said;
        EXPECT_TRUE(succeeded || !diagnostics[0][0].toString().contains("secret"));
        ASSERT_EQ(server.requests().size(), status ? 1 : 0) << said;
        if (status) {
            const LoopbackServer::Request request = server.requests().first();
            EXPECT_EQ(request.method + ' ' + request.path, "POST /netconf.php");
            EXPECT_EQ(request.body, confirmBody("secret", "42", confirm));
            // One Content-Type, spelt as the service expects.
            QByteArrayList names;
            for (const auto& [name, value] : request.headers)
                names << name.toLower();
            EXPECT_EQ(names.count("content-type"), 1);
            EXPECT_EQ(request.header("Content-Type"), "Application/json");
        }
    }
}

// Only a web address with a host is sent to; anything else is said once and sends nothing, so no
// outcome follows.
TEST(NetConfirmer, RefusesAddressesThatAreNotWebAddresses) {
    for (const char* base : {"", "ftp://maker.example", "file:///tmp/maker", "maker.example",
                             "http://", "https:/netconf.php"}) {
        QNetworkAccessManager nam;
        NetConfirmer confirmer(&nam);
        QSignalSpy diagnostics(&confirmer, &NetConfirmer::diagnostic);
        EXPECT_FALSE(confirmer.send(QUrl(base), "secret", "42", true, "Net A")) << base;
        EXPECT_TRUE(nam.findChildren<QNetworkReply*>().isEmpty()) << base;
        ASSERT_EQ(diagnostics.size(), 1) << base;
        EXPECT_FALSE(diagnostics[0][0].toString().contains("secret"));
    }
}

constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr auto kWorldReadable = kOwnerOnly | QFile::ReadGroup | QFile::ReadOther;

// These tests cover the settings fallback, so no keychain service may answer: the session bus
// address points nowhere and no display is there to start one.
class OperatorKeyFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bandhopper-test-bus");
        qunsetenv("DISPLAY");
    }

    QString iniPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    std::unique_ptr<QSettings> settings() const {
        return std::make_unique<QSettings>(iniPath(), QSettings::IniFormat);
    }
    QString storedKey() const { return settings()->value("operatorKey").toString(); }
    static QFile::Permissions permissions(const QString& path) {
        return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    }
    void writeWorldReadable(const char* key, const char* value) {
        settings()->setValue(key, value);
        QFile::setPermissions(iniPath(), kWorldReadable);
    }

    QTemporaryDir dir;
};

// A file written before is restricted on load, which answers asynchronously. The key is never
// logged; the one line says where it is kept. Another writer of the same file must not widen its
// permissions again.
TEST_F(OperatorKeyFallbackTest, KeyKeptInOwnerOnlySettingsAcrossRuns) {
    writeWorldReadable("operatorKey", "from-before");
    const char* keys[] = {"from-before", "op-key", ""};
    for (int run = 0; run < 3; ++run) {
        auto s = settings();
        OperatorKeyStore store(s.get());
        store.setKeychainTimeoutMs(1000);
        QSignalSpy loaded(&store, &OperatorKeyStore::loaded);
        QSignalSpy diagnostics(&store, &OperatorKeyStore::diagnostic);
        store.load();
        EXPECT_TRUE(loaded.isEmpty());
        ASSERT_TRUE(loaded.wait(3000));
        EXPECT_EQ(store.key(), keys[run]);
        EXPECT_EQ(permissions(iniPath()), kOwnerOnly);
        store.setKey(keys[(run + 1) % 3]);
        ASSERT_EQ(diagnostics.size(), 1);
        EXPECT_TRUE(diagnostics[0][0].toString().contains(iniPath()));
        EXPECT_FALSE(diagnostics[0][0].toString().contains("op-key"));
        settings()->setValue("defaultRadio", "IC-7300");
        EXPECT_EQ(permissions(iniPath()), kOwnerOnly);
    }
}

// The first key written, without any load before, finds the file owner-only whether it was
// readable by others or did not exist yet.
TEST_F(OperatorKeyFallbackTest, FirstKeyGoesIntoAnOwnerOnlyFile) {
    for (const bool existed : {true, false}) {
        SCOPED_TRACE(existed);
        QFile::remove(iniPath());
        if (existed)
            writeWorldReadable("defaultRadio", "IC-7300");
        auto s = settings();
        OperatorKeyStore store(s.get());
        store.setKeychainTimeoutMs(1000);
        store.setKey("op-key");
        ASSERT_TRUE(waitFor([&] { return storedKey() == "op-key"; }, 3000));
        EXPECT_EQ(permissions(iniPath()), kOwnerOnly);
        EXPECT_EQ(settings()->contains("defaultRadio"), existed);
    }
}

TEST_F(OperatorKeyFallbackTest, KeySetWhileLoadingIsNotOverwritten) {
    settings()->setValue("operatorKey", "stored");
    auto s = settings();
    OperatorKeyStore store(s.get());
    QSignalSpy loaded(&store, &OperatorKeyStore::loaded);
    store.load();
    store.setKey("typed");
    ASSERT_TRUE(waitFor([&] { return !loaded.isEmpty() && storedKey() == "typed"; }, 5000));
    EXPECT_EQ(store.key(), "typed");
}

TEST_F(OperatorKeyFallbackTest, PrepareOwnerOnlyFile) {
    const QString missing = dir.filePath("new/folder/settings.ini");
    EXPECT_TRUE(nets::prepareOwnerOnlyFile(missing));
    EXPECT_EQ(permissions(missing), kOwnerOnly);
    // Beneath a plain file nothing can be created, not even by root.
    writeWorldReadable("operatorKey", "kept");
    EXPECT_FALSE(nets::prepareOwnerOnlyFile(iniPath() + "/settings.ini"));
}
