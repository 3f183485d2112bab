#include "ui/linkdelegate.h"

#include "session/listmodel.h"

#include <QMouseEvent>

namespace ui {

namespace {
QUrl linkOf(const QModelIndex& index) {
    return index.data(session::LinkRole).toUrl();
}
} // namespace

void LinkDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (linkOf(index).isEmpty())
        return;
    option->font.setUnderline(true);
    option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::Link));
}

bool LinkDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QUrl url = linkOf(index);
        if (mouse->button() == Qt::LeftButton && !url.isEmpty() &&
            option.rect.contains(mouse->position().toPoint())) {
            emit linkActivated(url);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace ui
