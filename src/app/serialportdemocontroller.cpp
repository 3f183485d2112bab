#include "app/serialportdemocontroller.h"

#include "app/spotsourcesdialog.h"
#include "session/station.h"
#include "ui/tablebinder.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

namespace app {

namespace {

using core::ListKind;
using session::CellKind;

const QColor kConnectedColour(0x2e, 0xa0, 0x43);
const QColor kClosedColour(0xd9, 0x3b, 0x3b);

QColor colourOf(conditions::Colour colour) {
    // Mid-tone colours stay readable on light and dark window backgrounds alike.
    switch (colour) {
    case conditions::Colour::Green:
        return QColor(0x2e, 0xa0, 0x43);
    case conditions::Colour::Orange:
        return QColor(0xe8, 0x8a, 0x00);
    case conditions::Colour::Red:
        return QColor(0xe0, 0x3e, 0x3e);
    case conditions::Colour::Normal:
        break;
    }
    return {};
}

void selectTitle(QComboBox* popUp, const QString& title) {
    const int i = popUp->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        popUp->setCurrentIndex(i);
}

} // namespace

SerialPortDemoController::SerialPortDemoController(const WindowControls& window,
                                                   session::Station& station,
                                                   UpdatePrompter* prompter, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_station(station)
    , m_prompter(prompter) {
    session::RadioSession& radio = station.radio();

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
    connect(&radio, &session::RadioSession::portsChanged, this,
            &SerialPortDemoController::fillPortPopUp);
    connect(&radio, &session::RadioSession::portShown, this,
            [this](const QString& port) { selectTitle(m_window.PortPopUpButton, port); });

    connect(m_window.openCloseButton, &QPushButton::clicked, &radio,
            &session::RadioSession::openOrClose);
    connect(&radio, &session::RadioSession::linkStateChanged, this,
            &SerialPortDemoController::showLinkState);
    connect(&radio, &session::RadioSession::listsWanted, this,
            [this] { m_window.mainTab->setCurrentIndex(1); });
    connect(&radio, &session::RadioSession::radioWanted, this,
            [this] { m_window.mainTab->setCurrentIndex(0); });

    // Preferences.
    connect(m_window.menuItemPreferencesVoice, &QAction::triggered, this,
            [this](bool on) { m_station.preferences().setVoice(on); });
    connect(m_window.menuItemPreferencesSounds, &QAction::triggered, this,
            [this](bool on) { m_station.preferences().setSounds(on); });
    connect(&station.preferences(), &session::Preferences::switchesChanged, this,
            &SerialPortDemoController::showSwitches);

    // Refresh commands.
    const auto bindRefresh = [this](QObject* control, session::Refresh what) {
        if (auto* action = qobject_cast<QAction*>(control))
            connect(action, &QAction::triggered, this, [this, what] { m_station.refresh(what); });
        else if (auto* button = qobject_cast<QPushButton*>(control))
            connect(button, &QPushButton::clicked, this, [this, what] { m_station.refresh(what); });
    };
    bindRefresh(m_window.actionRefreshConditions, session::Refresh::Conditions);
    bindRefresh(m_window.bandRefresh, session::Refresh::Conditions);
    bindRefresh(m_window.actionRefreshPota, session::Refresh::Pota);
    bindRefresh(m_window.potaTabRefresh, session::Refresh::Pota);
    bindRefresh(m_window.actionRefreshNetLogger, session::Refresh::NetLogger);
    bindRefresh(m_window.netLoggerTabRefresh, session::Refresh::NetLogger);
    bindRefresh(m_window.actionRefreshSota, session::Refresh::Sota);
    bindRefresh(m_window.sotaTabRefresh, session::Refresh::Sota);
    bindRefresh(m_window.actionRefreshNets, session::Refresh::Nets);
    bindRefresh(m_window.netsTabRefresh, session::Refresh::Nets);
    for (QAction* page : {m_window.actionHelp, m_window.actionWebPage})
        connect(page, &QAction::triggered, &station, &session::Station::showHelp);

    connect(m_window.mainTab, &QTabWidget::currentChanged, this, [this](int i) {
        const QWidget* tab = m_window.mainTab->widget(i);
        print(tab ? tab->objectName() : QString());
    });

    // The tables.
    const std::array<QTableView*, 5> views{m_window.potaTable, m_window.sotaTable,
                                           m_window.netLoggerTable, m_window.netsTable,
                                           m_window.mwTable};
    for (ListKind list : core::kAllLists) {
        auto* binder =
            new ui::TableBinder(views[core::listIndex(list)], station.lists().model(list), this);
        m_binders[core::listIndex(list)] = binder;
        binder->onButton(CellKind::TuneButton, [this, list](int row) { tuneRequested(list, row); });
        connect(binder, &ui::TableBinder::linkActivated, this, [this](const QUrl& url) {
            if (m_station.platform().browser)
                m_station.platform().browser->open(url);
        });
    }
    ui::TableBinder* nets = m_binders[core::listIndex(ListKind::Nets)];
    nets->onButton(CellKind::ConfirmButton, [this](int row) { confirmRequested(row, true); });
    nets->onButton(CellKind::UnconfirmButton, [this](int row) { confirmRequested(row, false); });
    // A press before the operator key has been read would send an empty key.
    const auto enableConfirmations = [nets](bool ready) {
        nets->setButtonsEnabled(CellKind::ConfirmButton, ready);
        nets->setButtonsEnabled(CellKind::UnconfirmButton, ready);
    };
    enableConfirmations(station.confirmationsReady());
    connect(&station, &session::Station::confirmationsReadyChanged, this, enableConfirmations);

    const std::array<QLabel*, 5> statusLines{m_window.potaStatus, m_window.sotaStatus,
                                             m_window.netLoggerStatus, m_window.netsStatus,
                                             m_window.mwStatus};
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
                &SerialPortDemoController::showSpotSources);

    connect(&station, &session::Station::conditionsShown, this,
            &SerialPortDemoController::showConditions);
    connect(&station, &session::Station::updateAvailable, this,
            &SerialPortDemoController::showUpdateAlert);
}

SerialPortDemoController::~SerialPortDemoController() = default;

void SerialPortDemoController::print(const QString& line) const {
    core::writeDiagnostic(m_station.platform().out, line);
}

void SerialPortDemoController::tuneRequested(ListKind list, int row) {
    m_station.tune(list, row);
}

void SerialPortDemoController::confirmRequested(int row, bool confirm) {
    m_station.confirm(row, confirm);
}

void SerialPortDemoController::showLinkState(session::LinkState state) {
    QPushButton* button = m_window.openCloseButton;
    button->setText(state == session::LinkState::Connected ? tr("Connected") : tr("Connect"));
    if (state == session::LinkState::Removed)
        return;
    const QColor& colour =
        state == session::LinkState::Connected ? kConnectedColour : kClosedColour;
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: white; border-radius: 4px; "
                       "padding: 4px 12px; }")
            .arg(colour.name()));
}

