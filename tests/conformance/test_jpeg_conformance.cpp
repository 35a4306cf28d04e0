// JPEGs made by cjpeg, loaded through sheetconv and compared index for index with djpeg's
// quantisation to the same 236 system-palette colours.
#include "conformance_support.h"

#include "system_palette.h"

#include <gtest/gtest.h>

using namespace conformance;

namespace {

// The 236-colour map as a 236 x 1 picture of system palette entries 10..245.
std::string WriteMap(const ScratchFolder& scratch) {
    Picture map{236, 1, {}};
    const PALETTEENTRY* e = fixtures::SystemPalette().data();
    for (int i = 10; i < 246; ++i)
        map.pixels.push_back(Rgb{e[i].peRed, e[i].peGreen, e[i].peBlue});
    std::string path = scratch / "map.ppm";
    WritePpm(path, map);
    return path;
}

void ExpectLoadsLikeDjpeg(const ScratchFolder& scratch, const std::string& cjpegOptions,
                          const std::string& djpegOptions) {
    SCOPED_TRACE("cjpeg " + cjpegOptions);
    std::string src = scratch / "source.ppm";
    std::string jpeg = scratch / "sheet.jpg";
    std::string ours = scratch / "ours.bmp";
    std::string theirs = scratch / "djpeg.bmp";
    WritePpm(src, SpriteSheetPicture(117, 83));
    ASSERT_EQ(Run("cjpeg " + cjpegOptions + " -outfile " + Quote(jpeg) + " " + Quote(src)), 0);
    ASSERT_EQ(Run("djpeg " + djpegOptions + " -map " + Quote(WriteMap(scratch)) +
                  " -bmp -outfile " + Quote(theirs) + " " + Quote(jpeg)),
              0);
    SheetconvResult result = RunSheetconv({jpeg, ours}, scratch);
    ASSERT_EQ(result.status, 0) << result.errorText;

    IndexedPicture o = ReadIndexedBmp(ours), t = ReadIndexedBmp(theirs);
    ASSERT_EQ(o.width, 117);
    ASSERT_EQ(o.height, 83);
    ASSERT_EQ(t.width, o.width);
    ASSERT_EQ(t.height, o.height);
    int mismatches = 0;
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x)
            if (o.At(x, y) - 10 != t.At(x, y) && ++mismatches <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << (int)o.At(x, y)
                              << ", djpeg " << (int)t.At(x, y);
    EXPECT_EQ(mismatches, 0);
    // Our table is the system palette, so each index shows djpeg's map colour.
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(memcmp(&o.table[i], &SystemTable()[i], 3), 0) << "entry " << i;
}

} // namespace

TEST(JpegConformance, BaselineAndOptimised) {
    ScratchFolder scratch;
    ExpectLoadsLikeDjpeg(scratch, "-quality 85", "");
    ExpectLoadsLikeDjpeg(scratch, "-quality 60 -optimize", "");
}

TEST(JpegConformance, ProgressiveAndRestartMarkers) {
    ScratchFolder scratch;
    ExpectLoadsLikeDjpeg(scratch, "-progressive", "");
    ExpectLoadsLikeDjpeg(scratch, "-restart 1", "");
    ExpectLoadsLikeDjpeg(scratch, "-restart 5B -quality 95", "");
}

TEST(JpegConformance, ArithmeticCoding) {
    ScratchFolder scratch;
    ExpectLoadsLikeDjpeg(scratch, "-arithmetic", "");
}

TEST(JpegConformance, GreyscaleMapsThroughTheSameColours) {
    ScratchFolder scratch;
    ExpectLoadsLikeDjpeg(scratch, "-grayscale", "-rgb");
}
