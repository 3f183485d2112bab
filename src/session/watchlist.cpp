#include "session/watchlist.h"

#include <QRegularExpression>

namespace session {

WatchList::WatchList(const QStringList& patterns) {
    for (const QString& pattern : patterns)
        if (!pattern.trimmed().isEmpty())
            m_patterns << pattern.trimmed().toUpper();
}

WatchList WatchList::fromText(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    return WatchList(text.split(separators, Qt::SkipEmptyParts));
}

bool WatchList::globMatch(QStringView pattern, QStringView text) {
    // Iterative wildcard matching: on a mismatch, let the last '*' swallow one more character.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] != u'*' &&
            pattern[p].toCaseFolded() == text[t].toCaseFolded()) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool WatchList::matches(const RowFacts& facts) const {
    for (const QString& pattern : m_patterns)
        if (globMatch(pattern, facts.activator) ||
            (!facts.reference.isEmpty() && globMatch(pattern, facts.reference)))
            return true;
    return false;
}

QString watchAnnouncement(const RowFacts& facts) {
    QString megahertz = QString::number(double(facts.hertz) / 1e6, 'f', 6);
    while (megahertz.endsWith(u'0') && megahertz.indexOf(u'.') < megahertz.size() - 4)
        megahertz.chop(1);
    QString where = facts.reference;
    if (!facts.place.trimmed().isEmpty())
        where += u' ' + facts.place.trimmed();
    QString text = facts.activator;
    if (!where.trimmed().isEmpty())
        text += QStringLiteral(" at ") + where.trimmed();
    text += QStringLiteral(", ") + megahertz;
    if (!facts.mode.isEmpty())
        text += u' ' + facts.mode;
    return text;
}

QList<int> WatchTracker::newHits(core::ListKind list, const ListModel& model,
                                 const WatchList& watch) {
    QSet<QString> seen;
    QList<int> hits;
    for (int row = 0; row < model.rowCount(); ++row) {
        const RowFacts& facts = model.facts(row);
        const QString key = facts.activator.toUpper() + u'\n' + facts.reference.toUpper() + u'\n' +
                            QString::number(facts.hertz) + u'\n' + facts.mode.toUpper();
        if (watch.matches(facts) && !m_previous[core::listIndex(list)].contains(key) &&
            !seen.contains(key))
            hits << row;
        seen.insert(key);
    }
    m_previous[core::listIndex(list)] = std::move(seen);
    return hits;
}

} // namespace session
