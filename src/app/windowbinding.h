#pragma once

#include "app/windowcontrols.h"
#include "conditions/bandconditions.h"
#include "conditions/updatenotice.h"
#include "core/listkind.h"
#include "session/radiosession.h"

#include <QAccessible>
#include <QDialog>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <optional>

class QTableView;

namespace session {
class Station;
}
namespace session {
class ListFilter;
}
namespace ui {
class Announcer;
class FilterBar;
class TableBinder;
} // namespace ui

namespace app {

// Shows the new-version alert; `done` learns whether the operator chose "Download".
class UpdatePrompter {
public:
    virtual ~UpdatePrompter() = default;
    virtual void showUpdateAlert(const conditions::UpdateAlert& alert,
                                 std::function<void(bool download)> done) = 0;
};

// Binds the window to the station: every control calls a typed slot, every signal of the
// sessions updates the controls that show it. It keeps no state of its own but what the keys
// read aloud.
class WindowBinding : public QObject, private QAccessible::ActivationObserver {
    Q_OBJECT
public:
    WindowBinding(const WindowControls& window, session::Station& station, UpdatePrompter* prompter,
                  QObject* parent = nullptr);
    ~WindowBinding() override;

    session::Station& station() const { return m_station; }
    const WindowControls& window() const { return m_window; }
    // Said in the status bar, and to a screen reader where the desktop has one.
    void tell(const QString& text);

public slots:
    void tuneRequested(core::ListKind list, int row);
    void confirmRequested(int row, bool confirm);

private:
    // The list whose tab is in front; none on the radio and memories tabs.
    std::optional<core::ListKind> shownList() const;
    void bindKeys();
    void nameControls();
    void bindRefreshEvery();
    // The filters of one list: stored, applied, counted on the status line and told.
    void bindFilter(core::ListKind list, QTableView* view);
    void accessibilityActiveChanged(bool active) override;
    // In rigctldcontrols.cpp.
    void bindRigctldAndReadBack();
    void showLinkState(session::LinkState state);
    void fillPortPopUp();
    void showSwitches();
    void showConditions(const conditions::PanelView& view);
    void showUpdateAlert(const conditions::UpdateAlert& alert);
    void showSpotSources();
    void showStationDialog();
    void print(const QString& line) const;

    WindowControls m_window;
    session::Station& m_station;
    UpdatePrompter* m_prompter;
    std::array<ui::TableBinder*, core::kAllLists.size()> m_binders{};
    std::array<session::ListFilter*, core::kAllLists.size()> m_filters{};
    std::array<ui::FilterBar*, core::kAllLists.size()> m_filterBars{};
    // What the binding adds to the window: its keys and the announcer.
    QList<QObject*> m_keys;
    ui::Announcer* m_announcer = nullptr;
    // The band conditions as the conditions key reads them.
    QString m_conditionsText;
    QPointer<QDialog> m_spotSources;
    QPointer<QDialog> m_stationDialog;
};

} // namespace app
