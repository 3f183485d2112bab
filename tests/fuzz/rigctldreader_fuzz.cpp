#include "radio/rigctldreplies.h"

#include "fuzzcheck.h"

// rigctld's answers arriving in chunks cut at input-chosen places. The first byte gives the four
// questions asked (two bits each), the next two seed the cutting.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader input(data, size);
    const uint8_t questions = input.byte();
    quint32 state = input.byte() | (quint32(input.byte()) << 8);
    const QByteArray stream(input.rest(), qsizetype(input.restSize()));

    radio::RigctldReplyReader chunked, whole;
    for (int i = 0; i < 4; ++i) {
        const auto ask = radio::RigctldAsk(((questions >> (2 * i)) & 3) % 3);
        chunked.expect(ask);
        whole.expect(ask);
    }
    QList<radio::RigctldAnswer> answers;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const QByteArray chunk = stream.mid(at, 1 + (state >> 16) % 24);
        answers += chunked.feed(chunk);
        FUZZ_CHECK(chunked.pendingTail().size() <= radio::RigctldReplyReader::kMaxLine);
        FUZZ_CHECK(answers.size() + chunked.outstanding() == 4);
        at += chunk.size();
    }
    FUZZ_CHECK(whole.feed(stream) == answers, QStringLiteral("cut as read whole"));
    return 0;
}
