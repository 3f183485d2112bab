#include "radio/replyparser.h"

#include "fuzzcheck.h"

// The radio's byte stream arriving in chunks cut at input-chosen places. The first two bytes
// seed the cutting, so the fuzzer explores splits of the same stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader input(data, size);
    quint32 state = input.byte() | (quint32(input.byte()) << 8);
    const char* stream = input.rest();
    const size_t streamSize = input.restSize();

    radio::MeterReplyReader reader;
    size_t at = 0;
    while (at < streamSize) {
        state = state * 1103515245u + 12345u;
        // Mostly short chunks, now and then one longer than the kept tail.
        const size_t length =
            (state >> 16) % 8 == 0 ? 1 + (state >> 8) % 200 : 1 + (state >> 20) % 12;
        const size_t take = std::min(length, streamSize - at);
        reader.feed(QByteArray(stream + at, qsizetype(take)));
        FUZZ_CHECK(reader.pendingTail().size() <= radio::MeterReplyReader::kMaxTail);
        FUZZ_CHECK(!reader.pendingTail().contains(';'));
        at += take;
    }
    return 0;
}
