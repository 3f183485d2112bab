#include "app/windowbinding.h"

#include "app/preferencedialogs.h"
#include "app/reminderbinding.h"
#include "session/listfilter.h"
#include "session/station.h"
#include "ui/accessibility.h"
#include "ui/colours.h"
#include "ui/filterbar.h"
#include "ui/tablebinder.h"

#include <QAccessible>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace app {

namespace {

using core::ListKind;
using session::CellKind;

void selectTitle(QComboBox* popUp, const QString& title) {
    const int i = popUp->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        popUp->setCurrentIndex(i);
}

} // namespace

WindowBinding::WindowBinding(const WindowControls& window, session::Station& station,
                             UpdatePrompter* prompter, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_station(station)
    , m_prompter(prompter) {
    session::RadioSession& radio = station.radio();
    if (m_window.statusBar) {
        m_announcer = new ui::Announcer(m_window.statusBar);
        m_window.statusBar->addWidget(m_announcer, 1);
        m_keys << m_announcer;
    }
    // A screen reader tells the operator what the voice guide would repeat.
    QAccessible::installActivationObserver(this);
    station.setScreenReaderActive(QAccessible::isActive());

    // Pop-ups: only the operator's choices (activated) reach the session; what the session
    // shows comes back through its signals.
    m_window.RadioPopUpButton->addItems(session::RadioSession::radioTitles());
    connect(m_window.RadioPopUpButton, &QComboBox::activated, this, [this, &radio](int index) {
        radio.chooseRadio(index, m_window.RadioPopUpButton->itemText(index));
    });
    connect(&radio, &session::RadioSession::radioShown, this,
            [this](const QString& title) { selectTitle(m_window.RadioPopUpButton, title); });

    for (qint32 rate : session::RadioSession::baudRates())
        m_window.BaudPopUpButton->addItem(QString::number(rate));
    connect(m_window.BaudPopUpButton, &QComboBox::activated, this, [&radio](int index) {
        radio.chooseBaud(session::RadioSession::baudRates().value(index));
    });
    connect(&radio, &session::RadioSession::baudShown, this,
            [this](qint32 rate) { selectTitle(m_window.BaudPopUpButton, QString::number(rate)); });

    m_window.PortPopUpButton->setPlaceholderText(tr("Choose a port"));
    fillPortPopUp();
    connect(m_window.PortPopUpButton, &QComboBox::activated, this, [this, &radio](int index) {
        radio.choosePort(m_window.PortPopUpButton->itemText(index));
    });
    connect(&radio, &session::RadioSession::portsChanged, this, &WindowBinding::fillPortPopUp);
    connect(&radio, &session::RadioSession::portShown, this,
            [this](const QString& port) { selectTitle(m_window.PortPopUpButton, port); });

    connect(m_window.openCloseButton, &QPushButton::clicked, &radio,
            &session::RadioSession::openOrClose);
    connect(&radio, &session::RadioSession::linkStateChanged, this, &WindowBinding::showLinkState);
    connect(&radio, &session::RadioSession::listsWanted, this,
            [this] { m_window.mainTab->setCurrentIndex(1); });
    connect(&radio, &session::RadioSession::radioWanted, this,
            [this] { m_window.mainTab->setCurrentIndex(0); });
    bindRigctldAndReadBack();

    // Preferences.
    connect(m_window.menuItemPreferencesVoice, &QAction::triggered, this,
            [this](bool on) { m_station.preferences().setVoice(on); });
    connect(m_window.menuItemPreferencesSounds, &QAction::triggered, this,
            [this](bool on) { m_station.preferences().setSounds(on); });
    connect(&station.preferences(), &session::Preferences::switchesChanged, this,
            &WindowBinding::showSwitches);

    // Refresh commands.
    const struct {
        QAction* action;
        QPushButton* button;
        session::Refresh what;
    } refreshes[] = {
        {m_window.actionRefreshConditions, m_window.bandRefresh, session::Refresh::Conditions},
        {m_window.actionRefreshPota, m_window.potaTabRefresh, session::Refresh::Pota},
        {m_window.actionRefreshNetLogger, m_window.netLoggerTabRefresh,
         session::Refresh::NetLogger},
        {m_window.actionRefreshSota, m_window.sotaTabRefresh, session::Refresh::Sota},
        {m_window.actionRefreshWwff, m_window.wwffTabRefresh, session::Refresh::Wwff},
        {m_window.actionRefreshNets, m_window.netsTabRefresh, session::Refresh::Nets},
    };
    for (const auto& [action, button, what] : refreshes) {
        const auto refresh = [this, what] { m_station.refresh(what); };
        connect(action, &QAction::triggered, this, refresh);
        connect(button, &QPushButton::clicked, this, refresh);
    }
    for (QAction* page : {m_window.actionHelp, m_window.actionWebPage})
        connect(page, &QAction::triggered, &station, &session::Station::showHelp);

    connect(m_window.mainTab, &QTabWidget::currentChanged, this, [this](int i) {
        const QWidget* tab = m_window.mainTab->widget(i);
        print(tab ? tab->objectName() : QString());
    });

    // The tables.
    const std::array<QTableView*, core::kAllLists.size()> views{
        m_window.potaTable,      m_window.sotaTable, m_window.wwffTable,
        m_window.netLoggerTable, m_window.netsTable, m_window.mwTable};
    for (ListKind list : core::kAllLists) {
        const int i = core::listIndex(list);
        session::ListModel* model = station.lists().model(list);
        // Every list but the stations gets a filter bar beside its refresh button.
        if (list != ListKind::MW)
            bindFilter(list, views[i]);
        auto* binder = new ui::TableBinder(views[i], model, m_filters[i], this);
        m_binders[i] = binder;
        views[i]->setAccessibleName(core::listTitle(list) + tr(" list"));
        binder->onButton(CellKind::TuneButton, [this, list](int row) { tuneRequested(list, row); });
        connect(binder, &ui::TableBinder::pressRefused, this, &WindowBinding::tell);
        connect(binder, &ui::TableBinder::linkActivated, this, [this](const QUrl& url) {
            if (m_station.platform().browser)
                m_station.platform().browser->open(url);
        });
    }
    ui::TableBinder* nets = m_binders[core::listIndex(ListKind::Nets)];
    nets->onButton(CellKind::ConfirmButton, [this](int row) { confirmRequested(row, true); });
    nets->onButton(CellKind::UnconfirmButton, [this](int row) { confirmRequested(row, false); });
    // Confirmations need a directory service and its own nets in the table (the bundled rows'
    // ids mean nothing to it), and a press before the operator key has been read would send an
    // empty key.
    const auto enableConfirmations = [this, nets](bool ready) {
        const QString why = !m_station.lists().hasDirectoryService()
                                ? tr("Confirming a check-in needs a directory service: "
                                     "Preferences, Directory Service…")
                            : m_station.serviceNetsShown()
                                ? tr("Reading your operator key…")
                                : tr("Waiting for the directory service's nets…");
        nets->setButtonsEnabled(CellKind::ConfirmButton, ready, why);
        nets->setButtonsEnabled(CellKind::UnconfirmButton, ready, why);
    };
    enableConfirmations(station.confirmationsReady());
    bindReminders(
        station, nets, m_window.tableOf(ListKind::Nets), m_window.menuPreferences,
        [this](const QString& text) { tell(text); }, this);
    connect(&station, &session::Station::confirmationsReadyChanged, this, enableConfirmations);

    connect(&station, &session::Station::loadTold, this,
            [this](ListKind, const QString& sentence) { tell(sentence); });
    connect(&station, &session::Station::confirmationTold, this, &WindowBinding::tell);

    nameControls();
    bindKeys();
    bindRefreshEvery();
    connect(&station, &session::Station::watchedSpotted, this,
            [this](ListKind, const QString& said) { tell(said); });
    const std::array<QLabel*, core::kAllLists.size()> statusLines{
        m_window.potaStatus,      m_window.sotaStatus, m_window.wwffStatus,
        m_window.netLoggerStatus, m_window.netsStatus, m_window.mwStatus};
    for (ListKind list : core::kAllLists)
        if (QLabel* line = statusLines[core::listIndex(list)])
            line->setText(station.lists().statusText(list));
    connect(&station.lists(), &session::ListsSession::statusChanged, this,
            [statusLines](ListKind list, const QString& text) {
                if (QLabel* line = statusLines[core::listIndex(list)])
                    line->setText(text);
            });
    if (m_window.actionSpotSources)
        connect(m_window.actionSpotSources, &QAction::triggered, this,
                &WindowBinding::showSpotSources);
    if (m_window.actionStation)
        connect(m_window.actionStation, &QAction::triggered, this,
                &WindowBinding::showStationDialog);

    connect(&station, &session::Station::conditionsShown, this, &WindowBinding::showConditions);
    connect(&station, &session::Station::updateAvailable, this, &WindowBinding::showUpdateAlert);
}

void WindowBinding::bindFilter(ListKind list, QTableView* view) {
    const int i = core::listIndex(list);
    session::ListModel* model = m_station.lists().model(list);
    auto* filter = new session::ListFilter(model, this);
    auto* bar = new ui::FilterBar(list, view->parentWidget());
    const QString key = QStringLiteral("filter/") + core::listName(list);
    const auto settings = session::FilterSettings::fromText(m_station.preferences().text(key));
    bar->setSettings(settings);
    filter->setSettings(settings);
    // What is left after a change is told; typed searches once the typing pauses, so that the
    // screen reader's echo of each letter is not cut short.
    const auto tellLeft = [this, filter, list] {
        tell(session::filterSentence(filter->settings(), filter->rowCount(),
                                     session::rowWords(list, filter->listModel()->rowCount())));
    };
    auto* typing = new QTimer(this);
    typing->setSingleShot(true);
    typing->setInterval(700);
    connect(typing, &QTimer::timeout, this, tellLeft);
    connect(bar, &ui::FilterBar::settingsChanged, this,
            [this, filter, key, typing, tellLeft](const session::FilterSettings& chosen) {
                const bool typed = chosen.search != filter->settings().search;
                filter->setSettings(chosen);
                m_station.preferences().setText(key, chosen.toText());
                if (typed)
                    return typing->start();
                typing->stop();
                tellLeft();
            });
    // Enter in the search field tunes the first row it left.
    connect(bar, &ui::FilterBar::searchEntered, this, [this, filter, list] {
        if (filter->rowCount() > 0)
            tuneRequested(list, filter->sourceRow(0));
    });
    // The status line says how many rows the filter hides, after every load or change.
    const auto countHidden = [this, filter, list] {
        m_station.lists().setHiddenRows(list, filter->hiddenRows());
    };
    connect(filter, &QAbstractItemModel::modelReset, this, countHidden);
    connect(filter, &QAbstractItemModel::rowsRemoved, this, countHidden);
    connect(filter, &QAbstractItemModel::rowsInserted, this, countHidden);
    connect(filter, &QAbstractItemModel::layoutChanged, this, countHidden);
    if (auto* row = view->parentWidget()->findChild<QHBoxLayout*>())
        row->insertWidget(1, bar, 1);
    // Tab goes from the refresh button through the filters to the rows, Shift+Tab back.
    QWidget* previous = m_window.refreshButtonOf(list);
    QList<QWidget*> chain = bar->focusChain();
    chain << view;
    for (QWidget* next : chain) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    }
    m_filters[i] = filter;
    m_filterBars[i] = bar;
}

