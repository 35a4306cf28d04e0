// Splits a fuzzer's bytes into the values a target needs. Once the bytes run out every value
// is 0, so any input, however short, is a complete case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    int32_t Int() {
        int32_t v = 0;
        size_t n = m_size < sizeof(v) ? m_size : sizeof(v);
        if (n == 0)
            return 0;
        memcpy(&v, m_data, n);
        Skip(n);
        return v;
    }
    uint8_t Byte() {
        if (m_size == 0)
            return 0;
        uint8_t v = *m_data;
        Skip(1);
        return v;
    }
    // 0 .. range - 1.
    int Small(int range) { return (int)((uint32_t)Int() % (uint32_t)range); }
    // Mostly small values near the bitmaps, sometimes any 32-bit value, so that both the
    // ordinary geometry and the overflow edges are reached.
    int32_t Coordinate() {
        const uint8_t kind = Byte();
        const int32_t v = Int();
        if (kind < 192)
            return (int32_t)(v % 97) - 16;
        return v;
    }
    // Copies up to n bytes into out (which is resized to n); the missing tail is zero.
    void Bytes(std::vector<uint8_t>& out, size_t n) {
        out.assign(n, 0);
        size_t take = n < m_size ? n : m_size;
        if (take != 0)
            memcpy(out.data(), m_data, take);
        Skip(take);
    }
    const uint8_t* Rest() const { return m_data; }
    size_t Left() const { return m_size; }

private:
    void Skip(size_t n) {
        m_data += n;
        m_size -= n;
    }

    const uint8_t* m_data;
    size_t m_size;
};
