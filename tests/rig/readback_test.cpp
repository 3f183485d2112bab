// The radio's replies as data: CI-V frames, rigctld answers, the conversation of each family after
// a Tune, and how a read-back is judged and shown.
#include "printers.h"
#include "radio/readback.h"
#include "radio/rigctldlink.h"
#include "radio/rigctldreplies.h"

#include <gtest/gtest.h>

using namespace radio;

namespace {

// Every stream is read whole and again one byte at a time: the results must agree.
template <typename Reader, typename Show>
QStringList readBothWays(const QByteArray& stream, Reader whole, Reader bytewise, Show show) {
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
        const char head[] = {char(f.to), char(f.from), char(f.command)};
        return QString::fromLatin1(QByteArray(head, 3).toHex() + ':' + f.data.toHex());
    };
    const struct {
        const char* hex;
        QStringList frames;
    } cases[] = {
        {"FEFE94E003FD FEFEE094030040071400FD", {"94e003:", "e09403:0040071400"}},
        {"0012FD FEFEFEE094FBFD 77", {"e094fb:"}}, // noise around, a third preamble byte
        {"FEFE94E005FEFEE094FAFD", {"e094fa:"}},   // a frame cut short by the next one
        {"FEFEE0FD FEFEE094", {}},                 // too short; not finished
    };
    for (const auto& c : cases)
        EXPECT_EQ(
            readBothWays(QByteArray::fromHex(c.hex), CivFrameReader(), CivFrameReader(), show),
            c.frames)
            << c.hex;
    CivFrameReader reader;
    reader.feed(QByteArray::fromHex("FEFE") + QByteArray(CivFrameReader::kMaxFrame, 1));
    EXPECT_TRUE(reader.pendingTail().isEmpty()) << "an endless frame is dropped";
}

