// The marker walk reads the file once through a small buffer, keeping only the frame's
// components and two running figures, so that a file of thousands of scans is refused for the
// cost of reading it rather than decoding it.
#include "jpeg_scan_walk.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMarkerPrefix = 0xFF;
constexpr int kMarkerSOI = 0xD8;
constexpr int kMarkerEOI = 0xD9;
constexpr int kMarkerSOS = 0xDA;
constexpr int kMarkerTEM = 0x01;
constexpr int kMaxFrameComponents = 255;
constexpr int kMaxSampling = 4;
constexpr unsigned long long kBlockSide = 8;

// A forward-only view of the file through a fixed buffer; a failed read counts as its end.
class MarkerReader {
public:
    explicit MarkerReader(CFile* pFile) : m_pFile(pFile) {}

    bool Byte(BYTE& b) {
        if (m_at == m_count && !Refill())
            return false;
        b = m_buffer[m_at++];
        return true;
    }

    bool Bytes(BYTE* pDest, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (!Byte(pDest[i]))
                return false;
        return true;
    }

    bool Skip(size_t n) {
        while (n > 0) {
            if (m_at == m_count && !Refill())
                return false;
            const size_t step = std::min(n, m_count - m_at);
            m_at += step;
            n -= step;
        }
        return true;
    }

    // Moves to just past the next 0xFF in the data; entropy-coded data are mostly searched
    // here, a buffer at a time.
    bool PastPrefix() {
        for (;;) {
            const void* pFound = memchr(m_buffer + m_at, kMarkerPrefix, m_count - m_at);
            if (pFound) {
                m_at = (size_t)(static_cast<const BYTE*>(pFound) - m_buffer) + 1;
                return true;
            }
            m_at = m_count;
            if (!Refill())
                return false;
        }
    }

private:
    bool Refill() {
        UINT n = 0;
        try {
            n = m_pFile->Read(m_buffer, sizeof(m_buffer));
        } catch (CException* e) {
            e->Delete();
        }
        m_at = 0;
        m_count = n;
        return n > 0;
    }

    CFile* m_pFile;
    BYTE m_buffer[8192];
    size_t m_at = 0;
    size_t m_count = 0;
};

// The next marker's code, skipping whatever comes before it: entropy-coded data with their
// stuffed zeros and restart markers, fill bytes, stray bytes. -1 at the end of the file.
int NextMarker(MarkerReader& reader) {
    for (;;) {
        if (!reader.PastPrefix())
            return -1;
        BYTE code = kMarkerPrefix;
        while (code == kMarkerPrefix)
            if (!reader.Byte(code))
                return -1;
        const bool bRestart = code >= 0xD0 && code <= 0xD7;
        if (code != 0x00 && !bRestart)
            return code;
    }
}

bool HasNoSegment(int code) {
    return code == kMarkerSOI || code == kMarkerTEM;
}

// The frame headers of the DCT processes the decoder takes in blocks of 8 x 8.
bool IsBlockFrame(int code) {
    return code == 0xC0 || code == 0xC1 || code == 0xC2 || code == 0xC9 || code == 0xCA;
}

struct FrameComponent {
    BYTE id;
    unsigned long long blocks;
};

struct Frame {
    int components = 0; // 0 until a block frame header has been read whole
    FrameComponent component[kMaxFrameComponents];
    unsigned long long blocks = 0;
};

// Blocks of one component the way the decoder sizes it: its samples, scaled by its sampling
// factors against the largest, in whole blocks each way.
unsigned long long ComponentBlocks(unsigned width, unsigned height, int h, int v, int hMax,
                                   int vMax) {
    const unsigned long long across = kBlockSide * (unsigned long long)hMax;
    const unsigned long long down = kBlockSide * (unsigned long long)vMax;
    const unsigned long long columns =
        ((unsigned long long)width * (unsigned)h + across - 1) / across;
    const unsigned long long rows = ((unsigned long long)height * (unsigned)v + down - 1) / down;
    return columns * rows;
}

