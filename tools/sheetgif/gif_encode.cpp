#include "gif_encode.h"

#include "gif_lzw.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>

namespace {

using sheetgif::LzwCounter;

int AppendBytes(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

ColourMap MakeColourMap(const std::vector<GifColour>& table) {
    std::vector<GifColorType> colours;
    for (const GifColour& colour : table)
        colours.push_back(GifColorType{colour.red, colour.green, colour.blue});
    return ColourMap(GifMakeMapObject((int)colours.size(), colours.data()));
}

// The application extension that browsers and chat clients read as "loop forever".
bool PutLoopForever(GifFileType* gif) {
    static const char kNetscape[] = "NETSCAPE2.0";
    static const GifByteType kLoopCount[] = {1, 0, 0}; // sub-block 1, count 0: no end
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, 11, kNetscape) == GIF_OK &&
           EGifPutExtensionBlock(gif, 3, kLoopCount) == GIF_OK &&
           EGifPutExtensionTrailer(gif) == GIF_OK;
}

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

// One GIF frame as it goes into the file: where it lies on the screen (in GIF pixels), its
// indices, and the index that lets the picture below show through, if any.
struct PlacedFrame {
    Rect rect;
    std::vector<uint8_t> indices;
    int transparent = NO_TRANSPARENT_COLOR;
    ColourMap local; // only when the frame's colours are not the global table's
};

bool PutFrame(GifFileType* gif, const PlacedFrame& frame, int delayHundredths) {
    GraphicsControlBlock control{};
    // Each frame stays and the next is drawn over it: frames after the first hold only
    // what changed.
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delayHundredths;
    control.TransparentColor = frame.transparent;
    GifByteType extension[4];
    size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, (int)length, extension) != GIF_OK)
        return false;
    const Rect& r = frame.rect;
    if (EGifPutImageDesc(gif, r.left, r.top, r.width, r.height, false, frame.local.get()) != GIF_OK)
        return false;
    // giflib takes rows as non-const; it only reads them.
    std::vector<GifPixelType> row((size_t)r.width);
    for (int y = 0; y < r.height; ++y) {
        const uint8_t* source = frame.indices.data() + (size_t)y * (size_t)r.width;
        row.assign(source, source + r.width);
        if (EGifPutLine(gif, row.data(), r.width) != GIF_OK)
            return false;
    }
    return true;
}

int BitsFor(size_t count) {
    int bits = 1; // a GIF colour table has at least two entries
    while (((size_t)1 << bits) < count)
        ++bits;
    return bits;
}

// The colours that the frames' pixels use, once each, in one table whose size is a power of
// two: fewer entries mean shorter codes. Each frame's own indices map into it.
struct SharedTable {
    std::vector<GifColour> colours;
    int bits = 1;
    std::vector<std::array<uint8_t, 256>> remap; // per frame
};

uint32_t Key(const GifColour& colour) {
    return (uint32_t)colour.red << 16 | (uint32_t)colour.green << 8 | colour.blue;
}

// Nothing when the frames use more than 256 colours between them.
std::optional<SharedTable> MakeSharedTable(const std::vector<GifFrame>& frames) {
    SharedTable table;
    std::vector<std::pair<uint32_t, uint8_t>> known; // colour key, shared index
    for (const GifFrame& frame : frames) {
        std::array<bool, 256> used{};
        for (uint8_t index : frame.pixels)
            used[index] = true;
        std::array<uint8_t, 256>& remap = table.remap.emplace_back();
        remap.fill(0);
        for (int i = 0; i < 256; ++i) {
            if (!used[(size_t)i])
                continue;
            const uint32_t key = Key(frame.colours[(size_t)i]);
            auto found = std::find_if(known.begin(), known.end(),
                                      [key](const auto& entry) { return entry.first == key; });
            if (found == known.end()) {
                if (known.size() == 256)
                    return std::nullopt;
                known.emplace_back(key, (uint8_t)known.size());
                table.colours.push_back(frame.colours[(size_t)i]);
                found = known.end() - 1;
            }
            remap[(size_t)i] = found->second;
        }
    }
    table.bits = BitsFor(table.colours.size());
    table.colours.resize((size_t)1 << table.bits, GifColour{0, 0, 0});
    return table;
}

