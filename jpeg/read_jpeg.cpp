// CDIB::ReadJPEG: decodes a JPEG stream from an open file into an 8-bit bitmap, quantised by
// the library to 236 colours of the same palette that supplies the bitmap's colour table.
//
// A fatal library error leaves the library by longjmp back into RunGuarded. Everything a
// guarded stage changes lives in the JpegRead record (memory the library also sees), never in
// a register-held local of the frame that called setjmp, and no frame the jump skips holds an
// object with a destructor.
#include "dib.h"
#include "jpeg_scan_walk.h"
#include "jpeg_source.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include <jerror.h>

namespace {

// The library's progress record and what the monitor keeps across its calls.
struct ScanWork {
    jpeg_progress_mgr base; // first, so the library's pointer leads back here
    int lastScan;
    unsigned long long walked; // blocks of every scan begun so far
    unsigned long long pictureBlocks;
};

// All the decoder's state for one call; trivially destructible, so a jump may cross it.
struct JpegRead {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    ScanWork progress;
    JpegFileSource source;
    JpegJumpTarget jump;
    JSAMPLE colormap[3][JPEG_COLOR_COUNT];
    JSAMPROW colormapRows[3];
    JSAMPLE* pRow;
    CDIB* pDib;
    CPalette* pPalette;
    unsigned long long fileBytes; // from the stream's first byte to the end of the file
};
static_assert(std::is_trivially_destructible_v<JpegRead>);

using GuardedStage = bool (*)(JpegRead* pRead);

// Runs one stage where the library may raise a fatal error: false when it did, or when a
// framework exception reached this far (the exception is deleted).
__attribute__((noinline)) bool RunGuarded(JpegRead* pRead, GuardedStage pStage) {
    pRead->cinfo.client_data = &pRead->jump;
    if (setjmp(pRead->jump.buf) != 0) {
        pRead->cinfo.client_data = nullptr;
        return false;
    }
    bool bDone = false;
    try {
        bDone = pStage(pRead);
    } catch (CException* e) {
        e->Delete();
    } catch (const std::bad_alloc&) {
    }
    pRead->cinfo.client_data = nullptr;
    return bDone;
}

void BuildJpegColormap(JSAMPLE* pRed, JSAMPLE* pGreen, JSAMPLE* pBlue, CPalette* pPalette) {
    const bool bOwnPalette = pPalette && pPalette->m_hObject;
    HDC hdc = bOwnPalette ? nullptr : CreateDC("DISPLAY", "", "", nullptr);
    for (int i = 0; i < JPEG_COLOR_COUNT; ++i) {
        PALETTEENTRY entry{0, 0, 0, 0};
        UINT got = bOwnPalette ? pPalette->GetPaletteEntries(i + JPEG_COLOR_BASE, 1, &entry)
                               : GetSystemPaletteEntries(hdc, i + JPEG_COLOR_BASE, 1, &entry);
        if (got == 0)
            entry = PALETTEENTRY{0, 0, 0, 0};
        pRed[i] = entry.peRed;
        pGreen[i] = entry.peGreen;
        pBlue[i] = entry.peBlue;
    }
    if (hdc)
        DeleteDC(hdc);
}

bool CreateStage(JpegRead* pRead) {
    jpeg_create_decompress(&pRead->cinfo);
    return true;
}

// Bytes of the whole-image coefficient buffers the library keeps for a file of several scans
// (progressive, or components sent in scans of their own): one 128-byte block per 8 x 8
// samples of each component, rounded up to whole MCUs as the library allocates them. A file
// of one interleaved scan is decoded row by row and needs none.
unsigned long long CoefficientBytes(const jpeg_decompress_struct& cinfo) {
    if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components)
        return 0;
    unsigned long long total = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        const unsigned long long h = (unsigned long long)comp.h_samp_factor;
        const unsigned long long v = (unsigned long long)comp.v_samp_factor;
        const unsigned long long columns = (comp.width_in_blocks + h - 1) / h * h;
        const unsigned long long rows = (comp.height_in_blocks + v - 1) / v * v;
        total += columns * rows * sizeof(JBLOCK);
    }
    return total;
}

