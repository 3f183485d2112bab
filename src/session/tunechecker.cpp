#include "session/tunechecker.h"

namespace session {

TuneChecker::TuneChecker(Writer write, QObject* parent)
    : QObject(parent)
    , m_write(std::move(write)) {
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        // The tune itself is not repeated: the radio may have followed without answering.
        m_protocol->abandon();
        finish(radio::judgeReadBack(m_requested, std::nullopt));
    });
}

TuneChecker::~TuneChecker() = default;

void TuneChecker::start(core::ListKind list, const tuning::TuneCommands& commands,
                        const QString& civAddress, const QString& vfo) {
    // The daemon's conversation outlives a change of radio address: it has none of its own.
    const QString key =
        commands.family == tuning::Family::Rigctld
            ? QStringLiteral("rigctld")
            : QString::number(int(commands.family)) + u'/' + civAddress + u'/' + vfo;
    if (!m_protocol || key != m_protocolKey) {
        m_protocol = radio::makeTuneProtocol(commands.family, civAddress, vfo);
        m_protocolKey = key;
    } else if (m_waiting) {
        m_protocol->abandon();
    }
    m_list = list;
    m_requested = commands.hertz;
    m_waiting = true;
    m_refusals.clear();
    m_silence.start(m_timeoutMs);
    for (const QByteArray& bytes : m_protocol->start(commands))
        m_write(bytes);
}

void TuneChecker::read(const QByteArray& data) {
    if (!m_protocol)
        return;
    const radio::ReadProgress progress = m_protocol->read(data);
    if (!progress.writes.isEmpty() && m_waiting)
        m_silence.start(m_timeoutMs);
    for (const QByteArray& bytes : progress.writes)
        m_write(bytes);
    if (m_waiting)
        m_refusals += progress.refusals;
    if (progress.readBack)
        finish(radio::judgeReadBack(m_requested, progress.readBack));
    else if (progress.ended) {
        const QString failed = QStringLiteral("Tune failed: ") + progress.refusals.value(0);
        finish({radio::TuneVerdict::Refused, failed, QString(), failed});
    }
}

void TuneChecker::reset() {
    m_protocol.reset();
    m_silence.stop();
    m_waiting = false;
    m_refusals.clear();
}

void TuneChecker::finish(radio::TuneCheck check) {
    if (!std::exchange(m_waiting, false))
        return;
    m_silence.stop();
    check.refusals = std::exchange(m_refusals, {});
    emit checked(m_list, check);
}

} // namespace session
