#include "radio/replyparser.h"

#include "fuzzcheck.h"

#include <QList>

#include <algorithm>

// The radio's byte stream arriving in chunks cut at input-chosen places. The first two bytes
// seed the cutting, so the fuzzer explores splits of the same stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader input{fuzzcheck::bytes(data, size)};
    quint32 state = input.byte() | (quint32(input.byte()) << 8);
    const QByteArray stream = input.rest();

    radio::MeterReplyReader reader;
    std::optional<int> lastValue;
    bool everyChunkRead = true;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        // Mostly short chunks, now and then one longer than the kept tail.
        const QByteArray chunk = stream.mid(at, (state >> 16) % 8 == 0 ? 1 + (state >> 8) % 200
                                                                       : 1 + (state >> 20) % 12);
        everyChunkRead = everyChunkRead && QByteArrayView(chunk).isValidUtf8();
        if (const std::optional<int> value = reader.feed(chunk))
            lastValue = value;
        FUZZ_CHECK(reader.pendingTail().size() <= radio::MeterReplyReader::kMaxTail);
        FUZZ_CHECK(!reader.pendingTail().contains(';'));
        at += chunk.size();
    }

    // Where the cutting can lose nothing (every chunk readable, no reply longer than the kept
    // tail), the stream reads the same however it was cut.
    const QList<QByteArray> replies = stream.split(';');
    if (everyChunkRead && std::all_of(replies.begin(), replies.end(), [](const QByteArray& r) {
            return r.size() <= radio::MeterReplyReader::kMaxTail;
        }))
        FUZZ_CHECK(radio::MeterReplyReader().feed(stream) == lastValue);
    return 0;
}