// The smallest rectangle holding every pixel that differs; nothing when none does.
std::optional<Rect> ChangedRect(const std::vector<uint8_t>& before,
                                const std::vector<uint8_t>& after, int width, int height) {
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const uint8_t* a = before.data() + (size_t)y * (size_t)width;
        const uint8_t* b = after.data() + (size_t)y * (size_t)width;
        int first = 0;
        while (first < width && a[first] == b[first])
            ++first;
        if (first == width)
            continue;
        int last = width - 1;
        while (a[last] == b[last])
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (bottom < 0)
        return std::nullopt;
    return Rect{left, top, right - left + 1, bottom - top + 1};
}

Rect Scaled(const Rect& r, int scale) {
    return Rect{r.left * scale, r.top * scale, r.width * scale, r.height * scale};
}

// The rectangle's pixels, each repeated scale x scale, top row first.
template <typename Pixel> std::vector<uint8_t> CutScaled(const Rect& r, int scale, Pixel pixel) {
    const size_t rowLength = (size_t)r.width * (size_t)scale;
    std::vector<uint8_t> out(rowLength * (size_t)r.height * (size_t)scale);
    uint8_t* at = out.data();
    for (int y = r.top; y < r.top + r.height; ++y) {
        const uint8_t* row = at;
        for (int x = r.left; x < r.left + r.width; ++x)
            at = std::fill_n(at, scale, pixel(x, y));
        for (int copy = 1; copy < scale; ++copy)
            at = std::copy_n(row, rowLength, at);
    }
    return out;
}

// An index that no changed pixel uses, so that it may stand for "unchanged"; of those, the
// one unchanged pixels use most, since there the two ways of writing them agree.
std::optional<uint8_t> PickTransparent(const std::vector<uint8_t>& indices,
                                       const std::vector<uint8_t>& unchanged, size_t tableSize) {
    std::array<int, 256> unchangedUses{};
    std::array<bool, 256> changedUses{};
    for (size_t i = 0; i < indices.size(); ++i) {
        if (unchanged[i])
            ++unchangedUses[indices[i]];
        else
            changedUses[indices[i]] = true;
    }
    std::optional<uint8_t> best;
    for (size_t i = 0; i < tableSize; ++i)
        if (!changedUses[i] && (!best || unchangedUses[i] > unchangedUses[*best]))
            best = (uint8_t)i;
    return best;
}

// Writes the changed rectangle the shortest of three ways: every pixel its own colour; each
// unchanged pixel transparent; or each unchanged pixel whichever of the two lets the
// compressor's strings run longer.
PlacedFrame PlaceChanges(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                         int width, const Rect& changed, int scale, size_t tableSize,
                         LzwCounter& counter) {
    PlacedFrame frame;
    frame.rect = Scaled(changed, scale);
    frame.indices = CutScaled(changed, scale,
                              [&](int x, int y) { return after[(size_t)y * (size_t)width + x]; });
    const std::vector<uint8_t> unchanged = CutScaled(changed, scale, [&](int x, int y) {
        const size_t at = (size_t)y * (size_t)width + x;
        return (uint8_t)(before[at] == after[at]);
    });
    const std::optional<uint8_t> transparent = PickTransparent(frame.indices, unchanged, tableSize);
    if (!transparent)
        return frame;

    uint64_t best = counter.Bits(frame.indices);
    std::vector<uint8_t> cleared = frame.indices;
    for (size_t i = 0; i < cleared.size(); ++i)
        if (unchanged[i])
            cleared[i] = *transparent;
    const uint64_t clearedBits = counter.Bits(cleared);
    std::vector<uint8_t> mixed;
    const uint64_t mixedBits =
        counter.ChooseTransparent(frame.indices, unchanged, *transparent, mixed);
    if (clearedBits < best && clearedBits <= mixedBits) {
        frame.indices = std::move(cleared);
        frame.transparent = *transparent;
    } else if (mixedBits < best) {
        frame.indices = std::move(mixed);
        frame.transparent = *transparent;
    }
    return frame;
}

