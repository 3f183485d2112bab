#include "feeds/sotasources.h"

#include "feeds/sotaapi.h"

namespace feeds {

const QString kClusterNeedsCallsign =
    QStringLiteral("Set your callsign in Preferences to use the SOTA cluster");

QString sotaSourceName(SotaSource source) {
    switch (source) {
    case SotaSource::Api:
        return QStringLiteral("api");
    case SotaSource::Cluster:
        return QStringLiteral("cluster");
    case SotaSource::Legacy:
        break;
    }
    return QStringLiteral("legacy");
}

std::optional<SotaSource> sotaSourceNamed(QStringView name) {
    for (SotaSource source : {SotaSource::Legacy, SotaSource::Api, SotaSource::Cluster})
        if (name == sotaSourceName(source))
            return source;
    return std::nullopt;
}

SotaSourceLoader::SotaSourceLoader(QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_api(new SotaApiLoader(nam, this)) {
    connect(m_api, &SotaApiLoader::shown, this, &SotaSourceLoader::shown);
    connect(m_api, &SotaApiLoader::diagnostic, this, &SotaSourceLoader::diagnostic);
    m_clusterDeadline.setSingleShot(true);
    m_clusterDeadline.setTimerType(Qt::PreciseTimer);
    m_clusterDeadline.setInterval(net::kDeadlineMs);
    connect(&m_clusterDeadline, &QTimer::timeout, this, &SotaSourceLoader::showCluster);
}

void SotaSourceLoader::setSettings(const SotaSourceSettings& settings) {
    const bool wantCluster = settings.source == SotaSource::Cluster && !settings.callsign.isEmpty();
    if (m_cluster && (!wantCluster || m_cluster->address() != settings.cluster ||
                      settings.callsign != m_settings.callsign))
        delete m_cluster;
    m_settings = settings;
    if (wantCluster && !m_cluster) {
        m_cluster = new ClusterClient(settings.cluster, settings.callsign, this);
        connect(m_cluster, &ClusterClient::diagnostic, this, &SotaSourceLoader::diagnostic);
        m_cluster->start();
    }
}

void SotaSourceLoader::setDeadlineMs(int ms) {
    m_api->setDeadlineMs(ms);
    m_clusterDeadline.setInterval(ms);
}

void SotaSourceLoader::start(const core::ServiceHosts& hosts, const QDateTime& now) {
    m_now = now;
    m_clusterDeadline.stop();
    if (m_settings.source == SotaSource::Api)
        m_api->start(hosts.sotaApi, now);
    else if (m_settings.source == SotaSource::Cluster)
        m_clusterDeadline.start();
}

void SotaSourceLoader::showCluster() {
    LoadedList loaded{ListKind::Sota, emptyRows(ListKind::Sota), {}, {}};
    if (!m_cluster) {
        // Without a callsign the cluster cannot be logged in to, so it is not even asked.
        loaded.failure = kClusterNeedsCallsign;
    } else {
        loaded.rows = m_cluster->rows(m_now);
        loaded.notice = m_cluster->stateText();
    }
    emit shown(loaded);
}

} // namespace feeds