void WindowBinding::accessibilityActiveChanged(bool active) {
    m_station.setScreenReaderActive(active);
}

WindowBinding::~WindowBinding() {
    QAccessible::removeActivationObserver(this);
    // The keys belong to the window, which may outlive its binding.
    qDeleteAll(m_keys);
}

std::optional<ListKind> WindowBinding::shownList() const {
    const QWidget* tab = m_window.mainTab->currentWidget();
    for (ListKind list : core::kAllLists)
        if (tab && m_binders[core::listIndex(list)] && tab->isAncestorOf(m_window.tableOf(list)))
            return list;
    return std::nullopt;
}

void WindowBinding::nameControls() {
    // What a screen reader says of each control: what it is and what it does.
    m_window.mainTab->setAccessibleName(tr("The radio, the lists and the memories"));
    m_window.RadioPopUpButton->setAccessibleName(tr("Radio model"));
    m_window.PortPopUpButton->setAccessibleName(tr("Serial port of the radio"));
    m_window.BaudPopUpButton->setAccessibleName(tr("Baud rate of the serial port"));
    m_window.openCloseButton->setAccessibleName(tr("Connect to the radio, or disconnect"));
    for (ListKind list :
         {ListKind::Pota, ListKind::Sota, ListKind::Wwff, ListKind::NetLogger, ListKind::Nets})
        if (QPushButton* refresh = m_window.refreshButtonOf(list))
            refresh->setAccessibleName(tr("Refresh the %1 list").arg(core::listTitle(list)));
    m_window.bandRefresh->setAccessibleName(tr("Refresh the band conditions"));
    m_window.bandBox->setAccessibleName(tr("HF band conditions"));
    // Pop-ups and fields are named by their labels: on Linux a pop-up's own name is its value,
    // and the label reaches a screen reader only as a buddy.
    QWidget* radioTab = m_window.RadioPopUpButton->parentWidget();
    const std::pair<QLabel*, QWidget*> buddies[] = {
        {radioTab->findChild<QLabel*>(QStringLiteral("radioLabel")), m_window.RadioPopUpButton},
        {m_window.portLabel, m_window.PortPopUpButton},
        {m_window.baudLabel, m_window.BaudPopUpButton},
        {m_window.rigctldAddressLabel, m_window.rigctldAddressField}};
    for (const auto& [label, control] : buddies)
        if (label && control)
            label->setBuddy(control);
    if (QTableView* memories = m_window.memoriesTable) {
        memories->setAccessibleName(tr("Memories list"));
        // Nothing to visit while it holds no rows.
        if (!memories->model() || memories->model()->rowCount() == 0)
            memories->setFocusPolicy(Qt::NoFocus);
    }
}

