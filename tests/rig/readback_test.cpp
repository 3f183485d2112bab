// The radio's replies as data: CI-V frames, rigctld answers and their conversation, and how a
// read-back is judged and shown.
#include "radio/readback.h"
#include "radio/rigctldlink.h"
#include "radio/rigctldreplies.h"
#include "testing.h"

using namespace radio;

// A stream read whole and again one byte at a time; both readings must agree.
template <typename Reader, typename Show>
static QStringList readBothWays(const QByteArray& stream, Reader whole, Reader bytewise,
                                Show show) {
    QStringList all, single;
    for (const auto& item : whole.feed(stream))
        all << show(item);
    for (char byte : stream)
        for (const auto& item : bytewise.feed(QByteArrayView(&byte, 1)))
            single << show(item);
    EXPECT_EQ(all, single) << stream.toHex().toStdString();
    return all;
}

TEST(CivFrameReader, CutsFramesOutOfNoiseEchoesAndCollisions) {
    const auto show = [](const CivFrame& f) {
        const std::optional<qint64> hertz = civFrequency(f.data);
        return QString::number(f.from, 16) + u'>' + QString::number(f.command, 16) + u' ' +
               (hertz ? QString::number(*hertz) : QString::fromLatin1(f.data.toHex()));
    };
    const std::pair<const char*, QStringList> cases[] = {
        {"FEFE94E003FD FEFEE094030040071400FD", {"e0>3 ", "94>3 14074000"}},
        {"FEFEE09403004A071400FD FEFEE09403000005 01FD", {"94>3 004a071400", "94>3 1050000"}},
        {"0012FD FEFEFEE094FBFD 77", {"94>fb "}}, // noise around, a third preamble byte
        {"FEFE94E005FEFEE094FAFD FEFEE0FD FEFEE0", {"94>fa "}}, // cut short; too short; unfinished
    };
    for (const auto& [hex, frames] : cases)
        EXPECT_EQ(readBothWays(QByteArray::fromHex(hex), CivFrameReader(), CivFrameReader(), show),
                  frames);
    CivFrameReader reader;
    reader.feed(QByteArray::fromHex("FEFE") + QByteArray(CivFrameReader::kMaxFrame, 1));
    EXPECT_TRUE(reader.pendingTail().isEmpty()) << "an endless frame is dropped";
}

TEST(RigctldReplyReader, PairsEachAnswerBlockWithItsCommand) {
    const auto show = [](const RigctldAnswer& a) {
        const char* kinds[] = {"ok", "error", "value", "garbled"};
        return kinds[int(a.kind)] +
               QStringLiteral(" %1 %2 %3").arg(a.code).arg(a.hertz).arg(a.mode);
    };
    const QByteArray stream = "RPRT 0\n\r\n14074000.000000\r\nPKTUSB\n2400\nRPRT -11\nhello\n"
                              "USB\nwide\n" +
                              QByteArray(300, 'x') + "\nRPRT 0\n";
    const QStringList answers = {"ok 0 0 ",      "value 0 14074000 ", "value 0 0 PKTUSB",
                                 "error -11 0 ", "garbled 0 0 ",      "garbled 0 0 USB",
                                 "garbled 0 0 "};
    RigctldReplyReader reader;
    for (int ask : {0, 1, 2, 0, 1, 2, 0})
        reader.expect(RigctldAsk(ask));
    EXPECT_EQ(readBothWays(stream, reader, reader, show), answers) << "the last line is unasked";
}

// rigctld answers in order, so the answers to a tune given up are told from the next tune's.
TEST(TuneProtocol, RigctldWaitsForEachAnswerAndSkipsThoseOfATuneGivenUp) {
    const auto tune = tuning::composeTune({tuning::ListKind::Pota, "14074", "FT8", "", "R"});
    const auto protocol = makeTuneProtocol(tuning::Family::Rigctld, "00", "A");
    EXPECT_EQ(protocol->start(tune), QList<QByteArray>{"F 14074000\n"});
    EXPECT_EQ(protocol->read("RPRT 0\n").writes, QList<QByteArray>{"M PKTUSB 0\n"});
    protocol->abandon();
    EXPECT_EQ(protocol->start(tune), QList<QByteArray>{"F 14074000\n"});
    const std::pair<QByteArray, const char*> steps[] = {{"RPRT 0\nRPRT 0\n", "M PKTUSB 0\n|||"},
                                                        {"RPRT 0\n", "f\n|||"},
                                                        {"14074000\n", "m\n|||"},
                                                        {"PKTUSB\n2400\n", "||14074000 PKTUSB|"},
                                                        {"RPRT 0\n", "|||"}};
    for (const auto& [reply, expected] : steps) {
        const ReadProgress p = protocol->read(reply);
        EXPECT_EQ(p.writes.join() + u'|' + p.refusals.join(u'/') + u'|' +
                      (p.readBack ? QString::number(p.readBack->hertz) + u' ' + p.readBack->mode
                                  : QString()) +
                      u'|' + (p.ended ? "ended" : ""),
                  expected);
    }
}

