#pragma once

#include "directory/csv.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace directory {

// Days of the week as bits, Monday the lowest (bit Qt::DayOfWeek - 1).
using Weekdays = quint8;
constexpr Weekdays kEveryDay = 0x7f;
constexpr int kDefaultDurationMin = 60;

// One row of the nets file, values as written there (trimmed).
struct NetRecord {
    int id = 0; // 0 until the service gives the net one
    QString name;
    QString frequencyMhz; // decimal text, e.g. 14.300
    QString utc;          // start as HHMM
    Weekdays days = kEveryDay;
    QString mode;
    QString url; // may be empty
    int durationMin = kDefaultDurationMin;

    bool operator==(const NetRecord&) const = default;
};

// One row of the medium-wave file.
struct StationRecord {
    QString call;
    QString frequencyKhz;
    QString city;
    QString powerKw;
    QString url; // may be empty

    bool operator==(const StationRecord&) const = default;
};

template <typename Row> struct Parsed {
    QList<Row> rows; // empty when error is set
    std::optional<ParseError> error;
};

inline constexpr char kNetsHeader[] = "id,name,frequency_mhz,utc,days,mode,url,duration_min";
inline constexpr char kStationsHeader[] = "call,frequency_khz,city,power_kw,url";

// The whole file or the first thing wrong with it: one bad row rejects every row.
Parsed<NetRecord> readNetsCsv(const QByteArray& utf8);
Parsed<StationRecord> readStationsCsv(const QByteArray& utf8);

// The nets file that readNetsCsv reads back as the same rows, every column written out.
QByteArray writeNetsCsv(const QList<NetRecord>& nets);

// The curated lists compiled into every program: data/nets.csv and data/mw.csv.
QByteArray bundledNetsCsv();
QByteArray bundledStationsCsv();

// What two spellings of one net's name share: its letters and digits, case folded
// ("Maritime Mobile Service Net." and "MARITIME MOBILE SERVICE NET" are one net).
QString netNameKey(const QString& name);

// "daily", or the weekday names Mon to Sun separated by spaces.
QString daysText(Weekdays days);
std::optional<Weekdays> parseDays(const QString& text);

} // namespace directory
