#include "gif_encode.h"

#include <gif_lib.h>

#include <memory>

namespace {

int AppendBytes(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

ColourMap MakeColourMap(const GifColourTable& table) {
    GifColorType colours[256];
    for (size_t i = 0; i < table.size(); ++i)
        colours[i] = GifColorType{table[i].red, table[i].green, table[i].blue};
    return ColourMap(GifMakeMapObject(256, colours));
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

bool PutFrame(GifFileType* gif, int width, int height, const GifFrame& frame,
              const GifColourTable& global, int delayHundredths) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delayHundredths;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, (int)length, extension) != GIF_OK)
        return false;

    ColourMap local;
    if (frame.colours != global && !(local = MakeColourMap(frame.colours)))
        return false;
    if (EGifPutImageDesc(gif, 0, 0, width, height, false, local.get()) != GIF_OK)
        return false;
    // giflib takes rows as non-const; it only reads them.
    std::vector<GifPixelType> row((size_t)width);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = frame.pixels.data() + (size_t)y * (size_t)width;
        row.assign(source, source + width);
        if (EGifPutLine(gif, row.data(), width) != GIF_OK)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<uint8_t>>
EncodeAnimatedGif(int width, int height, const std::vector<GifFrame>& frames, int delayHundredths) {
    // The GIF's screen is 16 bits each way.
    if (frames.empty() || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
        return std::nullopt;
    for (const GifFrame& frame : frames)
        if (frame.pixels.size() != (size_t)width * (size_t)height)
            return std::nullopt;

    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendBytes, &error);
    if (!gif)
        return std::nullopt;
    EGifSetGifVersion(gif, true);
    const GifColourTable& global = frames.front().colours;
    ColourMap globalMap = MakeColourMap(global);
    bool ok = globalMap && EGifPutScreenDesc(gif, width, height, 8, 0, globalMap.get()) == GIF_OK;
    ok = ok && PutLoopForever(gif);
    for (size_t i = 0; ok && i < frames.size(); ++i)
        ok = PutFrame(gif, width, height, frames[i], global, delayHundredths);
    // Closing writes the trailer and frees the encoder whatever happened before.
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok)
        return std::nullopt;
    return out;
}
