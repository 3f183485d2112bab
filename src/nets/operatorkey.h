#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QSettings;

namespace QKeychain {
class Job;
}

namespace nets {

// A new operator key: 128 random bits from the system's generator, base64url without padding
// (22 characters of letters, digits, '-' and '_').
QString newOperatorKey();

// Makes sure `fileName` exists and is readable and writable by its owner only, before anything
// secret is written to it. False when that cannot be done.
bool prepareOwnerOnlyFile(const QString& fileName);

// Keeps the operator key, an opaque text that identifies the operator to the maker's service, in
// the desktop keychain (service "Bandhopper", key "operatorKey"). Where no keychain service
// answers, the key goes to the given settings under "operatorKey" and the settings file is made
// readable by its owner only. Every keychain call is an asynchronous job; nothing blocks.
class OperatorKeyStore : public QObject {
    Q_OBJECT
public:
    explicit OperatorKeyStore(QSettings* fallback, QObject* parent = nullptr);
    // Any other secret kept the same way, under `keyName` in the keychain and the settings;
    // `what` names it in diagnostics ("web log API key").
    OperatorKeyStore(QSettings* fallback, const QString& keyName, const QString& what,
                     QObject* parent = nullptr);
    ~OperatorKeyStore() override;

    // Reads the stored key; `loaded` follows, also when nothing was stored (key() is then "").
    void load();
    QString key() const { return m_key; }
    // Takes effect at once for key(); the store is written in the background.
    void setKey(const QString& key);
    // The key, after making the operator a new one (kept like a typed one) when there is none, so
    // that the service can tell them from everybody else.
    QString ensureKey();

    // How long a keychain job may stay silent before the settings file is used instead.
    void setKeychainTimeoutMs(int ms) { m_keychainTimeoutMs = ms; }

signals:
    void loaded();
    void diagnostic(const QString& line);

private:
    enum class Backend { Unknown, Keychain, Settings };

    void onReadFinished(QKeychain::Job* job);
    void onReadTimeout();
    void finishLoad();
    void writeKeychain();
    void useSettings(const QString& why);
    QString settingsKey() const;
    void writeSettings();
    void restrictPermissions();
    void dropSettingsCopy();

    QPointer<QSettings> m_settings;
    QString m_keyName;
    QString m_what;
    QString m_key;
    Backend m_backend = Backend::Unknown;
    QPointer<QKeychain::Job> m_readJob;
    QTimer m_readTimeout;
    bool m_loading = false;
    bool m_keySetDuringLoad = false;
    int m_keychainTimeoutMs = 3000;
};

} // namespace nets