// Bytes of the 8-bit bitmap and the row buffer that the output dimensions call for.
unsigned long long OutputBytes(const jpeg_decompress_struct& cinfo) {
    return DibStride(cinfo.output_width) * cinfo.output_height +
           (unsigned long long)cinfo.output_components * cinfo.output_width;
}

// Decided from the header before anything large exists: false when bitmap, row buffer and
// coefficient buffers would pass the budget. The library's memory manager is then held to
// what the budget leaves: without backing store it raises an error rather than make
// whole-image buffers past that. Its other allocations are a few rows of at most 65 500
// pixels each.
bool LimitMemory(jpeg_decompress_struct& cinfo) {
    if (cinfo.output_width == 0 || cinfo.output_height == 0)
        return false;
    const unsigned long long nOutput = OutputBytes(cinfo);
    if (nOutput > kDecodeBudgetBytes || CoefficientBytes(cinfo) > kDecodeBudgetBytes - nOutput)
        return false;
    // Zero would mean no limit at all to the library.
    const unsigned long long nLeft = kDecodeBudgetBytes - nOutput;
    cinfo.mem->max_memory_to_use = nLeft > 0 ? (long)nLeft : 1;
    return true;
}

unsigned long long ComponentBlocks(const jpeg_component_info& comp) {
    return (unsigned long long)comp.width_in_blocks * comp.height_in_blocks;
}

unsigned long long PictureBlocks(const jpeg_decompress_struct& cinfo) {
    unsigned long long total = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        total += ComponentBlocks(cinfo.comp_info[c]);
    return total;
}

unsigned long long ScanBlocks(const jpeg_decompress_struct& cinfo) {
    unsigned long long total = 0;
    for (int c = 0; c < cinfo.comps_in_scan; ++c)
        total += ComponentBlocks(*cinfo.cur_comp_info[c]);
    return total;
}

// Called by the library before each step of taking in the file; a new scan number means the
// scan's header has been read and its data is next, so the refusal comes before it is walked.
void LimitScans(j_common_ptr common) {
    const j_decompress_ptr cinfo = reinterpret_cast<j_decompress_ptr>(common);
    ScanWork* pWork = reinterpret_cast<ScanWork*>(cinfo->progress);
    if (cinfo->input_scan_number == pWork->lastScan)
        return;
    pWork->lastScan = cinfo->input_scan_number;
    pWork->walked += ScanBlocks(*cinfo);
    if (JpegScansPastLimit((unsigned long long)cinfo->input_scan_number, pWork->walked,
                           pWork->pictureBlocks))
        ERREXIT(common, JERR_NOTIMPL);
}

void SetDecompressParameters(JpegRead* pRead) {
    jpeg_decompress_struct& cinfo = pRead->cinfo;
    // Greyscale goes through RGB so that the shared colour map, not a grey ramp of the
    // library's own, decides the indices; the picture then shows in grey.
    if (cinfo.num_components == 1)
        cinfo.out_color_space = JCS_RGB;
    cinfo.quantize_colors = TRUE;
    cinfo.colormap = pRead->colormapRows;
    cinfo.actual_number_of_colors = JPEG_COLOR_COUNT;
}

void StoreRow(const JSAMPLE* pRow, BYTE* pDest, int nWidth) {
    for (int i = 0; i < nWidth; ++i)
        pDest[i] = (BYTE)(pRow[i] + JPEG_COLOR_BASE);
}

