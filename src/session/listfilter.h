#pragma once

#include "session/listmodel.h"

#include <QSortFilterProxyModel>

#include <vector>

namespace session {

// The amateur bands a filter can pick, from 160 m to 6 m.
enum class Band { Any, M160, M80, M60, M40, M30, M20, M17, M15, M12, M10, M6 };
enum class ModeClass { Any, CW, SSB, FT8, FT4, Data, Other };

// The band a frequency lies in; Band::Any when it lies in none.
Band bandOf(qint64 hertz);
ModeClass modeClassOf(const QString& mode);
QString bandName(Band band);           // "160 m", ..., "6 m"; "All bands" for Any
QString modeClassName(ModeClass mode); // "CW", "SSB", "FT8", "FT4", "Data", "Other"; "All modes"

struct FilterSettings {
    Band band = Band::Any;
    ModeClass mode = ModeClass::Any;
    QString search;               // any shown text, without regard to case
    bool onePerActivator = false; // the newest spot of each activator and reference
    bool hideWorked = false;      // the spots the log marks Worked (today, this band)

    bool operator==(const FilterSettings&) const = default;
    // As the settings store keeps it, and back; an unreadable text gives no filter.
    QString toText() const;
    static FilterSettings fromText(const QString& text);
};

// What a filter change leaves, as one sentence: "20 metres: 12 of 54 spots", "20 metres, CW,
// “k1”: 2 of 54 spots", "All bands: 54 of 54 spots"; `all` counts the list's rows ("54 spots").
QString filterSentence(const FilterSettings& settings, int shown, const QString& all);

// Hides the rows of one list that the operator filtered out, over the list's own model (never a
// copy of its rows) and in the list's own order.
class ListFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ListFilter(ListModel* source, QObject* parent = nullptr);

    ListModel* listModel() const { return m_source; }
    const FilterSettings& settings() const { return m_settings; }
    void setSettings(const FilterSettings& settings);
    // Rows of the list the filter hides.
    int hiddenRows() const { return m_source->rowCount() - rowCount(); }
    int sourceRow(int row) const { return mapToSource(index(row, 0)).row(); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    void findNewest() const;

    ListModel* m_source;
    FilterSettings m_settings;
    mutable std::vector<bool> m_newest;
    mutable bool m_newestKnown = false;
};

} // namespace session
