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
    const QStringList refs = splitReferences(references);
    if (refs.isEmpty())
        return Mark::None;
    const int index = bandIndex(band);
    const QString call = activator.trimmed().toUpper();
    const QString bandName = band.toLower();
    bool workedToday = index >= 0 && !call.isEmpty();
    bool newBand = false;
    for (const QString& reference : refs) {
        const QString key = referenceKey(program, reference);
        const auto bands = m_bands.constFind(key);
        if (bands == m_bands.constEnd())
            return Mark::New;
        // A reference known only from an import of worked parks says nothing of bands.
        newBand = newBand || (index >= 0 && !(bands.value() & ((quint64(1) << index) | kSomeBand)));
        workedToday = workedToday && m_lastWorked.value(workedKey(key, call, bandName)) == todayUtc;
    }
    if (workedToday)
        return Mark::Worked;
    return newBand ? Mark::NewBand : Mark::None;
}

} // namespace logbook
