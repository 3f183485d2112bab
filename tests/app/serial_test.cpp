#include "controllerfixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

class SerialTest : public ControllerTest {
protected:
    FakeLink* choosePort(int index) {
        w().PortPopUpButton->setCurrentIndex(index);
        return ports.lastLink;
    }
};

TEST_F(SerialTest, OpeningShowsConnectedRemembersPortAndBringsListsForward) {
    controller->awakeFromNib();
    w().RadioPopUpButton->setCurrentText("Icom IC-7300");
    controller->goRadio(w().RadioPopUpButton);
    w().BaudPopUpButton->setCurrentText("38400");
    FakeLink* link = choosePort(1);
    ASSERT_NE(link, nullptr);
    controller->openOrClosePort();

    ASSERT_TRUE(link->isOpen());
    EXPECT_EQ(link->lineSettings().baudRate, 38400);
    EXPECT_TRUE(link->lineSettings().twoStopBits);
    EXPECT_TRUE(link->lineSettings().rtsCts);
    EXPECT_EQ(w().openCloseButton->text(), "Connected");
    EXPECT_EQ(settings->value("defaultPort").toString(), "ttyUSB1");
    EXPECT_EQ(settings->value("defaultBaud").toString(), "19200") << "Icom always stores 19200";
    EXPECT_EQ(sounds.played, QStringList{"Seatbelts"});
    EXPECT_TRUE(waitFor([&] { return w().mainTab->currentIndex() == 1; }, 1000));

    // A meter reply may come in pieces.
    emit link->dataReceived("RM11234");
    EXPECT_EQ(controller->kvSignal, 0);
    emit link->dataReceived("56;");
    EXPECT_EQ(controller->kvSignal, 123456);

    controller->openOrClosePort();
    EXPECT_FALSE(link->isOpen());
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_EQ(sounds.played.last(), "Bottle");

    controller->openOrClosePort();
    FakeLink* other = choosePort(0); // closes the previous one
    EXPECT_FALSE(link->isOpen());
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_EQ(controller->serialPort(), other);
}

TEST_F(SerialTest, SoundsOffSilencesOpeningButNotClosingOrErrors) {
    settings->setValue("sounds", "0");
    makeController();
    controller->awakeFromNib();
    FakeLink* link = choosePort(0);
    controller->openOrClosePort();
    EXPECT_EQ(settings->value("defaultBaud").toString(), "19200"); // no radio: the port's rate
    controller->openOrClosePort();
    link->refuseOpen = true;
    controller->openOrClosePort();
    EXPECT_EQ(sounds.played, (QStringList{"Bottle", "Frog"}));
    EXPECT_EQ(out.last(), "SerialPort ttyUSB0 encountered an error: Permission denied");
}

TEST_F(SerialTest, PortsAppearingNotifyEachAndRestoreOnce) {
    settings->setValue("defaultPort", "ttyACM1");
    makeController();
    controller->awakeFromNib();
    ASSERT_TRUE(waitFor([&] { return server.count("/mw.php") == 1; }, 2000));
    ports.plugIn({{"ttyACM0", "/dev/ttyACM0", "ttyACM0"}, {"ttyACM1", "/dev/ttyACM1", "ttyACM1"}});
    EXPECT_EQ(
        notifier.shown,
        (QStringList{"Serial Port Connected | Serial Port ttyACM0 was connected to your Mac.",
                     "Serial Port Connected | Serial Port ttyACM1 was connected to your Mac."}));
    EXPECT_TRUE(out.contains("Ports were connected: (ttyACM0, ttyACM1)"));
    EXPECT_EQ(w().PortPopUpButton->currentText(), "ttyACM1");
    ASSERT_TRUE(waitFor([&] { return server.count("/mw.php") == 2; }, 2000));
    EXPECT_EQ(server.count("/solarxml.php"), 1) << "the restore does not refetch the conditions";

    controller->openOrClosePort();
    ports.unplug({"ttyACM1", "/dev/ttyACM1", "ttyACM1"});
    EXPECT_EQ(notifier.shown.last(),
              "Serial Port Disconnected | Serial Port ttyACM1 was disconnected from your Mac.");
    EXPECT_EQ(controller->serialPort(), nullptr);
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    settle(50);
    EXPECT_EQ(server.count("/mw.php"), 2) << "vanishing ports do not restore";
}
