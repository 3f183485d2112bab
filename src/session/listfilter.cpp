#include "session/listfilter.h"

#include <QHash>
#include <QStringList>

#include <array>

namespace session {

namespace {

struct BandEdges {
    Band band;
    qint64 low;
    qint64 high;
    const char* name;
};

// Wide enough for the allocations of every region.
constexpr std::array<BandEdges, 11> kBands{{
    {Band::M160, 1'800'000, 2'000'000, "160 m"},
    {Band::M80, 3'500'000, 4'000'000, "80 m"},
    {Band::M60, 5'250'000, 5'450'000, "60 m"},
    {Band::M40, 7'000'000, 7'300'000, "40 m"},
    {Band::M30, 10'100'000, 10'150'000, "30 m"},
    {Band::M20, 14'000'000, 14'350'000, "20 m"},
    {Band::M17, 18'068'000, 18'168'000, "17 m"},
    {Band::M15, 21'000'000, 21'450'000, "15 m"},
    {Band::M12, 24'890'000, 24'990'000, "12 m"},
    {Band::M10, 28'000'000, 29'700'000, "10 m"},
    {Band::M6, 50'000'000, 54'000'000, "6 m"},
}};

const QStringList kDataModes{"DATA", "DIGI", "RTTY", "PSK",    "PSK31", "BPSK",   "JS8", "JT65",
                             "JT9",  "Q65",  "MFSK", "OLIVIA", "FST4",  "MSK144", "PKT"};

} // namespace

Band bandOf(qint64 hertz) {
    for (const BandEdges& edges : kBands)
        if (hertz >= edges.low && hertz <= edges.high)
            return edges.band;
    return Band::Any;
}

QString bandName(Band band) {
    for (const BandEdges& edges : kBands)
        if (edges.band == band)
            return QString::fromLatin1(edges.name);
    return QObject::tr("All bands");
}

QString filterSentence(const FilterSettings& settings, int shown, const QString& all) {
    QStringList parts;
    if (settings.band != Band::Any)
        parts << bandName(settings.band).chopped(2) + QStringLiteral(" metres");
    if (settings.mode != ModeClass::Any)
        parts << modeClassName(settings.mode);
    if (!settings.search.isEmpty())
        parts << QStringLiteral("“%1”").arg(settings.search);
    if (settings.onePerActivator)
        parts << QStringLiteral("newest per activator");
    if (parts.isEmpty())
        parts << bandName(Band::Any);
    return QStringLiteral("%1: %2 of %3")
        .arg(parts.join(QStringLiteral(", ")), QString::number(shown), all);
}

ModeClass modeClassOf(const QString& mode) {
    const QString m = mode.trimmed().toUpper();
    if (m == u"CW")
        return ModeClass::CW;
    if (m == u"SSB" || m == u"USB" || m == u"LSB")
        return ModeClass::SSB;
    if (m == u"FT8")
        return ModeClass::FT8;
    if (m == u"FT4")
        return ModeClass::FT4;
    if (kDataModes.contains(m))
        return ModeClass::Data;
    return ModeClass::Other;
}

QString modeClassName(ModeClass mode) {
    switch (mode) {
    case ModeClass::CW:
        return QStringLiteral("CW");
    case ModeClass::SSB:
        return QStringLiteral("SSB");
    case ModeClass::FT8:
        return QStringLiteral("FT8");
    case ModeClass::FT4:
        return QStringLiteral("FT4");
    case ModeClass::Data:
        return QObject::tr("Data");
    case ModeClass::Other:
        return QObject::tr("Other");
    case ModeClass::Any:
        break;
    }
    return QObject::tr("All modes");
}

QString FilterSettings::toText() const {
    return QStringLiteral("%1;%2;%3;%4")
        .arg(int(band))
        .arg(int(mode))
        .arg((onePerActivator ? 1 : 0) | (hideWorked ? 2 : 0))
        .arg(search);
}

FilterSettings FilterSettings::fromText(const QString& text) {
    const QStringList parts = text.split(u';');
    if (parts.size() < 4)
        return {};
    bool ok[3] = {};
    const int band = parts[0].toInt(&ok[0]);
    const int mode = parts[1].toInt(&ok[1]);
    const int one = parts[2].toInt(&ok[2]);
    // The third field holds the switches as bits; the one per activator is the first.
    if (!ok[0] || !ok[1] || !ok[2] || band < 0 || band > int(Band::M6) || mode < 0 ||
        mode > int(ModeClass::Other) || one < 0 || one > 3)
        return {};
    // The search text may itself hold ';'.
    FilterSettings settings{Band(band), ModeClass(mode), parts.mid(3).join(u';'), (one & 1) != 0};
    settings.hideWorked = (one & 2) != 0;
    return settings;
}

ListFilter::ListFilter(ListModel* source, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_source(source) {
    setSourceModel(source);
    // The rows keep the order their feed gave them.
    setDynamicSortFilter(false);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_newestKnown = false; });
    // The marks follow the log: what is worked today hides as it is logged.
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (m_settings.hideWorked && roles.contains(MarkRole))
                    invalidateFilter();
            });
}

void ListFilter::setSettings(const FilterSettings& settings) {
    if (settings == m_settings)
        return;
    m_settings = settings;
    invalidateFilter();
}

void ListFilter::findNewest() const {
    // Ages are whole minutes since the spot; the smallest is the newest, the first of equals wins.
    QHash<QString, int> newest;
    const int rows = m_source->rowCount();
    for (int row = 0; row < rows; ++row) {
        const RowFacts& facts = m_source->facts(row);
        const QString key = facts.activator.toUpper() + u'\n' + facts.reference.toUpper();
        const auto it = newest.find(key);
        if (it == newest.end() || facts.ageMinutes < m_source->facts(*it).ageMinutes)
            newest.insert(key, row);
    }
    m_newest.assign(std::size_t(rows), false);
    for (int row : std::as_const(newest))
        m_newest[std::size_t(row)] = true;
    m_newestKnown = true;
}

bool ListFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    const RowFacts& facts = m_source->facts(row);
    if (m_settings.band != Band::Any && bandOf(facts.hertz) != m_settings.band)
        return false;
    if (m_settings.mode != ModeClass::Any && modeClassOf(facts.mode) != m_settings.mode)
        return false;
    if (!m_settings.search.isEmpty() &&
        !facts.text.contains(m_settings.search.trimmed(), Qt::CaseInsensitive))
        return false;
    if (m_settings.hideWorked && m_source->mark(row).text == u"Worked")
        return false;
    if (m_settings.onePerActivator) {
        if (!m_newestKnown || m_newest.size() != std::size_t(m_source->rowCount()))
            findNewest();
        return m_newest[std::size_t(row)];
    }
    return true;
}

} // namespace session
