#include "app/preferencedialogs.h"

#include "core/callsign.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace app {

namespace {

// The problem line is hidden until there is one; a screen reader hears it as it appears.
QLabel* problemLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->hide();
    return label;
}

void showProblem(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleName(text);
    label->show();
}

// A form with a labelled field per row, the problem line and OK/Cancel; each label is the
// field's buddy, so that a screen reader names the field by it.
QFormLayout* formWith(QDialog* dialog, const QList<std::pair<QString, QWidget*>>& rows,
                      QLabel* problem) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* form = new QFormLayout(dialog);
    for (const auto& [text, field] : rows) {
        auto* label = new QLabel(text, dialog);
        label->setBuddy(field);
        field->setAccessibleName(QString(text).remove(u'&').remove(u':'));
        form->addRow(label, field);
    }
    form->addRow(problem);
    form->addRow(buttons);
    return form;
}

} // namespace

SpotSourcesDialog::SpotSourcesDialog(const feeds::SotaSourceSettings& current, QWidget* parent)
    : QDialog(parent)
    , m_source(new QComboBox(this))
    , m_cluster(new QLineEdit(current.cluster.text(), this))
    , m_problem(problemLabel(this)) {
    setWindowTitle(tr("Spot Sources"));
    m_source->addItem(tr("Current SOTA API"), int(feeds::SotaSource::Api));
    m_source->addItem(tr("Legacy address (retired by SOTA)"), int(feeds::SotaSource::Legacy));
    m_source->addItem(tr("SOTA cluster (needs your callsign)"), int(feeds::SotaSource::Cluster));
    m_source->setCurrentIndex(m_source->findData(int(current.source)));
    m_cluster->setPlaceholderText(feeds::kSotaCluster.text());
    formWith(this, {{tr("SOTA &spots from:"), m_source}, {tr("&Cluster (host:port):"), m_cluster}},
             m_problem);
}

void SpotSourcesDialog::accept() {
    feeds::SotaSourceSettings sources;
    sources.source = feeds::SotaSource(m_source->currentData().toInt());
    const QString cluster = m_cluster->text().trimmed();
    const auto address =
        cluster.isEmpty() ? feeds::kSotaCluster : feeds::readClusterAddress(cluster);
    if (!address)
        return showProblem(m_problem, tr("The cluster address needs a host and a port, as in "
                                         "cluster.sota.org.uk:7300."));
    sources.cluster = *address;
    emit chosen(sources);
    QDialog::accept();
}

StationDialog::StationDialog(const session::StationIdentity& current, QWidget* parent)
    : QDialog(parent)
    , m_callsign(new QLineEdit(current.callsign, this))
    , m_grid(new QLineEdit(current.grid, this))
    , m_problem(problemLabel(this)) {
    setWindowTitle(tr("Station"));
    m_callsign->setPlaceholderText(tr("N0CALL"));
    m_grid->setPlaceholderText(tr("FN31 or FN31pr"));
    m_grid->setMaxLength(6);
    formWith(this, {{tr("&Callsign:"), m_callsign}, {tr("&Grid locator:"), m_grid}}, m_problem);
}

void StationDialog::accept() {
    const QString call = m_callsign->text().trimmed();
    const QString grid = m_grid->text().trimmed();
    const auto callsign = call.isEmpty() ? QString() : core::readCallsign(call);
    const auto locator = grid.isEmpty() ? QString() : core::readGridLocator(grid);
    if (!callsign)
        return showProblem(m_problem, tr("%1 is not a callsign.").arg(call));
    if (!locator)
        return showProblem(m_problem,
                           tr("%1 is not a grid locator: 4 or 6 characters, as in FN31 or "
                              "FN31pr.")
                               .arg(grid));
    emit chosen({*callsign, *locator});
    QDialog::accept();
}

} // namespace app
