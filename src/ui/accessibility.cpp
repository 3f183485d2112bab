#include "ui/accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QHash>
#include <QTableView>

#include "session/listmodel.h"

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

QHash<const QObject*, ButtonCells>& buttonCells() {
    static QHash<const QObject*, ButtonCells> views;
    return views;
}

// A button cell: Qt's own cell for everything it says, with the action of its button.
class ButtonCellAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ButtonCellAccessible(QAccessibleInterface* cell, QTableView* view)
        : m_cell(QAccessible::uniqueId(cell))
        , m_view(view) {}

    QAccessibleInterface* cell() const { return QAccessible::accessibleInterface(m_cell); }
    session::CellKind kind() const {
        const QModelIndex index = this->index();
        return session::CellKind(index.data(session::ButtonRole).toInt());
    }
    QModelIndex index() const {
        QAccessibleInterface* c = cell();
        QAccessibleTableCellInterface* at = c ? c->tableCellInterface() : nullptr;
        return at && m_view ? m_view->model()->index(at->rowIndex(), at->columnIndex())
                            : QModelIndex();
    }
    QString whyNot() const {
        const auto found = buttonCells().constFind(m_view.data());
        return found != buttonCells().constEnd() && found->whyNot ? found->whyNot(kind())
                                                                  : QString();
    }

    bool isValid() const override { return cell() && cell()->isValid() && m_view; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return cell() ? cell()->window() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_view);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        QString said = cell() ? cell()->text(t) : QString();
        if (t == QAccessible::Description && !whyNot().isEmpty())
            said = whyNot();
        return said;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return cell() ? cell()->rect() : QRect(); }
    QAccessible::Role role() const override { return cell() ? cell()->role() : QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State st = cell() ? cell()->state() : QAccessible::State();
        st.disabled = !whyNot().isEmpty();
        return st;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return cell() ? cell()->interface_cast(t) : nullptr;
    }

    QStringList actionNames() const override {
        QStringList names{buttonActionName(kind())};
        if (QAccessibleInterface* c = cell(); c && c->actionInterface())
            names += c->actionInterface()->actionNames();
        return names;
    }
    void doAction(const QString& name) override {
        if (name != buttonActionName(kind())) {
            if (QAccessibleInterface* c = cell(); c && c->actionInterface())
                c->actionInterface()->doAction(name);
            return;
        }
        const auto found = buttonCells().constFind(m_view.data());
        if (found != buttonCells().constEnd() && found->press)
            found->press(kind(), index().row());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QAccessible::Id m_cell;
    QPointer<QTableView> m_view;
};

// Qt's own table, whose button cells answer as ButtonCellAccessible. Qt's table is reached only
// through the factory that made it, so it is made first and kept under an id of its own.
class ButtonTableAccessible : public QAccessibleInterface, public QAccessibleTableInterface {
public:
    ButtonTableAccessible(QAccessibleInterface* table, QTableView* view)
        : m_table(QAccessible::uniqueId(table))
        , m_view(view) {}
    ~ButtonTableAccessible() override {
        forgetCells();
        if (QAccessible::accessibleInterface(m_table))
            QAccessible::deleteAccessibleInterface(m_table);
    }

    QAccessibleInterface* table() const { return QAccessible::accessibleInterface(m_table); }
    QAccessibleTableInterface* cells() const {
        return table() ? table()->tableInterface() : nullptr;
    }

    // Qt's cell, or its button cell when it is one.
    QAccessibleInterface* wrap(QAccessibleInterface* cell) const {
        QAccessibleTableCellInterface* at = cell ? cell->tableCellInterface() : nullptr;
        if (!at || !m_view ||
            !m_view->model()
                 ->index(at->rowIndex(), at->columnIndex())
                 .data(session::ButtonRole)
                 .isValid())
            return cell;
        const QAccessible::Id inner = QAccessible::uniqueId(cell);
        if (const auto known = m_buttons.constFind(inner); known != m_buttons.constEnd())
            return QAccessible::accessibleInterface(*known);
        auto* button = new ButtonCellAccessible(cell, m_view);
        m_buttons.insert(inner, QAccessible::registerAccessibleInterface(button));
        return button;
    }
    void forgetCells() {
        for (QAccessible::Id id : std::as_const(m_buttons))
            if (QAccessible::accessibleInterface(id))
                QAccessible::deleteAccessibleInterface(id);
        m_buttons.clear();
    }
    static const QAccessibleInterface* unwrap(const QAccessibleInterface* cell) {
        if (auto* button = dynamic_cast<const ButtonCellAccessible*>(cell))
            return button->cell();
        return cell;
    }

