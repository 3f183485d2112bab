#include "radio/replyframes.h"
#include "radio/replyparser.h"
#include "radio/rigctldreplies.h"

#include "fuzzcheck.h"

#include <algorithm>

// A radio's byte stream arriving in pieces, read as CI-V frames, meter replies and rigctld
// answers. The first byte gives the four questions rigctld was asked (two bits each), the next
// two seed the cutting; however the stream is cut, it reads as it reads whole wherever the
// readers' bounds can lose nothing.
FUZZ_TARGET(input) {
    fuzzcheck::ByteReader reader{input};
    const uint8_t questions = reader.byte();
    const quint32 seed = reader.byte() | (quint32(reader.byte()) << 8);
    const QByteArray stream = reader.rest();
    const QList<QByteArray> chunks = fuzzcheck::cut(stream, seed);

    radio::CivFrameReader civ;
    QList<radio::CivFrame> frames;
    radio::MeterReplyReader meter;
    std::optional<int> lastValue;
    bool everyChunkRead = true;
    radio::RigctldReplyReader rigctld, rigctldWhole;
    for (int i = 0; i < 4; ++i) {
        const auto ask = radio::RigctldAsk(((questions >> (2 * i)) & 3) % 3);
        rigctld.expect(ask);
        rigctldWhole.expect(ask);
    }
    QList<radio::RigctldAnswer> answers;
    for (const QByteArray& chunk : chunks) {
        for (const radio::CivFrame& frame : civ.feed(chunk)) {
            FUZZ_CHECK(!frame.data.contains(char(0xFD)) && !frame.data.contains("\xFE\xFE"));
            frames << frame;
        }
        FUZZ_CHECK(civ.pendingTail().size() <= radio::CivFrameReader::kMaxFrame);

        everyChunkRead = everyChunkRead && QByteArrayView(chunk).isValidUtf8();
        if (const std::optional<int> value = meter.feed(chunk))
            lastValue = value;
        FUZZ_CHECK(meter.pendingTail().size() <= radio::MeterReplyReader::kMaxTail);
        FUZZ_CHECK(!meter.pendingTail().contains(';'));

        answers += rigctld.feed(chunk);
        FUZZ_CHECK(rigctld.pendingTail().size() <= radio::RigctldReplyReader::kMaxLine);
        FUZZ_CHECK(answers.size() + rigctld.outstanding() == 4);
    }
    FUZZ_CHECK(rigctldWhole.feed(stream) == answers, QStringLiteral("rigctld cut as read whole"));
    // Nothing can be lost to the bound on unfinished frames when the whole stream is shorter.
    if (stream.size() <= radio::CivFrameReader::kMaxFrame)
        FUZZ_CHECK(radio::CivFrameReader().feed(stream) == frames);
    // Nor to the meter reader where every chunk was readable and no reply is longer than the
    // kept tail.
    const QList<QByteArray> replies = stream.split(';');
    if (everyChunkRead && std::all_of(replies.begin(), replies.end(), [](const QByteArray& r) {
            return r.size() <= radio::MeterReplyReader::kMaxTail;
        }))
        FUZZ_CHECK(radio::MeterReplyReader().feed(stream) == lastValue);
}
