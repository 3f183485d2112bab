// The read-back over a real serial port: a scripted radio on a pseudo-terminal echoes, refuses,
// reports another frequency or stays silent, its replies arriving a byte at a time.
#include "scriptedradio.h"
#include "stationrig.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FakeRadioTest : public ::testing::Test, protected StationRig {
protected:
    void SetUp() override {
        ports.realLinks = true;
        makeStation();
        station->radio().setAnswerTimeoutMs(300);
    }
};

TEST_F(FakeRadioTest, TheRadiosAnswerIsShownJudgedAndItsSilenceNoticed) {
    const QByteArray icomQuestion = QByteArray::fromHex("FEFE94E003FD");
    const QByteArray ok = QByteArray::fromHex("FEFEE094FBFD");
    const QByteArray ng = QByteArray::fromHex("FEFEE094FAFD");
    const struct {
        const char* radio;
        QByteArray question;
        QByteArray answer;
        const char* status;
        const char* report;
        QStringList sounds;
        const char* line;
    } cases[] = {
        {"Icom IC-7300",
         icomQuestion,
         ok + ok + ok + QByteArray::fromHex("FEFEE094030040071400FD"),
         "Tuned",
         "Radio reports 14.074.000 MHz USB-D",
         {},
         ""},
        {"Icom IC-7300",
         icomQuestion,
         ok + ok + ng + QByteArray::fromHex("FEFEE094030040070700FD"),
         "Radio did not follow: reports 7.074.000 MHz",
         "Radio reports 7.074.000 MHz USB-D",
         {"Frog", "Frog"},
         "encountered an error: Radio refused FEFE94E01A060101FD"},
        {"Yaesu FTDX10",
         "FA;",
         "FA014074000;",
         "Tuned",
         "Radio reports 14.074.000 MHz USB",
         {},
         ""},
        {"Yaesu FTDX10", "FA;", "", "No answer from the radio", "", {}, "No answer from the radio"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        PtyPair pty;
        ports.ports = {{"pty", pty.slavePath(), "pty"}};
        session::RadioSession& radio = station->radio();
        radio.chooseRadio(int(radio.radioTitles().indexOf(c.radio)), c.radio);
        radio.choosePort("pty");
        radio.openOrClose();
        ScriptedRadio fake(pty, c.question, c.answer, c.question == icomQuestion);
        sounds.played.clear();
        QSignalSpy outcome(&radio, &session::RadioSession::tuneOutcome);
        QSignalSpy report(&radio, &session::RadioSession::radioReported);
        radio.tune(core::ListKind::Pota, tuning::composeTune({core::ListKind::Pota, "14074", "FT8",
                                                              "", radio.kvRadio, radio.kvIC}));
        ASSERT_TRUE(outcome.wait(2000));
        EXPECT_EQ(outcome[0][1].toString(), c.status);
        EXPECT_EQ(report.value(0).value(0).toString(), c.report);
        EXPECT_EQ(sounds.played, c.sounds);
        EXPECT_TRUE(!*c.line || !out.filter(c.line).isEmpty()) << out.join('\n').toStdString();
        radio.setLink(nullptr);
    }
}

} // namespace
