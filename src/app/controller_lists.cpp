// The five lists, their Tune buttons, the band-conditions panel and net confirmations.
#include "app/serialportdemocontroller.h"

#include "conditions/bandconditions.h"
#include "feeds/http.h"
#include "nets/netconfirm.h"
#include "nets/operatorkey.h"
#include "tuning/catencoding.h"
#include "tuning/sounds.h"
#include "ui/rowtablemodel.h"
#include "ui/tablebinder.h"

#include <QGroupBox>
#include <QLabel>

namespace app {
namespace {

using feeds::ListKind;

constexpr int index(ListKind list) {
    return static_cast<int>(list);
}

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

} // namespace

void SerialPortDemoController::startLoad(ListKind list) {
    m_loaders[index(list)]->start(feeds::feedUrl(list, m_platform.hosts),
                                  QDateTime::currentDateTimeUtc());
}

void SerialPortDemoController::loadPotaSpots() {
    startLoad(ListKind::Pota);
}
void SerialPortDemoController::loadSotaSpots() {
    startLoad(ListKind::Sota);
}
void SerialPortDemoController::loadNetLoggerNets() {
    startLoad(ListKind::NetLogger);
}
void SerialPortDemoController::loadNetsDirectory() {
    startLoad(ListKind::Nets);
}
void SerialPortDemoController::loadMWStations() {
    startLoad(ListKind::MW);
}

void SerialPortDemoController::onListShown(ListKind list, const feeds::Rows& rows) {
    rowsRef(list) = rows;
    m_models[index(list)]->setRows(rows);
    if (m_funkAfterLoad.remove(list) && kvSounds == QLatin1String("1"))
        playResourceSound(QStringLiteral("Funk"));
    emit listShown(list);
}

void SerialPortDemoController::tune(ListKind list, QObject* sender) {
    const int tag = ui::tagOf(sender);
    const feeds::Rows& rows = rowsRef(list);
    // A button of a row that a reload has since removed does nothing.
    if (tag < 0 || tag >= rows.size())
        return;
    const auto input = tuning::tuneInputFromRow(list, rows[tag], kvRadio, kvIC, kvAorB);
    if (!input)
        return;
    const tuning::TuneCommands commands = tuning::composeTune(*input);
    if (!commands.refused) {
        for (const QByteArray& bytes : commands.writes())
            if (m_serialPort)
                m_serialPort->sendData(bytes);
        cmd = commands.cmd;
    }
    for (const QString& line : commands.diagnostics)
        print(line);
    if (!commands.refused)
        announce(commands.announcement);
}

void SerialPortDemoController::goPotaTune(QObject* sender) {
    tune(ListKind::Pota, sender);
}
void SerialPortDemoController::goSotaTune(QObject* sender) {
    tune(ListKind::Sota, sender);
}
void SerialPortDemoController::goNetLoggerTune(QObject* sender) {
    tune(ListKind::NetLogger, sender);
}
void SerialPortDemoController::goNetsTune(QObject* sender) {
    tune(ListKind::Nets, sender);
}
void SerialPortDemoController::goMWTune(QObject* sender) {
    tune(ListKind::MW, sender);
}

void SerialPortDemoController::setDeadlineMs(int ms) {
    for (feeds::FeedLoader* loader : m_loaders)
        loader->setDeadlineMs(ms);
    m_conditions->setDeadlineMs(ms);
}

void SerialPortDemoController::fetchBandConditions() {
    m_conditions->start(m_platform.hosts.solar);
}

void SerialPortDemoController::onConditionsShown(const conditions::PanelView& view) {
    if (m_window.bandBox) {
        m_window.bandBox->setTitle(view.title);
        const std::array<QLabel*, 11> fields{
            m_window.solarFluxField,   m_window.day8040Field,   m_window.day3020Field,
            m_window.day1715Field,     m_window.day1210Field,   m_window.night8040Field,
            m_window.night3020Field,   m_window.night1715Field, m_window.night1210Field,
            m_window.signalNoiseField, m_window.magicBandField};
        for (qsizetype i = 0; i < view.fields.size() && i < qsizetype(fields.size()); ++i) {
            QLabel* field = fields[i];
            field->setText(view.fields[i].text);
            const QColor colour = colourOf(view.fields[i].colour);
            field->setStyleSheet(
                colour.isValid()
                    ? QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(colour.name())
                    : QString());
        }
    }
    if (m_funkAfterConditions && kvSounds == QLatin1String("1"))
        playResourceSound(QStringLiteral("Funk"));
    m_funkAfterConditions = false;
    emit conditionsShown();
}

void SerialPortDemoController::confirm(QObject* sender, bool confirm) {
    const int tag = ui::tagOf(sender);
    if (tag < 0 || tag >= kvNetsArray.size())
        return;
    const feeds::Row& row = kvNetsArray[tag];
    if (row.size() < feeds::columnCount(ListKind::Nets))
        return;
    const QString key = m_platform.keys ? m_platform.keys->key() : QString();
    m_confirmer->send(m_platform.hosts.maker, key, row[6], confirm, row[0]);
}

void SerialPortDemoController::goNetsConfirm(QObject* sender) {
    confirm(sender, true);
}
void SerialPortDemoController::goNetsUnconfirm(QObject* sender) {
    confirm(sender, false);
}

} // namespace app
