#include "ui/tabledelegate.h"

#include "session/listmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QToolTip>

namespace ui {

using session::CellKind;

namespace {

QUrl linkOf(const QModelIndex& index) {
    return index.data(session::LinkRole).toUrl();
}

std::optional<CellKind> buttonOf(const QModelIndex& index) {
    const QVariant kind = index.data(session::ButtonRole);
    if (!kind.isValid())
        return std::nullopt;
    return CellKind(kind.toInt());
}

QStyleOptionButton buttonOption(const QStyleOptionViewItem& item, const QString& label,
                                bool enabled, bool pressed) {
    QStyleOptionButton button;
    button.rect = item.rect.adjusted(1, 1, -1, -1);
    button.text = label;
    button.fontMetrics = item.fontMetrics;
    button.palette = item.palette;
    button.state = (enabled ? QStyle::State_Enabled : QStyle::State_None) |
                   (pressed ? QStyle::State_Sunken : QStyle::State_Raised);
    if (item.state & QStyle::State_HasFocus)
        button.state |= QStyle::State_HasFocus;
    return button;
}

QStyle* styleOf(const QStyleOptionViewItem& option) {
    return option.widget ? option.widget->style() : QApplication::style();
}

} // namespace

void TableDelegate::setButtonsEnabled(CellKind kind, bool enabled, const QString& why) {
    if (enabled)
        m_disabled.remove(int(kind));
    else
        m_disabled.insert(int(kind), why);
}

bool TableDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                              const QStyleOptionViewItem& option, const QModelIndex& index) {
    const std::optional<CellKind> kind = buttonOf(index);
    if (event->type() == QEvent::ToolTip && kind && !buttonsEnabled(*kind)) {
        QToolTip::showText(event->globalPos(), m_disabled.value(int(*kind)), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void TableDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(session::HighlightRole).toBool()) {
        // A watched spot that has just appeared: bold on a tint of the theme's own highlight.
        QColor tint = option->palette.color(QPalette::Highlight);
        tint.setAlpha(70);
        option->backgroundBrush = tint;
        option->font.setBold(true);
    }
    // What the log says: new references on a light tint of the link colour, those worked today
    // dimmed.
    const QString mark = index.data(session::MarkRole).toString();
    if (mark == u"Worked") {
        option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::PlaceholderText));
    } else if (!mark.isEmpty() && !index.data(session::HighlightRole).toBool()) {
        QColor tint = option->palette.color(QPalette::Link);
        tint.setAlpha(mark == u"New" ? 45 : 25);
        option->backgroundBrush = tint;
    }
    if (linkOf(index).isEmpty())
        return;
    option->font.setUnderline(true);
    option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::Link));
    option->palette.setBrush(QPalette::HighlightedText, option->palette.brush(QPalette::Link));
}

void TableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const std::optional<CellKind> kind = buttonOf(index);
    if (!kind)
        return QStyledItemDelegate::paint(painter, option, index);
    const QStyleOptionButton button =
        buttonOption(option, index.data(Qt::DisplayRole).toString(), buttonsEnabled(*kind),
                     m_pressed.isValid() && m_pressed == index);
    styleOf(option)->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
}

QSize TableDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const std::optional<CellKind> kind = buttonOf(index);
    if (!kind)
        return QStyledItemDelegate::sizeHint(option, index);
    // The whole label, at whatever font size the desktop uses.
    const QString label = index.data(Qt::DisplayRole).toString();
    const QStyleOptionButton button = buttonOption(option, label, true, false);
    return styleOf(option)
        ->sizeFromContents(QStyle::CT_PushButton, &button,
                           option.fontMetrics.size(Qt::TextShowMnemonic, label), option.widget)
        .grownBy({2, 2, 2, 2});
}

bool TableDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    // A press is over once the button goes up, wherever that happens.
    const QPersistentModelIndex pressed =
        event->type() == QEvent::MouseButtonRelease ? std::exchange(m_pressed, {}) : m_pressed;
    const bool left =
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick) &&
        mouse->button() == Qt::LeftButton && option.rect.contains(mouse->position().toPoint());
    if (const std::optional<CellKind> kind = buttonOf(index)) {
        if (event->type() == QEvent::MouseButtonPress && left && buttonsEnabled(*kind)) {
            m_pressed = index;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            if (left && pressed.isValid() && pressed == index)
                emit buttonClicked(*kind, index.row());
            return true;
        }
        // A double click on a button is two presses of it, not a double click of the row.
        return event->type() == QEvent::MouseButtonDblClick;
    }
    if (event->type() == QEvent::MouseButtonRelease && left && !linkOf(index).isEmpty()) {
        emit linkActivated(linkOf(index));
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace ui