// Reads a frame header's fields (the length already taken); false when it is cut short or
// asks for what the decoder refuses anyway, leaving `frame` without components.
bool ReadFrame(const BYTE* p, size_t n, Frame& frame) {
    if (n < 6)
        return false;
    const unsigned height = (unsigned)p[1] << 8 | p[2];
    const unsigned width = (unsigned)p[3] << 8 | p[4];
    const int count = p[5];
    if (count == 0 || n < 6 + 3 * (size_t)count)
        return false;
    int hMax = 1, vMax = 1;
    for (int c = 0; c < count; ++c) {
        const int h = p[6 + 3 * c + 1] >> 4, v = p[6 + 3 * c + 1] & 0x0F;
        if (h < 1 || h > kMaxSampling || v < 1 || v > kMaxSampling)
            return false;
        hMax = std::max(hMax, h);
        vMax = std::max(vMax, v);
    }
    frame.blocks = 0;
    for (int c = 0; c < count; ++c) {
        const int h = p[6 + 3 * c + 1] >> 4, v = p[6 + 3 * c + 1] & 0x0F;
        frame.component[c] = {p[6 + 3 * c], ComponentBlocks(width, height, h, v, hMax, vMax)};
        frame.blocks += frame.component[c].blocks;
    }
    frame.components = count;
    return true;
}

// Blocks a scan header's components walk; a component the frame lacks adds none (the decoder
// stops at it).
unsigned long long ScanBlocks(const BYTE* p, size_t n, const Frame& frame) {
    if (n < 1)
        return 0;
    const size_t count = std::min<size_t>(p[0], (n - 1) / 2);
    unsigned long long total = 0;
    for (size_t s = 0; s < count; ++s) {
        const BYTE id = p[1 + 2 * s];
        for (int c = 0; c < frame.components; ++c)
            if (frame.component[c].id == id) {
                total += frame.component[c].blocks;
                break;
            }
    }
    return total;
}

// Longest segment body the walk keeps: a frame header of 255 components.
constexpr size_t kMaxKeptSegment = 6 + 3 * kMaxFrameComponents;

struct ScanCount {
    unsigned long long scans = 0;
    unsigned long long walked = 0;
};

// The walk itself; true when it stopped within the limit.
bool WalkWithinLimit(MarkerReader& reader) {
    Frame frame;
    ScanCount count;
    BYTE segment[kMaxKeptSegment];
    for (;;) {
        const int code = NextMarker(reader);
        if (code < 0 || code == kMarkerEOI)
            return true;
        if (HasNoSegment(code))
            continue;
        BYTE lengthBytes[2];
        if (!reader.Bytes(lengthBytes, 2))
            return true;
        const size_t length = (size_t)lengthBytes[0] << 8 | lengthBytes[1];
        if (length < 2)
            return true;
        const size_t body = length - 2;
        const size_t kept = std::min(body, sizeof(segment));
        if (!reader.Bytes(segment, kept) || !reader.Skip(body - kept))
            return true;
        if (IsBlockFrame(code) && frame.components == 0) {
            ReadFrame(segment, kept, frame);
        } else if (code == kMarkerSOS) {
            ++count.scans;
            count.walked += ScanBlocks(segment, kept, frame);
            if (JpegScansPastLimit(count.scans, count.walked, frame.blocks))
                return false;
        }
    }
}

// Passes segments and entropy-coded data marker by marker: whether the data reaches the
// end-of-image marker. A segment too short to hold its own length is one the decoder refuses,
// so the file is as finished as it will get.
bool WalkToEndOfImage(MarkerReader& reader) {
    for (;;) {
        const int code = NextMarker(reader);
        if (code < 0)
            return false;
        if (code == kMarkerEOI)
            return true;
        if (HasNoSegment(code))
            continue;
        BYTE lengthBytes[2];
        if (!reader.Bytes(lengthBytes, 2))
            return false;
        const size_t length = (size_t)lengthBytes[0] << 8 | lengthBytes[1];
        if (length < 2)
            return true;
        if (!reader.Skip(length - 2))
            return false;
    }
}

// Runs walk over the markers from where the file stands and puts the file back; false when the
// position cannot be read or restored.
template <typename Walk> bool WalkAndPutBack(CFile* pFile, Walk walk) {
    ULONGLONG nStart = 0;
    try {
        nStart = pFile->GetPosition();
    } catch (CException* e) {
        e->Delete();
        return false;
    }
    MarkerReader reader(pFile);
    const bool bResult = walk(reader);
    try {
        pFile->Seek((LONGLONG)nStart, CFile::begin);
    } catch (CException* e) {
        e->Delete();
        return false;
    }
    return bResult;
}

} // namespace

bool JpegScansWithinLimit(CFile* pFile) {
    return WalkAndPutBack(pFile, WalkWithinLimit);
}

bool JpegReachesEndOfImage(CFile* pFile) {
    return WalkAndPutBack(pFile, WalkToEndOfImage);
}
