#include "ui/tablebinder.h"

#include "session/listmodel.h"
#include "ui/accessibility.h"
#include "ui/tabledelegate.h"

#include <QAbstractProxyModel>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace ui {

using session::CellKind;
using session::ColumnSpec;

namespace {

constexpr int kRowHeight = 27;
// Rows whose contents size the columns; more only cost time.
constexpr int kSizingRows = 40;

} // namespace

TableBinder::TableBinder(QTableView* view, session::ListModel* model, QAbstractProxyModel* shown,
                         QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_model(model)
    , m_shown(shown)
    , m_delegate(new TableDelegate(this)) {
    view->setModel(shown ? static_cast<QAbstractItemModel*>(shown) : model);
    view->setItemDelegate(m_delegate);
    connect(m_delegate, &TableDelegate::linkActivated, this, &TableBinder::linkActivated);
    connect(m_delegate, &TableDelegate::buttonClicked, this, &TableBinder::press);
    // Enter, or a double click, on a row tunes it: the keyboard's way to press Tune. Enter on
    // a button's own cell presses that button.
    connect(view, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        const QVariant button = index.data(session::ButtonRole);
        press(button.isValid() ? CellKind(button.toInt()) : CellKind::TuneButton, index.row());
    });

    QHeaderView* rows = view->verticalHeader();
    rows->setMinimumSectionSize(kRowHeight);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->hide();

    // The rows stand in the order the feed built them; a header click must not change it.
    view->setSortingEnabled(false);
    view->horizontalHeader()->setSectionsClickable(false);
    view->horizontalHeader()->setStretchLastSection(false);

    // Tab and Shift+Tab leave the table for the controls around it; arrows move in it.
    view->setTabKeyNavigation(false);
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
    // Measured on the next turn of the event loop: a reload and its measuring each take their
    // own turn, so the window keeps answering while several lists land at once.
    m_sizing.setSingleShot(true);
    m_sizing.setInterval(0);
    connect(&m_sizing, &QTimer::timeout, this, &TableBinder::sizeColumns);
    connect(view->model(), &QAbstractItemModel::modelReset, &m_sizing, qOverload<>(&QTimer::start));
    // The log's marks arrive after the rows, and "New band" is wider than an empty column.
    connect(view->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.contains(session::MarkRole))
                    m_sizing.start();
            });
    // A reload keeps the selected row selected when it is still there, and the scroll position.
    connect(view->model(), &QAbstractItemModel::modelAboutToBeReset, this,
            &TableBinder::rememberPlace);
    connect(view->model(), &QAbstractItemModel::modelReset, this, &TableBinder::restorePlace);
    // A view tells a screen reader about every change of its current cell, focused or not: rows
    // leaving under a filter typed elsewhere would draw the reader away from the search field.
    // Away from the keyboard the view keeps its selection but no current cell.
    const auto letGo = [this] {
        if (m_view && !m_view->hasFocus() && m_view->currentIndex().isValid())
            m_view->selectionModel()->clearCurrentIndex();
    };
    connect(view->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, letGo);
    connect(view->model(), &QAbstractItemModel::layoutAboutToBeChanged, this, letGo);
    view->installEventFilter(this);
    giveButtonCellsActions(view, {[this](CellKind kind, int shownRow) { press(kind, shownRow); },
                                  [this](CellKind kind) { return m_delegate->whyDisabled(kind); }});
    sizeColumns();
}

void TableBinder::sizeColumns() {
    // Measuring every cell is the dearest part of a reload; a table on a tab in the back is
    // measured when it comes to the front.
    m_sizeWhenShown = m_view && !m_view->isVisible();
    if (!m_view || m_sizeWhenShown)
        return;
    // Every column fits its contents but one, which takes the free width: the column with the
    // longest free text, never a button column. A reset of a filter over the model forgets the
    // stretch, so it is given again after the measuring.
    const int wide = stretchColumn(m_model->columns());
    for (int column = 0; column < m_model->columnCount(); ++column)
        if (column != wide)
            m_view->resizeColumnToContents(column);
    if (wide >= 0)
        m_view->horizontalHeader()->setSectionResizeMode(wide, QHeaderView::Stretch);
}

