#include "ui/accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace ui {

namespace {

// A pop-up as Orca 43 can read it. Qt's own gives the choice only as the name, which Orca
// leaves out for pop-ups ("Band: combo box"), and tells a change only by a name change that
// Orca ignores. This one offers the choice as read-only text, which Orca reads after the label,
// and tells a change as new text.
class PopUpAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PopUpAccessible(QComboBox* popUp)
        : QAccessibleWidget(popUp, QAccessible::ComboBox) {
        addControllingSignal(QStringLiteral("activated(int)"));
    }

    QComboBox* popUp() const { return static_cast<QComboBox*>(object()); }
    QString choice() const { return popUp()->currentText(); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return choice();
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        // Named after the label by the screen reader; the name is what is chosen, or what the
        // pop-up is for while nothing is.
        if (!choice().isEmpty())
            return choice();
        return popUp()->accessibleName().isEmpty() ? popUp()->placeholderText()
                                                   : popUp()->accessibleName();
    }
    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        st.expandable = true;
        st.collapsed = !popUp()->view() || !popUp()->view()->isVisible();
        st.expanded = !st.collapsed;
        return st;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction() || name == pressAction())
            return popUp()->showPopup();
        QAccessibleWidget::doAction(name);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // The choice as read-only text, without selection or caret of its own.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return choice().mid(start, end - start); }
    QString textBeforeOffset(int, QAccessible::TextBoundaryType, int* start,
                             int* end) const override {
        *start = *end = -1;
        return {};
    }
    QString textAfterOffset(int, QAccessible::TextBoundaryType, int* start,
                            int* end) const override {
        *start = *end = -1;
        return {};
    }
    QString textAtOffset(int, QAccessible::TextBoundaryType, int* start, int* end) const override {
        *start = 0;
        *end = int(choice().size());
        return choice();
    }
    int characterCount() const override { return int(choice().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }
};

// Tells a screen reader of each new choice as text replacing the old one.
void tellChoices(QComboBox* popUp) {
    if (popUp->property("bhTellsChoices").toBool())
        return;
    popUp->setProperty("bhTellsChoices", true);
    popUp->setProperty("bhChoice", popUp->currentText());
    QObject::connect(popUp, &QComboBox::currentTextChanged, popUp, [popUp](const QString& now) {
        const QString before = popUp->property("bhChoice").toString();
        popUp->setProperty("bhChoice", now);
        QAccessibleTextUpdateEvent changed(popUp, 0, before, now);
        QAccessible::updateAccessibility(&changed);
    });
}

QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("ui::Announcer"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
    if (className == QLatin1String("QComboBox")) {
        auto* popUp = static_cast<QComboBox*>(object);
        if (popUp->isEditable())
            return nullptr;
        tellChoices(popUp);
        return new PopUpAccessible(popUp);
    }
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget* parent)
    : QLabel(parent) {
    installAccessibility();
    setObjectName(QStringLiteral("announcer"));
    setTextFormat(Qt::PlainText);
}

void Announcer::say(const QString& sentence) {
    setText(sentence);
    setAccessibleName(sentence);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void installAccessibility() {
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    QAccessible::installFactory(accessibleFor);
}

} // namespace ui
