#include "conformance_support.h"

#include "system_palette.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>

namespace conformance {

ScratchFolder::ScratchFolder() {
    char templ[] = "/tmp/kyr-conformance-XXXXXX";
    const char* made = mkdtemp(templ);
    if (!made)
        throw std::runtime_error("cannot make a scratch folder");
    m_path = made;
}

ScratchFolder::~ScratchFolder() {
    Run("rm -rf " + Quote(m_path));
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int Run(const std::string& command) {
    int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SheetconvResult RunSheetconv(const std::vector<std::string>& args, const ScratchFolder& scratch) {
    std::string command = Quote(KYR_SHEETCONV);
    for (const std::string& arg : args) {
        command += ' ';
        command += Quote(arg);
    }
    std::string errPath = scratch / "sheetconv.err";
    SheetconvResult result;
    command += " 2>";
    command += Quote(errPath);
    result.status = Run(command);
    std::vector<BYTE> err = ReadBytes(errPath);
    result.errorText.assign(err.begin(), err.end());
    return result;
}

std::vector<BYTE> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

Picture SpriteSheetPicture(int width, int height) {
    Picture p{width, height, std::vector<Rgb>((size_t)width * height)};
    const int cell = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int cx = x % cell - cell / 2, cy = y % cell - cell / 2;
            int r2 = cx * cx + cy * cy;
            int frame = x / cell + y / cell;
            Rgb c{255, 0, 255}; // key colour background
            if (r2 < 90)
                c = Rgb{(BYTE)(160 + 3 * cy), (BYTE)(frame * 37 % 256),
                        (BYTE)(x * 255 / (width - 1))};
            if (r2 < 12)
                c = Rgb{250, 240, (BYTE)(frame * 20 % 256)};
            if (x % cell == 0 && y % 2 == 0)
                c = Rgb{0, 0, 0};
            p.pixels[(size_t)y * width + x] = c;
        }
    }
    return p;
}

void WritePpm(const std::string& path, const Picture& picture) {
    std::string header =
        "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    std::vector<BYTE> bytes(header.begin(), header.end());
    for (const Rgb& c : picture.pixels)
        bytes.insert(bytes.end(), {c.r, c.g, c.b});
    WriteBytes(path, bytes);
}

// Reads a binary PPM with maxval 255, as ImageMagick writes it.
Picture ReadPpm(const std::string& path) {
    std::vector<BYTE> bytes = ReadBytes(path);
    Picture p;
    size_t at = 0;
    auto token = [&]() {
        while (at < bytes.size() && (isspace(bytes[at]) || bytes[at] == '#')) {
            if (bytes[at] == '#')
                while (at < bytes.size() && bytes[at] != '\n')
                    ++at;
            else
                ++at;
        }
        std::string t;
        while (at < bytes.size() && !isspace(bytes[at]))
            t += (char)bytes[at++];
        return t;
    };
    if (token() != "P6")
        return p;
    p.width = std::stoi(token());
    p.height = std::stoi(token());
    if (token() != "255")
        return {};
    ++at; // the one whitespace byte before the samples
    size_t n = (size_t)p.width * p.height;
    if (bytes.size() < at + 3 * n)
        return {};
    p.pixels.resize(n);
    for (size_t i = 0; i < n; ++i)
        p.pixels[i] = Rgb{bytes[at + 3 * i], bytes[at + 3 * i + 1], bytes[at + 3 * i + 2]};
    return p;
}

Picture DecodeWithImageMagick(const std::string& path) {
    std::string out = path + ".im.ppm";
    if (Run("convert " + Quote(path) + " -depth 8 " + Quote("ppm:" + out)) != 0)
        return {};
    return ReadPpm(out);
}

static DWORD Le32(const std::vector<BYTE>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (DWORD)b[at + 3] << 24;
}

IndexedPicture ReadIndexedBmp(const std::string& path) {
    std::vector<BYTE> b = ReadBytes(path);
    IndexedPicture p;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return p;
    DWORD offBits = Le32(b, 10), headerSize = Le32(b, 14);
    LONG w = (LONG)Le32(b, 18), h = (LONG)Le32(b, 22);
    WORD bitCount = (WORD)(b[28] | b[29] << 8);
    DWORD compression = Le32(b, 30), clrUsed = Le32(b, 46);
    if (bitCount != 8 || compression != BI_RGB || w <= 0 || h == 0)
        return p;
    bool bottomUp = h > 0;
    h = bottomUp ? h : -h;
    size_t colors = clrUsed ? clrUsed : 256;
    size_t stride = ((size_t)w + 3) & ~(size_t)3;
    if (b.size() < offBits + stride * h || 14 + headerSize + 4 * colors > offBits)
        return p;
    p.width = w;
    p.height = h;
    p.table.assign(256, RGBQUAD{0, 0, 0, 0});
    memcpy(p.table.data(), &b[14 + headerSize], 4 * colors);
    p.indices.resize((size_t)w * h);
    for (int y = 0; y < h; ++y) {
        size_t row = bottomUp ? (size_t)(h - 1 - y) : (size_t)y;
        memcpy(&p.indices[(size_t)y * w], &b[offBits + row * stride], (size_t)w);
    }
    return p;
}

const std::vector<RGBQUAD>& SystemTable() {
    static const std::vector<RGBQUAD> table = [] {
        std::vector<RGBQUAD> t(256);
        const PALETTEENTRY* e = fixtures::SystemPalette().data();
        for (int i = 0; i < 256; ++i)
            t[i] = RGBQUAD{e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
        return t;
    }();
    return table;
}

Rgb NearestSystemColor(Rgb c) {
    const RGBQUAD& q =
        SystemTable()[fixtures::NearestIndex(SystemTable().data(), 256, c.r, c.g, c.b)];
    return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue};
}

} // namespace conformance
