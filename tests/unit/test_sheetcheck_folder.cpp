// sheetcheck over folders of sheet files, read through the image library as the viewer does.
#include "image_writers.h"
#include "palette.h"
#include "sheet.h"
#include "sheet_diagnosis.h"
#include "sheetcheck.h"
#include "sheets.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "sheetcheck-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        m_path = mkdtemp(buf.data()) ? buf.data() : "";
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        FILE* f = fopen((m_path + "/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (!bytes.empty()) { // an empty file is a sheet too
            EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        }
        fclose(f);
    }

private:
    std::string m_path;
};

struct Result {
    int status;
    std::string out, err;
};

Result Check(const std::string& folder) {
    std::ostringstream out, err;
    int status = sheetcheck::CheckFolder(folder, out, err);
    return {status, out.str(), err.str()};
}

std::vector<uint8_t> SampleBmp(artgen::SheetKind kind, int file,
                               void (*edit)(artgen::Canvas&) = nullptr) {
    artgen::Canvas c = artgen::MakeSheet(kind, file);
    if (edit)
        edit(c);
    return artgen::EncodeBmp(c, artgen::SheetPalette());
}

} // namespace

// The bundled sample art, JPEG sheets included, must come out clean.
TEST(SheetCheckFolder, SampleArtIsClean) {
    TempFolder dir;
    ASSERT_EQ(artgen::WriteAllSheets(dir.Path()), "");
    Result r = Check(dir.Path());
    EXPECT_EQ(r.status, sheetcheck::kClean);
    EXPECT_EQ(r.out, "");
}

// What the viewer shows on first start: the sheets under c:\Kyr\art of the data folder, the
// JPEG ones keyed on the colour they were drawn on.
TEST(SheetCheckFolder, SampleArtLoadsFromTheViewersDefaultFolder) {
    TempFolder data;
    const std::string art = data.Path() + "/drive_c/Kyr/art";
    fs::create_directories(art);
    ASSERT_EQ(artgen::WriteAllSheets(art), "");
    const std::string previous = AfxGetDataFolder();
    AfxSetDataFolder(data.Path());
    CDIB bmp, jpeg, effects;
    EXPECT_TRUE(bmp.Load("c:\\Kyr\\art\\attack00.bmp", nullptr));
    EXPECT_TRUE(jpeg.Load("c:\\Kyr\\art\\attack03.bmp", nullptr));
    EXPECT_TRUE(effects.Load("c:\\Kyr\\art\\effects02.bmp", nullptr));
    AfxSetDataFolder(previous);
    EXPECT_EQ(bmp.GetWidth(), 384);
    EXPECT_EQ(bmp.GetHeight(), 480);
    EXPECT_EQ(SheetKeyIndex(bmp), artgen::kKeyIndex);
    EXPECT_EQ(jpeg.GetWidth(), 384);
    EXPECT_EQ(jpeg.GetHeight(), 480);
    EXPECT_EQ(SheetKeyIndex(jpeg), artgen::kJpegKeyIndex);
    EXPECT_EQ(effects.GetWidth(), 256);
    EXPECT_EQ(effects.GetHeight(), 160);
    EXPECT_EQ(SheetKeyIndex(effects), artgen::kJpegKeyIndex);
}

TEST(SheetCheckFolder, FindingsNameFileRowCellAndPixel) {
    TempFolder dir;
    dir.Write("attack00.bmp", SampleBmp(artgen::SheetKind::Attack, 0));
    dir.Write("attack01.bmp", SampleBmp(artgen::SheetKind::Attack, 1, [](artgen::Canvas& c) {
                  c.Set(2 * 48 + 3, 4 * 48 + 5, artgen::Grey(0)); // (12, 12, 12) by black
              }));
    Result r = Check(dir.Path());
    EXPECT_EQ(r.status, sheetcheck::kFindings);
    EXPECT_EQ(r.out, "attack01.bmp row 14 (offset 4) cell 2 pixel (99, 197): colour (12, 12, 12) "
                     "(index 226) is close to the key colour (0, 0, 0) (index 0)\n");
}

