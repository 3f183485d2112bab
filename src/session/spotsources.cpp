#include "session/spotsources.h"

#include "core/callsign.h"
#include "session/preferences.h"

namespace session {

namespace {

const QString kSource = QStringLiteral("sotaSource");
const QString kCluster = QStringLiteral("clusterAddress");
const QString kCallsign = QStringLiteral("callsign");
const QString kGrid = QStringLiteral("grid");

} // namespace

feeds::SotaSourceSettings readSpotSources(const Preferences& preferences) {
    feeds::SotaSourceSettings sources;
    sources.source =
        feeds::sotaSourceNamed(preferences.text(kSource)).value_or(feeds::SotaSource::Api);
    sources.cluster =
        feeds::readClusterAddress(preferences.text(kCluster)).value_or(feeds::kSotaCluster);
    sources.callsign = core::readCallsign(preferences.text(kCallsign)).value_or(QString());
    return sources;
}

void storeSpotSources(Preferences& preferences, const feeds::SotaSourceSettings& sources) {
    preferences.setText(kSource, feeds::sotaSourceName(sources.source));
    preferences.setText(kCluster, sources.cluster.text());
}

StationIdentity readStationIdentity(const Preferences& preferences) {
    return {core::readCallsign(preferences.text(kCallsign)).value_or(QString()),
            core::readGridLocator(preferences.text(kGrid)).value_or(QString())};
}

void storeStationIdentity(Preferences& preferences, const StationIdentity& identity) {
    preferences.setText(kCallsign, identity.callsign);
    preferences.setText(kGrid, identity.grid);
}

} // namespace session
