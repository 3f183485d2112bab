#include "nets/operatorkey.h"

#include "waitfor.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using nets::OperatorKeyStore;

namespace {

constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr auto kAnyAccess = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                            QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

// These tests cover the settings fallback, so no keychain service may answer: the session bus
// address points nowhere and no display is there to start one.
class OperatorKeyFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bandhopper-test-bus");
        qunsetenv("DISPLAY");
        ASSERT_TRUE(dir.isValid());
    }

    QString iniPath() const { return dir.filePath(QStringLiteral("settings.ini")); }

    std::unique_ptr<QSettings> settings() const {
        return std::make_unique<QSettings>(iniPath(), QSettings::IniFormat);
    }

    QFile::Permissions permissions() const { return QFile::permissions(iniPath()) & kAnyAccess; }

    // A store over `s`, loaded; counts its diagnostics in `diagnostics`.
    std::unique_ptr<OperatorKeyStore> loadedStore(QSettings* s, QStringList* diagnostics) {
        auto store = std::make_unique<OperatorKeyStore>(s);
        store->setKeychainTimeoutMs(1000);
        QObject::connect(store.get(), &OperatorKeyStore::diagnostic,
                         [diagnostics](const QString& line) { *diagnostics << line; });
        bool loaded = false;
        QObject::connect(store.get(), &OperatorKeyStore::loaded, [&loaded] { loaded = true; });
        store->load();
        EXPECT_FALSE(loaded) << "load answers asynchronously";
        EXPECT_TRUE(waitFor([&] { return loaded; }, 3000));
        return store;
    }

    QTemporaryDir dir;
};

// A file written before is restricted on load. The key is never logged; the one line says
// where it is kept.
TEST_F(OperatorKeyFallbackTest, KeyKeptInOwnerOnlySettingsAcrossRuns) {
    settings()->setValue("operatorKey", "from-before");
    QFile::setPermissions(iniPath(), kOwnerOnly | QFile::ReadGroup | QFile::ReadOther);
    {
        auto s = settings();
        QStringList diagnostics;
        auto store = loadedStore(s.get(), &diagnostics);
        EXPECT_EQ(store->key(), "from-before");
        EXPECT_EQ(permissions(), kOwnerOnly);
        store->setKey("op-key-1");
        store->setKey("op-key-2");
        EXPECT_EQ(store->key(), "op-key-2");
        settle(100);
        ASSERT_EQ(diagnostics.size(), 1) << diagnostics.join(u'\n').toStdString();
        EXPECT_TRUE(diagnostics[0].contains(iniPath()));
        EXPECT_FALSE(diagnostics[0].contains("op-key"));
    }
    EXPECT_EQ(permissions(), kOwnerOnly);
    // Another writer of the same file must not widen its permissions again.
    settings()->setValue("defaultRadio", "IC-7300");
    EXPECT_EQ(permissions(), kOwnerOnly);

    auto s = settings();
    QStringList diagnostics;
    auto store = loadedStore(s.get(), &diagnostics);
    EXPECT_EQ(store->key(), "op-key-2");
    store->setKey("");
    EXPECT_FALSE(settings()->contains("operatorKey"));
}

TEST_F(OperatorKeyFallbackTest, KeySetWhileLoadingIsNotOverwritten) {
    settings()->setValue("operatorKey", "stored");
    auto s = settings();
    OperatorKeyStore store(s.get());
    bool loaded = false;
    QObject::connect(&store, &OperatorKeyStore::loaded, [&loaded] { loaded = true; });
    store.load();
    store.setKey("typed");
    ASSERT_TRUE(waitFor([&] { return loaded; }, 5000));
    settle(100);
    EXPECT_EQ(store.key(), "typed");
    EXPECT_EQ(settings()->value("operatorKey").toString(), "typed");
}

} // namespace
