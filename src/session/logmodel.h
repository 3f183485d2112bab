#pragma once

#include "log/contact.h"
#include "session/listfilter.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSortFilterProxyModel>

namespace session {

// The Log tab's table: every contact, newest first. The texts of a row are made when the
// contacts are set, so that scrolling a long log only looks them up.
class LogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Time,
        Call,
        Band,
        Frequency,
        Mode,
        Sent,
        Received,
        References,
        Name,
        Comment,
        ColumnCount
    };
    // The contact's id, asked of any cell.
    static constexpr int IdRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // Oldest first, as the store gives them.
    void setContacts(const QList<logbook::Contact>& contacts);
    // One contact in, out or changed, in its place by time (newest first).
    void add(const logbook::Contact& contact);
    void remove(qint64 id);
    void change(const logbook::Contact& contact);
    const logbook::Contact& contact(int row) const { return m_contacts.at(row); }
    // What the row shows, column by column.
    const QStringList& texts(int row) const { return m_texts.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    static QStringList textsOf(const logbook::Contact& contact);

    QList<logbook::Contact> m_contacts;
    QList<QStringList> m_texts;
};

// The band and mode classes of a contact, as the lists' filters sort their rows: the band of its
// frequency (of its ADIF band when the frequency is unknown), the class of its submode (of its
// mode when the submode says no more than "Other", as a MODE of OLIVIA with a SUBMODE of
// "OLIVIA 8/250" does).
Band bandOf(const logbook::Contact& contact);
ModeClass modeClassOf(const logbook::Contact& contact);

// Hides the contacts the operator filtered out by band, mode and any shown text, in the log's
// own order.
class LogFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit LogFilter(LogModel* source, QObject* parent = nullptr);

    const FilterSettings& settings() const { return m_settings; }
    void setSettings(const FilterSettings& settings);
    // Contacts of the log the filter hides.
    int hiddenRows() const { return m_source->rowCount() - rowCount(); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    LogModel* m_source;
    FilterSettings m_settings;
};

// "K1ABC, 20m, FT8, US-1234, 2026-12-07 22:15 UTC": what a screen reader says of a row.
QString contactDescription(const logbook::Contact& contact);

} // namespace session
