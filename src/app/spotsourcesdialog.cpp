#include "app/spotsourcesdialog.h"

#include "core/callsign.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace app {

SpotSourcesDialog::SpotSourcesDialog(const feeds::SotaSourceSettings& current, QWidget* parent)
    : QDialog(parent)
    , m_source(new QComboBox(this))
    , m_cluster(new QLineEdit(current.cluster.text(), this))
    , m_callsign(new QLineEdit(current.callsign, this))
    , m_problem(new QLabel(this)) {
    setWindowTitle(tr("Spot Sources"));
    m_source->addItem(tr("Legacy address (deprecated by SOTA)"), int(feeds::SotaSource::Legacy));
    m_source->addItem(tr("Current SOTA API"), int(feeds::SotaSource::Api));
    m_source->addItem(tr("SOTA cluster"), int(feeds::SotaSource::Cluster));
    m_source->setCurrentIndex(m_source->findData(int(current.source)));
    m_cluster->setPlaceholderText(feeds::kSotaCluster.text());
    m_callsign->setPlaceholderText(tr("N0CALL"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SpotSourcesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SpotSourcesDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(tr("SOTA spots from:"), m_source);
    form->addRow(tr("Cluster (host:port):"), m_cluster);
    form->addRow(tr("Callsign:"), m_callsign);
    form->addRow(m_problem);
    form->addRow(buttons);
}

void SpotSourcesDialog::accept() {
    feeds::SotaSourceSettings sources;
    sources.source = feeds::SotaSource(m_source->currentData().toInt());
    const QString cluster = m_cluster->text().trimmed();
    const auto address =
        cluster.isEmpty() ? feeds::kSotaCluster : feeds::readClusterAddress(cluster);
    const QString call = m_callsign->text().trimmed();
    const auto callsign = call.isEmpty() ? QString() : core::readCallsign(call);
    if (!address || !callsign) {
        m_problem->setText(!address ? tr("The cluster address needs a host and a port, as in "
                                         "cluster.sota.org.uk:7300.")
                                    : tr("%1 is not a callsign.").arg(call));
        m_problem->show();
        return;
    }
    sources.cluster = *address;
    sources.callsign = *callsign;
    emit chosen(sources);
    QDialog::accept();
}

} // namespace app
