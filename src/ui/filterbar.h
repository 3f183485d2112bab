#pragma once

#include "core/listkind.h"
#include "session/listfilter.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ui {

// Band, mode, search and "one row per activator" above a list: what the operator filters by.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    FilterBar(core::ListKind list, QWidget* parent = nullptr);
    // Band, mode and search alone, for a table that is none of the lists: `name` makes the object
    // name ("log" gives "logFilter"), `title` what the screen reader hears ("Search the log rows").
    FilterBar(const QString& name, const QString& title, QWidget* parent = nullptr);

    session::FilterSettings settings() const;
    void setSettings(const session::FilterSettings& settings);
    // Where Ctrl+F goes.
    void focusSearch();
    // Its controls in the order Tab visits them.
    QList<QWidget*> focusChain() const;

signals:
    void settingsChanged(const session::FilterSettings& settings);
    // Enter in the search field.
    void searchEntered();

private:
    FilterBar(const QString& name, const QString& title, bool perActivator, QWidget* parent);
    void emitChanged();

    QComboBox* m_band;
    QComboBox* m_mode;
    QLineEdit* m_search;
    QCheckBox* m_onePerActivator = nullptr;
    QCheckBox* m_hideWorked = nullptr;
    bool m_setting = false;
};

} // namespace ui
