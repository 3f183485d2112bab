// The link to the radio: choosing, opening and closing the port, what the port reports, and
// faults of the serial device, on faked links and on real pseudo-terminals.
#include "ptypair.h"
#include "stationrig.h"
#include "testing.h"

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

using session::LinkState;

class RadioTest : public ::testing::Test, protected StationRig {
protected:
    void SetUp() override {
        makeStation();
        station->preferences().restoreSwitches();
        states = std::make_unique<QSignalSpy>(&radio(), &session::RadioSession::linkStateChanged);
    }
    session::RadioSession& radio() { return station->radio(); }
    LinkState lastState() const { return states->last().first().value<LinkState>(); }
    FakeLink* choose(const QString& port) {
        radio().choosePort(port);
        return ports.lastLink;
    }
    // Opens the real device at `location` as the port "dev", with nothing played or printed yet.
    void openDevice(const QString& location) {
        ports.realLinks = true;
        ports.ports = {{"dev", location, "dev"}};
        sounds.played.clear();
        out.clear();
        radio().choosePort("dev");
        radio().openOrClose();
    }
    std::unique_ptr<QSignalSpy> states;
};

TEST_F(RadioTest, OpeningAndClosingShowTheLinkAndRememberThePort) {
    radio().chooseRadio(10, "Icom IC-7300");
    radio().chooseBaud(38400);
    FakeLink* link = choose("ttyUSB1");
    QSignalSpy lists(&radio(), &session::RadioSession::listsWanted);
    radio().openOrClose();
    ASSERT_TRUE(link->isOpen());
    EXPECT_EQ(link->lineSettings().baudRate, 38400);
    EXPECT_TRUE(link->lineSettings().twoStopBits && link->lineSettings().rtsCts &&
                link->lineSettings().noParity);
    EXPECT_EQ(lastState(), LinkState::Connected);
    EXPECT_EQ(settings->value("defaultPort").toString(), "ttyUSB1");
    EXPECT_EQ(settings->value("defaultBaud").toString(), "19200") << "Icom always stores 19200";
    EXPECT_EQ(sounds.played, QStringList{"Seatbelts"});
    EXPECT_TRUE(lists.wait(1000));

    // A meter reply may come in pieces.
    emit link->dataReceived("RM11234");
    emit link->dataReceived("56;");
    EXPECT_EQ(radio().signalLevel, 123456);

    radio().openOrClose();
    EXPECT_EQ(lastState(), LinkState::Closed);
    EXPECT_EQ(sounds.played.last(), "Bottle");
    radio().openOrClose();
    emit link->dataReceived("RM1999");
    FakeLink* other = choose("ttyUSB0"); // choosing another port closes the open one
    EXPECT_FALSE(link->isOpen());
    EXPECT_EQ(lastState(), LinkState::Closed);
    EXPECT_EQ(radio().link(), other);
    emit other->dataReceived("99;");
    EXPECT_EQ(radio().signalLevel, 123456) << "the old port's piece is no part of the new reply";
}

TEST_F(RadioTest, SoundsOffSilenceOpeningButNotClosingOrErrors) {
    station->preferences().setSounds(false);
    FakeLink* link = choose("ttyUSB0");
    radio().openOrClose();
    EXPECT_EQ(settings->value("defaultBaud").toString(), "19200") << "no radio: the port's rate";
    radio().openOrClose();
    link->refuseOpen = true;
    QSignalSpy front(&radio(), &session::RadioSession::radioWanted);
    radio().openOrClose();
    EXPECT_EQ(sounds.played, (QStringList{"Bottle", "Frog"}));
    EXPECT_EQ(out.last(), "SerialPort ttyUSB0 encountered an error: Permission denied");
    EXPECT_EQ(front.size(), 1);
}

