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
    c.potaTable = m_ui->potaTable;
    c.sotaTable = m_ui->sotaTable;
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
    return c;
}

QList<QObject*> MainWindow::refreshSenders() const {
    return {m_ui->actionRefreshConditions, m_ui->actionRefreshPota, m_ui->actionRefreshNetLogger,
            m_ui->actionRefreshSota,       m_ui->actionRefreshNets, m_ui->actionWebPage,
            m_ui->potaTabRefresh,          m_ui->sotaTabRefresh,    m_ui->netLoggerTabRefresh,
            m_ui->netsTabRefresh,          m_ui->bandRefresh};
}

QAction* MainWindow::helpAction() const {
    return m_ui->actionHelp;
}

QAction* MainWindow::operatorKeyAction() const {
    return m_ui->actionOperatorKey;
}

} // namespace app
