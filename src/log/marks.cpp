#include "log/marks.h"

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
    m_bandContacts.clear();
    m_worked.clear();
}

void Marks::add(const Contact& contact) {
    count(contact, 1);
}

void Marks::remove(const Contact& contact) {
    count(contact, -1);
}

void Marks::count(const Contact& contact, int by) {
    const int band = bandIndex(contact.band);
    const quint64 bit = band < 0 ? kSomeBand : quint64(1) << band;
    const QString call = contact.call.toUpper();
    const QString bandName = contact.band.toLower();
    const QString day = contact.start.toUTC().date().toString(Qt::ISODate);
    for (Program program : kAllPrograms) {
        for (const QString& reference : references(contact, program)) {
            const QString key = referenceKey(program, reference);
            const QString worked = workedKey(key, call, bandName) + u'|' + day;
            const QString onBand = key + u'#' + QString::number(band);
            const int contacts = (m_bandContacts[onBand] += by);
            if ((m_worked[worked] += by) <= 0)
                m_worked.remove(worked);
            if (contacts > 0) {
                m_bands[key] |= bit;
                continue;
            }
            m_bandContacts.remove(onBand);
            // The last contact on this band is gone; a reference left with no band is new again.
            auto bands = m_bands.find(key);
            if (bands != m_bands.end() && !(bands.value() &= ~bit))
                m_bands.erase(bands);
        }
    }
}

void Marks::addWorked(Program program, const QString& reference) {
    // Counted with the contacts of no known band, so that removing one of those keeps it.
    for (const QString& one : splitReferences(reference)) {
        const QString key = referenceKey(program, one);
        ++m_bandContacts[key + QStringLiteral("#-1")];
        m_bands[key] |= kSomeBand;
    }
}

void Marks::load(const QList<Contact>& contacts, const QList<QPair<Program, QString>>& worked) {
    clear();
    for (const Contact& contact : contacts)
        add(contact);
    for (const auto& [program, reference] : worked)
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
                      m_worked.contains(workedKey(key, call, band.toLower()) + u'|' +
                                        todayUtc.toString(Qt::ISODate));
    }
    if (workedToday)
        return Mark::Worked;
    return newBand ? Mark::NewBand : Mark::None;
}

} // namespace logbook
