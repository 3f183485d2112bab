#include "session/logmodel.h"

#include "log/adif.h"

#include <algorithm>

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
        m_contacts << *it;
        m_texts << textsOf(*it);
    }
    endResetModel();
}

QStringList LogModel::textsOf(const logbook::Contact& c) {
    return {c.start.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
            c.call,
            c.band,
            c.frequencyHz > 0 ? logbook::megahertzText(c.frequencyHz) : QString(),
            modeText(c),
            c.rstSent,
            c.rstReceived,
            referencesText(c),
            c.name,
            c.comment};
}

void LogModel::add(const logbook::Contact& contact) {
    // Newest first; of contacts at one moment, the later logged first.
    const auto at = std::lower_bound(m_contacts.cbegin(), m_contacts.cend(), contact,
                                     [](const logbook::Contact& shown, const logbook::Contact& c) {
                                         return shown.start > c.start ||
                                                (shown.start == c.start && shown.id > c.id);
                                     });
    const int row = int(at - m_contacts.cbegin());
    beginInsertRows({}, row, row);
    m_contacts.insert(row, contact);
    m_texts.insert(row, textsOf(contact));
    endInsertRows();
}

void LogModel::remove(qint64 id) {
    for (int row = 0; row < m_contacts.size(); ++row) {
        if (m_contacts.at(row).id != id)
            continue;
        beginRemoveRows({}, row, row);
        m_contacts.removeAt(row);
        m_texts.removeAt(row);
        endRemoveRows();
        return;
    }
}

void LogModel::change(const logbook::Contact& contact) {
    remove(contact.id);
    add(contact);
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

Band bandOf(const logbook::Contact& c) {
    if (c.frequencyHz > 0)
        return bandOf(c.frequencyHz);
    // ADIF writes "20m", the filter "20 m".
    const QString band = c.band.trimmed().toLower();
    for (int b = int(Band::M160); b <= int(Band::M6); ++b)
        if (bandName(Band(b)).remove(u' ') == band)
            return Band(b);
    return Band::Any;
}

ModeClass modeClassOf(const logbook::Contact& c) {
    const ModeClass sub = c.submode.isEmpty() ? ModeClass::Other : modeClassOf(c.submode);
    return sub != ModeClass::Other ? sub : modeClassOf(c.mode);
}

LogFilter::LogFilter(LogModel* source, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_source(source) {
    setSourceModel(source);
    // The log keeps its own order, newest first.
    setDynamicSortFilter(false);
}

void LogFilter::setSettings(const FilterSettings& settings) {
    if (settings == m_settings)
        return;
    m_settings = settings;
    invalidateFilter();
}

bool LogFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    const logbook::Contact& contact = m_source->contact(row);
    if (m_settings.band != Band::Any && bandOf(contact) != m_settings.band)
        return false;
    if (m_settings.mode != ModeClass::Any && modeClassOf(contact) != m_settings.mode)
        return false;
    const QString search = m_settings.search.trimmed();
    if (search.isEmpty())
        return true;
    const QStringList& texts = m_source->texts(row);
    return std::any_of(texts.cbegin(), texts.cend(), [&search](const QString& text) {
        return text.contains(search, Qt::CaseInsensitive);
    });
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
