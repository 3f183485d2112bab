#include "ui/colours.h"

#include <cmath>

namespace ui {

namespace {

double luminance(const QColor& colour) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor conditionColour(conditions::Colour colour, const QColor& background) {
    const bool dark = luminance(background) < 0.2;
    QColor chosen;
    switch (colour) {
    case conditions::Colour::Green:
        chosen = dark ? QColor(0x3f, 0xb9, 0x50) : QColor(0x1a, 0x7f, 0x37);
        break;
    case conditions::Colour::Orange:
        chosen = dark ? QColor(0xd2, 0x99, 0x22) : QColor(0x9a, 0x67, 0x00);
        break;
    case conditions::Colour::Red:
        chosen = dark ? QColor(0xff, 0x7b, 0x72) : QColor(0xc4, 0x1e, 0x2a);
        break;
    case conditions::Colour::Normal:
        return {};
    }
    // A theme with an unusual background still gets readable text: lighten or darken the hue.
    for (int step = 0; step < 20 && contrastRatio(chosen, background) < 4.5; ++step)
        chosen = dark ? chosen.lighter(110) : chosen.darker(110);
    return chosen;
}

QColor linkColour(bool connected) {
    return connected ? QColor(0x1a, 0x7f, 0x37) : QColor(0xc4, 0x1e, 0x2a);
}

} // namespace ui
