#pragma once

#include "log/contact.h"

#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace session {
class LogModel;
class LogSession;
} // namespace session

namespace app {

// The Log tab: the contacts, newest first, a filter over every column, editing in the contact
// dialog, deleting with one undo, and a status line.
class LogTab : public QWidget {
    Q_OBJECT
public:
    LogTab(session::LogSession& log, QWidget* parent = nullptr);

    QTableView* table() const { return m_table; }
    void editSelected();
    void deleteSelected();
    void undoDelete();

private:
    void reload();
    std::optional<qint64> selectedId() const;

    session::LogSession& m_log;
    session::LogModel* m_model;
    QSortFilterProxyModel* m_filter;
    QLineEdit* m_search;
    QTableView* m_table;
    QPushButton* m_undo;
    QLabel* m_status;
    std::optional<logbook::Contact> m_deleted;
};

} // namespace app
