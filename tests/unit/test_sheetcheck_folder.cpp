// sheetcheck over folders of sheet files, read through the image library as the viewer does.
#include "image_writers.h"
#include "palette.h"
#include "sheet.h"
#include "sheetcheck.h"
#include "sheets.h"

#include <gtest/gtest.h>

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
        ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
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
    EXPECT_EQ(r.out, "effects04.bmp: does not load\neffects05.bmp: does not load\n");
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
