// Cases the fuzz targets found, pinned down as behaviour.
#include "dib_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void MakeNumbered(CDIB& dib, int w, int h) {
    MakeNumbered(dib, w, h, 16);
}

std::vector<BYTE> Bytes(const CDIB& dib) {
    return std::vector<BYTE>(dib.m_pBits, dib.m_pBits + (size_t)dib.GetStride() * dib.GetHeight());
}

} // namespace

// An opaque copy of a bitmap onto itself reads every source pixel before any is overwritten,
// whichever way the rectangles overlap: the result is that of a copy from a duplicate.
TEST(BlitKeyedOntoItself, OpaqueOverlappingCopiesMatchACopyFromADuplicate) {
    struct Move {
        int x, y;
    };
    const RECT rect{1, 1, 6, 5};
    for (Move m : {Move{2, 2}, Move{0, 0}, Move{3, 1}, Move{1, 3}, Move{0, 2}, Move{2, 0}}) {
        SCOPED_TRACE(testing::Message() << "to " << m.x << "," << m.y);
        CDIB self, original, expected;
        MakeNumbered(self, 9, 7);
        MakeNumbered(original, 9, 7);
        MakeNumbered(expected, 9, 7);
        expected.BlitKeyed(&original, m.x, m.y, &rect, -1, BLIT_KEYED, FALSE);
        self.BlitKeyed(&self, m.x, m.y, &rect, -1, BLIT_KEYED, FALSE);
        EXPECT_EQ(Bytes(self), Bytes(expected));
    }
}

TEST(BlitKeyedOntoItself, CopyFromItselfOpaqueShiftsRowsWithoutSmearing) {
    CDIB dib;
    MakeNumbered(dib, 4, 4);
    RECT top{0, 0, 4, 3};
    dib.CopyFrom(&dib, 0, 1, &top, -1); // every row one down
    for (int y = 1; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(At(dib, x, y), 16 * (y - 1) + x + 1) << x << "," << y;
}
