#pragma once

#include <functional>

class QMenu;
class QObject;
class QString;
class QTableView;

namespace session {
class Station;
}
namespace ui {
class TableBinder;
}

namespace app {

// "Remind Me" on the Nets tab: the row's button and its context menu, a Reminders menu beside
// Preferences that lists each reminder (choosing one cancels it), and the lead time in
// Preferences. `tell` says a line in the status bar and to a screen reader.
void bindReminders(session::Station& station, ui::TableBinder* nets, QTableView* view,
                   QMenu* preferences, const std::function<void(const QString&)>& tell,
                   QObject* owner);

} // namespace app
