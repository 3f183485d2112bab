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

// A Maidenhead locator of 4 or 6 characters as typed, in its usual spelling ("FN31", "FN31pr");
// nullopt for anything else: field letters A to R, square digits, subsquare letters A to X.
std::optional<QString> readGridLocator(QStringView text);

} // namespace core
