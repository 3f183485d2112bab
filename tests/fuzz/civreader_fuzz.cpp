#include "radio/readback.h"
#include "radio/replyframes.h"

#include "fuzzcheck.h"

// An Icom radio's byte stream arriving in chunks cut at input-chosen places, read as frames and
// as the answer to a tune. The first two bytes seed the cutting.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader input(data, size);
    quint32 state = input.byte() | (quint32(input.byte()) << 8);
    const QByteArray stream(input.rest(), qsizetype(input.restSize()));

    const tuning::TuneCommands tune =
        tuning::composeTune({core::ListKind::Pota, "14074", "FT8", "", "I", "94"});
    const auto protocol = radio::makeTuneProtocol(tuning::Family::Icom, "94", "A");
    protocol->start(tune);
    radio::CivFrameReader reader;
    QList<radio::CivFrame> frames;
    int readBacks = 0;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const QByteArray chunk = stream.mid(at, 1 + (state >> 16) % 16);
        for (const radio::CivFrame& frame : reader.feed(chunk)) {
            FUZZ_CHECK(!frame.data.contains(char(0xFD)));
            frames << frame;
        }
        FUZZ_CHECK(reader.pendingTail().size() <= radio::CivFrameReader::kMaxFrame);
        const radio::ReadProgress progress = protocol->read(chunk);
        FUZZ_CHECK(progress.writes.isEmpty() && !progress.ended);
        readBacks += progress.readBack ? 1 : 0;
        at += chunk.size();
    }
    FUZZ_CHECK(readBacks <= 1, QStringLiteral("one answer per tune"));
    // Nothing can be lost to the bound on unfinished frames when the whole stream is shorter.
    if (stream.size() <= radio::CivFrameReader::kMaxFrame)
        FUZZ_CHECK(radio::CivFrameReader().feed(stream) == frames);
    return 0;
}
