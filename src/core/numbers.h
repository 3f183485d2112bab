#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace core {

// Strict decimal number covering the whole text: optional sign, digits, optional point with
// digits ("5." and ".5" included), optional exponent; no blanks, nothing after. Gives the
// nearest 32-bit float (an overflow gives an infinity), or nullopt when the text is invalid.
std::optional<float> parseFloat32(QStringView text);

// Shortest decimal text that reads back as the same float, in plain notation, always with a
// point and at least one digit after it (0 -> "0.0", 1430000 -> "1430000.0").
QString shortestFloatText(float value);

// An optional '+' or '-' followed by ASCII digits only, fitting a 64-bit signed integer.
std::optional<qint64> parseWholeNumber(QStringView text);

} // namespace core
