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
    void emitChanged();

    QComboBox* m_band;
    QComboBox* m_mode;
    QLineEdit* m_search;
    QCheckBox* m_onePerActivator = nullptr;
    QCheckBox* m_hideWorked = nullptr;
    bool m_setting = false;
};

} // namespace ui
