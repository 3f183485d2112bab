#include "radio/readback.h"
#include "radio/rigctldreplies.h"

#include "fuzzcheck.h"

namespace {

QString shown(const QList<radio::RigctldAnswer>& answers) {
    QString text;
    for (const radio::RigctldAnswer& a : answers)
        text += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                    .arg(int(a.ask))
                    .arg(int(a.kind))
                    .arg(a.code)
                    .arg(a.hertz)
                    .arg(a.mode, a.text);
    return text;
}

} // namespace

// rigctld's answers arriving in chunks cut at input-chosen places. The first byte gives the
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
    const auto protocol = radio::makeTuneProtocol(tuning::Family::Rigctld, "00", "A");
    protocol->start(tuning::composeTune({core::ListKind::Pota, "14074", "FT8", "", "R"}));
    QList<radio::RigctldAnswer> answers;
    int writes = 0;
    bool over = false;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const QByteArray chunk = stream.mid(at, 1 + (state >> 16) % 24);
        answers += chunked.feed(chunk);
        FUZZ_CHECK(chunked.pendingTail().size() <= radio::RigctldReplyReader::kMaxLine);
        FUZZ_CHECK(answers.size() + chunked.outstanding() == 4);
        const radio::ReadProgress progress = protocol->read(chunk);
        FUZZ_CHECK(!over || (progress.writes.isEmpty() && !progress.readBack && !progress.ended),
                   QStringLiteral("nothing after the tune is over"));
        writes += int(progress.writes.size());
        over = over || progress.readBack || progress.ended;
        at += chunk.size();
    }
    FUZZ_CHECK(writes <= 3, QStringLiteral("M, f and m follow F, once each"));
    FUZZ_CHECK(shown(whole.feed(stream)) == shown(answers), shown(answers));
    return 0;
}
