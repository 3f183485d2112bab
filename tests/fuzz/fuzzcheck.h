#pragma once

#include <QByteArray>
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

namespace fuzzcheck {

// The input without a copy; it lives as long as the call.
inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Reads input bytes from the front; past the end it gives zeros, so every input is usable.
struct ByteReader {
    QByteArray input;
    qsizetype at = 0;
    uint8_t byte() { return at < input.size() ? uint8_t(input[at++]) : 0; }
    QByteArray rest() const { return input.mid(at); }
};

} // namespace fuzzcheck