// Only files that are there but do not load are findings; missing sheets are not, and a name
// in other case is found as the viewer finds it.
TEST(SheetCheckFolder, UnreadableFilesAreFoundMissingOnesAreNot) {
    TempFolder dir;
    dir.Write("ATTACK07.BMP", SampleBmp(artgen::SheetKind::Attack, 7));
    dir.Write("effects04.bmp", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    std::vector<uint8_t> cut = SampleBmp(artgen::SheetKind::Effects, 5);
    cut.resize(30); // ends inside the info header
    dir.Write("effects05.bmp", cut);
    Result r = Check(dir.Path());
    EXPECT_EQ(r.status, sheetcheck::kFindings);
    EXPECT_EQ(r.out, "effects04.bmp: does not load: it is neither a BMP nor a JPEG. Fix: convert " +
                         dir.Path() + "/effects04.bmp BMP3:" + dir.Path() +
                         "/effects04.bmp (if ImageMagick knows its format), or save it again as "
                         "BMP\neffects05.bmp: does not load: the file ends after 30 bytes, inside "
                         "its BMP header: it was cut short while being saved or copied. Fix: save "
                         "or copy it again\n");
}

TEST(SheetCheckFolder, SmallPictureIsOneFinding) {
    TempFolder dir;
    artgen::Canvas small(256, 150, artgen::kKeyIndex);
    artgen::Canvas full = artgen::MakeSheet(artgen::SheetKind::Effects, 9);
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            small.Set(x, y, full.At(x, y));
    dir.Write("effects09.bmp", artgen::EncodeBmp(small, artgen::SheetPalette()));
    Result r = Check(dir.Path());
    EXPECT_EQ(r.status, sheetcheck::kFindings);
    EXPECT_EQ(r.out, "effects09.bmp: picture is 256 x 150, smaller than the 256 x 160 it needs\n");
}

TEST(SheetCheckFolder, FolderErrorsAreStatusTwo) {
    TempFolder dir;
    Result empty = Check(dir.Path());
    EXPECT_EQ(empty.status, sheetcheck::kUsageError);
    EXPECT_NE(empty.err, "");
    Result missing = Check(dir.Path() + "/nowhere");
    EXPECT_EQ(missing.status, sheetcheck::kUsageError);
    EXPECT_EQ(missing.out, "");
}

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, (uint16_t)v);
    Put16(b, at + 2, (uint16_t)(v >> 16));
}

std::vector<uint8_t> Patched(std::vector<uint8_t> b, size_t at, int bytes, uint32_t v) {
    bytes == 2 ? Put16(b, at, (uint16_t)v) : Put32(b, at, v);
    return b;
}

std::vector<uint8_t> Prefix(std::vector<uint8_t> b, size_t n) {
    b.resize(n);
    return b;
}

// The start of a JFIF file whose frame header says width x height, and no more.
std::vector<uint8_t> JfifHeaderOnly(int width, int height) {
    std::vector<uint8_t> b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F',  0,
                              1,    1,    0,    0,    1, 0,  1,   0,   0,   0xFF, 0xC0,
                              0,    11,   8,    0,    0, 0,  0,   1,   1,   0x11, 0};
    b[25] = (uint8_t)(height >> 8), b[26] = (uint8_t)height;
    b[27] = (uint8_t)(width >> 8), b[28] = (uint8_t)width;
    return b;
}

// The JPEG with its JFIF segment swapped for the Exif one a camera writes.
std::vector<uint8_t> ExifOnly(const std::vector<uint8_t>& jfif) {
    const size_t app0 = 4 + (size_t)(jfif[4] << 8 | jfif[5]);
    const uint8_t exif[] = {0xFF, 0xD8, 0xFF, 0xE1, 0,  16, 'E', 'x', 'i', 'f',
                            0,    0,    'I',  'I',  42, 0,  8,   0,   0,   0};
    // Made at its full size and filled in place: growing a vector by insert draws a false
    // -Warray-bounds from GCC 12's Release build.
    std::vector<uint8_t> b(sizeof exif + (jfif.size() - app0));
    std::copy(std::begin(exif), std::end(exif), b.begin());
    std::copy(jfif.begin() + (long)app0, jfif.end(), b.begin() + (long)sizeof exif);
    return b;
}

} // namespace

