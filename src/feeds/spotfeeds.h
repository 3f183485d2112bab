#pragma once

#include "core/numbers.h"
#include "core/rows.h"
#include "feeds/jsonrecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>
#include <string_view>

namespace feeds {

template <class Row> struct Parsed {
    QList<Row> rows;
    QStringList diagnostics; // one line each, for standard output
    QString notice = {};     // what the operator must read about the reply as a whole; "" for none
    bool unreadable = false; // the reply as a whole is not a list of spots
};

// What a SOTA service says in place of spots at an address it has retired.
extern const QString kSotaDeprecatedNotice;

// What the spot parsers share: the reply read for `keys`, or nothing with one diagnostic line
// saying why; and the line that says why one spot was skipped.
std::optional<JsonRecords> readSpotRecords(const QByteArray& body,
                                           std::span<const std::string_view> keys,
                                           const QString& feed, QStringList& diagnostics);
QString skippedSpotLine(const QString& feed, std::size_t index, const QString& description);
QString notAnObjectLine(const QString& feed, std::size_t index, JsonType type);

// Whether a SOTA spot on this frequency (megahertz text) is a row: its whole megahertz from 2 to
// 69.
bool onSotaBands(const QString& megahertz);

// Whether an element is the stub a retired SOTA address answers with: its activator, association
// or summit (any of them may be missing) reads "DEPRECATED".
bool isDeprecationStub(const JsonField& activator, const JsonField& association,
                       const JsonField& summit);

// POTA activator spots: one row per spot whose comments do not mention QRT and that the service
// has not marked invalid, freshest first; the notice counts the invalid ones. Only a missing
// activator or frequency, or a member of the wrong type, breaks the record: such a spot is
// skipped alone with a diagnostic line, the others stay. A frequency sent in hertz is written
// in kilohertz.
Parsed<core::PotaSpot> parsePotaSpots(const QByteArray& body, const QDateTime& now);

// SOTA spots from 2 MHz up to (not including) 70 MHz, in reply order. The element a retired
// address answers with (activator, association or summit "DEPRECATED") is never a row: it gives
// the notice and one diagnostic line instead.
Parsed<core::SotaSpot> parseSotaSpots(const QByteArray& body, const QDateTime& now);

// "yyyy-MM-ddTHH:mm:ss" in UTC with exactly two digits per field (four for the year); a
// trailing "Z" is accepted. Anything else is rejected.
std::optional<QDateTime> parseSpotTime(QStringView text);

// Whole minutes from `time` to `now`, truncated toward zero at seconds and at minutes.
qint64 spotAgeMinutes(const QDateTime& time, const QDateTime& now);

} // namespace feeds
