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

// The value of one hexadecimal digit of either case; -1 for any other character.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace core
