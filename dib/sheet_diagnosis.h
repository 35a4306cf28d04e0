// Why a sheet file will not load, in the words sheetcheck prints and the viewer may show: first
// what its first bytes tell, before anything is decoded (the header kinds today's editors write
// that the viewer refuses, pictures too big to decode, files that are not pictures the viewer
// reads at all), then whether its picture decodes.
#pragma once

#include "dib.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sheetdiag {

// The most the image library spends on decoding one picture.
constexpr uint64_t kDecodingBudget = kDecodeBudgetBytes;

// Bytes that decoding a picture takes: the 8-bit bitmap (width x height) plus the file's pixel
// data, which a BMP holds in memory while it is converted. Saturates instead of wrapping.
uint64_t DecodingCost(uint64_t width, uint64_t height, uint64_t filePixelBytes);

// Bytes of a file's start that the diagnosis looks at; enough for a JPEG's size behind its
// Exif, ICC and table segments.
constexpr size_t kHeadBytes = 256 * 1024;

struct Diagnosis {
    std::string cause; // in the artist's words
    std::string fix;   // a command to run, or what to do where no command helps
    std::string brief; // the cause in a few words, for a line that has little room
};

// The cause for a file of fileSize bytes whose first bytes (at most kHeadBytes) are head, or
// nothing when the header is one the viewer reads. filePath names the file in the fix's
// command; sheetWidth x sheetHeight is the picture a sheet of its kind needs.
std::optional<Diagnosis> Diagnose(const std::vector<uint8_t>& head, uint64_t fileSize,
                                  const std::string& filePath, int sheetWidth, int sheetHeight);

// Reads the first kHeadBytes of the file at hostPath and diagnoses them, naming the file by
// hostPath; a file that cannot be read at all is a cause of its own.
std::optional<Diagnosis> DiagnoseFile(const std::string& hostPath, int sheetWidth, int sheetHeight);

// The whole diagnosis of the sheet file at lpszPath (a path as the viewer takes it): what its
// header tells, then, for a header the viewer reads, whether it loads as the viewer loads it.
// Nothing when it loads; the loaded picture is left in pSheet when one is given. The fix names
// the file by its host path.
std::optional<Diagnosis> DiagnoseSheetFile(LPCTSTR lpszPath, int sheetWidth, int sheetHeight,
                                           CDIB* pSheet = nullptr);

// "does not load: CAUSE. Fix: FIX", as sheetcheck prints it after the file's name.
std::string LongForm(const Diagnosis& why);
// "does not load: BRIEF", one short line for a strip that names the file elsewhere.
std::string ShortForm(const Diagnosis& why);

} // namespace sheetdiag
