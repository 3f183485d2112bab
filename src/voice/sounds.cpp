#include "voice/sounds.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

namespace voice {

std::optional<QString> resourceSoundPath(const QString& soundsDir, const QString& name) {
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\'))
        return std::nullopt;
    const QFileInfo file(QDir(soundsDir).filePath(name + QStringLiteral(".aiff")));
    if (!file.isFile())
        return std::nullopt;
    return file.absoluteFilePath();
}

QString defaultSoundsDir() {
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {appDir + QStringLiteral("/Sounds"),
                                     appDir + QStringLiteral("/../share/bandhopper/Sounds")})
        if (QFileInfo(candidate).isDir())
            return QDir(candidate).absolutePath();
    return appDir + QStringLiteral("/Sounds");
}

MediaSoundPlayer::MediaSoundPlayer(const QString& soundsDir, QObject* parent)
    : QObject(parent)
    , m_dir(soundsDir) {}

void MediaSoundPlayer::play(const QString& name) {
    const auto path = resourceSoundPath(m_dir, name);
    if (!path)
        return;
    // One short-lived player per cue, so that overlapping cues do not cut each other off.
    auto* player = new QMediaPlayer(this);
    auto* output = new QAudioOutput(player);
    player->setAudioOutput(output);
    connect(player, &QMediaPlayer::mediaStatusChanged, player, [player](auto status) {
        if (status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia)
            player->deleteLater();
    });
    connect(player, &QMediaPlayer::errorOccurred, player, [player] { player->deleteLater(); });
    // Without an audio device some backends never report an end; the cues last under a second.
    QTimer::singleShot(10000, player, &QObject::deleteLater);
    player->setSource(QUrl::fromLocalFile(*path));
    player->play();
}

} // namespace voice
