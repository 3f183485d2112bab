#pragma once

#include <QString>

#include <cstdint>
#include <cstdio>

// An invariant that must hold for every input: on violation the fuzzer gets a crash with the
// reason printed above it, so the saved input is easy to understand.
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s\n", #condition);                            \
            fuzzcheck::describe(__VA_ARGS__);                                                      \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

namespace fuzzcheck {

inline void describe() {}

inline void describe(const QString& what) {
    std::fprintf(stderr, "  %s\n", qPrintable(what));
}

// Reads input bytes from the front; past the end it gives zeros, so every input is usable.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size) {}

    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    const char* rest() const { return reinterpret_cast<const char*>(m_data + m_pos); }
    size_t restSize() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace fuzzcheck
