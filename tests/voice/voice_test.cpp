// The real speech and sound components on this machine: whatever audio it lacks, they must
// fail quietly.
#include "testing.h"
#include "voice/sounds.h"
#include "voice/speech.h"

#include <QMediaPlayer>

TEST(ResourceSounds, OnlyShippedCuesPlay) {
    const QString sounds = QStringLiteral(BH_SOUNDS_DIR);
    for (const char* name : {"Funk", "Seatbelts", "Bottle", "Frog"})
        EXPECT_TRUE(voice::resourceSoundPath(sounds, QString::fromLatin1(name))) << name;
    for (const char* name : {"Glass", "", "../Sounds/Funk", "Funk.aiff"})
        EXPECT_FALSE(voice::resourceSoundPath(sounds, QString::fromLatin1(name))) << name;

    voice::MediaSoundPlayer player(sounds);
    player.play(QStringLiteral("Glass"));
    EXPECT_TRUE(player.findChildren<QMediaPlayer*>().isEmpty());
    player.play(QStringLiteral("Funk"));
    EXPECT_EQ(player.findChildren<QMediaPlayer*>().size(), 1);
}

// An empty or blank text is skipped at once: the engine would never report its end, and every
// later text would wait for the watchdog.
TEST(QueuedSpeech, BlankTextsHoldNothingBack) {
    voice::QueuedSpeech speech;
    QSignalSpy diagnostics(&speech, &voice::QueuedSpeech::diagnostic);
    speech.reportAvailability();
    EXPECT_EQ(diagnostics.size(), speech.isAvailable() ? 0 : 1);
    speech.say(QString());
    speech.say(QStringLiteral(" \t"));
    speech.say(QStringLiteral("Acadia National Park"));
    EXPECT_EQ(speech.queued(), 0) << "the first real text is spoken at once";
    speech.say(QStringLiteral("Mount Si"));
    EXPECT_EQ(speech.queued(), speech.isAvailable() ? 1 : 0) << "later texts wait for the first";
}
