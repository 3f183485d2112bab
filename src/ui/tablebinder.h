#pragma once

#include "ui/cells.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <map>

class QTableView;

namespace ui {

class RowTableModel;
class LinkDelegate;

// The row index a table button carries in its "tag" property; -1 when it carries none.
int tagOf(const QObject* sender);

// Sets one table view up for one list: fixed 27-pixel rows, links, row drag and drop, and a
// real push button in every button cell whose "tag" is its row, renewed after every reload.
class TableBinder : public QObject {
    Q_OBJECT
public:
    TableBinder(QTableView* view, RowTableModel* model, QObject* parent = nullptr);

    // Called with the pressed button as sender; one handler per button kind, the last one set
    // wins.
    void onButton(CellKind kind, std::function<void(QObject* sender)> handler);

signals:
    void linkActivated(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installButtons();
    static int stretchColumn(const QList<ColumnSpec>& columns);
    void buttonClicked(CellKind kind, QObject* button);

    QPointer<QTableView> m_view;
    QPointer<RowTableModel> m_model;
    LinkDelegate* m_delegate;
    std::map<CellKind, std::function<void(QObject*)>> m_handlers;
};

} // namespace ui