// Every cause the header tells is named with its fix, one line per file, and nothing past the
// header is decoded: the two pictures over the budget are headers only.
TEST(SheetCheckFolder, EachCauseIsNamedWithItsFix) {
    TempFolder dir;
    const std::vector<uint8_t> bmp = SampleBmp(artgen::SheetKind::Attack, 0);
    ASSERT_TRUE(artgen::IsJpegSheet(artgen::SheetKind::Effects, 2));
    const std::vector<uint8_t> jpeg = artgen::EncodeSheet(artgen::SheetKind::Effects, 2);
    ASSERT_EQ(bmp.size(), 54u + 1024u + 384u * 480u);
    const std::string at = dir.Path() + "/";
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        std::string cause, fix;
    };
    auto Rewrite = [&](const std::string& name) {
        return "convert " + at + name + " BMP3:" + at + name;
    };
    const Case cases[] = {
        {"attack00.bmp", Patched(bmp, 14, 4, 124),
         "it has the 124-byte (V5) BMP header that ImageMagick and most editors write; the "
         "viewer reads only the classic 40-byte header",
         Rewrite("attack00.bmp") + " (writes the 40-byte header)"},
        {"attack01.bmp", Patched(bmp, 14, 4, 108), "it has the 108-byte (V4) BMP header",
         Rewrite("attack01.bmp") + " (writes the 40-byte header)"},
        {"attack02.bmp", Patched(bmp, 14, 4, 12), "it has the old 12-byte (core) BMP header",
         Rewrite("attack02.bmp") + " (writes the 40-byte header)"},
        {"attack03.bmp", Patched(bmp, 22, 4, (uint32_t)-480),
         "its rows are stored top row first (a top-down BMP)",
         Rewrite("attack03.bmp") + " (writes the rows bottom-up)"},
        {"attack04.bmp", Patched(bmp, 30, 4, 5),
         "it is a BMP with a PNG picture packed inside, which the viewer does not unpack",
         "tail -c +1079 " + at + "attack04.bmp | convert - BMP3:" + at + "attack04.bmp"},
        {"attack05.bmp", Patched(bmp, 30, 4, 4), "it is a BMP with a JPEG picture packed inside",
         "tail -c +1079 " + at + "attack05.bmp | convert - BMP3:" + at + "attack05.bmp"},
        {"attack06.bmp", Patched(bmp, 28, 2, 7),
         "its header says 7 bits a pixel, a depth the viewer does not know",
         "save it again from your editor as an 8-bit BMP"},
        {"attack07.bmp", Prefix(bmp, 40), "the file ends after 40 bytes, inside its BMP header",
         "save or copy it again"},
        {"attack08.bmp", Prefix(bmp, 54 + 600),
         "the file ends after 654 bytes, inside its colour table", "save or copy it again"},
        {"attack09.bmp",
         {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D'},
         "it is a PNG picture, whatever its name says",
         Rewrite("attack09.bmp")},
        {"attack10.bmp",
         {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0},
         "it is a GIF picture, whatever its name says",
         "convert '" + at + "attack10.bmp[0]' BMP3:" + at + "attack10.bmp"},
        {"attack11.bmp", ExifOnly(jpeg),
         "it is a JPEG without the JFIF mark the viewer looks for within its first 96 bytes (a "
         "camera's or phone's Exif JPEG)",
         "jpegtran -copy none -outfile " + at + "attack11.bmp " + at +
             "attack11.bmp (adds the mark without re-encoding; drops the camera data)"},
        // 12000 x 12000 x 8 bits: the bitmap alone would fit, with the pixels its header
        // announces (no biSizeImage to cap them) it does not.
        {"attack12.bmp",
         Patched(Patched(Patched(Patched(Prefix(bmp, 1078), 18, 4, 12000), 22, 4, 12000), 2, 4,
                         1078 + 12000u * 12000u),
                 34, 4, 0),
         "the picture is 12000 x 12000 pixels and needs 275 MiB to open, more than the 256 MiB "
         "the viewer allows a picture",
         "convert " + at + "attack12.bmp -crop 384x480+0+0 +repage BMP3:" + at +
             "attack12.bmp (keeps the sheet's top-left 384x480)"},
        {"attack13.bmp", JfifHeaderOnly(20000, 15000),
         "the picture is 20000 x 15000 pixels and needs 287 MiB to open",
         "jpegtran -crop 384x480+0+0 -outfile " + at + "attack13.bmp " + at +
             "attack13.bmp (keeps the sheet's top-left 384x480)"},
        {"attack14.bmp", {}, "the file is empty (0 bytes)", "save the sheet again"},
        // A folder, and a pipe that would stall a reader until something writes to it.
        {"attack16.bmp",
         {},
         "it is not a file but a folder, device or pipe",
         "put the sheet file itself in its place"},
        {"attack17.bmp",
         {},
         "it is not a file but a folder, device or pipe",
         "put the sheet file itself in its place"},
        {"attack18.bmp", JfifHeaderOnly(8000, 8000),
         "its header announces a picture of 8000 x 8000 pixels, far more than its 33 bytes can "
         "hold",
         "save the sheet again from your editor"},
        {"attack19.bmp",
         {0xFF, 0xD8, 0xFF, 0xEE, 0,    14,   'A', 'd', 'o', 'b', 'e',  0, 100,  0,
          0,    0,    0,    2,    0xFF, 0xC0, 0,   20,  8,   1,   0xE0, 1, 0x80, 4},
         "without the JFIF mark the viewer looks for within its first 96 bytes (an Adobe CMYK or "
         "YCCK JPEG",
         "convert " + at + "attack19.bmp -colorspace sRGB JPEG:" + at +
             "attack19.bmp (re-encodes it as an RGB JPEG, which has the mark)"},
        {"effects01.bmp", Prefix(jpeg, 40),
         "the file ends after 40 bytes, before the JPEG says how big its picture is",
         "save or copy it again"},
    };
    for (const Case& c : cases)
        if (c.name != "attack16.bmp" && c.name != "attack17.bmp")
            dir.Write(c.name, c.bytes);
    fs::create_directory(at + "attack16.bmp");
    ASSERT_EQ(mkfifo((at + "attack17.bmp").c_str(), 0600), 0);
    dir.Write("attack15.bmp", SampleBmp(artgen::SheetKind::Attack, 15));
    dir.Write("effects02.bmp", jpeg);

    Result r = Check(dir.Path());
    EXPECT_EQ(r.status, sheetcheck::kFindings);
    std::istringstream lines(r.out);
    std::string line;
    for (const Case& c : cases) {
        ASSERT_TRUE(std::getline(lines, line)) << "no line for " << c.name;
        SCOPED_TRACE(line);
        EXPECT_EQ(line.rfind(c.name + ": does not load: ", 0), 0u);
        EXPECT_NE(line.find(c.cause), std::string::npos);
        const std::string tail = ". Fix: " + c.fix;
        EXPECT_TRUE(line.size() >= tail.size() &&
                    line.compare(line.size() - tail.size(), tail.size(), tail) == 0);
    }
    EXPECT_FALSE(std::getline(lines, line)) << "the good sheets have a finding: " << line;
}

