#include "ui/filterbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace ui {

using session::Band;
using session::ModeClass;

FilterBar::FilterBar(core::ListKind list, QWidget* parent)
    : FilterBar(core::listName(list), core::listTitle(list),
                list == core::ListKind::Pota || list == core::ListKind::Sota ||
                    list == core::ListKind::Wwff,
                parent) {}

FilterBar::FilterBar(const QString& name, const QString& title, QWidget* parent)
    : FilterBar(name, title, false, parent) {}

FilterBar::FilterBar(const QString& name, const QString& what, bool perActivator, QWidget* parent)
    : QWidget(parent)
    , m_band(new QComboBox(this))
    , m_mode(new QComboBox(this))
    , m_search(new QLineEdit(this)) {
    setObjectName(name + QStringLiteral("Filter"));
    for (int band = int(Band::Any); band <= int(Band::M6); ++band)
        m_band->addItem(session::bandName(Band(band)));
    for (int mode = int(ModeClass::Any); mode <= int(ModeClass::Other); ++mode)
        m_mode->addItem(session::modeClassName(ModeClass(mode)));
    m_band->setAccessibleName(tr("Show the %1 rows of one band").arg(what));
    m_mode->setAccessibleName(tr("Show the %1 rows of one mode").arg(what));
    m_search->setPlaceholderText(tr("Search"));
    m_search->setClearButtonEnabled(true);
    m_search->setAccessibleName(tr("Search the %1 rows").arg(what));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bandLabel = new QLabel(tr("&Band:"), this);
    bandLabel->setBuddy(m_band);
    auto* modeLabel = new QLabel(tr("M&ode:"), this);
    modeLabel->setBuddy(m_mode);
    layout->addWidget(bandLabel);
    layout->addWidget(m_band);
    layout->addWidget(modeLabel);
    layout->addWidget(m_mode);
    layout->addWidget(m_search, 1);
    if (perActivator) {
        m_onePerActivator = new QCheckBox(tr("One row per &activator"), this);
        m_onePerActivator->setAccessibleName(
            tr("Show only the newest spot of each activator and reference"));
        layout->addWidget(m_onePerActivator);
        connect(m_onePerActivator, &QCheckBox::toggled, this, &FilterBar::emitChanged);
        m_hideWorked = new QCheckBox(tr("Hide &worked today"), this);
        m_hideWorked->setAccessibleName(
            tr("Hide the spots of activators worked today at that reference on that band"));
        layout->addWidget(m_hideWorked);
        connect(m_hideWorked, &QCheckBox::toggled, this, &FilterBar::emitChanged);
    }
    connect(m_band, &QComboBox::currentIndexChanged, this, &FilterBar::emitChanged);
    connect(m_mode, &QComboBox::currentIndexChanged, this, &FilterBar::emitChanged);
    connect(m_search, &QLineEdit::textChanged, this, &FilterBar::emitChanged);
    connect(m_search, &QLineEdit::returnPressed, this, &FilterBar::searchEntered);
}

session::FilterSettings FilterBar::settings() const {
    session::FilterSettings settings{Band(m_band->currentIndex()),
                                     ModeClass(m_mode->currentIndex()), m_search->text(),
                                     m_onePerActivator && m_onePerActivator->isChecked()};
    settings.hideWorked = m_hideWorked && m_hideWorked->isChecked();
    return settings;
}

void FilterBar::setSettings(const session::FilterSettings& settings) {
    m_setting = true;
    m_band->setCurrentIndex(int(settings.band));
    m_mode->setCurrentIndex(int(settings.mode));
    m_search->setText(settings.search);
    if (m_onePerActivator)
        m_onePerActivator->setChecked(settings.onePerActivator);
    if (m_hideWorked)
        m_hideWorked->setChecked(settings.hideWorked);
    m_setting = false;
}

void FilterBar::focusSearch() {
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

QList<QWidget*> FilterBar::focusChain() const {
    QList<QWidget*> chain{m_band, m_mode, m_search};
    if (m_onePerActivator)
        chain << m_onePerActivator << m_hideWorked;
    return chain;
}

void FilterBar::emitChanged() {
    if (!m_setting)
        emit settingsChanged(settings());
}

} // namespace ui