    bool isValid() const override { return table() && table()->isValid(); }
    QObject* object() const override { return m_view; }
    QWindow* window() const override { return table() ? table()->window() : nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override {
        return table() ? table()->relations(match)
                       : QList<QPair<QAccessibleInterface*, QAccessible::Relation>>();
    }
    QAccessibleInterface* focusChild() const override {
        return table() ? wrap(table()->focusChild()) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        return table() ? wrap(table()->childAt(x, y)) : nullptr;
    }
    QAccessibleInterface* parent() const override { return table() ? table()->parent() : nullptr; }
    QAccessibleInterface* child(int index) const override {
        return table() ? wrap(table()->child(index)) : nullptr;
    }
    int childCount() const override { return table() ? table()->childCount() : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return table() ? table()->indexOfChild(unwrap(child)) : -1;
    }
    QString text(QAccessible::Text t) const override {
        return table() ? table()->text(t) : QString();
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (table())
            table()->setText(t, text);
    }
    QRect rect() const override { return table() ? table()->rect() : QRect(); }
    QAccessible::Role role() const override { return QAccessible::Table; }
    QAccessible::State state() const override {
        return table() ? table()->state() : QAccessible::State();
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return table() ? table()->interface_cast(t) : nullptr;
    }

    QAccessibleInterface* caption() const override {
        return cells() ? cells()->caption() : nullptr;
    }
    QAccessibleInterface* summary() const override {
        return cells() ? cells()->summary() : nullptr;
    }
    QAccessibleInterface* cellAt(int row, int column) const override {
        return cells() ? wrap(cells()->cellAt(row, column)) : nullptr;
    }
    int selectedCellCount() const override { return cells() ? cells()->selectedCellCount() : 0; }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> selected =
            cells() ? cells()->selectedCells() : QList<QAccessibleInterface*>();
        for (QAccessibleInterface*& cell : selected)
            cell = wrap(cell);
        return selected;
    }
    QString columnDescription(int column) const override {
        return cells() ? cells()->columnDescription(column) : QString();
    }
    QString rowDescription(int row) const override {
        return cells() ? cells()->rowDescription(row) : QString();
    }
    int selectedColumnCount() const override {
        return cells() ? cells()->selectedColumnCount() : 0;
    }
    int selectedRowCount() const override { return cells() ? cells()->selectedRowCount() : 0; }
    int columnCount() const override { return cells() ? cells()->columnCount() : 0; }
    int rowCount() const override { return cells() ? cells()->rowCount() : 0; }
    QList<int> selectedColumns() const override {
        return cells() ? cells()->selectedColumns() : QList<int>();
    }
    QList<int> selectedRows() const override {
        return cells() ? cells()->selectedRows() : QList<int>();
    }
    bool isColumnSelected(int column) const override {
        return cells() && cells()->isColumnSelected(column);
    }
    bool isRowSelected(int row) const override { return cells() && cells()->isRowSelected(row); }
    bool selectRow(int row) override { return cells() && cells()->selectRow(row); }
    bool selectColumn(int column) override { return cells() && cells()->selectColumn(column); }
    bool unselectRow(int row) override { return cells() && cells()->unselectRow(row); }
    bool unselectColumn(int column) override { return cells() && cells()->unselectColumn(column); }
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        // Qt's table drops or moves its cells; the button cells over them go and come anew.
        forgetCells();
        if (cells())
            cells()->modelChange(event);
    }

private:
    QAccessible::Id m_table;
    QPointer<QTableView> m_view;
    mutable QHash<QAccessible::Id, QAccessible::Id> m_buttons; // Qt's cell, its button cell
};

bool makingQtTable = false;

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
    if (className == QLatin1String("QTableView") && !makingQtTable &&
        buttonCells().contains(object)) {
        makingQtTable = true;
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(object);
        makingQtTable = false;
        if (!table)
            return nullptr;
        return new ButtonTableAccessible(table, static_cast<QTableView*>(object));
    }
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

QString buttonActionName(session::CellKind kind) {
    switch (kind) {
    case session::CellKind::TuneButton:
        return QObject::tr("Tune");
    case session::CellKind::ConfirmButton:
        return QObject::tr("Confirm");
    case session::CellKind::UnconfirmButton:
        return QObject::tr("Retract");
    case session::CellKind::RemindButton:
        return QObject::tr("Remind Me");
    case session::CellKind::Text:
    case session::CellKind::Link:
        break;
    }
    return {};
}

void giveButtonCellsActions(QTableView* view, ButtonCells cells) {
    installAccessibility();
    if (!buttonCells().contains(view))
        QObject::connect(view, &QObject::destroyed, [view] { buttonCells().remove(view); });
    buttonCells().insert(view, std::move(cells));
    // A view whose interface was made before (the bridge asks as soon as widgets appear) gets
    // the one with the actions from now on.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(view);
    if (made && !dynamic_cast<ButtonTableAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void installAccessibility() {
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    QAccessible::installFactory(accessibleFor);
}

} // namespace ui
