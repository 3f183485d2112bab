#pragma once

#include "log/contact.h"

#include <QDate>
#include <QHash>
#include <QString>

namespace logbook {

// What the log says of a spot.
enum class Mark {
    None,    // nothing to say: the reference was worked on this band before, or there is none
    New,     // the reference was never worked, on any band
    NewBand, // the reference was worked, but never on this band
    Worked,  // this activator at this reference was worked today (UTC) on this band
};

QString markText(Mark mark); // the short column: "New", "New band", "Worked", ""
// What a screen reader says: "new park", "new summit", "new reference", "new band", "worked
// today".
QString markSpoken(Mark mark, Program program);

// The log indexed by reference and band, so that a list of thousands of spots is marked within
// a frame whatever the size of the log. Contacts are added as they are logged; the day counts
// at the time of asking, so nothing needs redoing at midnight.
class Marks {
public:
    void clear();
    void add(const Contact& contact);
    // Takes back an add() of the same contact (a deletion, or the old side of an edit).
    void remove(const Contact& contact);
    // A reference worked before this log, on a band not known.
    void addWorked(Program program, const QString& reference);
    // The whole log and the references imported as worked before.
    void load(const QList<Contact>& contacts, const QList<QPair<Program, QString>>& worked);

    // `references` may be a comma list (one activation at several parks): the spot is New when
    // one of them was never worked, New band when one was never worked on `band`, and Worked
    // when the activator was worked today on `band` at every one of them.
    Mark mark(Program program, const QString& activator, const QString& references,
              const QString& band, const QDate& todayUtc) const;

private:
    static constexpr quint64 kSomeBand = quint64(1) << 63;

    void count(const Contact& contact, int by);

    QHash<QString, quint64> m_bands;    // program and reference: the bands worked, as bits
    QHash<QString, int> m_bandContacts; // program, reference and band: how many contacts
    QHash<QString, int> m_worked;       // program, reference, call, band and day: how many
};

} // namespace logbook
