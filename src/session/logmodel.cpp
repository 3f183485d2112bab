#include "session/logmodel.h"

#include "log/adif.h"

namespace session {

namespace {

QString referencesText(const logbook::Contact& c) {
    QStringList refs;
    for (logbook::Program program : logbook::kAllPrograms)
        refs << logbook::references(c, program);
    return refs.join(QStringLiteral(", "));
}

QString modeText(const logbook::Contact& c) {
    return c.submode.isEmpty() ? c.mode : c.submode;
}

} // namespace

void LogModel::setContacts(const QList<logbook::Contact>& contacts) {
    beginResetModel();
    m_contacts.clear();
    m_texts.clear();
    m_contacts.reserve(contacts.size());
    m_texts.reserve(contacts.size());
    for (auto it = contacts.crbegin(); it != contacts.crend(); ++it) {
        const logbook::Contact& c = *it;
        m_contacts << c;
        m_texts << QStringList{c.start.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                               c.call,
                               c.band,
                               c.frequencyHz > 0 ? logbook::megahertzText(c.frequencyHz)
                                                 : QString(),
                               modeText(c),
                               c.rstSent,
                               c.rstReceived,
                               referencesText(c),
                               c.name,
                               c.comment};
    }
    endResetModel();
}

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_contacts.size());
}

int LogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_contacts.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_texts.at(index.row()).at(index.column());
    case Qt::AccessibleTextRole:
        return contactDescription(m_contacts.at(index.row()));
    case IdRole:
        return m_contacts.at(index.row()).id;
    default:
        return {};
    }
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kTitles[] = {"Time (UTC)", "Call", "Band",       "MHz",  "Mode",
                                          "Sent",       "Rcvd", "References", "Name", "Comment"};
    return section >= 0 && section < ColumnCount ? tr(kTitles[section]) : QVariant();
}

QString contactDescription(const logbook::Contact& c) {
    QStringList parts{c.call};
    for (const QString& part : {c.band, modeText(c), referencesText(c)})
        if (!part.isEmpty())
            parts << part;
    parts << c.start.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
    return parts.join(QStringLiteral(", "));
}

} // namespace session