std::vector<uint8_t> Remapped(const GifFrame& frame, const std::array<uint8_t, 256>& remap) {
    std::vector<uint8_t> out(frame.pixels.size());
    std::transform(frame.pixels.begin(), frame.pixels.end(), out.begin(),
                   [&remap](uint8_t index) { return remap[index]; });
    return out;
}

Rect Whole(int width, int height) {
    return Rect{0, 0, width, height};
}

// The frames in the shared table: the first whole, each later one only what changed from
// the one before (a frame like the one before keeps its place as a single pixel).
bool PutDifferenced(GifFileType* gif, int width, int height, const std::vector<GifFrame>& frames,
                    const SharedTable& table, int delayHundredths, int scale) {
    LzwCounter counter(table.bits);
    std::vector<uint8_t> before;
    for (size_t n = 0; n < frames.size(); ++n) {
        std::vector<uint8_t> after = Remapped(frames[n], table.remap[n]);
        PlacedFrame frame;
        const std::optional<Rect> changed =
            n == 0 ? Whole(width, height) : ChangedRect(before, after, width, height);
        if (!changed) {
            frame.rect = Rect{0, 0, 1, 1};
            frame.indices = {after[0]};
        } else if (n == 0) {
            frame.rect = Scaled(*changed, scale);
            frame.indices = CutScaled(*changed, scale, [&](int x, int y) {
                return after[(size_t)y * (size_t)width + x];
            });
        } else {
            frame =
                PlaceChanges(before, after, width, *changed, scale, table.colours.size(), counter);
        }
        if (!PutFrame(gif, frame, delayHundredths))
            return false;
        before = std::move(after);
    }
    return true;
}

std::vector<GifColour> AsVector(const GifColourTable& table) {
    return std::vector<GifColour>(table.begin(), table.end());
}

// Frames of more than 256 colours between them cannot share a table: each is written whole,
// with its own table where it differs from the first frame's.
bool PutWhole(GifFileType* gif, int width, int height, const std::vector<GifFrame>& frames,
              int delayHundredths, int scale) {
    for (const GifFrame& source : frames) {
        PlacedFrame frame;
        frame.rect = Scaled(Whole(width, height), scale);
        frame.indices = CutScaled(Whole(width, height), scale, [&](int x, int y) {
            return source.pixels[(size_t)y * (size_t)width + x];
        });
        if (source.colours != frames.front().colours &&
            !(frame.local = MakeColourMap(AsVector(source.colours))))
            return false;
        if (!PutFrame(gif, frame, delayHundredths))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<uint8_t>> EncodeAnimatedGif(int width, int height,
                                                      const std::vector<GifFrame>& frames,
                                                      int delayHundredths, int scale) {
    if (scale < kMinGifScale || scale > kMaxGifScale)
        return std::nullopt;
    // The GIF's screen is 16 bits each way.
    if (frames.empty() || width <= 0 || height <= 0 || width > 0xFFFF / scale ||
        height > 0xFFFF / scale)
        return std::nullopt;
    for (const GifFrame& frame : frames)
        if (frame.pixels.size() != (size_t)width * (size_t)height)
            return std::nullopt;

    const std::optional<SharedTable> shared = MakeSharedTable(frames);
    ColourMap globalMap = MakeColourMap(shared ? shared->colours : AsVector(frames[0].colours));
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendBytes, &error);
    if (!gif)
        return std::nullopt;
    EGifSetGifVersion(gif, true);
    bool ok = globalMap && EGifPutScreenDesc(gif, width * scale, height * scale, 8, 0,
                                             globalMap.get()) == GIF_OK;
    ok = ok && PutLoopForever(gif);
    if (ok && shared)
        ok = PutDifferenced(gif, width, height, frames, *shared, delayHundredths, scale);
    else if (ok)
        ok = PutWhole(gif, width, height, frames, delayHundredths, scale);
    // Closing writes the trailer and frees the encoder whatever happened before.
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok)
        return std::nullopt;
    return out;
}