// A radio that refuses a command of the tune has answered: one line, Frog and the status line,
// while only a port error brings the radio controls to the front.
TEST_F(RadioTest, ARefusalIsTheRadiosAnswerNotAPortError) {
    radio().chooseRadio(10, "Icom IC-7300");
    FakeLink* link = choose("ttyUSB0");
    radio().openOrClose();
    sounds.played.clear();
    out.clear();
    QSignalSpy front(&radio(), &session::RadioSession::radioWanted);
    QSignalSpy outcomes(&radio(), &session::RadioSession::tuneOutcome);
    radio().tune(core::ListKind::Pota,
                 tuning::composeTune({core::ListKind::Pota, "14074", "FT8", "", "I", "94"}));
    // OK to the frequency, NG to the mode, OK to the data mode, then where the radio is.
    emit link->dataReceived(QByteArray::fromHex("FEFEE094FBFDFEFEE094FAFDFEFEE094FBFD"
                                                "FEFEE094030040071400FD"));
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_EQ(outcomes[0][1].toString(), "Tuned. Radio refused FEFE94E00601FD");
    EXPECT_EQ(out, QStringList{"SerialPort ttyUSB0: Radio refused FEFE94E00601FD"});
    EXPECT_EQ(sounds.played, QStringList{"Frog"});
    EXPECT_TRUE(front.isEmpty());
}

// Where the radio said it was after the last Tune, followed or not, for the contact's frequency;
// a Tune it does not answer forgets the earlier one's.
TEST_F(RadioTest, KeepsTheLastReadBack) {
    radio().chooseRadio(10, "Icom IC-7300");
    FakeLink* link = choose("ttyUSB0");
    radio().openOrClose();
    radio().setAnswerTimeoutMs(20);
    const QByteArray acks = QByteArray::fromHex("FEFEE094FBFD").repeated(3);
    const std::tuple<const char*, QByteArray, qint64> cases[] = {
        // kHz tuned, the radio's replies, the read-back kept
        {"14074", acks + QByteArray::fromHex("FEFEE094030040071400FD"), 14'074'000},
        {"7074", acks + QByteArray::fromHex("FEFEE094030040071400FD"), 14'074'000},
        {"7074", {}, 0},
    };
    for (const auto& [khz, replies, kept] : cases) {
        QSignalSpy outcomes(&radio(), &session::RadioSession::tuneOutcome);
        radio().tune(core::ListKind::Pota,
                     tuning::composeTune({core::ListKind::Pota, khz, "FT8", "", "I", "94"}));
        if (!replies.isEmpty())
            emit link->dataReceived(replies);
        ASSERT_TRUE(!outcomes.isEmpty() || outcomes.wait(2000)) << khz;
        EXPECT_EQ(radio().lastReadBackHz(), kept) << khz;
    }
}

// Ports that appear are announced one by one and restore the settings once; a vanishing port
// that is the open one takes the removal path, however its vanishing is noticed: no "Bottle", no
// closed colour.
TEST_F(RadioTest, PortsComingAndGoing) {
    settings->setValue("defaultPort", "ttyACM1");
    station->start();
    ASSERT_TRUE(waitFor([&] { return server.count("/mw.php") == 1; }, 2000));
    ports.plugIn({{"ttyACM0", "/dev/ttyACM0", "ttyACM0"}, {"ttyACM1", "/dev/ttyACM1", "ttyACM1"}});
    EXPECT_EQ(
        notifier.shown,
        (QStringList{"Serial Port Connected | Serial Port ttyACM0 was connected to your Mac.",
                     "Serial Port Connected | Serial Port ttyACM1 was connected to your Mac."}));
    EXPECT_TRUE(out.contains("Ports were connected: (ttyACM0, ttyACM1)"));
    ASSERT_NE(radio().link(), nullptr);
    EXPECT_EQ(radio().link()->description(), "ttyACM1");
    ASSERT_TRUE(waitFor([&] { return server.count("/mw.php") == 2; }, 2000));
    EXPECT_EQ(server.count("/solarxml.php"), 1) << "the restore does not refetch the conditions";

    radio().openOrClose();
    sounds.played.clear();
    ports.unplug({"ttyACM1", "/dev/ttyACM1", "ttyACM1"});
    EXPECT_EQ(notifier.shown.last(),
              "Serial Port Disconnected | Serial Port ttyACM1 was disconnected from your Mac.");
    EXPECT_EQ(radio().link(), nullptr);
    EXPECT_EQ(lastState(), LinkState::Removed);
    EXPECT_TRUE(sounds.played.isEmpty());
    EXPECT_EQ(states->count(), 2) << "opened, then removed: never closed";

    // The device returns under the same name before the port list notices: choosing the port
    // that is still shown assigns it again.
    ports.ports.append({"ttyACM1", "/dev/ttyACM1", "ttyACM1"});
    FakeLink* back = choose("ttyACM1");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(radio().link(), back);
}

