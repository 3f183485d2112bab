#pragma once

#include "log/contact.h"
#include "log/destinations.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;

namespace app {

// "Log Contact…": one contact's fields, prefilled; Enter logs, Escape cancels. Also edits a
// logged contact. Fields it does not show (imported ones) are kept as they were.
class LogContactDialog : public QDialog {
    Q_OBJECT
public:
    LogContactDialog(const logbook::Contact& contact, bool editing, QWidget* parent = nullptr);
    logbook::Contact contact() const;

signals:
    void chosen(const logbook::Contact& contact);

protected:
    void accept() override;

private:
    void onModeChanged();
    void onFrequencyChanged();

    logbook::Contact m_original;
    QLineEdit* m_call;
    QLineEdit* m_name;
    QDateTimeEdit* m_time;
    QLineEdit* m_frequency;
    QLabel* m_band;
    QComboBox* m_mode;
    QLineEdit* m_rstSent;
    QLineEdit* m_rstReceived;
    QLineEdit* m_pota;
    QLineEdit* m_sota;
    QLineEdit* m_wwff;
    QLineEdit* m_comment;
    QLineEdit* m_stationCallsign;
    QLineEdit* m_grid;
    QLabel* m_problem;
    QString m_lastDefaultReport;
};

// Preferences, Logging…: where logged contacts go.
class LoggingDialog : public QDialog {
    Q_OBJECT
public:
    LoggingDialog(const logbook::DestinationSettings& current, const QString& webLogKey,
                  QWidget* parent = nullptr);

signals:
    void chosen(const logbook::DestinationSettings& destinations, const QString& webLogKey);

protected:
    void accept() override;

private:
    QCheckBox* m_udp;
    QLineEdit* m_udpAddress;
    QCheckBox* m_webLog;
    QLineEdit* m_webLogUrl;
    QLineEdit* m_stationId;
    QLineEdit* m_key;
    QLineEdit* m_adifFile;
    QLabel* m_problem;
};

} // namespace app
