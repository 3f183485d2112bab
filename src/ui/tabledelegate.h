#pragma once

#include "session/cells.h"

#include <QHash>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QUrl>

namespace ui {

// Draws a list's cells: links like web links (a left click reports them), and the Tune,
// Confirm and Unconfirm cells as push buttons. The buttons are painted, not widgets, so a
// reload of hundreds of rows costs no more than its text.
class TableDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Buttons of one kind take presses or not (and are drawn so); `why` is the tooltip of a
    // disabled one.
    void setButtonsEnabled(session::CellKind kind, bool enabled, const QString& why = {});
    bool buttonsEnabled(session::CellKind kind) const { return !m_disabled.contains(int(kind)); }
    QString whyDisabled(session::CellKind kind) const { return m_disabled.value(int(kind)); }
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

signals:
    void linkActivated(const QUrl& url);
    void buttonClicked(session::CellKind kind, int row);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QPersistentModelIndex m_pressed;
    QHash<int, QString> m_disabled; // why, by kind
};

} // namespace ui
