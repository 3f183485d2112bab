#pragma once

#include "core/seams.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

class QTextToSpeech;

namespace voice {

// QTextToSpeech cuts off the text being spoken when say() is called again, so texts wait in a
// queue of our own until the engine is ready. Where no engine works, say() does nothing.
class QueuedSpeech : public QObject, public core::SpeechEngine {
    Q_OBJECT
public:
    explicit QueuedSpeech(QObject* parent = nullptr);
    ~QueuedSpeech() override;

    bool isAvailable() const { return m_tts != nullptr; }
    // Reports a missing engine once; call after connecting `diagnostic`.
    void reportAvailability();
    void say(const QString& text) override;
    qsizetype queued() const { return m_queue.size(); }

signals:
    void diagnostic(const QString& line);

private:
    void speakNext();
    void onStateChanged();

    QTextToSpeech* m_tts = nullptr;
    QStringList m_queue;
    bool m_busy = false;
    // An engine that never reports the end of a text (no audio device) must not hold the queue.
    QTimer m_watchdog;
};

} // namespace voice
