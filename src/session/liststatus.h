#pragma once

#include "core/listkind.h"

#include <QDateTime>
#include <QString>

namespace session {

// What the line under a table tells about its list.
struct ListStatus {
    int rows = 0;
    QDateTime loadedAt = {}; // when the last load settled (UTC); invalid before the first
    QString failure = {};    // why that load gave nothing usable; "" when its reply was read
    QString notice = {};     // what the operator must know about it although it was read
    // An automatic load was left out then, the feed having been asked within the minute.
    QDateTime heldBackAt = {};
    // A load the service's own rule kept back, and when the next may go.
    QString pause = {};
    int hidden = 0;     // rows the filter hides
    QString tuned = {}; // how the last Tune of a row of the list went
    // When the rows shown were loaded, the last load having failed; invalid when they are the
    // last load's own.
    QDateTime keptFrom = {};
};

// "12 rows, loaded 14:05 UTC", "No rows (14:05 UTC): no reply from api.pota.app within 2 s",
// "12 rows from the earlier load at 14:05 UTC; the load at 14:07 UTC failed: ...", each followed
// by the rows the filter hides, the notice, a load left out and the last Tune's outcome, when
// there are any.
QString statusText(const ListStatus& status);

// The line under the Log tab's table, worded like a list's: "12 contacts", "No contacts",
// "12 contacts, 3 hidden by the filter", followed by the last thing done to the log when there is
// one ("12 contacts. Deleted K1ABC; Undo Delete brings it back").
QString logStatusText(int contacts, int hidden, const QString& done = {});

// "54 spots", "1 net", "12 stations": what the rows of the list are, counted.
QString rowWords(core::ListKind list, int rows);
// The outcome of a load the operator asked for, as one sentence: "POTA: 54 spots",
// "POTA did not load: no reply from api.pota.app within 2 s".
QString loadSentence(core::ListKind list, int rows, const QString& failure);

} // namespace session