// The budget counts the bitmap and the file's pixels, and a picture that fills it exactly
// still opens.
TEST(SheetCheckFolder, DecodingBudgetBoundary) {
    EXPECT_EQ(sheetdiag::DecodingCost(384, 480, 384 * 480), 2u * 384 * 480);
    EXPECT_EQ(sheetdiag::DecodingCost(1u << 31, 1u << 31, 1), 1ull << 62 | 1);
    EXPECT_EQ(sheetdiag::DecodingCost(1ull << 40, 1ull << 40, 0), UINT64_MAX);
    EXPECT_EQ(sheetdiag::DecodingCost(1ull << 31, 1ull << 31, UINT64_MAX), UINT64_MAX);
    auto Diagnosis = [](int w, int h) {
        std::vector<uint8_t> head = JfifHeaderOnly(w, h);
        return sheetdiag::Diagnose(head, 1 << 20, "a.jpg", 384, 480);
    };
    EXPECT_FALSE(Diagnosis(16384, 16384).has_value()); // exactly 256 MiB
    ASSERT_TRUE(Diagnosis(16384, 16385).has_value());
    EXPECT_NE(Diagnosis(16384, 16385)->cause.find("16384 x 16385"), std::string::npos);
    EXPECT_EQ(sheetdiag::ShortForm(*Diagnosis(16384, 16385)), "does not load: too big to open");
}