void WindowBinding::bindRefreshEvery() {
    QMenu* every = m_window.menuPreferences->addMenu(tr("Refresh Every"));
    every->setObjectName(QStringLiteral("menuRefreshEvery"));
    auto* choices = new QActionGroup(every);
    for (int minutes : {0, 1, 2, 5, 10}) {
        QAction* choice =
            every->addAction(minutes == 0 ? tr("Off") : tr("%n minute(s)", nullptr, minutes));
        choice->setCheckable(true);
        choice->setChecked(m_station.refreshMinutes() == minutes);
        choices->addAction(choice);
        connect(choice, &QAction::triggered, this,
                [this, minutes] { m_station.setRefreshMinutes(minutes); });
    }
}

void WindowBinding::tell(const QString& text) {
    if (m_announcer && !text.isEmpty())
        m_announcer->say(text);
}

void WindowBinding::bindKeys() {
    QWidget* window = m_window.mainTab->window();
    // Ctrl+1 to Ctrl+9 bring the tabs to the front, in their order; the last is the Log tab, which
    // the application adds after this binding.
    for (int tab = 0; tab < 9; ++tab) {
        auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + tab)), window);
        m_keys << key;
        connect(key, &QShortcut::activated, this, [this, tab] {
            m_window.mainTab->setCurrentIndex(tab);
            if (const auto list = shownList())
                m_window.tableOf(*list)->setFocus(Qt::ShortcutFocusReason);
        });
    }
    // Ctrl+R refreshes the list in front (the stations have no refresh of their own).
    auto* refresh = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), window);
    m_keys << refresh;
    connect(refresh, &QShortcut::activated, this, [this] {
        static const std::array<std::optional<session::Refresh>, core::kAllLists.size()> kRefresh{
            session::Refresh::Pota,      session::Refresh::Sota, session::Refresh::Wwff,
            session::Refresh::NetLogger, session::Refresh::Nets, std::nullopt};
        if (const auto list = shownList(); list && kRefresh[core::listIndex(*list)])
            m_station.refresh(*kRefresh[core::listIndex(*list)]);
    });
    // Ctrl+I reads the status line of the list in front, Ctrl+Shift+B the band conditions.
    auto* status = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), window);
    m_keys << status;
    connect(status, &QShortcut::activated, this, [this] {
        if (const auto list = shownList())
            tell(m_station.lists().statusText(*list));
    });
    auto* conditions = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), window);
    m_keys << conditions;
    connect(conditions, &QShortcut::activated, this, [this] {
        tell(m_conditionsText.isEmpty() ? tr("No band conditions yet") : m_conditionsText);
    });
    auto* find = new QShortcut(QKeySequence::Find, window);
    m_keys << find;
    connect(find, &QShortcut::activated, this, [this] {
        if (const auto list = shownList(); list && m_filterBars[core::listIndex(*list)])
            return m_filterBars[core::listIndex(*list)]->focusSearch();
        // A tab of its own with a filter bar, such as the log's, searches there.
        if (QWidget* tab = m_window.mainTab->currentWidget())
            if (auto* bar = tab->findChild<ui::FilterBar*>())
                bar->focusSearch();
    });
}

