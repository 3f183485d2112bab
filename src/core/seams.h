#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The outside pieces the sessions talk to, as small interfaces: the desktop implementations live
// in their own libraries (speech and sounds in voice, notifications in desktop, the browser in
// app) and tests hand in fakes.
namespace core {

// Speaks texts asynchronously, one after another.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    virtual void say(const QString& text) = 0;
};

// Short cue sounds by name ("Funk", "Seatbelts", "Bottle", "Frog"); a missing one plays nothing.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& name) = 0;
};

// Desktop notifications; they are silent and go away by themselves after a few seconds.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString& title, const QString& text) = 0;
};

// Opens an address in the desktop's browser.
class Browser {
public:
    virtual ~Browser() = default;
    virtual void open(const QUrl& url) = 0;
};

// Where diagnostic lines go; standard output when empty.
using DiagnosticSink = std::function<void(const QString& line)>;

// Writes `line` to `sink`, or to standard output when there is none.
void writeDiagnostic(const DiagnosticSink& sink, const QString& line);

} // namespace core
