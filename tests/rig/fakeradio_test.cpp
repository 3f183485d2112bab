// The read-back over a real serial port: a scripted radio on a pseudo-terminal echoes, refuses,
// reports another frequency or stays silent, its replies arriving a byte at a time.
#include "scriptedradio.h"
#include "stationrig.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FakeRadioTest : public ::testing::Test, protected StationRig {};

TEST_F(FakeRadioTest, TheRadiosAnswerIsShownJudgedAndItsSilenceNoticed) {
    ports.realLinks = true;
    session::RadioSession& radio = makeStation().radio();
    radio.setAnswerTimeoutMs(300);
    const QByteArray icom = QByteArray::fromHex("FEFE94E003FD");
    // Acknowledgements, a transceive broadcast and another radio's answer, then ours.
    const auto answered = [](const char* third, const char* megahertz) {
        return QByteArray::fromHex(QStringLiteral("FEFEE094FBFD FEFEE094FBFD FEFEE094%1FD"
                                                  "FEFE00940000000000FD FEFEE098030000000000FD "
                                                  "FEFEE0940300400%2FD")
                                       .arg(third, megahertz)
                                       .toLatin1());
    };
    const std::tuple<const char*, QByteArray, QByteArray, const char*, const char*, QStringList>
        cases[] = {
            {"Icom IC-7300",
             icom,
             answered("FB", "71400"),
             "Tuned",
             "Radio reports 14.074.000 MHz USB-D",
             {}},
            {"Icom IC-7300",
             icom,
             answered("FA", "70700"),
             "Radio did not follow: reports 7.074.000 MHz",
             "Radio reports 7.074.000 MHz USB-D",
             {"Frog", "Frog"}},
            {"Yaesu FTDX10",
             "FA;",
             "FB007074000;FA014074000;",
             "Tuned",
             "Radio reports 14.074.000 MHz USB",
             {}},
            {"Yaesu FTDX10", "FA;", "", "No answer from the radio", "", {}},
        };
    for (const auto& [title, question, answer, status, report, cues] : cases) {
        SCOPED_TRACE(status);
        PtyPair pty;
        ports.ports = {{"pty", pty.slavePath(), "pty"}};
        radio.chooseRadio(int(radio.radioTitles().indexOf(title)), title);
        radio.choosePort("pty");
        radio.openOrClose();
        ScriptedRadio fake(pty, question, answer, question == icom);
        sounds.played.clear();
        out.clear();
        QSignalSpy outcome(&radio, &session::RadioSession::tuneOutcome);
        QSignalSpy shown(&radio, &session::RadioSession::radioReported);
        radio.tune(core::ListKind::Pota, tuning::composeTune({core::ListKind::Pota, "14074", "FT8",
                                                              "", radio.kvRadio, radio.kvIC}));
        ASSERT_TRUE(outcome.wait(2000));
        EXPECT_EQ(outcome[0][1].toString(), status);
        EXPECT_EQ(shown.value(0).value(0).toString(), report);
        EXPECT_EQ(sounds.played, cues);
        EXPECT_EQ(out.filter("Radio refused FEFE94E01A060101FD").size(), cues.size() / 2);
        EXPECT_EQ(out.contains(status), status != QString("Tuned")) << "trouble is printed";
        radio.setLink(nullptr);
    }
}

} // namespace
