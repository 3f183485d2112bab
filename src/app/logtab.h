#pragma once

#include "log/contact.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QTableView;

namespace session {
class LogFilter;
class LogModel;
class LogSession;
class Preferences;
} // namespace session

namespace ui {
class FilterBar;
}

namespace app {

// The Log tab: the contacts, newest first, the lists' band, mode and search filter (remembered
// under "filter/log"), editing in the contact dialog, deleting with one undo, and a status line
// counting the contacts and those the filter hides.
class LogTab : public QWidget {
    Q_OBJECT
public:
    LogTab(session::LogSession& log, session::Preferences& preferences, QWidget* parent = nullptr);

    QTableView* table() const { return m_table; }
    void editSelected();
    void deleteSelected();
    void undoDelete();

private:
    // The count and hidden contacts, then `done` when given, else the last thing done before.
    void showStatus(const QString& done = {});
    std::optional<qint64> selectedId() const;

    session::LogSession& m_log;
    session::Preferences& m_preferences;
    session::LogModel* m_model;
    session::LogFilter* m_filter;
    ui::FilterBar* m_bar;
    QTableView* m_table;
    QPushButton* m_undo;
    QLabel* m_status;
    QString m_done;
    std::optional<logbook::Contact> m_deleted;
};

} // namespace app
