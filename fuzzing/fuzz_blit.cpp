// Keyed copies between two small bitmaps with arbitrary sizes, rectangles, positions, keys
// and modes: no read or write may leave either bitmap.
#include "dib.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    int32_t Int() {
        int32_t v = 0;
        size_t n = m_size < sizeof(v) ? m_size : sizeof(v);
        if (n == 0)
            return 0;
        memcpy(&v, m_data, n);
        m_data += n;
        m_size -= n;
        return v;
    }
    int Small(int range) { return (int)((uint32_t)Int() % (uint32_t)range); }

private:
    const uint8_t* m_data;
    size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    CDIB src, dst;
    if (!src.Create(1 + in.Small(40), 1 + in.Small(40), in.Int(), nullptr))
        return 0;
    if (!dst.Create(1 + in.Small(40), 1 + in.Small(40), in.Int(), nullptr))
        return 0;
    for (int i = 0; i < src.GetStride() * src.GetHeight(); ++i)
        src.m_pBits[i] = (BYTE)(i * 7 + 3);
    for (int op = 0; op < 4; ++op) {
        RECT r{in.Int(), in.Int(), in.Int(), in.Int()};
        int x = in.Int(), y = in.Int(), key = in.Int() % 300, mode = in.Small(8) - 1;
        BOOL mirror = in.Small(2);
        bool wholeSource = in.Small(4) == 0;
        if (in.Small(2))
            dst.BlitKeyed(&src, x, y, wholeSource ? nullptr : &r, key, mode, mirror);
        else
            dst.CopyFrom(&src, x, y, wholeSource ? nullptr : &r, key);
    }
    return 0;
}
