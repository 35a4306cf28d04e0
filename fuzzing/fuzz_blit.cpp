// Keyed copies between two small bitmaps with arbitrary sizes, rectangles, positions, keys
// and modes: no read or write may leave either bitmap.
#include "dib.h"
#include "fuzz_input.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CDIB src, dst;
    for (CDIB* dib : {&src, &dst}) {
        // Each value is drawn in its own statement: argument order is not fixed, and a saved
        // input must mean the same case to every compiler that replays it.
        const int w = 1 + in.Small(40), h = 1 + in.Small(40), fill = in.Int();
        if (!dib->Create(w, h, fill, nullptr))
            return 0;
    }
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