// A serial radio's answer arrives a byte at a time; an Icom's comes after the echo of every
// command, amid acknowledgements, a transceive broadcast and another radio's answer. A refused
// command is named.
TEST(TuneProtocol, SerialRadiosPickTheirOwnAnswer) {
    const auto icom = [](const char* third, const char* megahertz) {
        return QByteArray::fromHex(QStringLiteral("FEFEE094FBFD FEFEE094FBFD FEFEE094%1FD "
                                                  "FEFE00940000000000FD FEFEE098030000000000FD "
                                                  "FEFEE0940300400%2FD")
                                       .arg(third, megahertz)
                                       .toLatin1());
    };
    const std::tuple<const char*, QByteArray, const char*> cases[] = {
        {"I", icom("FB", "71400"), "|14074000 USB-D"},
        {"I", icom("FA", "70700"), "Radio refused FEFE94E01A060101FD|7074000 USB-D"},
        {"Y", "FB007074000;FA014074000;", "|14074000 USB"},
        {"Y", "?;FA007074000;",
         "Radio refused a command of MD02;SF1E;FA014074000;SS0640000;|7074000 USB"},
    };
    for (const auto& [radio, answer, expected] : cases) {
        const auto protocol = makeTuneProtocol(tuning::familyFor(radio), "94", "A");
        const QList<QByteArray> writes = protocol->start(
            tuning::composeTune({tuning::ListKind::Pota, "14074", "FT8", "", radio, "94"}));
        QStringList refusals;
        QString readBack;
        for (char byte : (*radio == 'I' ? writes.join() : QByteArray()) + answer) {
            const ReadProgress p = protocol->read(QByteArrayView(&byte, 1));
            refusals += p.refusals;
            if (p.readBack)
                readBack = QString::number(p.readBack->hertz) + u' ' + p.readBack->mode;
        }
        EXPECT_EQ(refusals.join(u'/') + u'|' + readBack, expected);
    }
}

TEST(ReadBack, IsJudgedAgainstTheRequestAndShownInMegahertz) {
    const std::tuple<qint64, std::optional<ReadBack>, TuneVerdict, const char*, const char*,
                     const char*>
        cases[] = {{540'000, ReadBack{540'000, "AM"}, TuneVerdict::Tuned, "Tuned",
                    "Radio reports 0.540.000 MHz AM", "Tuned 0.540 AM"},
                   {14'074'000, ReadBack{14'074'000, "USB"}, TuneVerdict::Tuned, "Tuned",
                    "Radio reports 14.074.000 MHz USB", "Tuned 14.074 USB"},
                   {540'000, ReadBack{1'296'540'001, ""}, TuneVerdict::NotFollowed,
                    "Radio did not follow: reports 1296.540.001 MHz",
                    "Radio reports 1296.540.001 MHz",
                    "Radio did not follow: it reports 1296.540001"},
                   {7'185'500, ReadBack{7'000'000, ""}, TuneVerdict::NotFollowed,
                    "Radio did not follow: reports 7.000.000 MHz", "Radio reports 7.000.000 MHz",
                    "Radio did not follow: it reports 7.000"},
                   {7'074'000, std::nullopt, TuneVerdict::NoAnswer, "No answer from the radio", "",
                    "No answer from the radio"}};
    for (const auto& [requested, readBack, verdict, status, report, spoken] : cases) {
        const TuneCheck check = judgeReadBack(requested, readBack);
        EXPECT_EQ(check.verdict, verdict) << status;
        EXPECT_EQ(check.status + u'|' + check.report + u'|' + check.spoken,
                  status + QString('|') + report + u'|' + spoken);
    }
}

TEST(RigctldAddress, ReadsHostAndPort) {
    const std::pair<const char*, const char*> cases[] = {{" localhost:4532 ", "localhost:4532"},
                                                         {"shack", "shack:4532"},
                                                         {"[::1]:4000", "[::1]:4000"},
                                                         {"::1", "[::1]:4532"},
                                                         {"host:0", ""},
                                                         {"host:65536", ""},
                                                         {":4532", ""},
                                                         {"[::1", ""}};
    for (const auto& [text, parsed] : cases) {
        const auto address = parseRigctldAddress(text);
        EXPECT_EQ(address ? address->text() : QString(), parsed) << text;
    }
}
