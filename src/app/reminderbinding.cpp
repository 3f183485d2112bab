#include "app/reminderbinding.h"

#include "session/station.h"
#include "ui/tablebinder.h"

#include <QAction>
#include <QActionGroup>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>

namespace app {

void bindReminders(session::Station& station, ui::TableBinder* nets, QTableView* view,
                   QMenu* preferences, const std::function<void(const QString&)>& tell,
                   QObject* owner) {
    const auto remind = [&station, tell](int row) {
        const QString said = station.remind(row);
        if (!said.isEmpty())
            tell(said);
    };
    nets->onButton(session::CellKind::RemindButton, remind);
    if (view) {
        auto* action = new QAction(QObject::tr("Remind Me"), view);
        action->setObjectName(QStringLiteral("actionRemindMe"));
        QObject::connect(action, &QAction::triggered, owner,
                         [nets, remind] { remind(nets->currentRow()); });
        view->addAction(action);
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    QObject::connect(&station, &session::Station::reminderDue, owner, tell);
    if (!preferences)
        return;

    session::Reminders& reminders = station.reminders();
    QMenu* ahead = preferences->addMenu(QObject::tr("Remind Me Ahead"));
    ahead->setObjectName(QStringLiteral("menuRemindAhead"));
    auto* choices = new QActionGroup(ahead);
    for (int minutes : {1, 5, 10, 15, 30, 60}) {
        QAction* choice = ahead->addAction(QObject::tr("%n minute(s)", nullptr, minutes));
        choice->setCheckable(true);
        choice->setChecked(reminders.leadMinutes() == minutes);
        choices->addAction(choice);
        QObject::connect(choice, &QAction::triggered, owner,
                         [&reminders, minutes] { reminders.setLeadMinutes(minutes); });
    }

    // Beside Preferences, rebuilt each time it opens: one item per reminder cancels it.
    QMenuBar* bar = qobject_cast<QMenuBar*>(preferences->parentWidget());
    QMenu* list = bar ? bar->addMenu(QObject::tr("Reminders"))
                      : preferences->addMenu(QObject::tr("Reminders"));
    list->setObjectName(QStringLiteral("menuReminders"));
    QObject::connect(list, &QMenu::aboutToShow, owner, [list, &reminders, tell] {
        list->clear();
        if (reminders.list().isEmpty())
            list->addAction(QObject::tr("No reminders"))->setEnabled(false);
        for (const session::Reminder& r : reminders.list()) {
            const QString when =
                QLocale().toString(r.start.toLocalTime(), QStringLiteral("ddd HH:mm"));
            QAction* cancel =
                list->addAction(QObject::tr("Cancel: %1 on %2, %3").arg(r.name, r.frequency, when));
            // Found again when chosen: one may have been said (and gone) while the menu was open.
            QObject::connect(cancel, &QAction::triggered, list, [&reminders, r, tell] {
                reminders.cancel(int(reminders.list().indexOf(r)));
                tell(QObject::tr("Reminder for %1 cancelled").arg(r.name));
            });
        }
    });
}

} // namespace app
