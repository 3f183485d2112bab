#pragma once

#include "core/listkind.h"

#include <QList>
#include <QString>
#include <QStringList>

// One plain struct per list, made by the feed parsers. Every field is text as the service sent
// it (or as its feed cut it out), because the Tune composition reads the exact digits; the
// columns() of each row give the positional order the lists are known by on the command line.
namespace core {

struct PotaSpot {
    static constexpr ListKind kind = ListKind::Pota;
    QString activator;
    QString frequency; // kilohertz, as spotted
    QString mode;
    QString comments;
    QString parkName;
    QString age; // whole minutes; "" when the spot time did not read
    QString latitude;
    QString longitude;
    QString locationDesc;
    QString reference;
};

struct SotaSpot {
    static constexpr ListKind kind = ListKind::Sota;
    QString activatorCallsign;
    QString activatorName;
    QString frequency; // megahertz
    QString mode;
    QString comments;
    QString summitCode;
    QString summitName;
    QString height;
    QString points;
    QString age;
    // The association of a summit code that lacks it ("JA" to "GM-084"); "" when the code is
    // whole. Not a column: the rows keep the code as the service sent it.
    QString association = {};
};

struct WwffSpot {
    static constexpr ListKind kind = ListKind::Wwff;
    QString activator;
    QString frequency; // kilohertz
    QString mode;
    QString reference; // "KFF-2482"
    QString referenceName;
    QString age; // whole minutes; "" when the spot time did not read
    QString remarks;
};

struct NetLoggerNet {
    static constexpr ListKind kind = ListKind::NetLogger;
    QString name;
    QString frequency; // kilohertz or megahertz, as the net control typed it (digits and points)
    QString mode;
    QString subscribers;
};

struct DirectoryNet {
    static constexpr ListKind kind = ListKind::Nets;
    QString name;
    QString frequency; // megahertz
    QString utc;
    QString mode;
    QString url;
    QString confirmed;
    QString netId;
    // Not among the columns: as the nets file writes them ("Mon Wed", "daily") and minutes;
    // empty when the service sent none, which is read as daily and 60 minutes.
    QString days = {};
    QString duration = {};
};

struct MwStation {
    static constexpr ListKind kind = ListKind::MW;
    QString call;
    QString frequency; // kilohertz
    QString city;
    QString power; // kilowatts
    QString url;
};

QStringList columns(const PotaSpot& row);
QStringList columns(const SotaSpot& row);
QStringList columns(const WwffSpot& row);
QStringList columns(const NetLoggerNet& row);
QStringList columns(const DirectoryNet& row);
QStringList columns(const MwStation& row);

} // namespace core
