#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>

// An invariant that must hold for every input: on violation the fuzzer gets a crash with the
// reason printed above it, so the saved input is easy to understand.
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s\n  %s\n", #condition,                       \
                         qPrintable(QString(__VA_ARGS__)));                                        \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

// The libFuzzer entry point, handing the body the input (without a copy) as `input`.
#define FUZZ_TARGET(input)                                                                         \
    static void fuzzOne(const QByteArray& input);                                                  \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                      \
        fuzzOne(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));    \
        return 0;                                                                                  \
    }                                                                                              \
    static void fuzzOne(const QByteArray& input)

namespace fuzzcheck {

// Reads input bytes from the front; past the end it gives zeros, so every input is usable.
struct ByteReader {
    QByteArray input;
    qsizetype at = 0;
    uint8_t byte() { return at < input.size() ? uint8_t(input[at++]) : 0; }
    QByteArray rest() const { return input.mid(at); }
};

// A stream cut as reads might cut it, at places the seed chooses: mostly short pieces, now and
// then one longer than any reader keeps of an unfinished reply.
inline QList<QByteArray> cut(const QByteArray& stream, quint32 seed) {
    QList<QByteArray> chunks;
    for (qsizetype at = 0; at < stream.size(); at += chunks.last().size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype size =
            (seed >> 16) % 8 == 0 ? 1 + (seed >> 8) % 200 : 1 + (seed >> 20) % 12;
        chunks << stream.mid(at, size);
    }
    return chunks;
}

} // namespace fuzzcheck
