#include "ui/tablebinder.h"

#include "session/listmodel.h"
#include "ui/tabledelegate.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>

namespace ui {

using session::CellKind;
using session::ColumnSpec;

namespace {

constexpr int kRowHeight = 27;
// Rows whose contents size the columns; more only cost time.
constexpr int kSizingRows = 40;

} // namespace

TableBinder::TableBinder(QTableView* view, session::ListModel* model, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_model(model)
    , m_delegate(new TableDelegate(this)) {
    view->setModel(model);
    view->setItemDelegate(m_delegate);
    connect(m_delegate, &TableDelegate::linkActivated, this, &TableBinder::linkActivated);
    connect(m_delegate, &TableDelegate::buttonClicked, this, [this](CellKind kind, int row) {
        const auto handler = m_handlers.find(kind);
        if (handler != m_handlers.end() && handler->second)
            handler->second(row);
    });

    QHeaderView* rows = view->verticalHeader();
    rows->setMinimumSectionSize(kRowHeight);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->hide();

    // The rows stand in the order the feed built them; a header click must not change it.
    view->setSortingEnabled(false);
    view->horizontalHeader()->setSectionsClickable(false);
    // The free width goes to the column with the longest free text, never to a button column.
    view->horizontalHeader()->setStretchLastSection(false);
    if (const int wide = stretchColumn(model->columns()); wide >= 0)
        view->horizontalHeader()->setSectionResizeMode(wide, QHeaderView::Stretch);

    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::MoveAction);
    view->setDropIndicatorShown(true);
    // Without this a table view drops onto cells rather than between rows.
    view->setDragDropOverwriteMode(false);

    view->horizontalHeader()->setResizeContentsPrecision(kSizingRows);
    connect(model, &QAbstractItemModel::modelReset, this, &TableBinder::sizeColumns);
    view->installEventFilter(this);
    sizeColumns();
}

void TableBinder::sizeColumns() {
    // Measuring every cell is the dearest part of a reload; a table on a tab in the back is
    // measured when it comes to the front.
    m_sizeWhenShown = m_view && !m_view->isVisible();
    if (m_view && !m_sizeWhenShown)
        m_view->resizeColumnsToContents();
}

bool TableBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && std::exchange(m_sizeWhenShown, false))
        m_view->resizeColumnsToContents();
    return QObject::eventFilter(watched, event);
}

void TableBinder::onButton(CellKind kind, std::function<void(int row)> handler) {
    m_handlers[kind] = std::move(handler);
}

void TableBinder::setButtonsEnabled(CellKind kind, bool enabled) {
    m_delegate->setButtonsEnabled(kind, enabled);
    if (m_view)
        m_view->viewport()->update();
}

int TableBinder::stretchColumn(const QList<ColumnSpec>& columns) {
    for (const char* preferred : {"comment", "comment2", "netName", "city"})
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].identifier == QLatin1String(preferred))
                return i;
    for (int i = int(columns.size()) - 1; i >= 0; --i)
        if (columns[i].kind == CellKind::Text || columns[i].kind == CellKind::Link)
            return i;
    return -1;
}

} // namespace ui
