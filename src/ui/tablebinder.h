#pragma once

#include "session/cells.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <map>

class QTableView;

namespace session {
class ListModel;
}

namespace ui {

class TableDelegate;

// Sets one table view up for one list: fixed 27-pixel rows, links, buttons in their cells,
// columns sized to their contents after every reload, and row drag and drop.
class TableBinder : public QObject {
    Q_OBJECT
public:
    TableBinder(QTableView* view, session::ListModel* model, QObject* parent = nullptr);

    // Called with the row of the pressed button; one handler per button kind, the last one set
    // wins.
    void onButton(session::CellKind kind, std::function<void(int row)> handler);
    // Buttons of one kind take presses or not.
    void setButtonsEnabled(session::CellKind kind, bool enabled);

signals:
    void linkActivated(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static int stretchColumn(const QList<session::ColumnSpec>& columns);
    void sizeColumns();

    QPointer<QTableView> m_view;
    QPointer<session::ListModel> m_model;
    TableDelegate* m_delegate;
    std::map<session::CellKind, std::function<void(int)>> m_handlers;
    bool m_sizeWhenShown = false;
};

} // namespace ui
