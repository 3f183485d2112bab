#pragma once

#include "session/cells.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <map>

class QAbstractProxyModel;
class QTableView;

namespace session {
class ListModel;
}

namespace ui {

class TableDelegate;

// Sets one table view up for one list: fixed 27-pixel rows, links, buttons in their cells,
// columns sized to their contents after every reload, row drag and drop, and Enter (or a double
// click) on a row as a press of its Tune button. The view shows `shown` when given (a filter
// over the model), the model itself otherwise; rows reported to handlers are the model's.
class TableBinder : public QObject {
    Q_OBJECT
public:
    TableBinder(QTableView* view, session::ListModel* model, QAbstractProxyModel* shown = nullptr,
                QObject* parent = nullptr);

    // Called with the list's row of the pressed button; one handler per button kind, the last
    // one set wins.
    void onButton(session::CellKind kind, std::function<void(int row)> handler);
    // The list's row of the current (selected) row of the view; -1 when there is none.
    int currentRow() const;
    // Buttons of one kind take presses or not; `why` is the tooltip of a disabled one.
    void setButtonsEnabled(session::CellKind kind, bool enabled, const QString& why = {});

signals:
    void linkActivated(const QUrl& url);
    // A disabled button was pressed; `why` says what it waits for.
    void pressRefused(const QString& why);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static int stretchColumn(const QList<session::ColumnSpec>& columns);
    void sizeColumns();
    void press(session::CellKind kind, int shownRow);
    void rememberPlace();
    void restorePlace();
    // Makes the selected row, or else the first, the current one as the keyboard arrives.
    void landOnRow();
    int listRow(int shownRow) const;

    QPointer<QTableView> m_view;
    QPointer<session::ListModel> m_model;
    QPointer<QAbstractProxyModel> m_shown;
    TableDelegate* m_delegate;
    std::map<session::CellKind, std::function<void(int)>> m_handlers;
    bool m_sizeWhenShown = false;
    QTimer m_sizing;
    // The row selected and the scroll position before a reload.
    QString m_selectedKey;
    int m_scroll = 0;
};

} // namespace ui
