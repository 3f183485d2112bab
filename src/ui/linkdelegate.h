#pragma once

#include <QStyledItemDelegate>
#include <QUrl>

namespace ui {

// Draws cells that carry a link (LinkRole) like a web link and reports a left click on them.
class LinkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

signals:
    void linkActivated(const QUrl& url);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace ui
