// Shared by the conformance tests: a scratch folder, running the outside tools and sheetconv,
// and the picture formats passed between them.
#pragma once

#include "gdi.h"

#include <string>
#include <vector>

namespace conformance {

struct Rgb {
    BYTE r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Rows top first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

// An 8-bit BMP as read back: colour table and indices, rows top first.
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<RGBQUAD> table;
    std::vector<BYTE> indices;
    BYTE At(int x, int y) const { return indices[(size_t)y * width + x]; }
    Rgb ColorAt(int x, int y) const {
        const RGBQUAD& q = table[At(x, y)];
        return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
};

// A folder of its own under /tmp for one test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Runs a shell command line; returns its exit status (-1 when it did not exit normally).
int Run(const std::string& command);
std::string Quote(const std::string& text);

struct SheetconvResult {
    int status = -1;
    std::string errorText;
};
SheetconvResult RunSheetconv(const std::vector<std::string>& args, const ScratchFolder& scratch);

std::vector<BYTE> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes);
bool FileExists(const std::string& path);

// A picture like a sheet of sprites: flat background, round shapes, gradients, hard edges.
Picture SpriteSheetPicture(int width, int height);
void WritePpm(const std::string& path, const Picture& picture);
Picture ReadPpm(const std::string& path);

// ImageMagick's own decoding of any file it reads, as 8-bit RGB.
Picture DecodeWithImageMagick(const std::string& path);
// An uncompressed 8-bit BMP (sheetconv's output, djpeg's -bmp output).
IndexedPicture ReadIndexedBmp(const std::string& path);

// The display's system palette as a colour table.
const std::vector<RGBQUAD>& SystemTable();
Rgb NearestSystemColor(Rgb c);

} // namespace conformance
