#include "voice/speech.h"

#include <QTextToSpeech>

#include <algorithm>

namespace voice {

QueuedSpeech::QueuedSpeech(QObject* parent)
    : QObject(parent) {
    const QStringList engines = QTextToSpeech::availableEngines();
    if (!engines.isEmpty()) {
        // flite speaks without a daemon; speech-dispatcher needs one that may not be running.
        const QString engine =
            engines.contains(QStringLiteral("flite")) ? QStringLiteral("flite") : engines.first();
        m_tts = new QTextToSpeech(engine, this);
        if (m_tts->state() == QTextToSpeech::Error) {
            delete m_tts;
            m_tts = nullptr;
        }
    }
    if (m_tts)
        connect(m_tts, &QTextToSpeech::stateChanged, this, &QueuedSpeech::onStateChanged);
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        m_busy = false;
        speakNext();
    });
}

QueuedSpeech::~QueuedSpeech() = default;

void QueuedSpeech::reportAvailability() {
    if (!m_tts)
        emit diagnostic(QStringLiteral("No speech engine is available; the voice guide is silent"));
}

void QueuedSpeech::say(const QString& text) {
    // The engine never reports the end of an empty text, which would hold every later one back
    // until the watchdog fires.
    if (!m_tts || text.trimmed().isEmpty())
        return;
    m_queue.append(text);
    if (!m_busy)
        speakNext();
}

void QueuedSpeech::speakNext() {
    if (!m_tts || m_busy || m_queue.isEmpty())
        return;
    const QString text = m_queue.takeFirst();
    m_busy = true;
    m_watchdog.start(std::max<qsizetype>(5000, text.size() * 200));
    m_tts->say(text);
}

void QueuedSpeech::onStateChanged() {
    const auto state = m_tts->state();
    if (state == QTextToSpeech::Ready || state == QTextToSpeech::Error) {
        m_watchdog.stop();
        m_busy = false;
        // Leave the engine's own signal handler before speaking again.
        QTimer::singleShot(0, this, &QueuedSpeech::speakNext);
    }
}

} // namespace voice