void SerialPortDemoController::fillPortPopUp() {
    QComboBox* popUp = m_window.PortPopUpButton;
    const QString current = popUp->currentText();
    popUp->clear();
    popUp->addItems(m_station.radio().portDescriptions());
    popUp->setCurrentIndex(current.isEmpty() ? -1 : popUp->findText(current));
}

void SerialPortDemoController::showSwitches() {
    m_window.menuItemPreferencesVoice->setChecked(m_station.preferences().voiceOn());
    m_window.menuItemPreferencesSounds->setChecked(m_station.preferences().soundsOn());
}

void SerialPortDemoController::showConditions(const conditions::PanelView& view) {
    if (!m_window.bandBox)
        return;
    m_window.bandBox->setTitle(view.title);
    const std::array<QLabel*, 11> fields{
        m_window.solarFluxField,   m_window.day8040Field,   m_window.day3020Field,
        m_window.day1715Field,     m_window.day1210Field,   m_window.night8040Field,
        m_window.night3020Field,   m_window.night1715Field, m_window.night1210Field,
        m_window.signalNoiseField, m_window.magicBandField};
    for (qsizetype i = 0; i < view.fields.size() && i < qsizetype(fields.size()); ++i) {
        QLabel* field = fields[i];
        field->setText(view.fields[i].text);
        // Through the palette rather than a style sheet, which would polish the label anew on
        // every refresh.
        const QColor colour = colourOf(view.fields[i].colour);
        QPalette palette = field->palette();
        palette.setColor(
            QPalette::WindowText,
            colour.isValid() ? colour : m_window.bandBox->palette().color(QPalette::WindowText));
        field->setPalette(palette);
        QFont font = field->font();
        font.setBold(colour.isValid());
        field->setFont(font);
    }
}

void SerialPortDemoController::showSpotSources() {
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

void SerialPortDemoController::showUpdateAlert(const conditions::UpdateAlert& alert) {
    if (!m_prompter)
        return;
    m_prompter->showUpdateAlert(alert, [this](bool download) {
        if (download)
            m_station.downloadInstaller();
    });
}

} // namespace app
