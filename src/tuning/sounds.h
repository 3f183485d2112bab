#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace tuning {

// Short cue sounds by name ("Funk", "Seatbelts", "Bottle", "Frog").
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the named sound if the application ships it; a missing sound plays nothing.
    virtual void play(const QString& name) = 0;
};

// The file of a named sound: "<name>.aiff" in the sounds folder, if it exists.
std::optional<QString> resourceSoundPath(const QString& soundsDir, const QString& name);

// The "Sounds" folder beside the executable, or the installed share folder.
QString defaultSoundsDir();

// Plays through Qt Multimedia. Without an audio device playback fails quietly.
class MediaSoundPlayer : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    explicit MediaSoundPlayer(const QString& soundsDir, QObject* parent = nullptr);
    void play(const QString& name) override;

private:
    QString m_dir;
};

} // namespace tuning
