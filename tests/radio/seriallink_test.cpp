#include "ptypair.h"
#include "radio/qtseriallink.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <termios.h>

using radio::QtSerialLink;

TEST(QtSerialLink, OpensWithLineSettingsWritesInOrderAndDeliversReplies) {
    PtyPair pty;
    ASSERT_TRUE(pty.isValid());
    QtSerialLink link(pty.slavePath());
    QSignalSpy opened(&link, &radio::SerialLink::opened);
    QSignalSpy received(&link, &radio::SerialLink::dataReceived);
    link.setBaudRate(38400);
    link.open();
    ASSERT_EQ(opened.count(), 1);
    ASSERT_TRUE(link.isOpen());

    unsigned cflag = 0;
    ASSERT_TRUE(pty.slaveSettings(cflag));
    EXPECT_TRUE(cflag & CSTOPB) << "two stop bits";
    EXPECT_FALSE(cflag & PARENB) << "no parity";
    EXPECT_TRUE(cflag & CRTSCTS) << "RTS/CTS";

    link.sendData(QByteArray::fromHex("fefe94e0050040071400fd"));
    link.sendData("MD02;");
    EXPECT_EQ(pty.read(16), QByteArray::fromHex("fefe94e0050040071400fd") + "MD02;");

    pty.write("RM1000042;");
    ASSERT_TRUE(received.wait(2000));
    EXPECT_EQ(received.first().first().toByteArray(), "RM1000042;");
}

TEST(QtSerialLink, VanishingDeviceReportsErrorThenRemovalOnce) {
    PtyPair pty;
    QtSerialLink link(pty.slavePath());
    QSignalSpy errors(&link, &radio::SerialLink::errorOccurred);
    QSignalSpy removed(&link, &radio::SerialLink::removedFromSystem);
    link.open();
    pty.closeMaster();
    EXPECT_TRUE(removed.wait(3000));
    EXPECT_GE(errors.count(), 1);
    link.sendData("FA014074000;"); // after removal: an error, never a crash
    EXPECT_EQ(removed.count(), 1);
    EXPECT_FALSE(link.isOpen());
}

TEST(QtSerialLink, RefusedOpenReportsAnError) {
    QtSerialLink link(QStringLiteral("/dev/does-not-exist-bandhopper"));
    QSignalSpy errors(&link, &radio::SerialLink::errorOccurred);
    QSignalSpy opened(&link, &radio::SerialLink::opened);
    link.open();
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(opened.count(), 0);
    EXPECT_FALSE(link.isOpen());
}