TEST(CivFrameReader, ReadsPackedDecimalHertz) {
    const struct {
        const char* hex;
        std::optional<qint64> hertz;
    } cases[] = {{"0040071400", 14'074'000},
                 {"0000540000", 540'000},
                 {"00000501", 1'050'000},
                 {"004A071400", std::nullopt},
                 {"004007", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(civFrequency(QByteArray::fromHex(c.hex)), c.hertz) << c.hex;
}

TEST(RigctldReplyReader, PairsEachAnswerBlockWithItsCommand) {
    const auto show = [](const RigctldAnswer& a) {
        switch (a.kind) {
        case RigctldAnswer::Kind::Ok:
            return QStringLiteral("ok");
        case RigctldAnswer::Kind::Error:
            return "error " + QString::number(a.code);
        case RigctldAnswer::Kind::Value:
            return "value " + (a.ask == RigctldAsk::Mode ? a.mode : QString::number(a.hertz));
        case RigctldAnswer::Kind::Garbled:
            break;
        }
        return "garbled " + a.text;
    };
    const struct {
        QList<RigctldAsk> asks;
        QByteArray stream;
        QStringList answers;
    } cases[] = {
        {{RigctldAsk::Set, RigctldAsk::Frequency, RigctldAsk::Mode},
         "RPRT 0\n14074000\nPKTUSB\n2400\n",
         {"ok", "value 14074000", "value PKTUSB"}},
        {{RigctldAsk::Set, RigctldAsk::Frequency, RigctldAsk::Mode},
         "RPRT -1\nRPRT -11\nRPRT -5\n",
         {"error -1", "error -11", "error -5"}},
        {{RigctldAsk::Frequency}, "\r\n14074000.000000\r\nRPRT 0\n", {"value 14074000"}},
        {{RigctldAsk::Set, RigctldAsk::Frequency, RigctldAsk::Mode, RigctldAsk::Frequency},
         "hello\nRPRT 0\nUSB\nwide\n" + QByteArray(300, 'x') + "\n",
         {"garbled hello", "garbled RPRT 0", "garbled USB wide", "garbled " + QString(256, 'x')}},
    };
    for (const auto& c : cases) {
        RigctldReplyReader whole, bytewise;
        for (RigctldAsk ask : c.asks) {
            whole.expect(ask);
            bytewise.expect(ask);
        }
        EXPECT_EQ(readBothWays(c.stream, whole, bytewise, show), c.answers) << c.stream.data();
    }
}

TEST(TuneProtocol, EachFamilyAsksBackAndReadsTheAnswer) {
    using tuning::Family;
    struct Step {
        QByteArray reply;
        QByteArray writes; // what the protocol sends next, joined
        QString refusals;
        QString readBack;
        bool restart = false; // give the tune up and start it again before this reply
    };
    const QByteArray icomSent =
        QByteArray::fromHex("FEFE94E0050040071400FDFEFE94E00601FDFEFE94E01A060101FDFEFE94E003FD");
    const struct {
        Family family;
        const char* radio;
        QList<Step> steps;
    } cases[] = {
        {Family::Icom,
         "I",
         {{icomSent + QByteArray::fromHex("FEFEE094FBFD FEFEE094FBFD FEFEE094FAFD"
                                          "FEFE00940000000000FD FEFEE098030000000000FD "
                                          "FEFEE094030040071400FD"),
           "", "Radio refused FEFE94E01A060101FD", "14074000 USB-D"}}},
        {Family::Yaesu,
         "Y",
         {{"?;FB007074000;FA014074000;", "",
           "Radio refused a command of MD02;SF1E;FA014074000;SS0640000;", "14074000 USB"}}},
        {Family::Rigctld,
         "R",
         {{"RPRT 0\n", "M PKTUSB 0\n", "", ""},
          {"", "F 14074000\n", "", "", true},
          {"RPRT 0\nRPRT 0\n", "M PKTUSB 0\n", "", ""}, // the first answers the tune given up
          {"RPRT 0\n", "f\n", "", ""},
          {"14074000\n", "m\n", "", ""},
          {"PKTUSB\n2400\n", "", "", "14074000 PKTUSB"}}},
        {Family::Rigctld,
         "R",
         {{"RPRT -9\n", "", "F 14074000: RPRT -9 (command rejected by the radio)", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        const tuning::TuneCommands commands =
            tuning::composeTune({tuning::ListKind::Pota, "14074", "FT8", "", c.radio, "94", "A"});
        const auto protocol = makeTuneProtocol(c.family, "94", "A");
        QByteArray sent = protocol->start(commands).join();
        EXPECT_EQ(sent, c.family == Family::Icom ? icomSent
                        : c.family == Family::Yaesu
                            ? QByteArray("MD02;SF1E;FA014074000;SS0640000;FA;")
                            : QByteArray("F 14074000\n"));
        for (const Step& step : c.steps) {
            if (step.restart) {
                protocol->abandon();
                EXPECT_EQ(protocol->start(commands).join(), step.writes);
                continue;
            }
            const ReadProgress progress = protocol->read(step.reply);
            EXPECT_EQ(progress.writes.join(), step.writes);
            EXPECT_EQ(progress.refusals.join('|'), step.refusals);
            EXPECT_EQ(progress.readBack ? QString::number(progress.readBack->hertz) + u' ' +
                                              progress.readBack->mode
                                        : QString(),
                      step.readBack);
        }
    }
}

TEST(ReadBack, IsJudgedAgainstTheRequestAndShownInMegahertz) {
    const struct {
        qint64 requested;
        std::optional<ReadBack> readBack;
        TuneVerdict verdict;
        const char* status;
        const char* report;
    } cases[] = {
        {14'074'000, ReadBack{14'074'000, "USB-D"}, TuneVerdict::Tuned, "Tuned",
         "Radio reports 14.074.000 MHz USB-D"},
        {14'074'000, ReadBack{7'074'000, ""}, TuneVerdict::NotFollowed,
         "Radio did not follow: reports 7.074.000 MHz", "Radio reports 7.074.000 MHz"},
        {540'000, ReadBack{540'001, "AM"}, TuneVerdict::NotFollowed,
         "Radio did not follow: reports 0.540.001 MHz", "Radio reports 0.540.001 MHz AM"},
        {1'296'000'000, ReadBack{1'296'000'000, "FM"}, TuneVerdict::Tuned, "Tuned",
         "Radio reports 1296.000.000 MHz FM"},
        {14'074'000, std::nullopt, TuneVerdict::NoAnswer, "No answer from the radio", ""},
    };
    for (const auto& c : cases) {
        const TuneCheck check = judgeReadBack(c.requested, c.readBack);
        EXPECT_EQ(check.verdict, c.verdict) << c.status;
        EXPECT_EQ(check.status, c.status);
        EXPECT_EQ(check.report, c.report);
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
                                                         {"a b:1", ""},
                                                         {"[::1", ""},
                                                         {"", ""}};
    for (const auto& [text, parsed] : cases) {
        const auto address = parseRigctldAddress(text);
        EXPECT_EQ(address ? address->text() : QString(), parsed) << text;
    }
}

} // namespace
