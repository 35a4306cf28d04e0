#include "sheet_diagnosis.h"

#include "dib.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace sheetdiag {

namespace {

constexpr uint64_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

std::string Format(const char* format, auto... args) {
    char text[400];
    snprintf(text, sizeof text, format, args...);
    return text;
}

uint64_t SaturatingMul(uint64_t a, uint64_t b) {
    uint64_t product;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// The little-endian fields of a byte block, read only where the block holds them.
class Bytes {
public:
    explicit Bytes(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    size_t Size() const { return m_bytes.size(); }
    bool Has(size_t offset, size_t count) const {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }
    uint8_t U8(size_t at) const { return m_bytes[at]; }
    uint16_t U16(size_t at) const { return (uint16_t)(m_bytes[at] | m_bytes[at + 1] << 8); }
    uint16_t U16BigEndian(size_t at) const {
        return (uint16_t)(m_bytes[at] << 8 | m_bytes[at + 1]);
    }
    uint32_t U32(size_t at) const { return (uint32_t)U16(at) | (uint32_t)U16(at + 2) << 16; }
    int32_t I32(size_t at) const { return (int32_t)U32(at); }
    bool Matches(size_t at, const char* text, size_t count) const {
        return Has(at, count) && memcmp(m_bytes.data() + at, text, count) == 0;
    }
    bool StartsWith(const char* text, size_t count) const { return Matches(0, text, count); }

private:
    const std::vector<uint8_t>& m_bytes;
};

// What a sheet's diagnosis needs besides its bytes.
struct Subject {
    uint64_t fileSize;
    const std::string& name;
    int sheetWidth, sheetHeight;
};

// The file as a shell word: bare when it holds only plain characters, quoted otherwise.
std::string Arg(const Subject& s, const std::string& prefix = "", const std::string& suffix = "") {
    const std::string word = prefix + s.name + suffix;
    if (word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789_+-.,/:@%=") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Diagnosis CutShort(const Subject& s, const char* where) {
    return {Format("the file ends after %llu bytes, %s: it was cut short while being saved or "
                   "copied",
                   (unsigned long long)s.fileSize, where),
            "save or copy it again", "cut short"};
}

std::string Rewrite40(const Subject& s) {
    return "convert " + Arg(s) + " " + Arg(s, "BMP3:");
}

uint64_t MiBRoundedUp(uint64_t bytes) {
    return bytes / (1 << 20) + (bytes % (1 << 20) != 0);
}

std::string BriefHeaderKind(uint32_t size) {
    switch (size) {
    case 12:
        return "core BMP header";
    case 108:
        return "V4 BMP header";
    case 124:
        return "V5 BMP header";
    default:
        return "unusual BMP header";
    }
}

// The fix crops to the sheet's own size from the top left, which is where the viewer reads.
std::optional<Diagnosis> OverBudget(const Subject& s, uint64_t width, uint64_t height,
                                    uint64_t cost, bool jpeg) {
    if (cost <= kDecodingBudget)
        return std::nullopt;
    const std::string size = Format("%dx%d", s.sheetWidth, s.sheetHeight);
    const std::string keeps = " (keeps the sheet's top-left " + size + ")";
    return Diagnosis{
        Format("the picture is %llu x %llu pixels and needs %llu MiB to open, more than the "
               "%llu MiB the viewer allows a picture",
               (unsigned long long)width, (unsigned long long)height,
               (unsigned long long)MiBRoundedUp(cost), (unsigned long long)(kDecodingBudget >> 20)),
        jpeg ? "jpegtran -crop " + size + "+0+0 -outfile " + Arg(s) + " " + Arg(s) + keeps
             : "convert " + Arg(s) + " -crop " + size + "+0+0 +repage " + Arg(s, "BMP3:") + keeps,
        "too big to open"};
}

// A header that announces far more pixels than the file's bytes can describe: a file cut
// short, damaged, or made to stall whatever opens it. Only the sheet's maker can help.
Diagnosis PixelsPastBytes(const Subject& s, uint64_t width, uint64_t height) {
    return Diagnosis{Format("its header announces a picture of %llu x %llu pixels, far more than "
                            "its %llu bytes can hold (the viewer allows %llu pixels a byte past "
                            "the first %llu million): it is damaged or cut short",
                            (unsigned long long)width, (unsigned long long)height,
                            (unsigned long long)s.fileSize, kPixelsPerFileByte,
                            kFreePixels / 1000000),
                     "save the sheet again from your editor", "damaged: too big for its bytes"};
}

// ---- BMP --------------------------------------------------------------------------------

std::string HeaderKind(uint32_t size) {
    switch (size) {
    case 12:
        return "the old 12-byte (core) BMP header";
    case 108:
        return "the 108-byte (V4) BMP header";
    case 124:
        return "the 124-byte (V5) BMP header that ImageMagick and most editors write";
    default:
        return Format("an unusual %u-byte BMP header", size);
    }
}

const char* CompressionName(uint32_t compression) {
    switch (compression) {
    case BI_RGB:
        return "no";
    case BI_RLE8:
        return "RLE8";
    case BI_RLE4:
        return "RLE4";
    default:
        return "bit-field";
    }
}

// The two headers as the reader takes them; bytes the head lacks read as zero.
void ReadBmpHeaders(const Bytes& b, BITMAPFILEHEADER* pFile, BITMAPINFOHEADER* pInfo) {
    uint8_t raw[kFileHeaderBytes + kInfoHeaderBytes] = {};
    for (size_t i = 0; i < sizeof raw && b.Has(i, 1); ++i)
        raw[i] = b.U8(i);
    memcpy(pFile, raw, sizeof *pFile);
    memcpy(pInfo, raw + kFileHeaderBytes, sizeof *pInfo);
}

// The words for a fault the info header alone tells; nothing for the other faults.
std::optional<Diagnosis> DescribeLayoutFault(BmpFault fault, const BITMAPFILEHEADER& bf,
                                             const BITMAPINFOHEADER& bi, const Subject& s) {
    switch (fault) {
    case BmpFault::HeaderSize:
        return Diagnosis{"it has " + HeaderKind(bi.biSize) +
                             "; the viewer reads only the classic 40-byte header",
                         Rewrite40(s) + " (writes the 40-byte header)", BriefHeaderKind(bi.biSize)};
    case BmpFault::Planes:
        return Diagnosis{Format("its header says it has %u colour planes; the viewer reads "
                                "only pictures of 1",
                                bi.biPlanes),
                         Rewrite40(s), "BMP of several planes"};
    case BmpFault::TopDown:
        return Diagnosis{"its rows are stored top row first (a top-down BMP); the viewer reads "
                         "only bottom-up BMPs",
                         Rewrite40(s) + " (writes the rows bottom-up)", "top-down BMP"};
    case BmpFault::NoPicture:
        return Diagnosis{Format("its header says the picture is %d x %d pixels: it holds no "
                                "picture",
                                bi.biWidth, bi.biHeight),
                         "save the sheet again from your editor", "BMP without a picture"};
    case BmpFault::PackedPicture:
        return Diagnosis{Format("it is a BMP with a %s picture packed inside, which the viewer "
                                "does not unpack",
                                bi.biCompression == BI_PNG ? "PNG" : "JPEG"),
                         Format("tail -c +%llu ", (unsigned long long)bf.bfOffBits + 1) + Arg(s) +
                             " | convert - " + Arg(s, "BMP3:"),
                         bi.biCompression == BI_PNG ? "PNG inside a BMP" : "JPEG inside a BMP"};
    case BmpFault::UnknownCompression:
        return Diagnosis{Format("it uses BMP compression %u, which the viewer does not convert "
                                "(it reads uncompressed, RLE and bit-field BMPs)",
                                bi.biCompression),
                         "save it again from your editor as an uncompressed BMP",
                         "unknown BMP compression"};
    case BmpFault::UnknownDepth:
        return Diagnosis{Format("its header says %u bits a pixel, a depth the viewer does not "
                                "know (it reads 1, 4, 8, 16, 24 and 32)",
                                bi.biBitCount),
                         "save it again from your editor as an 8-bit BMP", "unknown BMP depth"};
    case BmpFault::DepthMismatch:
        return Diagnosis{Format("its header pairs %s compression with %u bits a pixel, which "
                                "do not go together",
                                CompressionName(bi.biCompression), bi.biBitCount),
                         "save it again from your editor as an 8-bit BMP",
                         "BMP compression and depth do not match"};
    default:
        return std::nullopt;
    }
}

// Bytes the reader takes after the 40-byte header: the colour table, or the bit-field masks
// and the table behind them, the table capped at 256 entries.
uint64_t TableBytes(const Bytes& b) {
    BITMAPINFOHEADER info{};
    info.biBitCount = b.U16(28);
    info.biCompression = b.U32(30);
    info.biClrUsed = b.U32(46);
    uint64_t n = 4 * (uint64_t)GetNumColors(&info), masks = 0;
    if (n > 12 && info.biCompression == BI_BITFIELDS) {
        masks = 12;
        n -= 12;
    }
    return masks + std::min<uint64_t>(n, 256 * 4);
}

std::optional<Diagnosis> DiagnoseBmp(const Bytes& b, const Subject& s) {
    // A file cut inside a header of any kind is told as cut: rewriting it cannot help.
    if (!b.Has(kFileHeaderBytes, 4) ||
        s.fileSize < kFileHeaderBytes + std::clamp<uint32_t>(b.U32(14), 12, 124))
        return CutShort(s, "inside its BMP header");
    BITMAPFILEHEADER bf;
    BITMAPINFOHEADER bi;
    ReadBmpHeaders(b, &bf, &bi);
    const BmpFault fault = BmpLoadFault(bf, bi, s.fileSize);
    if (fault == BmpFault::HeaderSize)
        return DescribeLayoutFault(fault, bf, bi, s);
    if (!b.Has(0, kFileHeaderBytes + kInfoHeaderBytes))
        return CutShort(s, "inside its BMP header");
    if (auto d = DescribeLayoutFault(fault, bf, bi, s))
        return d;
    if (s.fileSize < kFileHeaderBytes + kInfoHeaderBytes + TableBytes(b))
        return CutShort(s, "inside its colour table");
    if (fault == BmpFault::SizeWraps)
        return Diagnosis{Format("its header gives a file size (%u bytes) smaller than where the "
                                "pixels start (%u)",
                                bf.bfSize, bf.bfOffBits),
                         Rewrite40(s), "BMP file size wrong"};
    if (fault == BmpFault::OverBudget)
        return OverBudget(s, (uint64_t)bi.biWidth, (uint64_t)bi.biHeight, BmpDecodeCost(bf, bi),
                          false);
    if (fault == BmpFault::PixelsPastBytes)
        return PixelsPastBytes(s, (uint64_t)bi.biWidth, (uint64_t)bi.biHeight);
    return std::nullopt;
}

// ---- JPEG -------------------------------------------------------------------------------

struct JpegSize {
    enum { Found, EndsBefore, BeyondHead } state;
    uint16_t width = 0, height = 0;
    uint8_t components = 0;
};

bool StartOfFrame(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the segments from the start marker to the first frame header.
JpegSize FindJpegSize(const Bytes& b, uint64_t fileSize) {
    const JpegSize unknown{b.Size() >= fileSize ? JpegSize::EndsBefore : JpegSize::BeyondHead};
    size_t at = 2;
    while (b.Has(at, 2)) {
        if (b.U8(at) != 0xFF)
            return unknown;
        const uint8_t marker = b.U8(at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return unknown;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (!b.Has(at + 2, 2))
            break;
        const uint16_t length = b.U16BigEndian(at + 2);
        if (StartOfFrame(marker)) {
            if (!b.Has(at + 4, 5))
                break;
            const uint8_t components = b.Has(at + 9, 1) ? b.U8(at + 9) : 0;
            return {JpegSize::Found, b.U16BigEndian(at + 7), b.U16BigEndian(at + 5), components};
        }
        if (length < 2)
            return unknown;
        at += 2 + (size_t)length;
    }
    return unknown;
}

bool HasExif(const Bytes& b) {
    return b.Matches(2, "\xFF\xE1", 2) && b.Matches(6, "Exif", 4);
}

std::optional<Diagnosis> DiagnoseJpeg(const Bytes& b, const Subject& s) {
    if (!b.StartsWith("\xFF\xD8", 2))
        return std::nullopt;
    const JpegSize size = FindJpegSize(b, s.fileSize);
    if (size.state == JpegSize::EndsBefore)
        return CutShort(s, "before the JPEG says how big its picture is");
    if (size.state == JpegSize::BeyondHead)
        return std::nullopt;
    if (auto d =
            OverBudget(s, size.width, size.height, DecodingCost(size.width, size.height, 0), true))
        return d;
    if (AnnouncesMorePixelsThanBytes(size.width, size.height, s.fileSize))
        return PixelsPastBytes(s, size.width, size.height);
    return std::nullopt;
}

// Adobe's four-component JPEGs (CMYK or YCCK) say so in their frame header or in the Adobe
// segment before it.
bool IsAdobeFourComponent(const Bytes& b, uint64_t fileSize) {
    for (size_t at = 2; b.Has(at, 11) && b.U8(at) == 0xFF && b.U8(at + 1) != 0xDA;
         at += 2 + (size_t)b.U16BigEndian(at + 2)) {
        if (b.U8(at + 1) == 0xEE && b.Matches(at + 4, "Adobe", 5))
            return true;
        if (b.U16BigEndian(at + 2) < 2)
            break;
    }
    const JpegSize size = FindJpegSize(b, fileSize);
    return size.state == JpegSize::Found && size.components == 4;
}

// The mark is looked for where a JFIF file has it, at the start: a match must begin within the
// first 96 bytes. jpegtran writes the mark for a colour (YCbCr) or grey JPEG without
// re-encoding it, but not for a four-component one, which the viewer would show in wrong
// colours even with the mark: that one is converted to an RGB JPEG, which gets it.
std::optional<Diagnosis> DiagnoseNotJfifJpeg(const Bytes& b, const Subject& s) {
    const std::string missing = "it is a JPEG without the JFIF mark the viewer looks for within "
                                "its first 96 bytes";
    if (IsAdobeFourComponent(b, s.fileSize))
        return Diagnosis{missing + " (an Adobe CMYK or YCCK JPEG, whose colours the viewer "
                                   "shows only once they are RGB)",
                         "convert " + Arg(s) + " -colorspace sRGB " + Arg(s, "JPEG:") +
                             " (re-encodes it as an RGB JPEG, which has the mark)",
                         "CMYK JPEG without the JFIF mark"};
    return Diagnosis{missing + (HasExif(b) ? " (a camera's or phone's Exif JPEG)" : ""),
                     "jpegtran -copy none -outfile " + Arg(s) + " " + Arg(s) +
                         " (adds the mark without re-encoding; drops the camera data)",
                     "JPEG without the JFIF mark"};
}

// ---- Other content ----------------------------------------------------------------------

std::optional<Diagnosis> DiagnoseOther(const Bytes& b, const Subject& s) {
    if (b.StartsWith("BM", 2))
        return CutShort(s, "inside its BMP header");
    if (b.StartsWith("\xFF\xD8\xFF", 3))
        return DiagnoseNotJfifJpeg(b, s);
    if (b.StartsWith("\x89PNG\r\n\x1A\n", 8))
        return Diagnosis{"it is a PNG picture, whatever its name says; the viewer reads BMP and "
                         "JPEG only",
                         Rewrite40(s), "a PNG file"};
    if (b.StartsWith("GIF87a", 6) || b.StartsWith("GIF89a", 6))
        return Diagnosis{"it is a GIF picture, whatever its name says; the viewer reads BMP and "
                         "JPEG only",
                         "convert " + Arg(s, "", "[0]") + " " + Arg(s, "BMP3:"), "a GIF file"};
    return Diagnosis{"it is neither a BMP nor a JPEG",
                     Rewrite40(s) + " (if ImageMagick knows its format), or save it again as BMP",
                     "not a BMP or JPEG"};
}

} // namespace

uint64_t DecodingCost(uint64_t width, uint64_t height, uint64_t filePixelBytes) {
    const uint64_t bitmap = SaturatingMul(width, height);
    return bitmap > UINT64_MAX - filePixelBytes ? UINT64_MAX : bitmap + filePixelBytes;
}

std::optional<Diagnosis> Diagnose(const std::vector<uint8_t>& head, uint64_t fileSize,
                                  const std::string& filePath, int sheetWidth, int sheetHeight) {
    const Subject s{fileSize, filePath, sheetWidth, sheetHeight};
    if (fileSize == 0)
        return Diagnosis{"the file is empty (0 bytes), as a save that did not finish leaves it",
                         "save the sheet again", "empty file"};
    const Bytes b(head);
    const size_t sniffed = std::min<size_t>(head.size(), 100);
    switch (DetectImageFormat(head.data(), (DWORD)sniffed)) {
    case IMAGE_FORMAT_BMP:
        return DiagnoseBmp(b, s);
    case IMAGE_FORMAT_JPEG:
        return DiagnoseJpeg(b, s);
    default:
        return DiagnoseOther(b, s);
    }
}

std::optional<Diagnosis> DiagnoseFile(const std::string& hostPath, int sheetWidth,
                                      int sheetHeight) {
    // Opening a pipe would wait for a writer, and a folder has no bytes to tell anything by.
    std::error_code ec;
    if (!std::filesystem::exists(hostPath, ec))
        return Diagnosis{"there is no file of that name in the folder, in any case of its letters",
                         "check the art folder, or save the sheet there under that name",
                         "no such file"};
    if (!std::filesystem::is_regular_file(hostPath, ec))
        return Diagnosis{"it is not a file but a folder, device or pipe",
                         "put the sheet file itself in its place", "not a file"};
    std::ifstream in(hostPath, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (!in || size < 0)
        return Diagnosis{"the file cannot be read", "check that it is a file you may read",
                         "unreadable"};
    std::vector<uint8_t> head((size_t)std::min<std::streamoff>(size, kHeadBytes));
    in.read(reinterpret_cast<char*>(head.data()), (std::streamsize)head.size());
    head.resize((size_t)in.gcount());
    return Diagnose(head, (uint64_t)size, hostPath, sheetWidth, sheetHeight);
}

} // namespace sheetdiag

namespace sheetdiag {

namespace {

// Loads as the viewer does; a file exception that escapes Load counts as a failure.
bool LoadLikeTheViewer(CDIB& sheet, LPCTSTR lpszPath) {
    try {
        return sheet.Load(lpszPath, nullptr);
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

} // namespace

std::optional<Diagnosis> DiagnoseSheetFile(LPCTSTR lpszPath, int sheetWidth, int sheetHeight,
                                           CDIB* pSheet) {
    const std::string host = std::filesystem::path(AfxResolvePath(lpszPath)).lexically_normal();
    if (auto why = DiagnoseFile(host, sheetWidth, sheetHeight))
        return why;
    CDIB local;
    if (!LoadLikeTheViewer(pSheet ? *pSheet : local, lpszPath))
        return Diagnosis{"its picture data is damaged", "save the sheet again from your editor",
                         "damaged picture data"};
    return std::nullopt;
}

std::string LongForm(const Diagnosis& why) {
    return "does not load: " + why.cause + ". Fix: " + why.fix;
}

std::string ShortForm(const Diagnosis& why) {
    return "does not load: " + why.brief;
}

} // namespace sheetdiag
