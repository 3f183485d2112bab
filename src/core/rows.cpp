#include "core/rows.h"

namespace core {

QString listName(ListKind list) {
    switch (list) {
    case ListKind::Pota:
        return QStringLiteral("pota");
    case ListKind::Sota:
        return QStringLiteral("sota");
    case ListKind::Wwff:
        return QStringLiteral("wwff");
    case ListKind::NetLogger:
        return QStringLiteral("netlogger");
    case ListKind::Nets:
        return QStringLiteral("nets");
    case ListKind::MW:
        return QStringLiteral("mw");
    }
    return {};
}

std::optional<ListKind> listNamed(QStringView name) {
    for (ListKind list : kAllLists)
        if (name == listName(list))
            return list;
    return std::nullopt;
}

QString listTitle(ListKind list) {
    switch (list) {
    case ListKind::Pota:
        return QStringLiteral("POTA");
    case ListKind::Sota:
        return QStringLiteral("SOTA");
    case ListKind::Wwff:
        return QStringLiteral("WWFF");
    case ListKind::NetLogger:
        return QStringLiteral("NetLogger");
    case ListKind::Nets:
        return QStringLiteral("Nets");
    case ListKind::MW:
        return QStringLiteral("MW");
    }
    return {};
}

QStringList columns(const PotaSpot& r) {
    return {r.activator, r.frequency, r.mode,      r.comments,     r.parkName,
            r.age,       r.latitude,  r.longitude, r.locationDesc, r.reference};
}

QStringList columns(const SotaSpot& r) {
    return {r.activatorCallsign, r.activatorName, r.frequency, r.mode,   r.comments,
            r.summitCode,        r.summitName,    r.height,    r.points, r.age};
}

QStringList columns(const WwffSpot& r) {
    return {r.activator, r.frequency, r.mode, r.reference, r.referenceName, r.age, r.remarks};
}

QStringList columns(const NetLoggerNet& r) {
    return {r.name, r.frequency, r.mode, r.subscribers};
}

QStringList columns(const DirectoryNet& r) {
    return {r.name, r.frequency, r.utc, r.mode, r.url, r.confirmed, r.netId};
}

QStringList columns(const MwStation& r) {
    return {r.call, r.frequency, r.city, r.power, r.url};
}

} // namespace core
