// The real speech and sound components on this machine: whatever audio it lacks, they must
// answer at once and fail quietly.
#include "tuning/sounds.h"
#include "tuning/speech.h"
#include "waitfor.h"

#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
const QString kSounds = QStringLiteral(BH_SOUNDS_DIR);
}

TEST(ResourceSounds, OnlyShippedCuesPlayAndPlayingNeverBlocks) {
    for (const char* name : {"Funk", "Seatbelts", "Bottle", "Frog"})
        EXPECT_TRUE(tuning::resourceSoundPath(kSounds, QString::fromLatin1(name))) << name;
    for (const char* name : {"Glass", "", "../Sounds/Funk", "Funk.aiff"})
        EXPECT_FALSE(tuning::resourceSoundPath(kSounds, QString::fromLatin1(name))) << name;

    QObject owner;
    auto* player = new tuning::MediaSoundPlayer(kSounds, &owner);
    player->play(QStringLiteral("Glass"));
    EXPECT_TRUE(player->findChildren<QMediaPlayer*>().isEmpty());
    QElapsedTimer clock;
    clock.start();
    player->play(QStringLiteral("Funk"));
    player->play(QStringLiteral("Frog"));
    EXPECT_LT(clock.elapsed(), 1000);
    settle(300); // let the backend fail or finish; either way nothing may crash
}

TEST(QueuedSpeech, AnswersAtOnceAndSaysWhetherItCanSpeak) {
    tuning::QueuedSpeech speech;
    QSignalSpy diagnostics(&speech, &tuning::QueuedSpeech::diagnostic);
    speech.reportAvailability();
    EXPECT_EQ(diagnostics.size(), speech.isAvailable() ? 0 : 1);
    QElapsedTimer clock;
    clock.start();
    speech.say(QStringLiteral("Acadia National Park"));
    speech.say(QStringLiteral("Mount Si"));
    speech.say(QString());
    EXPECT_LT(clock.elapsed(), 1000);
    if (speech.isAvailable()) {
        EXPECT_GE(speech.queued(), 1) << "later texts wait for the first";
    }
    settle(200);
}