bool DecodeStage(JpegRead* pRead) {
    jpeg_decompress_struct& cinfo = pRead->cinfo;
    jpeg_read_header(&cinfo, TRUE);
    BuildJpegColormap(pRead->colormap[0], pRead->colormap[1], pRead->colormap[2], pRead->pPalette);
    SetDecompressParameters(pRead);
    jpeg_calc_output_dimensions(&cinfo);
    if (AnnouncesMorePixelsThanBytes(cinfo.image_width, cinfo.image_height, pRead->fileBytes))
        return false;
    if (!LimitMemory(cinfo))
        return false;
    pRead->progress.base.progress_monitor = LimitScans;
    pRead->progress.pictureBlocks = PictureBlocks(cinfo);
    cinfo.progress = &pRead->progress.base;
    if (!jpeg_start_decompress(&cinfo))
        return false;

    CDIB* pDib = pRead->pDib;
    if (!pDib->Create((int)cinfo.output_width, (int)cinfo.output_height, 0, pRead->pPalette))
        return false;
    pRead->pRow =
        static_cast<JSAMPLE*>(malloc((size_t)cinfo.output_components * (size_t)cinfo.output_width));
    if (!pRead->pRow)
        return false;

    const int nWidth = pDib->GetWidth();
    const int nStride = pDib->GetStride();
    BYTE* pDest = pDib->m_pBits + (size_t)(pDib->GetHeight() - 1) * (size_t)nStride;
    JSAMPROW rows[1] = {pRead->pRow};
    while (cinfo.output_scanline < cinfo.output_height) {
        jpeg_read_scanlines(&cinfo, rows, 1);
        StoreRow(pRead->pRow, pDest, nWidth);
        pDest -= nStride;
    }
    return true;
}

bool FinishStage(JpegRead* pRead) {
    return jpeg_finish_decompress(&pRead->cinfo);
}

bool DestroyStage(JpegRead* pRead) {
    jpeg_destroy_decompress(&pRead->cinfo);
    return true;
}

void InitSource(JpegRead* pRead, CFile* pFile) {
    jpeg_source_mgr& base = pRead->source.base;
    base.init_source = JpegInitSource;
    base.fill_input_buffer = JpegFillInputBuffer;
    base.skip_input_data = JpegSkipInputData;
    base.resync_to_restart = jpeg_resync_to_restart;
    base.term_source = JpegTermSource;
    base.next_input_byte = nullptr;
    base.bytes_in_buffer = 0;
    pRead->source.pFile = pFile;
    pRead->cinfo.src = &base;
}

// Bytes from the file's position to its end; none when they cannot be told.
unsigned long long StreamBytes(CFile* pFile) {
    try {
        const ULONGLONG nPosition = pFile->GetPosition();
        const ULONGLONG nLength = pFile->GetLength();
        return nLength > nPosition ? nLength - nPosition : 0;
    } catch (CException* e) {
        e->Delete();
        return 0;
    }
}

} // namespace

BOOL CDIB::ReadJPEG(CFile* pFile, CPalette* pPalette) {
    if (!pFile)
        return FALSE;
    // A file of many scans is refused for the cost of reading its markers, before the
    // decoder walks any scan. The progress monitor below still holds the same limit, for
    // what the decoder then actually reads.
    if (!JpegScansWithinLimit(pFile))
        return FALSE;
    JpegRead read;
    memset(&read, 0, sizeof(read));
    read.pDib = this;
    read.pPalette = pPalette;
    read.fileBytes = StreamBytes(pFile);
    for (int c = 0; c < 3; ++c)
        read.colormapRows[c] = read.colormap[c];

    jpeg_std_error(&read.err);
    read.err.error_exit = JpegErrorExit;
    read.err.output_message = JpegOutputMessage;
    read.cinfo.err = &read.err;

    if (!RunGuarded(&read, CreateStage)) {
        RunGuarded(&read, DestroyStage); // frees whatever a half-made decompressor holds
        return FALSE;
    }
    InitSource(&read, pFile);
    read.source.pBuffer = static_cast<JOCTET*>(malloc(JPEG_INPUT_BUFFER_SIZE));
    if (!read.source.pBuffer) {
        RunGuarded(&read, DestroyStage);
        return FALSE;
    }

    BOOL bResult = RunGuarded(&read, DecodeStage) ? TRUE : FALSE;
    // Every row is stored by now; trouble in the trailing data does not undo that.
    if (bResult)
        RunGuarded(&read, FinishStage);
    RunGuarded(&read, DestroyStage);

    free(read.source.pBuffer);
    free(read.pRow);
    return bResult;
}
