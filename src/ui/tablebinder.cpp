#include "ui/tablebinder.h"

#include "ui/linkdelegate.h"
#include "session/listmodel.h"

#include <QEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace ui {

using session::CellKind;
using session::ColumnSpec;

namespace {

constexpr int rowHeight = 27;
// Rows around the visible ones that get their buttons ahead of a scroll.
constexpr int kButtonMargin = 20;
// Rows whose contents size the columns; more only cost time.
constexpr int kSizingRows = 40;

QString tablePrefix(core::ListKind list) {
    switch (list) {
    case core::ListKind::Pota:
        return QStringLiteral("potaTable");
    case core::ListKind::Sota:
        return QStringLiteral("sotaTable");
    case core::ListKind::NetLogger:
        return QStringLiteral("netLoggerTable");
    case core::ListKind::Nets:
        return QStringLiteral("netsTable");
    case core::ListKind::MW:
        return QStringLiteral("mwTable");
    }
    return {};
}

QString buttonTitle(CellKind kind) {
    switch (kind) {
    case CellKind::TuneButton:
        return QStringLiteral("Tune");
    case CellKind::ConfirmButton:
        return QStringLiteral("Confirm");
    case CellKind::UnconfirmButton:
        return QStringLiteral("Unconfirm");
    case CellKind::Text:
    case CellKind::Link:
        break;
    }
    return {};
}

bool isButton(CellKind kind) {
    return !buttonTitle(kind).isEmpty();
}

} // namespace

TableBinder::TableBinder(QTableView* view, session::ListModel* model, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_model(model)
    , m_delegate(new LinkDelegate(this)) {
    // The view connects its own reset to the model first, so by the time installButtons runs
    // the previous load's buttons are already released.
    view->setModel(model);
    view->setItemDelegate(m_delegate);
    connect(m_delegate, &LinkDelegate::linkActivated, this, &TableBinder::linkActivated);

    QHeaderView* rows = view->verticalHeader();
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);
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

    // Buttons are real widgets, and hundreds of them take longer to make than a frame lasts:
    // only the rows in view, and a margin around them, get theirs, the rest as they scroll in.
    view->horizontalHeader()->setResizeContentsPrecision(kSizingRows);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        installButtons();
        m_view->resizeColumnsToContents();
    });
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TableBinder::installButtons);
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);
    installButtons();
    view->resizeColumnsToContents();
}

bool TableBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, &TableBinder::installButtons);
    return QObject::eventFilter(watched, event);
}

void TableBinder::onButton(CellKind kind, std::function<void(int row)> handler) {
    m_handlers[kind] = std::move(handler);
}

void TableBinder::setButtonsEnabled(CellKind kind, bool enabled) {
    m_disabled[kind] = !enabled;
    if (!m_view || !m_model)
        return;
    const QList<ColumnSpec>& columns = m_model->columns();
    for (int column = 0; column < columns.size(); ++column) {
        if (columns[column].kind != kind)
            continue;
        for (int row = 0; row < m_model->rowCount(); ++row)
            if (QWidget* button = m_view->indexWidget(m_model->index(row, column)))
                button->setEnabled(enabled);
    }
}

int TableBinder::stretchColumn(const QList<ColumnSpec>& columns) {
    for (const char* preferred : {"comment", "comment2", "netName", "city"})
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].identifier == QLatin1String(preferred))
                return i;
    for (int i = int(columns.size()) - 1; i >= 0; --i)
        if (!isButton(columns[i].kind))
            return i;
    return -1;
}

void TableBinder::installButtons() {
    if (!m_view || !m_model || m_model->rowCount() == 0)
        return;
    // A table on a tab in the back gets its buttons when it is shown.
    if (!m_view->isVisible() && m_view->window()->isVisible())
        return;
    const int rows = m_model->rowCount();
    const int top = m_view->rowAt(0);
    const int height = m_view->viewport()->height();
    // Past the last row rowAt() finds nothing: every row is in view then. A viewport that was
    // never laid out has no height and counts as showing its first row only.
    const int bottom = height > 0 ? m_view->rowAt(height - 1) : std::max(top, 0);
    const int first = std::max(0, (top < 0 ? 0 : top) - kButtonMargin);
    const int last = std::min(rows - 1, (bottom < 0 ? rows - 1 : bottom) + kButtonMargin);

    const QString prefix = tablePrefix(m_model->list());
    const QList<ColumnSpec>& columns = m_model->columns();
    for (int column = 0; column < columns.size(); ++column) {
        const CellKind kind = columns.at(column).kind;
        if (!isButton(kind))
            continue;
        const QString title = buttonTitle(kind);
        const QString name = prefix + title + QStringLiteral("Button");
        for (int row = first; row <= last; ++row) {
            const QModelIndex index = m_model->index(row, column);
            if (m_view->indexWidget(index))
                continue;
            auto* button = new QPushButton(title);
            button->setObjectName(name);
            button->setEnabled(!m_disabled[kind]);
            // Buttons are made anew after every reload, so the row they were made for is theirs.
            connect(button, &QPushButton::clicked, this,
                    [this, kind, row] { buttonClicked(kind, row); });
            m_view->setIndexWidget(index, button);
        }
    }
}

void TableBinder::buttonClicked(CellKind kind, int row) {
    const auto handler = m_handlers.find(kind);
    if (handler != m_handlers.end() && handler->second)
        handler->second(row);
}

} // namespace ui
