#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace core {

// The operator's callsign as typed (any case, surrounding blanks), upper-cased; nullopt unless it
// is letters and digits with at most two '/' parts ("N0CALL", "EA8/DL1ABC/P"), 3 to 16
// characters, with at least one letter and one digit. It goes into request headers and a cluster
// log-in, so nothing else may pass.
std::optional<QString> readCallsign(QStringView text);

} // namespace core
