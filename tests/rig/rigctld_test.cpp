// The station driving Hamlib's rigctld: every list's Tune on the dummy radio, read back with
// Hamlib's own client; a refused connection, a failing daemon and a killed one.
#include "radio/radiomodels.h"
#include "rigctld.h"
#include "stationrig.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using core::ListKind;
using session::LinkState;

namespace {

class RigctldTest : public ::testing::Test, protected StationRig {
protected:
    void SetUp() override {
        makeStation();
        station->preferences().restoreSwitches();
    }
    session::RadioSession& radio() { return station->radio(); }
    bool connectTo(const QString& address) {
        radio().chooseRadio(int(radio().radioTitles().size()) - 1, radio::rigctldTitle());
        radio().chooseRigctldAddress(address);
        QSignalSpy failed(&radio(), &session::RadioSession::radioWanted);
        radio().openOrClose();
        return waitFor([&] { return radio().link()->isOpen() || !failed.isEmpty(); }, 2000) &&
               radio().link()->isOpen();
    }
};

TEST_F(RigctldTest, EveryListsTuneSetsTheRadioUntilTheDaemonDies) {
    RigctldDaemon daemon;
    SKIP_WITHOUT_RIGCTLD(daemon);
    serveEverything();
    station->setDeadlineMs(100);
    station->awakeFromNib();
    ASSERT_TRUE(allShown(2000));
    ASSERT_TRUE(connectTo(daemon.address()));
    EXPECT_EQ(settings->value("rigctldAddress").toString(), daemon.address());
    EXPECT_FALSE(settings->contains("defaultPort"));

    QSignalSpy outcomes(&radio(), &session::RadioSession::tuneOutcome);
    const struct {
        ListKind list;
        int row;
        const char* readBack;
    } tunes[] = {{ListKind::Pota, 0, "14074000 PKTUSB"},  {ListKind::Sota, 0, "7032000 PKTUSB"},
                 {ListKind::NetLogger, 0, "7187000 LSB"}, {ListKind::Nets, 0, "14300000 USB"},
                 {ListKind::Nets, 1, "7255000 LSB"},      {ListKind::MW, 0, "1530000 AM"}};
    for (const auto& t : tunes) {
        station->tune(t.list, t.row);
        ASSERT_TRUE(outcomes.wait(2000)) << t.readBack;
        EXPECT_EQ(outcomes.last()[1].toString(), "Tuned");
        EXPECT_EQ(daemon.ask({"f", "m"}), t.readBack);
    }
    EXPECT_EQ(sounds.played, QStringList{"Seatbelts"});

    QSignalSpy states(&radio(), &session::RadioSession::linkStateChanged);
    daemon.process.kill();
    ASSERT_TRUE(states.wait(2000));
    EXPECT_EQ(states.last()[0].value<LinkState>(), LinkState::Removed);
    EXPECT_TRUE(out.contains("rigctld " + daemon.address() +
                             " encountered an error: The remote host closed the connection"));
    EXPECT_EQ(notifier.shown.last(),
              "Radio Disconnected | rigctld at " + daemon.address() + " closed the connection.");
    EXPECT_EQ(radio().link(), nullptr);
    station->tune(ListKind::Pota, 0);
    EXPECT_EQ(outcomes.last()[1].toString(), "Not connected to a radio");
}

TEST_F(RigctldTest, ARefusedConnectionOrAFailingDaemonTakesTheErrorPath) {
    const QString nobody = "127.0.0.1:" + QString::number(freePort());
    QSignalSpy front(&radio(), &session::RadioSession::radioWanted);
    EXPECT_FALSE(connectTo(nobody));
    EXPECT_EQ(front.size(), 1);
    EXPECT_EQ(out.last(), "rigctld " + nobody + " encountered an error: Connection refused");
    EXPECT_EQ(sounds.played, QStringList{"Frog"});

    FakeRigctld failing({"RPRT -1\n"});
    ASSERT_TRUE(connectTo(failing.address()));
    sounds.played.clear();
    QSignalSpy outcomes(&radio(), &session::RadioSession::tuneOutcome);
    radio().tune(ListKind::Pota,
                 tuning::composeTune({ListKind::Pota, "14074", "FT8", "", radio().kvRadio}));
    ASSERT_TRUE(outcomes.wait(2000));
    EXPECT_EQ(outcomes[0][1].toString(), "Tune failed: F 14074000: RPRT -1 (invalid parameter)");
    EXPECT_EQ(out.last(), "rigctld " + failing.address() +
                              " encountered an error: F 14074000: RPRT -1 (invalid parameter)");
    EXPECT_EQ(sounds.played, QStringList{"Frog"});
    EXPECT_EQ(failing.asked, 1) << "nothing more goes to a daemon that refused";
}

} // namespace
