#pragma once

#include "feeds/sotasources.h"

namespace session {

class Preferences;

// The operator's spot sources in the settings ("sotaSource", "clusterAddress", "callsign").
// Anything unreadable there reads as the default: the legacy address, SOTA's cluster, no
// callsign.
feeds::SotaSourceSettings readSpotSources(const Preferences& preferences);
void storeSpotSources(Preferences& preferences, const feeds::SotaSourceSettings& sources);

} // namespace session
