#pragma once

#include "feeds/sotasources.h"
#include "session/spotsources.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace app {

// Preferences, Spot Sources: where SOTA spots come from and the cluster's address. It never
// blocks the event loop; `chosen` carries what the operator accepted.
class SpotSourcesDialog : public QDialog {
    Q_OBJECT
public:
    explicit SpotSourcesDialog(const feeds::SotaSourceSettings& current, QWidget* parent = nullptr);

    void accept() override;

signals:
    void chosen(const feeds::SotaSourceSettings& sources);

private:
    QComboBox* m_source;
    QLineEdit* m_cluster;
    QLabel* m_problem;
};

// Preferences, Station: the operator's callsign and grid locator, checked before they are kept.
class StationDialog : public QDialog {
    Q_OBJECT
public:
    explicit StationDialog(const session::StationIdentity& current, QWidget* parent = nullptr);

    void accept() override;

signals:
    void chosen(const session::StationIdentity& identity);

private:
    QLineEdit* m_callsign;
    QLineEdit* m_grid;
    QLabel* m_problem;
};

} // namespace app
