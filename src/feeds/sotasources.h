#pragma once

#include "core/servicehosts.h"
#include "feeds/feedloader.h"
#include "feeds/sotacluster.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <optional>

namespace feeds {

class SotaApiLoader;

// Where SOTA spots come from: the current API (the default), the legacy address (which SOTA has
// retired), or the spot cluster.
enum class SotaSource { Legacy, Api, Cluster };

// "legacy", "api", "cluster": the names the settings and the command line use.
QString sotaSourceName(SotaSource source);
std::optional<SotaSource> sotaSourceNamed(QStringView name);

struct SotaSourceSettings {
    SotaSource source = SotaSource::Api;
    ClusterAddress cluster = kSotaCluster;
    QString callsign; // a valid callsign, or "" when the operator has set none

    bool operator==(const SotaSourceSettings&) const = default;
};

extern const QString kClusterNeedsCallsign;

// SOTA loads from the current API or the cluster; the legacy address is loaded like every other
// list. The cluster connection is opened as soon as it is chosen and stays open between loads.
class SotaSourceLoader : public QObject {
    Q_OBJECT
public:
    explicit SotaSourceLoader(QNetworkAccessManager* nam, QObject* parent = nullptr);

    const SotaSourceSettings& settings() const { return m_settings; }
    void setSettings(const SotaSourceSettings& settings);
    void setDeadlineMs(int ms);

    // `now` is the instant the spot ages count to.
    void start(const core::ServiceHosts& hosts, const QDateTime& now);

signals:
    // Once per load that is not superseded, at its deadline.
    void shown(const feeds::LoadedList& loaded);
    void diagnostic(const QString& line);

private:
    void showCluster();

    SotaSourceSettings m_settings;
    SotaApiLoader* m_api;
    QPointer<ClusterClient> m_cluster;
    QTimer m_clusterDeadline;
    QDateTime m_now;
};

} // namespace feeds