void WindowBinding::print(const QString& line) const {
    core::writeDiagnostic(m_station.platform().out, line);
}

void WindowBinding::tuneRequested(ListKind list, int row) {
    m_station.tune(list, row);
}

void WindowBinding::confirmRequested(int row, bool confirm) {
    m_station.confirm(row, confirm);
}

void WindowBinding::showLinkState(session::LinkState state) {
    QPushButton* button = m_window.openCloseButton;
    button->setText(state == session::LinkState::Connected ? tr("Connected") : tr("Connect"));
    if (state == session::LinkState::Removed)
        return;
    const QColor colour = ui::linkColour(state == session::LinkState::Connected);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: white; border-radius: 4px; "
                       "padding: 4px 12px; }")
            .arg(colour.name()));
}

void WindowBinding::fillPortPopUp() {
    QComboBox* popUp = m_window.PortPopUpButton;
    const QString current = popUp->currentText();
    popUp->clear();
    popUp->addItems(m_station.radio().portDescriptions());
    popUp->setCurrentIndex(current.isEmpty() ? -1 : popUp->findText(current));
}

void WindowBinding::showSwitches() {
    m_window.menuItemPreferencesVoice->setChecked(m_station.preferences().voiceOn());
    m_window.menuItemPreferencesSounds->setChecked(m_station.preferences().soundsOn());
}

