#include "log/marks.h"

#include "log/logstore.h"

namespace logbook {

namespace {

QString referenceKey(Program program, const QString& reference) {
    return programName(program) + u'|' + reference;
}

QString workedKey(const QString& referenceKey, const QString& call, const QString& band) {
    return referenceKey + u'|' + call + u'|' + band;
}

} // namespace

QString markText(Mark mark) {
    switch (mark) {
    case Mark::New:
        return QStringLiteral("New");
    case Mark::NewBand:
        return QStringLiteral("New band");
    case Mark::Worked:
        return QStringLiteral("Worked");
    case Mark::None:
        break;
    }
    return {};
}

QString markSpoken(Mark mark, Program program) {
    switch (mark) {
    case Mark::New:
        return program == Program::Pota   ? QStringLiteral("new park")
               : program == Program::Sota ? QStringLiteral("new summit")
                                          : QStringLiteral("new reference");
    case Mark::NewBand:
        return QStringLiteral("new band");
    case Mark::Worked:
        return QStringLiteral("worked today");
    case Mark::None:
        break;
    }
    return {};
}

void Marks::clear() {
    m_bands.clear();
    m_lastWorked.clear();
}

void Marks::add(const Contact& contact) {
    const int band = bandIndex(contact.band);
    const quint64 bit = band < 0 ? kSomeBand : quint64(1) << band;
    const QString call = contact.call.toUpper();
    const QString bandName = contact.band.toLower();
    const QDate day = contact.start.toUTC().date();
    for (Program program : kAllPrograms) {
        for (const QString& reference : references(contact, program)) {
            const QString key = referenceKey(program, reference);
            m_bands[key] |= bit;
            QDate& last = m_lastWorked[workedKey(key, call, bandName)];
            if (!last.isValid() || day > last)
                last = day;
        }
    }
}

void Marks::addWorked(Program program, const QString& reference) {
    for (const QString& one : splitReferences(reference))
        m_bands[referenceKey(program, one)] |= kSomeBand;
}

void Marks::load(const LogStore& store) {
    clear();
    for (const Contact& contact : store.contacts())
        add(contact);
    for (const auto& [program, reference] : store.workedReferences())
        addWorked(program, reference);
}

Mark Marks::mark(Program program, const QString& activator, const QString& references,
                 const QString& band, const QDate& todayUtc) const {
    // One plain reference is the common case; it needs no list.
    const QStringList refs = references.contains(u',') || references.contains(u'@')
                                 ? splitReferences(references)
                                 : QStringList{references.trimmed().toUpper()};
    if (refs.isEmpty() || refs.first().isEmpty())
        return Mark::None;
    const int index = bandIndex(band);
    const quint64 bit = index >= 0 ? quint64(1) << index : 0;
    const QString call = activator.trimmed().toUpper();
    bool workedToday = bit != 0 && !call.isEmpty();
    bool newBand = false;
    for (const QString& reference : refs) {
        const QString key = referenceKey(program, reference);
        const auto bands = m_bands.constFind(key);
        if (bands == m_bands.constEnd())
            return Mark::New;
        // A reference known only from an import of worked parks says nothing of bands.
        newBand = newBand || (bit != 0 && !(bands.value() & (bit | kSomeBand)));
        // Worked today on this band needs the band worked at all: most spots stop here.
        workedToday = workedToday && (bands.value() & bit) &&
                      m_lastWorked.value(workedKey(key, call, band.toLower())) == todayUtc;
    }
    if (workedToday)
        return Mark::Worked;
    return newBand ? Mark::NewBand : Mark::None;
}

} // namespace logbook
