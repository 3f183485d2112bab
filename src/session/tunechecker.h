#pragma once

#include "core/listkind.h"
#include "radio/readback.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace session {

// Sends a Tune over the radio link, asks the radio where it now is and judges the answer.
// One conversation per link: reset() when the link changes.
class TuneChecker : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray& bytes)>;
    explicit TuneChecker(Writer write, QObject* parent = nullptr);
    ~TuneChecker() override;

    // How long the radio may stay silent while a tune waits for it.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // A tune still waiting is given up without a verdict; `checked` follows for this one.
    void start(core::ListKind list, const tuning::TuneCommands& commands, const QString& civAddress,
               const QString& vfo);
    void read(const QByteArray& data);
    void reset();

signals:
    // The tune is over; the check carries every command the radio refused on the way.
    void checked(core::ListKind list, const radio::TuneCheck& check);

private:
    void finish(radio::TuneCheck check);

    Writer m_write;
    std::unique_ptr<radio::TuneProtocol> m_protocol;
    QString m_protocolKey;
    QTimer m_silence;
    int m_timeoutMs = 1000;
    bool m_waiting = false;
    QStringList m_refusals;
    core::ListKind m_list = core::ListKind::Pota;
    qint64 m_requested = 0;
};

} // namespace session