bool TableBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && m_sizeWhenShown)
        sizeColumns();
    // A click chooses its own cell.
    if (event->type() == QEvent::FocusIn &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason)
        landOnRow();
    return QObject::eventFilter(watched, event);
}

void TableBinder::landOnRow() {
    QAbstractItemModel* shown = m_view->model();
    if (shown->rowCount() == 0)
        return;
    QModelIndex target = m_view->currentIndex();
    if (!target.isValid()) {
        const QModelIndexList selected = m_view->selectionModel()->selectedRows();
        const int row = selected.isEmpty() ? 0 : selected.first().row();
        // The first text column, so that a screen reader starts the row with what it shows.
        int column = 0;
        while (column + 1 < shown->columnCount() &&
               shown->index(row, column).data(session::ButtonRole).isValid())
            ++column;
        target = shown->index(row, column);
    }
    // Made current again once the view has told of its own focus, which would otherwise be the
    // last word: a screen reader then reads the row the keyboard stands on.
    QMetaObject::invokeMethod(
        this,
        [this, landing = QPersistentModelIndex(target)] {
            if (!m_view || !m_view->hasFocus() || !landing.isValid())
                return;
            m_view->selectionModel()->clearCurrentIndex();
            m_view->selectionModel()->setCurrentIndex(landing, QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
        },
        Qt::QueuedConnection);
}

int TableBinder::listRow(int shownRow) const {
    if (!m_shown)
        return shownRow;
    return m_shown->mapToSource(m_shown->index(shownRow, 0)).row();
}

int TableBinder::currentRow() const {
    if (!m_view)
        return -1;
    if (const QModelIndex current = m_view->currentIndex(); current.isValid())
        return listRow(current.row());
    // Away from the keyboard the selected row stands for the current one.
    const QModelIndexList selected = m_view->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : listRow(selected.first().row());
}

void TableBinder::press(CellKind kind, int shownRow) {
    if (!m_delegate->buttonsEnabled(kind))
        return emit pressRefused(m_delegate->whyDisabled(kind));
    const int row = listRow(shownRow);
    const auto handler = m_handlers.find(kind);
    if (row >= 0 && handler != m_handlers.end() && handler->second)
        handler->second(row);
}

namespace {

QString rowKey(const session::RowFacts& facts) {
    return facts.activator + u'\n' + facts.reference + u'\n' + QString::number(facts.hertz);
}

} // namespace

void TableBinder::rememberPlace() {
    const int row = currentRow();
    m_selectedKey = row >= 0 ? rowKey(m_model->facts(row)) : QString();
    m_scroll = m_view->verticalScrollBar()->value();
}

void TableBinder::restorePlace() {
    if (!m_selectedKey.isEmpty()) {
        for (int shown = 0; shown < m_view->model()->rowCount(); ++shown) {
            if (rowKey(m_model->facts(listRow(shown))) != m_selectedKey)
                continue;
            const QModelIndex index = m_view->model()->index(shown, 1);
            const auto how = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
            // Only where the keyboard is does the row become current (see letGo).
            if (m_view->hasFocus())
                m_view->selectionModel()->setCurrentIndex(index, how);
            else
                m_view->selectionModel()->select(index, how);
            break;
        }
    }
    // The scroll range is known once the new rows are laid out.
    m_view->doItemsLayout();
    m_view->verticalScrollBar()->setValue(m_scroll);
}

void TableBinder::onButton(CellKind kind, std::function<void(int row)> handler) {
    m_handlers[kind] = std::move(handler);
}

void TableBinder::setButtonsEnabled(CellKind kind, bool enabled, const QString& why) {
    m_delegate->setButtonsEnabled(kind, enabled, why);
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
