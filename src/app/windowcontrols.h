#pragma once

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QPushButton;
class QTabWidget;
class QTableView;

#include "core/listkind.h"

namespace app {

// The window's controls the binding reads and writes.
struct WindowControls {
    QTabWidget* mainTab = nullptr;
    QComboBox* RadioPopUpButton = nullptr;
    QComboBox* PortPopUpButton = nullptr;
    QComboBox* BaudPopUpButton = nullptr;
    QPushButton* openCloseButton = nullptr;
    // The rigctld address takes the place of the port and rate pop-ups.
    QLabel* portLabel = nullptr;
    QLabel* baudLabel = nullptr;
    QLabel* rigctldAddressLabel = nullptr;
    QLineEdit* rigctldAddressField = nullptr;
    // What the radio reported after the last tune.
    QLabel* radioReportLabel = nullptr;
    QStatusBar* statusBar = nullptr;
    QTableView* potaTable = nullptr;
    QTableView* sotaTable = nullptr;
    QTableView* wwffTable = nullptr;
    QTableView* netLoggerTable = nullptr;
    QTableView* netsTable = nullptr;
    QTableView* mwTable = nullptr;
    QTableView* memoriesTable = nullptr;
    QGroupBox* bandBox = nullptr;
    QLabel* solarFluxField = nullptr;
    QLabel* signalNoiseField = nullptr;
    QLabel* magicBandField = nullptr;
    QLabel* day8040Field = nullptr;
    QLabel* day3020Field = nullptr;
    QLabel* day1715Field = nullptr;
    QLabel* day1210Field = nullptr;
    QLabel* night8040Field = nullptr;
    QLabel* night3020Field = nullptr;
    QLabel* night1715Field = nullptr;
    QLabel* night1210Field = nullptr;
    QAction* menuItemPreferencesVoice = nullptr;
    QAction* menuItemPreferencesSounds = nullptr;
    QAction* actionOperatorKey = nullptr;
    QMenu* menuPreferences = nullptr;
    // Refresh commands: menu items and the buttons on the tabs and the conditions panel.
    QAction* actionRefreshConditions = nullptr;
    QAction* actionRefreshPota = nullptr;
    QAction* actionRefreshNetLogger = nullptr;
    QAction* actionRefreshSota = nullptr;
    QAction* actionRefreshWwff = nullptr;
    QAction* actionRefreshNets = nullptr;
    QPushButton* bandRefresh = nullptr;
    QPushButton* potaTabRefresh = nullptr;
    QPushButton* sotaTabRefresh = nullptr;
    QPushButton* wwffTabRefresh = nullptr;
    QPushButton* netLoggerTabRefresh = nullptr;
    QPushButton* netsTabRefresh = nullptr;
    QAction* actionHelp = nullptr;
    QAction* actionWebPage = nullptr;
    QAction* actionSpotSources = nullptr;
    QAction* actionStation = nullptr;
    // The status line under each table, in the order of the lists.
    QLabel* potaStatus = nullptr;
    QLabel* sotaStatus = nullptr;
    QLabel* wwffStatus = nullptr;
    QLabel* netLoggerStatus = nullptr;
    QLabel* netsStatus = nullptr;
    QLabel* mwStatus = nullptr;

    // nullptr for the stations, which have no refresh of their own.
    QPushButton* refreshButtonOf(core::ListKind list) const {
        switch (list) {
        case core::ListKind::Pota:
            return potaTabRefresh;
        case core::ListKind::Sota:
            return sotaTabRefresh;
        case core::ListKind::Wwff:
            return wwffTabRefresh;
        case core::ListKind::NetLogger:
            return netLoggerTabRefresh;
        case core::ListKind::Nets:
            return netsTabRefresh;
        case core::ListKind::MW:
            break;
        }
        return nullptr;
    }

    QTableView* tableOf(core::ListKind list) const {
        switch (list) {
        case core::ListKind::Pota:
            return potaTable;
        case core::ListKind::Sota:
            return sotaTable;
        case core::ListKind::Wwff:
            return wwffTable;
        case core::ListKind::NetLogger:
            return netLoggerTable;
        case core::ListKind::Nets:
            return netsTable;
        case core::ListKind::MW:
            break;
        }
        return mwTable;
    }
};

} // namespace app
