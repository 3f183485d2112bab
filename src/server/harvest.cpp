#include "server/harvest.h"

#include "core/numbers.h"
#include "feeds/feedloader.h"
#include "feeds/textfeed.h"
#include "net/http.h"
#include "net/politeness.h"
#include "server/storage.h"
#include "server/storagepool.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QTimeZone>

namespace server {

Q_LOGGING_CATEGORY(lcHarvest, "bandhopper.server.harvest")

namespace {

constexpr int kMaxNameLength = 100;
// NetLogger's clock and ours may differ a little; a start further ahead is not a session.
constexpr qint64 kFutureSlackSeconds = 15 * 60;
constexpr qint64 kOldestStartSeconds = 24 * 3600;

// A value as it may go into a log line: one line, not too long.
QString logged(const QString& value) {
    QString text = value.left(60);
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return text + (value.size() > 60 ? QStringLiteral("...") : QString());
}

// The ASCII letters and digits of `text` and those of `extra`, at most `length` of them.
QString kept(const QString& text, QStringView extra, int length) {
    QString out;
    for (const QChar c : text)
        if (out.size() < length && c.unicode() < 128 && (c.isLetterOrNumber() || extra.contains(c)))
            out += c;
    return out;
}

// Why this net cannot be recorded; nothing when `seen` holds its checked values.
std::optional<QString> checkNet(const feeds::ActiveNet& net, const QDateTime& now,
                                Observation& seen) {
    if (net.name.isEmpty())
        return QStringLiteral("no name");
    if (net.name.size() > kMaxNameLength)
        return QStringLiteral("a name longer than %1 characters").arg(kMaxNameLength);
    for (const QChar c : net.name) {
        if (c == u'<' || c == u'>')
            return QStringLiteral("markup in the name");
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("a control character in the name");
    }
    if (directory::netNameKey(net.name).isEmpty())
        return QStringLiteral("no letter or digit in the name");
    seen.name = net.name.simplified();

    const std::optional<qint64> hertz = netLoggerHertz(net.frequency);
    if (!hertz)
        return QStringLiteral("frequency \"%1\" is not one from 0.1 to 3000 MHz")
            .arg(logged(net.frequency));
    seen.frequencyHz = *hertz;

    static const QRegularExpression mode(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9 /+-]{0,15}$"));
    if (!mode.match(net.mode).hasMatch())
        return QStringLiteral("mode \"%1\" is not a mode").arg(logged(net.mode));
    seen.mode = net.mode;

    QDateTime start = QDateTime::fromString(net.date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    start.setTimeZone(QTimeZone::utc());
    if (!start.isValid())
        return QStringLiteral("start \"%1\" is not a time").arg(logged(net.date));
    const qint64 ahead = now.secsTo(start);
    if (ahead > kFutureSlackSeconds)
        return QStringLiteral("a start in the future (%1)").arg(net.date);
    if (ahead < -kOldestStartSeconds)
        return QStringLiteral("a start more than a day ago (%1)").arg(net.date);
    seen.start = start;
    seen.lastSeen = std::max(now, start);

    seen.band = kept(net.band, u".", 8);
    seen.netControl = kept(net.netControl, u"/-", 20);
    seen.checkins =
        int(std::clamp<qint64>(core::parseWholeNumber(net.subscribers).value_or(0), 0, 100'000));
    return std::nullopt;
}

} // namespace

HarvestReading readActiveNetsReply(const QByteArray& body, const QDateTime& now) {
    HarvestReading reading;
    if (body.size() > kMaxHarvestBytes) {
        reading.failure = QStringLiteral("a reply of %1 bytes, more than %2 MiB")
                              .arg(body.size())
                              .arg(kMaxHarvestBytes / (1024 * 1024));
        return reading;
    }
    if (body.trimmed().isEmpty()) {
        reading.failure = QStringLiteral("an empty reply");
        return reading;
    }
    const feeds::ActiveNets reply = feeds::parseActiveNets(feeds::decodeFeedText(body));
    if (!reply.recognised) {
        reading.failure = QStringLiteral("a reply that is not NetLogger's list of active nets");
        return reading;
    }
    for (qsizetype i = 0; i < reply.nets.size(); ++i) {
        const feeds::ActiveNet& net = reply.nets[i];
        if (i == kMaxHarvestNets) {
            reading.skipped << QStringLiteral("%1 nets beyond the first %2")
                                   .arg(reply.nets.size() - i)
                                   .arg(kMaxHarvestNets);
            break;
        }
        Observation seen;
        if (const std::optional<QString> why = checkNet(net, now, seen))
            reading.skipped << QStringLiteral("\"%1\": %2").arg(logged(net.name), *why);
        else
            reading.observations << seen;
    }
    return reading;
}

QString harvestLine(const HarvestReading& reading, int listed) {
    QString line = QStringLiteral("harvest: %1 nets recorded, %2 learned nets listed")
                       .arg(reading.observations.size())
                       .arg(listed);
    if (!reading.skipped.isEmpty())
        line += QStringLiteral("; %1 left out, first %2")
                    .arg(reading.skipped.size())
                    .arg(reading.skipped.first());
    return line;
}

Harvester::Harvester(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_pool(std::make_unique<StoragePool>(m_options.database, 1)) {
    if (!m_options.clock)
        m_options.clock = [] { return QDateTime::currentDateTimeUtc(); };
    m_nam = new net::PoliteNetworkAccess(m_options.clock, this);
    m_fetch = new net::DeadlineFetch(m_nam, this);
    m_fetch->setDeadlineMs(m_options.timeoutMs);
    connect(m_fetch, &net::DeadlineFetch::replied, this, &Harvester::onReplied);
    connect(m_fetch, &net::DeadlineFetch::expired, this, [this](const net::FetchResult& result) {
        if (result.timedOut)
            report(QStringLiteral("harvest: no reply from %1 within %2 s")
                       .arg(m_options.netLogger.host())
                       .arg(m_options.timeoutMs / 1000.0),
                   true);
    });
    connect(&m_timer, &QTimer::timeout, this, &Harvester::poll);
}

Harvester::~Harvester() {
    // The pool's last job may still hand its line to this object; it must finish first.
    m_pool->stop();
}

void Harvester::start() {
    m_timer.start(m_options.intervalMs);
    poll();
}

void Harvester::poll() {
    net::RequestPolicy& policy = m_nam->policy();
    const QUrl url =
        feeds::feedUrl(core::ListKind::NetLogger, core::ServiceHosts::allAt(m_options.netLogger));
    if (const QDateTime until = policy.notBefore(url); until.isValid()) {
        report(QStringLiteral("harvest: ") + net::waitText(url.host(), until), true);
        return;
    }
    if (m_fetch->isRunning() || !policy.mayAskAutomatically(QStringLiteral("harvest")))
        return;
    policy.noteAsked(QStringLiteral("harvest"));
    // The deadline decides; the transfer's own time-out only backs it up.
    m_fetch->start(
        net::makeRequest(url, net::CachePolicy::AlwaysNetwork, m_options.timeoutMs + 5000));
}

void Harvester::onReplied(const net::FetchResult& result) {
    const QUrl url = m_options.netLogger;
    const QString failure = net::failureText(result, url, m_options.timeoutMs);
    if (!failure.isEmpty()) {
        report(QStringLiteral("harvest: ") + failure, true);
        return;
    }
    const QDateTime now = m_options.clock();
    HarvestReading reading = readActiveNetsReply(result.body, now);
    if (!reading.failure.isEmpty()) {
        report(QStringLiteral("harvest: %1 sent %2").arg(url.host(), reading.failure), true);
        return;
    }
    const bool taken = m_pool->run([this, reading = std::move(reading), now](Storage& storage) {
        QString line;
        bool failed = false;
        try {
            line = harvestLine(reading, storage.recordHarvest(reading.observations, now));
        } catch (const StorageError& error) {
            line = QStringLiteral("harvest: not recorded: %1").arg(error.what());
            failed = true;
        }
        QMetaObject::invokeMethod(this, [this, line, failed] {
            if (!failed)
                emit recorded();
            report(line, failed);
        });
    });
    // The next poll tries again; this one is lost but said.
    if (!taken)
        report(QStringLiteral("harvest: not recorded: the database is busy"), true);
}

void Harvester::report(const QString& line, bool failed) {
    if (failed)
        qCWarning(lcHarvest, "%s", qPrintable(line));
    else
        qCInfo(lcHarvest, "%s", qPrintable(line));
    emit polled(line);
}

} // namespace server
