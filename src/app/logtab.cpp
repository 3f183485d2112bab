#include "app/logtab.h"

#include "app/logdialogs.h"
#include "session/logmodel.h"
#include "session/logsession.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace app {

LogTab::LogTab(session::LogSession& log, QWidget* parent)
    : QWidget(parent)
    , m_log(log)
    , m_model(new session::LogModel(this))
    , m_filter(new QSortFilterProxyModel(this))
    , m_search(new QLineEdit(this))
    , m_table(new QTableView(this))
    , m_undo(new QPushButton(tr("&Undo Delete"), this))
    , m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("logTab"));
    m_filter->setSourceModel(m_model);
    m_filter->setFilterKeyColumn(-1);
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_search->setPlaceholderText(tr("Search the log"));
    m_search->setAccessibleName(tr("Search the log"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, m_filter,
            &QSortFilterProxyModel::setFilterFixedString);
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
    top->addWidget(m_search, 1);
    top->addWidget(edit);
    top->addWidget(remove);
    top->addWidget(m_undo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);
    connect(&m_log, &session::LogSession::contactAdded, m_model, &session::LogModel::add);
    connect(&m_log, &session::LogSession::contactRemoved, m_model,
            [this](const logbook::Contact& contact) { m_model->remove(contact.id); });
    connect(
        &m_log, &session::LogSession::contactChanged, m_model,
        [this](const logbook::Contact&, const logbook::Contact& after) { m_model->change(after); });
    connect(&m_log, &session::LogSession::statusChanged, m_status, &QLabel::setText);
    reload();
}

void LogTab::reload() {
    m_model->setContacts(m_log.store().contacts());
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
        m_status->setText(m_log.update(changed) ? tr("Changed %1").arg(changed.call)
                                                : m_log.errorText());
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
        m_status->setText(tr("Deleted %1; Undo Delete brings it back").arg(m_deleted->call));
}

void LogTab::undoDelete() {
    if (!m_deleted)
        return;
    if (m_log.restore(*m_deleted))
        m_status->setText(tr("%1 is back in the log").arg(m_deleted->call));
    m_deleted.reset();
    m_undo->setEnabled(false);
}

} // namespace app
