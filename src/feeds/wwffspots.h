#pragma once

#include "core/rows.h"
#include "feeds/spotfeeds.h"

#include <QByteArray>
#include <QDateTime>

namespace feeds {

// WWFF spots, newest first (spots whose time does not read last, in reply order). Only the
// activator and a frequency that reads as kilohertz are needed; any other member that is
// missing or null leaves its cell empty. A spot that breaks the record is skipped alone with a
// diagnostic line; the others stay.
Parsed<core::WwffSpot> parseWwffSpots(const QByteArray& body, const QDateTime& now);

} // namespace feeds