// Restoring the settings when ports appear shows the remembered rate, but an open link keeps the
// rate it runs at until it is opened again.
TEST_F(RadioTest, ARestoreNeverChangesTheRateOfAnOpenLink) {
    settings->setValue("defaultBaud", "19200");
    radio().chooseRadio(10, "Icom IC-7300");
    radio().chooseBaud(38400);
    FakeLink* link = choose("ttyUSB0");
    radio().openOrClose();
    ASSERT_EQ(link->baudRate(), 38400);
    QSignalSpy baud(&radio(), &session::RadioSession::baudShown);
    ports.plugIn({{"ttyACM0", "/dev/ttyACM0", "ttyACM0"}});
    EXPECT_EQ(baud.value(0).value(0).toInt(), 19200);
    EXPECT_EQ(link->baudRate(), 38400);
    EXPECT_EQ(radio().link(), link) << "the open port stays assigned";
    radio().openOrClose();
    radio().openOrClose();
    EXPECT_EQ(link->lineSettings().baudRate, 19200) << "the shown rate applies at the next open";
}

// Paths that exist but cannot serve as a serial line, even for root: a directory fails in open()
// itself, /dev/null refuses the line settings, and a vanished device is simply not there.
TEST_F(RadioTest, APortThatCannotBeOpenedTakesTheErrorPathOnce) {
    for (const QString& location :
         {dir.path(), QStringLiteral("/dev/null"), dir.filePath("gone")}) {
        SCOPED_TRACE(location.toStdString());
        openDevice(location);
        EXPECT_EQ(out.filter("encountered an error").size(), 1) << out.join('\n').toStdString();
        EXPECT_EQ(sounds.played, QStringList{"Frog"});
        EXPECT_FALSE(radio().link()->isOpen());
        EXPECT_FALSE(settings->contains("defaultPort"));
        radio().send({"FA;"}); // nothing to write to, no crash
    }
}

// The device vanishing after a write, while its bytes are on their way, or before the next write
// before anyone noticed: the port is let go once, by the error and removal paths.
TEST_F(RadioTest, TheDeviceVanishingLetsThePortGo) {
    for (int when = 0; when < 3; ++when) {
        SCOPED_TRACE(when);
        PtyPair pty;
        openDevice(pty.slavePath());
        ASSERT_TRUE(radio().link()->isOpen());
        if (when == 2)
            pty.closeMaster();
        radio().send({"FA014074000;"});
        if (when == 0) {
            EXPECT_EQ(pty.read(12), "FA014074000;");
        }
        if (when != 2)
            pty.closeMaster();
        ASSERT_TRUE(waitFor([&] { return radio().link() == nullptr; }, 2000));
        EXPECT_EQ(out.filter("encountered an error: ").size(), 1) << out.join('\n').toStdString();
        EXPECT_EQ(sounds.played, (QStringList{"Seatbelts", "Frog"})) << "removal is not a close";
        EXPECT_EQ(lastState(), LinkState::Removed);
        radio().openOrClose(); // no port any more: nothing happens
    }
}

TEST_F(RadioTest, AFailedWriteIsReportedOnceAndKeepsTheLink) {
    PtyPair pty;
    const auto descriptors = [&] {
        std::set<int> found;
        const QDir fds("/proc/self/fd");
        for (const QString& entry : fds.entryList(QDir::System | QDir::NoDotAndDotDot))
            if (QFile::symLinkTarget(fds.filePath(entry)) == pty.slavePath())
                found.insert(entry.toInt());
        return found;
    };
    const std::set<int> before = descriptors();
    openDevice(pty.slavePath());
    std::set<int> opened = descriptors();
    for (int fd : before)
        opened.erase(fd);
    ASSERT_EQ(opened.size(), 1u);
    // A read-only descriptor of the same line under the port: reads go on, writes fail.
    const int readOnly = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY);
    ASSERT_EQ(::dup2(readOnly, *opened.begin()), *opened.begin());
    ::close(readOnly);
    sounds.played.clear();

    radio().send({"FA014074000;"});
    ASSERT_TRUE(waitFor([&] { return sounds.played.contains("Frog"); }, 1000));
    settle(200);
    EXPECT_EQ(sounds.played, QStringList{"Frog"}) << "one failure, not one per retry";
    EXPECT_TRUE(radio().link()->isOpen()) << "the device is still there";
    radio().openOrClose();
    EXPECT_EQ(lastState(), LinkState::Closed);
}
