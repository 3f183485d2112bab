#pragma once

#include "core/listkind.h"
#include "session/listmodel.h"

#include <QSet>
#include <QStringList>

#include <array>

namespace session {

// Callsigns, park, summit and WWFF references the operator waits for; '*' stands for any run of
// characters ("K-*", "W7O/*", "KFF-*", "N0CALL*"). Matching ignores case and covers the whole text.
class WatchList {
public:
    WatchList() = default;
    explicit WatchList(const QStringList& patterns);

    // One pattern per line or separated by commas or blanks.
    static WatchList fromText(const QString& text);
    QString toText() const { return m_patterns.join(u'\n'); }
    const QStringList& patterns() const { return m_patterns; }
    bool isEmpty() const { return m_patterns.isEmpty(); }

    bool matches(const RowFacts& facts) const;
    static bool globMatch(QStringView pattern, QStringView text);

private:
    QStringList m_patterns;
};

// "K1ABC at K-1234 Yellowstone, 14.074 FT8"
QString watchAnnouncement(const RowFacts& facts);

// Finds the watched rows of each load that were not in the previous load of the same list.
class WatchTracker {
public:
    // The rows of `model` (its latest load) that match and are new.
    QList<int> newHits(core::ListKind list, const ListModel& model, const WatchList& watch);

private:
    std::array<QSet<QString>, core::kAllLists.size()> m_previous;
};

} // namespace session
