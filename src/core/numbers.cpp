#include "core/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace core {

namespace {

// Result of checking a text against the number grammar. `order` is the decimal order of the
// first significant digit (value ~ 10^(order-1) .. 10^order), saturated, which is all that is
// needed to tell an overflow from an underflow.
struct NumberShape {
    bool negative = false;
    bool hasSign = false;
    qint64 order = 0;
};

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

std::optional<NumberShape> scanNumber(QStringView text) {
    NumberShape shape;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        shape.hasSign = true;
        shape.negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qsizetype intDigits = 0;
    qsizetype firstSignificant = -1; // index among all mantissa digits
    qsizetype mantissaIndex = 0;
    while (i < n && isDigit(text[i])) {
        if (firstSignificant < 0 && text[i] != QLatin1Char('0'))
            firstSignificant = mantissaIndex;
        ++intDigits;
        ++mantissaIndex;
        ++i;
    }
    qsizetype fracDigits = 0;
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text[i])) {
            if (firstSignificant < 0 && text[i] != QLatin1Char('0'))
                firstSignificant = mantissaIndex;
            ++fracDigits;
            ++mantissaIndex;
            ++i;
        }
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    qint64 exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            negativeExponent = text[i] == QLatin1Char('-');
            ++i;
        }
        qsizetype expDigits = 0;
        while (i < n && isDigit(text[i])) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text[i].unicode() - '0');
            ++expDigits;
            ++i;
        }
        if (expDigits == 0)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    if (firstSignificant >= 0)
        shape.order = intDigits - firstSignificant + exponent;
    return shape;
}

} // namespace

std::optional<float> parseFloat32(QStringView text) {
    const std::optional<NumberShape> shape = scanNumber(text);
    if (!shape)
        return std::nullopt;
    // from_chars rejects a leading '+'; the grammar check has already made the text ASCII.
    const std::string ascii =
        text.mid(shape->hasSign && !shape->negative ? 1 : 0).toLatin1().toStdString();
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        const float magnitude = shape->order > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
        return shape->negative ? -magnitude : magnitude;
    }
    if (ec != std::errc() || end != ascii.data() + ascii.size())
        return std::nullopt;
    return value;
}

QString shortestFloatText(float value) {
    // Enough for the longest fixed text of a float: 39 integer digits or 45 decimals and a sign.
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return QString();
    QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
    if (std::isfinite(value) && !text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

std::optional<qint64> parseWholeNumber(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate toward the negative side, which holds one more value than the positive.
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (kMin + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kMin)
            return std::nullopt;
        value = -value;
    }
    return value;
}

} // namespace core
