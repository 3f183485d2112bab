#include "radio/replyframes.h"

#include "fuzzcheck.h"

// An Icom radio's byte stream arriving in chunks cut at input-chosen places. The first two bytes
// seed the cutting.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader input(data, size);
    quint32 state = input.byte() | (quint32(input.byte()) << 8);
    const QByteArray stream(input.rest(), qsizetype(input.restSize()));

    radio::CivFrameReader reader;
    QList<radio::CivFrame> frames;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const QByteArray chunk = stream.mid(at, 1 + (state >> 16) % 16);
        for (const radio::CivFrame& frame : reader.feed(chunk)) {
            FUZZ_CHECK(!frame.data.contains(char(0xFD)) && !frame.data.contains("\xFE\xFE"));
            frames << frame;
        }
        FUZZ_CHECK(reader.pendingTail().size() <= radio::CivFrameReader::kMaxFrame);
        at += chunk.size();
    }
    // Nothing can be lost to the bound on unfinished frames when the whole stream is shorter.
    if (stream.size() <= radio::CivFrameReader::kMaxFrame)
        FUZZ_CHECK(radio::CivFrameReader().feed(stream) == frames);
    return 0;
}
