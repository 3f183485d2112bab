// The station driving Hamlib's rigctld: every list's Tune on the dummy radio, read back with
// Hamlib's own client; a refused connection, a refusing daemon and a killed one.
#include "loopbackpeers.h"
#include "radio/radiomodels.h"
#include "stationrig.h"
#include "testing.h"

using core::ListKind;

class RigctldTest : public ::testing::Test, protected StationRig {
protected:
    session::RadioSession& radio() { return station->radio(); }
    bool connectTo(const QString& address) {
        radio().chooseRadio(int(radio().radioTitles().size()) - 1, radio::rigctldTitle());
        radio().chooseRigctldAddress(address);
        QSignalSpy failed(&radio(), &session::RadioSession::radioWanted);
        radio().openOrClose();
        return waitFor([&] { return radio().link()->isOpen() || !failed.isEmpty(); }, 2000) &&
               radio().link()->isOpen();
    }
    QSignalSpy outcomes{&makeStation().radio(), &session::RadioSession::tuneOutcome};
};

TEST_F(RigctldTest, EveryListsTuneSetsTheRadioUntilTheDaemonDies) {
    RigctldDaemon daemon;
    SKIP_WITHOUT_RIGCTLD(daemon);
    serveEverything();
    station->setDeadlineMs(100);
    station->start();
    ASSERT_TRUE(allShown(2000));
    ASSERT_TRUE(connectTo(daemon.address()));
    EXPECT_EQ(settings->value("rigctldAddress").toString(), daemon.address());
    EXPECT_FALSE(settings->contains("defaultPort"));
    const std::tuple<ListKind, int, const char*> tunes[] = {
        {ListKind::Pota, 0, "14074000 PKTUSB"}, {ListKind::Sota, 0, "7032000 PKTUSB"},
        {ListKind::Wwff, 0, "7006000 CW"},      {ListKind::NetLogger, 0, "7187000 LSB"},
        {ListKind::Nets, 0, "14300000 USB"},    {ListKind::Nets, 1, "7255000 LSB"},
        {ListKind::MW, 0, "1530000 AM"}};
    for (const auto& [list, row, readBack] : tunes) {
        station->tune(list, row);
        ASSERT_TRUE(outcomes.wait(2000)) << readBack;
        EXPECT_EQ(outcomes.last()[1].toString(), "Tuned");
        EXPECT_EQ(daemon.readBack(), readBack);
    }

    daemon.process.kill();
    ASSERT_TRUE(waitFor([&] { return radio().link() == nullptr; }, 2000)) << "removed";
    EXPECT_EQ(out.last(), "rigctld " + daemon.address() +
                              " encountered an error: The remote host closed the connection");
    EXPECT_EQ(notifier.shown.last(),
              "Radio Disconnected | rigctld at " + daemon.address() + " closed the connection.");
    EXPECT_EQ(sounds.played, (QStringList{"Seatbelts", "Frog"}));
    station->tune(ListKind::Pota, 0);
    EXPECT_EQ(outcomes.last()[1].toString(), "Not connected to a radio");
}

TEST_F(RigctldTest, ARefusedConnectionIsAnErrorARefusedCommandOnlyALine) {
    const QString nobody = "127.0.0.1:" + QString::number(freePort());
    EXPECT_FALSE(connectTo(nobody));
    EXPECT_EQ(out.last(), "rigctld " + nobody + " encountered an error: Connection refused");

    FakePeer failing({"RPRT -1\n"});
    ASSERT_TRUE(connectTo(failing.address()));
    QSignalSpy front(&radio(), &session::RadioSession::radioWanted);
    radio().tune(ListKind::Pota, tuning::composeTune({ListKind::Pota, "14074", "FT8", "", "R"}));
    ASSERT_TRUE(outcomes.wait(2000));
    EXPECT_EQ(outcomes[0][1].toString(), "Tune failed: F 14074000: RPRT -1 (invalid parameter)");
    EXPECT_EQ(out.last(),
              "rigctld " + failing.address() + ": F 14074000: RPRT -1 (invalid parameter)");
    EXPECT_EQ(sounds.played, (QStringList{"Frog", "Frog"})) << "one for each";
    EXPECT_TRUE(front.isEmpty()) << "a refusal is no port error";
    EXPECT_EQ(failing.asked, 1) << "nothing more goes to a daemon that refused";

    // The radio's report is shown, and one elsewhere is trouble: said with a cue and printed.
    FakePeer wandering({"RPRT 0\n", "RPRT 0\n", "7074000\n", "USB\n2400\n"});
    ASSERT_TRUE(connectTo(wandering.address()));
    QSignalSpy reported(&radio(), &session::RadioSession::radioReported);
    radio().tune(ListKind::Pota, tuning::composeTune({ListKind::Pota, "14074", "FT8", "", "R"}));
    ASSERT_TRUE(outcomes.wait(2000));
    const QString status = "Radio did not follow: reports 7.074.000 MHz";
    EXPECT_EQ(outcomes.last()[1].toString(), status);
    EXPECT_EQ(reported.value(0).value(0).toString(), "Radio reports 7.074.000 MHz USB");
    EXPECT_EQ(out.last(), status);
    EXPECT_EQ(sounds.played.last(), "Frog");
}
