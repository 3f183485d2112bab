#pragma once

#include "feeds/sotasources.h"

namespace session {

class Preferences;

// The operator's spot sources in the settings ("sotaSource", "clusterAddress", "callsign").
// Anything unreadable there, or never chosen, reads as the default: the current API, SOTA's
// cluster, no callsign.
feeds::SotaSourceSettings readSpotSources(const Preferences& preferences);
// Stores the source and the cluster; the callsign belongs to the station.
void storeSpotSources(Preferences& preferences, const feeds::SotaSourceSettings& sources);

// Who the operator is ("callsign" and "grid" in the settings): named in every request, used to
// log in to the cluster and written into logged contacts. Each is a valid one or "".
struct StationIdentity {
    QString callsign;
    QString grid;

    bool operator==(const StationIdentity&) const = default;
};

StationIdentity readStationIdentity(const Preferences& preferences);
void storeStationIdentity(Preferences& preferences, const StationIdentity& identity);

} // namespace session
