#include "app/logdialogs.h"

#include "core/servicehosts.h"
#include "log/adif.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimeZone>

namespace app {

namespace {

// Modes as they are picked: ADIF's own, and the submodes that name what operators call them.
const QStringList kModes = {"USB",   "LSB", "CW",  "FM",   "AM",  "FT8",  "FT4",  "RTTY",
                            "PSK31", "JS8", "Q65", "SSTV", "DMR", "C4FM", "DSTAR"};

// A field with a label that names it to a screen reader and takes the keyboard to it.
template <class Field>
Field* addField(QFormLayout* form, const QString& label, Field* field, const QString& name) {
    auto* text = new QLabel(label, form->parentWidget());
    text->setBuddy(field);
    field->setAccessibleName(name);
    form->addRow(text, field);
    return field;
}

QString pickedMode(const logbook::Contact& c) {
    return c.submode.isEmpty() ? c.mode : c.submode;
}

} // namespace

LogContactDialog::LogContactDialog(const logbook::Contact& contact, bool editing, QWidget* parent)
    : QDialog(parent)
    , m_original(contact)
    , m_call(new QLineEdit(contact.call, this))
    , m_name(new QLineEdit(contact.name, this))
    , m_time(new QDateTimeEdit(contact.start.toUTC(), this))
    , m_frequency(new QLineEdit(this))
    , m_band(new QLabel(this))
    , m_mode(new QComboBox(this))
    , m_rstSent(new QLineEdit(contact.rstSent, this))
    , m_rstReceived(new QLineEdit(contact.rstReceived, this))
    , m_pota(new QLineEdit(contact.potaRef, this))
    , m_sota(new QLineEdit(contact.sotaRef, this))
    , m_wwff(new QLineEdit(contact.wwffRef, this))
    , m_comment(new QLineEdit(contact.comment, this))
    , m_stationCallsign(new QLineEdit(contact.stationCallsign, this))
    , m_grid(new QLineEdit(contact.myGrid, this))
    , m_problem(new QLabel(this)) {
    setWindowTitle(editing ? tr("Edit Contact") : tr("Log Contact"));
    m_time->setTimeSpec(Qt::UTC);
    m_time->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
    if (contact.frequencyHz > 0)
        m_frequency->setText(QString::number(contact.frequencyHz / 1000.0, 'f', 3)
                                 .remove(QRegularExpression(QStringLiteral("\\.?0+$"))));
    m_mode->setEditable(true);
    m_mode->addItems(kModes);
    m_mode->setCurrentText(pickedMode(contact));
    m_lastDefaultReport = logbook::defaultReport({contact.mode, contact.submode});
    m_problem->setWordWrap(true);
    m_problem->hide();

    auto* form = new QFormLayout(this);
    addField(form, tr("&Call:"), m_call, tr("Call"));
    addField(form, tr("&Name:"), m_name, tr("Operator's name"));
    addField(form, tr("&Time (UTC):"), m_time, tr("Date and time, UTC"));
    addField(form, tr("&Frequency (kHz):"), m_frequency, tr("Frequency in kilohertz"));
    addField(form, tr("Band:"), m_band, tr("Band"));
    addField(form, tr("&Mode:"), m_mode, tr("Mode"));
    addField(form, tr("Report &sent:"), m_rstSent, tr("Report sent"));
    addField(form, tr("Report &received:"), m_rstReceived, tr("Report received"));
    addField(form, tr("&Park (POTA):"), m_pota, tr("POTA park references"));
    addField(form, tr("S&ummit (SOTA):"), m_sota, tr("SOTA summit reference"));
    addField(form, tr("&WWFF:"), m_wwff, tr("WWFF reference"));
    addField(form, tr("C&omment:"), m_comment, tr("Comment"));
    addField(form, tr("Your c&allsign:"), m_stationCallsign, tr("Your callsign"));
    addField(form, tr("Your &grid:"), m_grid, tr("Your grid square"));
    form->addRow(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(editing ? tr("Save") : tr("Log"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &LogContactDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LogContactDialog::reject);
    form->addRow(buttons);
    connect(m_mode, &QComboBox::currentTextChanged, this, &LogContactDialog::onModeChanged);
    connect(m_frequency, &QLineEdit::textChanged, this, &LogContactDialog::onFrequencyChanged);
    onFrequencyChanged();
    // An empty call is what is typed first; otherwise the report is.
    (m_call->text().isEmpty() ? m_call : m_rstReceived)->setFocus();
}

void LogContactDialog::onFrequencyChanged() {
    const qint64 hz = logbook::readKilohertz(m_frequency->text()).value_or(0);
    m_band->setText(logbook::bandForHz(hz));
}

void LogContactDialog::onModeChanged() {
    const qint64 hz = logbook::readKilohertz(m_frequency->text()).value_or(0);
    const QString report = logbook::defaultReport(logbook::adifModeFor(m_mode->currentText(), hz));
    // Reports still at the old mode's default follow the new mode; typed ones stay.
    for (QLineEdit* field : {m_rstSent, m_rstReceived})
        if (field->text() == m_lastDefaultReport || field->text().isEmpty())
            field->setText(report);
    m_lastDefaultReport = report;
}

logbook::Contact LogContactDialog::contact() const {
    logbook::Contact c = m_original;
    c.call = m_call->text().trimmed().toUpper();
    c.name = m_name->text().trimmed();
    c.start = m_time->dateTime().toUTC();
    c.frequencyHz = logbook::readKilohertz(m_frequency->text()).value_or(0);
    c.band = logbook::bandForHz(c.frequencyHz);
    if (c.band.isEmpty())
        c.band = m_original.band;
    const QString picked = m_mode->currentText().trimmed().toUpper();
    if (picked != pickedMode(m_original).toUpper()) {
        const logbook::AdifMode mode = logbook::adifModeFor(picked, c.frequencyHz);
        c.mode = mode.mode;
        c.submode = mode.submode;
    }
    c.rstSent = m_rstSent->text().trimmed();
    c.rstReceived = m_rstReceived->text().trimmed();
    c.sig.clear();
    c.sigInfo.clear();
    logbook::setReference(c, logbook::Program::Sota, m_sota->text());
    logbook::setReference(c, logbook::Program::Wwff, m_wwff->text());
    // Parks take SIG when both are given: POTA_REF and WWFF_REF keep both.
    if (!m_pota->text().trimmed().isEmpty() || c.wwffRef.isEmpty())
        logbook::setReference(c, logbook::Program::Pota, m_pota->text());
    c.comment = m_comment->text().trimmed();
    c.stationCallsign = m_stationCallsign->text().trimmed().toUpper();
    c.myGrid = m_grid->text().trimmed();
    return c;
}

void LogContactDialog::accept() {
    const logbook::Contact c = contact();
    QString problem;
    if (c.call.isEmpty())
        problem = tr("The call is missing.");
    else if (!m_frequency->text().trimmed().isEmpty() && c.frequencyHz == 0)
        problem = tr("%1 is not a frequency in kilohertz.").arg(m_frequency->text().trimmed());
    if (!problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->show();
        return;
    }
    emit chosen(c);
    QDialog::accept();
}

LoggingDialog::LoggingDialog(const logbook::DestinationSettings& current, const QString& webLogKey,
                             QWidget* parent)
    : QDialog(parent)
    , m_udp(new QCheckBox(tr("Send each contact as a UDP \"Logged ADIF\" message"), this))
    , m_udpAddress(
          new QLineEdit(QStringLiteral("%1:%2").arg(current.udpHost).arg(current.udpPort), this))
    , m_webLog(new QCheckBox(tr("Send each contact to Wavelog or Cloudlog"), this))
    , m_webLogUrl(new QLineEdit(current.webLogUrl.toString(), this))
    , m_stationId(new QLineEdit(current.webLogStationId, this))
    , m_key(new QLineEdit(webLogKey, this))
    , m_adifFile(new QLineEdit(current.adifFile, this))
    , m_problem(new QLabel(this)) {
    setWindowTitle(tr("Logging"));
    m_udp->setChecked(current.udp);
    m_webLog->setChecked(current.webLog);
    m_key->setEchoMode(QLineEdit::Password);
    m_webLogUrl->setPlaceholderText(QStringLiteral("https://log.example.org/"));
    m_adifFile->setPlaceholderText(tr("none"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    auto* form = new QFormLayout(this);
    form->addRow(m_udp);
    addField(form, tr("UDP &address (host:port):"), m_udpAddress, tr("UDP address"));
    form->addRow(m_webLog);
    addField(form, tr("Web log a&ddress:"), m_webLogUrl, tr("Web log address"));
    addField(form, tr("&Station profile id:"), m_stationId, tr("Station profile id"));
    addField(form, tr("API &key:"), m_key, tr("API key"));
    addField(form, tr("Append to ADIF &file:"), m_adifFile, tr("ADIF file"));
    form->addRow(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoggingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LoggingDialog::reject);
    form->addRow(buttons);
}

void LoggingDialog::accept() {
    logbook::DestinationSettings s;
    s.udp = m_udp->isChecked();
    const QString address = m_udpAddress->text().trimmed();
    const qsizetype colon = address.lastIndexOf(u':');
    bool portOk = false;
    const uint port = address.mid(colon + 1).toUInt(&portOk);
    s.udpHost = colon > 0 ? address.left(colon) : QString();
    s.udpPort = quint16(port);
    s.webLog = m_webLog->isChecked();
    s.webLogUrl = QUrl(m_webLogUrl->text().trimmed());
    s.webLogStationId = m_stationId->text().trimmed();
    s.adifFile = m_adifFile->text().trimmed();
    QString problem;
    if (s.udp && (s.udpHost.isEmpty() || !portOk || port == 0 || port > 65535))
        problem = tr("The UDP address needs a host and a port, as in 127.0.0.1:2237.");
    else if (s.webLog && !core::isWebAddress(s.webLogUrl))
        problem = tr("The web log's address must be an http or https address.");
    if (!problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->show();
        return;
    }
    emit chosen(s, m_key->text().trimmed());
    QDialog::accept();
}

} // namespace app