void WindowBinding::showConditions(const conditions::PanelView& view) {
    if (!m_window.bandBox)
        return;
    m_window.bandBox->setTitle(view.title);
    QStringList told{view.title};
    const std::array<QLabel*, 11> fields{
        m_window.solarFluxField,   m_window.day8040Field,   m_window.day3020Field,
        m_window.day1715Field,     m_window.day1210Field,   m_window.night8040Field,
        m_window.night3020Field,   m_window.night1715Field, m_window.night1210Field,
        m_window.signalNoiseField, m_window.magicBandField};
    static const std::array<QString, 11> fieldNames{tr("Solar flux"),
                                                    tr("Day, 80 to 40 metres"),
                                                    tr("Day, 30 to 20 metres"),
                                                    tr("Day, 17 to 15 metres"),
                                                    tr("Day, 12 to 10 metres"),
                                                    tr("Night, 80 to 40 metres"),
                                                    tr("Night, 30 to 20 metres"),
                                                    tr("Night, 17 to 15 metres"),
                                                    tr("Night, 12 to 10 metres"),
                                                    tr("Noise"),
                                                    tr("6 metres, sporadic E")};
    for (qsizetype i = 0; i < view.fields.size() && i < qsizetype(fields.size()); ++i) {
        QLabel* field = fields[i];
        field->setText(view.fields[i].text);
        field->setAccessibleName(
            fieldNames[i] + QStringLiteral(": ") +
            (view.fields[i].text.isEmpty() ? tr("no data") : view.fields[i].text));
        told << field->accessibleName();
        // Through the palette rather than a style sheet, which would polish the label anew on
        // every refresh.
        const QPalette panel = m_window.bandBox->palette();
        const QColor colour =
            ui::conditionColour(view.fields[i].colour, panel.color(QPalette::Window));
        QPalette palette = field->palette();
        palette.setColor(QPalette::WindowText,
                         colour.isValid() ? colour : panel.color(QPalette::WindowText));
        field->setPalette(palette);
        QFont font = field->font();
        font.setBold(colour.isValid());
        field->setFont(font);
    }
    m_conditionsText = told.join(QStringLiteral(". "));
}

void WindowBinding::showSpotSources() {
    if (m_spotSources)
        return m_spotSources->raise();
    auto* dialog = new SpotSourcesDialog(m_station.spotSources(), m_window.mainTab->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(
        dialog, &SpotSourcesDialog::chosen, this,
        [this](const feeds::SotaSourceSettings& sources) { m_station.setSpotSources(sources); });
    m_spotSources = dialog;
    dialog->open();
}

void WindowBinding::showStationDialog() {
    if (m_stationDialog)
        return m_stationDialog->raise();
    auto* dialog = new StationDialog(m_station.identity(), m_window.mainTab->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &StationDialog::chosen, this,
            [this](const session::StationIdentity& identity) { m_station.setIdentity(identity); });
    m_stationDialog = dialog;
    dialog->open();
}

void WindowBinding::showUpdateAlert(const conditions::UpdateAlert& alert) {
    if (!m_prompter)
        return;
    m_prompter->showUpdateAlert(alert, [this](bool download) {
        if (download)
            m_station.downloadInstaller();
    });
}

} // namespace app
