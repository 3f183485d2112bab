#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace core {

// The six activity lists, in the order of their tabs.
enum class ListKind { Pota, Sota, Wwff, NetLogger, Nets, MW };

inline constexpr std::array kAllLists{ListKind::Pota,      ListKind::Sota, ListKind::Wwff,
                                      ListKind::NetLogger, ListKind::Nets, ListKind::MW};

constexpr int listIndex(ListKind list) {
    return static_cast<int>(list);
}

// "pota", "sota", "wwff", "netlogger", "nets", "mw": the names the command line and the settings
// use.
QString listName(ListKind list);
std::optional<ListKind> listNamed(QStringView name);
// What the operator reads in messages: "POTA", "SOTA", "WWFF", "NetLogger", "Nets", "MW".
QString listTitle(ListKind list);

} // namespace core
