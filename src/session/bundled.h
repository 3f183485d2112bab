#pragma once

#include "feeds/feedloader.h"

namespace session {

// The nets directory (Nets) or the station list (MW) as bundled into the application, for
// where no directory service is set: the nets in the order of their next session from `now`,
// nobody's confirmations counted.
feeds::LoadedList bundledList(core::ListKind list, const QDateTime& now);

} // namespace session
