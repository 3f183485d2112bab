#include "app/mainwindow.h"

#include "ui_mainwindow.h"

namespace app {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_ui(new Ui::MainWindow) {
    m_ui->setupUi(this);
}

MainWindow::~MainWindow() = default;

WindowControls MainWindow::controls() const {
    WindowControls c;
    c.mainTab = m_ui->mainTab;
    c.RadioPopUpButton = m_ui->RadioPopUpButton;
    c.PortPopUpButton = m_ui->PortPopUpButton;
    c.BaudPopUpButton = m_ui->BaudPopUpButton;
    c.openCloseButton = m_ui->openCloseButton;
    c.portLabel = m_ui->portLabel;
    c.baudLabel = m_ui->baudLabel;
    c.rigctldAddressLabel = m_ui->rigctldAddressLabel;
    c.rigctldAddressField = m_ui->rigctldAddressField;
    c.radioReportLabel = m_ui->radioReportLabel;
    c.statusBar = m_ui->statusBar;
    c.potaTable = m_ui->potaTable;
    c.sotaTable = m_ui->sotaTable;
    c.wwffTable = m_ui->wwffTable;
    c.netLoggerTable = m_ui->netLoggerTable;
    c.netsTable = m_ui->netsTable;
    c.mwTable = m_ui->mwTable;
    c.memoriesTable = m_ui->memoriesTable;
    c.bandBox = m_ui->bandBox;
    c.solarFluxField = m_ui->solarFluxField;
    c.signalNoiseField = m_ui->signalNoiseField;
    c.magicBandField = m_ui->magicBandField;
    c.day8040Field = m_ui->day8040Field;
    c.day3020Field = m_ui->day3020Field;
    c.day1715Field = m_ui->day1715Field;
    c.day1210Field = m_ui->day1210Field;
    c.night8040Field = m_ui->night8040Field;
    c.night3020Field = m_ui->night3020Field;
    c.night1715Field = m_ui->night1715Field;
    c.night1210Field = m_ui->night1210Field;
    c.menuItemPreferencesVoice = m_ui->menuItemPreferencesVoice;
    c.menuItemPreferencesSounds = m_ui->menuItemPreferencesSounds;
    c.actionOperatorKey = m_ui->actionOperatorKey;
    c.menuPreferences = m_ui->menuPreferences;
    c.actionRefreshConditions = m_ui->actionRefreshConditions;
    c.actionRefreshPota = m_ui->actionRefreshPota;
    c.actionRefreshNetLogger = m_ui->actionRefreshNetLogger;
    c.actionRefreshSota = m_ui->actionRefreshSota;
    c.actionRefreshWwff = m_ui->actionRefreshWwff;
    c.actionRefreshNets = m_ui->actionRefreshNets;
    c.bandRefresh = m_ui->bandRefresh;
    c.potaTabRefresh = m_ui->potaTabRefresh;
    c.sotaTabRefresh = m_ui->sotaTabRefresh;
    c.wwffTabRefresh = m_ui->wwffTabRefresh;
    c.netLoggerTabRefresh = m_ui->netLoggerTabRefresh;
    c.netsTabRefresh = m_ui->netsTabRefresh;
    c.actionHelp = m_ui->actionHelp;
    c.actionWebPage = m_ui->actionWebPage;
    c.actionSpotSources = m_ui->actionSpotSources;
    c.actionStation = m_ui->actionStation;
    c.potaStatus = m_ui->potaStatus;
    c.sotaStatus = m_ui->sotaStatus;
    c.wwffStatus = m_ui->wwffStatus;
    c.netLoggerStatus = m_ui->netLoggerStatus;
    c.netsStatus = m_ui->netsStatus;
    c.mwStatus = m_ui->mwStatus;
    return c;
}

} // namespace app
