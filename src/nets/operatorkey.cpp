#include "nets/operatorkey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>

#ifdef BH_HAVE_KEYCHAIN
#include <qt6keychain/keychain.h>
#endif

#include <array>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nets {

namespace {

const QString kService = QStringLiteral("Bandhopper");
const QString kSilentKeychain = QStringLiteral("the keychain did not answer");

} // namespace

OperatorKeyStore::OperatorKeyStore(QSettings* fallback, QObject* parent)
    : OperatorKeyStore(fallback, QStringLiteral("operatorKey"), QStringLiteral("operator key"),
                       parent) {}

OperatorKeyStore::OperatorKeyStore(QSettings* fallback, const QString& keyName, const QString& what,
                                   QObject* parent)
    : QObject(parent)
    , m_settings(fallback)
    , m_keyName(keyName)
    , m_what(what) {
    m_readTimeout.setSingleShot(true);
    connect(&m_readTimeout, &QTimer::timeout, this, &OperatorKeyStore::onReadTimeout);
}

// Pending jobs delete themselves when they end; their connections to this store die with it.
OperatorKeyStore::~OperatorKeyStore() = default;

void OperatorKeyStore::load() {
    m_loading = true;
    m_keySetDuringLoad = false;
#ifdef BH_HAVE_KEYCHAIN
    if (m_backend != Backend::Settings) {
        if (m_readJob)
            m_readJob->disconnect(this);
        auto* job = new QKeychain::ReadPasswordJob(kService);
        job->setAutoDelete(true);
        job->setKey(m_keyName);
        m_readJob = job;
        connect(job, &QKeychain::Job::finished, this, &OperatorKeyStore::onReadFinished);
        m_readTimeout.start(m_keychainTimeoutMs);
        job->start();
        return;
    }
#else
    useSettings(QStringLiteral("this build has no keychain support"));
#endif
    // Answer on a later turn of the event loop, as a keychain job would.
    m_readTimeout.stop();
    QTimer::singleShot(0, this, [this] {
        if (!m_keySetDuringLoad)
            m_key = settingsKey();
        finishLoad();
    });
}

void OperatorKeyStore::onReadFinished(QKeychain::Job* job) {
#ifdef BH_HAVE_KEYCHAIN
    if (job != m_readJob)
        return;
    m_readJob = nullptr;
    m_readTimeout.stop();
    switch (job->error()) {
    case QKeychain::NoError:
        m_backend = Backend::Keychain;
        if (!m_keySetDuringLoad)
            m_key = static_cast<QKeychain::ReadPasswordJob*>(job)->textData();
        dropSettingsCopy();
        break;
    case QKeychain::EntryNotFound:
        m_backend = Backend::Keychain;
        if (!m_keySetDuringLoad) {
            // A key kept in the settings while no keychain ran moves into the keychain now.
            m_key = settingsKey();
            if (!m_key.isEmpty())
                writeKeychain();
        }
        break;
    default:
        useSettings(job->errorString());
        if (!m_keySetDuringLoad)
            m_key = settingsKey();
        break;
    }
    finishLoad();
#else
    Q_UNUSED(job);
#endif
}

void OperatorKeyStore::onReadTimeout() {
    if (m_readJob)
        m_readJob->disconnect(this);
    m_readJob = nullptr;
    useSettings(kSilentKeychain);
    if (!m_keySetDuringLoad)
        m_key = settingsKey();
    finishLoad();
}

void OperatorKeyStore::finishLoad() {
    m_loading = false;
    m_keySetDuringLoad = false;
    emit loaded();
}

void OperatorKeyStore::setKey(const QString& key) {
    m_key = key;
    // A load still under way must not overwrite the newer key with the stored one.
    if (m_loading)
        m_keySetDuringLoad = true;
    if (m_backend == Backend::Settings) {
        writeSettings();
        return;
    }
#ifdef BH_HAVE_KEYCHAIN
    writeKeychain();
#else
    useSettings(QStringLiteral("this build has no keychain support"));
    writeSettings();
#endif
}

QString OperatorKeyStore::ensureKey() {
    if (m_key.isEmpty())
        setKey(newOperatorKey());
    return m_key;
}

void OperatorKeyStore::writeKeychain() {
#ifdef BH_HAVE_KEYCHAIN
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setAutoDelete(true);
    job->setKey(m_keyName);
    job->setTextData(m_key);
    // Whichever comes first, the job's answer or its time-out, decides; the other is ignored.
    auto decided = std::make_shared<bool>(false);
    connect(job, &QKeychain::Job::finished, this, [this, decided](QKeychain::Job* done) {
        if (std::exchange(*decided, true))
            return;
        if (done->error() == QKeychain::NoError) {
            m_backend = Backend::Keychain;
            dropSettingsCopy();
        } else {
            useSettings(done->errorString());
            writeSettings();
        }
    });
    QTimer::singleShot(m_keychainTimeoutMs, this,
                       [this, decided, job = QPointer<QKeychain::Job>(job)] {
                           if (std::exchange(*decided, true))
                               return;
                           if (job)
                               job->disconnect(this);
                           useSettings(kSilentKeychain);
                           writeSettings();
                       });
    job->start();
#endif
}

void OperatorKeyStore::useSettings(const QString& why) {
    if (m_backend == Backend::Settings)
        return;
    m_backend = Backend::Settings;
    if (!m_settings) {
        emit diagnostic(
            QStringLiteral("no keychain service (%1); %2 kept for this run only").arg(why, m_what));
        return;
    }
    emit diagnostic(QStringLiteral("no keychain service (%1); %2 kept in %3, readable by its owner "
                                   "only")
                        .arg(why, m_what, m_settings->fileName()));
    // The file may already hold a key from an earlier run.
    restrictPermissions();
}

QString OperatorKeyStore::settingsKey() const {
    return m_settings ? m_settings->value(m_keyName).toString() : QString();
}

void OperatorKeyStore::writeSettings() {
    if (!m_settings)
        return;
    // Restricted before the key goes in: the settings are rewritten through a new file that
    // takes the old one's permissions, so the key is never readable by others, not even briefly.
    prepareOwnerOnlyFile(m_settings->fileName());
    if (m_key.isEmpty())
        m_settings->remove(m_keyName);
    else
        m_settings->setValue(m_keyName, m_key);
    m_settings->sync();
    restrictPermissions();
}

QString newOperatorKey() {
    std::array<quint32, 4> bits{};
    QRandomGenerator::system()->fillRange(bits.data(), bits.size());
    const QByteArray raw(reinterpret_cast<const char*>(bits.data()), sizeof bits);
    return QString::fromLatin1(
        raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool prepareOwnerOnlyFile(const QString& fileName) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool restricted = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return restricted;
}

void OperatorKeyStore::restrictPermissions() {
    const QString fileName = m_settings->fileName();
    if (!QFile::exists(fileName))
        return;
    if (!QFile::setPermissions(fileName, QFile::ReadOwner | QFile::WriteOwner))
        emit diagnostic(
            QStringLiteral("could not make %1 readable by its owner only").arg(fileName));
}

void OperatorKeyStore::dropSettingsCopy() {
    if (!m_settings || !m_settings->contains(m_keyName))
        return;
    m_settings->remove(m_keyName);
    m_settings->sync();
}

} // namespace nets
