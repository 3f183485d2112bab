#pragma once

#include "conditions/bandconditions.h"

#include <QColor>

namespace ui {

// WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

// The colour of a condition's text on `background`: a green, orange or red that stays readable
// (contrast 4.5 or more) on light and dark desktop themes alike; invalid for Colour::Normal.
QColor conditionColour(conditions::Colour colour, const QColor& background);

// The connect button's face: green when connected, red when closed, both readable under white
// text.
QColor linkColour(bool connected);

} // namespace ui
