#include "session/spotsources.h"

#include "core/callsign.h"
#include "session/preferences.h"

namespace session {

namespace {

const QString kSource = QStringLiteral("sotaSource");
const QString kCluster = QStringLiteral("clusterAddress");
const QString kCallsign = QStringLiteral("callsign");

} // namespace

feeds::SotaSourceSettings readSpotSources(const Preferences& preferences) {
    feeds::SotaSourceSettings sources;
    sources.source =
        feeds::sotaSourceNamed(preferences.text(kSource)).value_or(feeds::SotaSource::Legacy);
    sources.cluster =
        feeds::readClusterAddress(preferences.text(kCluster)).value_or(feeds::kSotaCluster);
    sources.callsign = core::readCallsign(preferences.text(kCallsign)).value_or(QString());
    return sources;
}

void storeSpotSources(Preferences& preferences, const feeds::SotaSourceSettings& sources) {
    preferences.setText(kSource, feeds::sotaSourceName(sources.source));
    preferences.setText(kCluster, sources.cluster.text());
    preferences.setText(kCallsign, sources.callsign);
}

} // namespace session
