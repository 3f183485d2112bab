#pragma once

#include "session/cells.h"

#include <QLabel>

#include <functional>

class QTableView;

namespace ui {

// Tells a screen reader what just happened ("Tuned 14.074 USB"), at once and every time, even
// when the same words come twice in a row; sighted operators read the same line in the status
// bar.
//
// Qt 6.4 has no announcement event of its own, and Orca 43 ignores most of what Qt does send:
// name changes of anything but the focused object, QAccessible::Alert on a status bar, and value
// changes of labels all go unspoken. What it does speak is an object of the notification role
// becoming showing (object:state-changed:showing with detail 1), which Qt's bridge sends for
// QAccessible::ObjectShow. Orca speaks the object's name (in a bare window prefixed by
// "notification"), and speaks it again at the next show with the same name. Changing the name
// of the focused object would be spoken too, but it would rename the row or button the operator
// stands on.
class Announcer : public QLabel {
    Q_OBJECT
public:
    explicit Announcer(QWidget* parent = nullptr);

    void say(const QString& sentence);
};

// Installs what the window's accessibility needs of Qt: the notification role of the announcer,
// pop-ups read with their choice and the named actions of button cells. Once per application;
// later calls do nothing.
void installAccessibility();

// What the button cells of a view do for a screen reader, switch access or voice control: each
// offers the action its button is named by ("Tune", "Confirm", "Retract"), which calls
// `press(kind, shownRow)`. A button that `whyNot` gives a reason for is reported unavailable.
struct ButtonCells {
    std::function<void(session::CellKind kind, int shownRow)> press;
    std::function<QString(session::CellKind kind)> whyNot;
};
void giveButtonCellsActions(QTableView* view, ButtonCells cells);
// "Tune", "Confirm", "Retract".
QString buttonActionName(session::CellKind kind);

} // namespace ui
