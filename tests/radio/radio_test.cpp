#include "radio/qtseriallink.h"
#include "radio/radiomodels.h"
#include "radio/replyparser.h"

#include "ptypair.h"
#include "testing.h"

#include <termios.h>

using namespace radio;

TEST(RadioModels, ChoiceFollowsPositionForFamilyAndTitleForAddress) {
    const std::tuple<int, const char*, const char*> cases[] = {
        {10, "Icom IC-7300", "I94"},
        {0, "Yaesu FTDX10", "Y00"},
        {1, "Icom IC-705", "YA4"}, // an Icom title among the Yaesu places stays Yaesu
        {-1, "", "Y00"},           // nothing selected
        {17, "Icom IC-7851", "I8E"},
        {7, "icom ic-7300", "I00"}, // titles compare exactly
        {8, "Icom IC-7300 ", "I00"},
    };
    for (const auto& [index, title, expected] : cases) {
        const RadioChoice choice = chooseRadio(index, QString::fromUtf8(title));
        EXPECT_EQ(choice.familyCode + choice.civAddress, expected) << title;
    }
    // Every Icom of the pop-up, between the Yaesu radios and rigctld, has an address of its own.
    const QStringList titles = radioPopUpTitles();
    for (const QString& title : titles.mid(3, titles.size() - 4))
        EXPECT_NE(civAddressForTitle(title), "00") << title.toStdString();
}

TEST(MeterReplies, ReadsTheLastSixCharactersOfEachMeterReply) {
    // The value after the final chunk, if any chunk gave one.
    const std::pair<QList<QByteArray>, std::optional<int>> cases[] = {
        {{"\nRM1123456;"}, 123456},
        {{"RM0128;"}, 0}, // "RM0128" is the last six characters: not a number
        {{"RM1-00042;"}, -42},
        {{"RM1000007;FA014074000;"}, 7},
        {{"FA014074000;"}, std::nullopt},
        {{"RM1000007"}, std::nullopt},               // waits for its terminator
        {{"RM11", "23456;RM", "1000099;"}, 99},      // split across reads
        {{QByteArray(1000, 'x'), ";RM1000005;"}, 5}, // garbage without a terminator is let go
        // A CI-V frame echoed by an Icom radio carries FE and FD, which never occur in UTF-8:
        // the whole chunk is ignored.
        {{QByteArray::fromHex("fefe94e0fbfd") + "RM1000001;"}, std::nullopt},
    };
    for (const auto& [chunks, last] : cases) {
        MeterReplyReader reader;
        std::optional<int> value;
        for (const QByteArray& chunk : chunks)
            if (auto v = reader.feed(chunk))
                value = v;
        EXPECT_EQ(value, last) << chunks.front().toStdString();
    }
}

TEST(QtSerialLink, OpensWithLineSettingsWritesInOrderAndDeliversReplies) {
    PtyPair pty;
    QtSerialLink link(pty.slavePath());
    QSignalSpy opened(&link, &SerialLink::opened);
    QSignalSpy received(&link, &SerialLink::dataReceived);
    link.setBaudRate(38400);
    link.open();
    ASSERT_EQ(opened.count(), 1);
    ASSERT_TRUE(link.isOpen());

    // Two stop bits, no parity, RTS/CTS.
    EXPECT_EQ(pty.slaveCflag() & (CSTOPB | PARENB | CRTSCTS), unsigned(CSTOPB | CRTSCTS));

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
    QSignalSpy errors(&link, &SerialLink::errorOccurred);
    QSignalSpy removed(&link, &SerialLink::removedFromSystem);
    link.open();
    pty.closeMaster();
    EXPECT_TRUE(removed.wait(3000));
    EXPECT_GE(errors.count(), 1);
    link.sendData("FA014074000;"); // after removal: an error, never a crash
    EXPECT_EQ(removed.count(), 1);
    EXPECT_FALSE(link.isOpen());
}
