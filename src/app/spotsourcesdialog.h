#pragma once

#include "feeds/sotasources.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace app {

// Preferences, Spot Sources: where SOTA spots come from, the cluster's address and the operator's
// callsign. It never blocks the event loop; `chosen` carries what the operator accepted.
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
    QLineEdit* m_callsign;
    QLabel* m_problem;
};

} // namespace app
