#include "app/logtab.h"

#include "app/logdialogs.h"
#include "session/liststatus.h"
#include "session/logmodel.h"
#include "session/logsession.h"
#include "session/preferences.h"
#include "ui/filterbar.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace app {

namespace {

const QString kFilterKey = QStringLiteral("filter/log");

} // namespace

LogTab::LogTab(session::LogSession& log, session::Preferences& preferences, QWidget* parent)
    : QWidget(parent)
    , m_log(log)
    , m_preferences(preferences)
    , m_model(new session::LogModel(this))
    , m_filter(new session::LogFilter(m_model, this))
    , m_bar(new ui::FilterBar(QStringLiteral("log"), tr("log"), this))
    , m_table(new QTableView(this))
    , m_undo(new QPushButton(tr("&Undo Delete"), this))
    , m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("logTab"));
    const auto settings = session::FilterSettings::fromText(m_preferences.text(kFilterKey));
    m_bar->setSettings(settings);
    m_filter->setSettings(settings);
    connect(m_bar, &ui::FilterBar::settingsChanged, this,
            [this](const session::FilterSettings& chosen) {
                m_filter->setSettings(chosen);
                m_preferences.setText(kFilterKey, chosen.toText());
                showStatus();
            });
    // Read and copied like the lists' status lines.
    m_status->setObjectName(QStringLiteral("logStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    m_table->setObjectName(QStringLiteral("logTable"));
    m_table->setAccessibleName(tr("Log"));
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Rows of one height are laid out without measuring each: a long log scrolls smoothly.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    auto* edit = new QPushButton(tr("&Edit…"), this);
    auto* remove = new QPushButton(tr("&Delete"), this);
    m_undo->setEnabled(false);
    connect(edit, &QPushButton::clicked, this, &LogTab::editSelected);
    connect(remove, &QPushButton::clicked, this, &LogTab::deleteSelected);
    connect(m_undo, &QPushButton::clicked, this, &LogTab::undoDelete);
    connect(m_table, &QTableView::activated, this, &LogTab::editSelected);
    auto* del = new QShortcut(QKeySequence::Delete, m_table);
    del->setContext(Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, &LogTab::deleteSelected);

    auto* top = new QHBoxLayout;
    top->addWidget(m_bar, 1);
    top->addWidget(edit);
    top->addWidget(remove);
    top->addWidget(m_undo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);
    connect(&m_log, &session::LogSession::opened, m_model, &session::LogModel::setContacts);
    connect(&m_log, &session::LogSession::contactAdded, m_model, &session::LogModel::add);
    connect(&m_log, &session::LogSession::contactRemoved, m_model,
            [this](const logbook::Contact& contact) { m_model->remove(contact.id); });
    connect(
        &m_log, &session::LogSession::contactChanged, m_model,
        [this](const logbook::Contact&, const logbook::Contact& after) { m_model->change(after); });
    connect(&m_log, &session::LogSession::statusChanged, this,
            [this](const QString& text) { showStatus(text); });
    // The count follows every contact in or out, shown or hidden.
    for (QAbstractItemModel* model :
         {static_cast<QAbstractItemModel*>(m_model), static_cast<QAbstractItemModel*>(m_filter)}) {
        connect(model, &QAbstractItemModel::modelReset, this, [this] { showStatus(); });
        connect(model, &QAbstractItemModel::rowsInserted, this, [this] { showStatus(); });
        connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { showStatus(); });
    }
    // Tab goes through the filters and the buttons to the rows, Shift+Tab back.
    QList<QWidget*> chain = m_bar->focusChain();
    chain << edit << remove << m_undo << m_table;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void LogTab::showStatus(const QString& done) {
    if (!done.isEmpty())
        m_done = done;
    m_status->setText(session::logStatusText(m_model->rowCount(), m_filter->hiddenRows(), m_done));
}

std::optional<qint64> LogTab::selectedId() const {
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid())
        return std::nullopt;
    return current.data(session::LogModel::IdRole).toLongLong();
}

void LogTab::editSelected() {
    const std::optional<qint64> id = selectedId();
    const std::optional<logbook::Contact> contact = id ? m_log.store().contact(*id) : std::nullopt;
    if (!contact)
        return;
    auto* dialog = new LogContactDialog(*contact, true, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &LogContactDialog::chosen, this, [this](const logbook::Contact& changed) {
        showStatus(m_log.update(changed) ? tr("Changed %1").arg(changed.call) : m_log.errorText());
    });
    dialog->open();
}

void LogTab::deleteSelected() {
    const std::optional<qint64> id = selectedId();
    if (!id)
        return;
    m_deleted = m_log.remove(*id);
    m_undo->setEnabled(m_deleted.has_value());
    if (m_deleted)
        showStatus(tr("Deleted %1; Undo Delete brings it back").arg(m_deleted->call));
}

void LogTab::undoDelete() {
    if (!m_deleted)
        return;
    if (m_log.restore(*m_deleted))
        showStatus(tr("%1 is back in the log").arg(m_deleted->call));
    m_deleted.reset();
    m_undo->setEnabled(false);
}

} // namespace app
