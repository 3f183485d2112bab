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

class LinkDelegate;

// Sets one table view up for one list: fixed 27-pixel rows, links, row drag and drop, and a
// real push button in every button cell, renewed after every reload.
class TableBinder : public QObject {
    Q_OBJECT
public:
    TableBinder(QTableView* view, session::ListModel* model, QObject* parent = nullptr);

    // Called with the row of the pressed button; one handler per button kind, the last one set
    // wins.
    void onButton(session::CellKind kind, std::function<void(int row)> handler);
    // Buttons of one kind, those made already and those to come, take presses or not.
    void setButtonsEnabled(session::CellKind kind, bool enabled);

signals:
    void linkActivated(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installButtons();
    static int stretchColumn(const QList<session::ColumnSpec>& columns);
    void buttonClicked(session::CellKind kind, int row);

    QPointer<QTableView> m_view;
    QPointer<session::ListModel> m_model;
    LinkDelegate* m_delegate;
    std::map<session::CellKind, std::function<void(int)>> m_handlers;
    std::map<session::CellKind, bool> m_disabled;
};

} // namespace ui
