#pragma once

#include "core/seams.h"

#include <QObject>
#include <QString>

#include <optional>

namespace voice {

// The file of a named sound: "<name>.aiff" in the sounds folder, if it exists.
std::optional<QString> resourceSoundPath(const QString& soundsDir, const QString& name);

// The "Sounds" folder beside the executable, or the installed share folder.
QString defaultSoundsDir();

// Plays through Qt Multimedia. Without an audio device playback fails quietly.
class MediaSoundPlayer : public QObject, public core::SoundPlayer {
    Q_OBJECT
public:
    explicit MediaSoundPlayer(const QString& soundsDir, QObject* parent = nullptr);
    void play(const QString& name) override;

private:
    QString m_dir;
};

} // namespace voice
