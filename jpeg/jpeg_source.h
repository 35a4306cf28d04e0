// The JPEG library's data source over an open CFile and the error routines that keep the
// library's messages to itself and bring its fatal errors back to the reader.
#pragma once

#include "afx.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

constexpr int JPEG_INPUT_BUFFER_SIZE = 4096;
// Colour-map entry k is palette entry k + JPEG_COLOR_BASE: the map takes the palette's middle
// 236 entries and leaves the platform's fixed colours at both ends alone.
constexpr int JPEG_COLOR_BASE = 10;
constexpr int JPEG_COLOR_COUNT = 236;

// The source record: the library sees only `base`, which comes first so that the pointer it
// hands the callbacks is also a pointer to the whole record.
struct JpegFileSource {
    jpeg_source_mgr base;
    CFile* pFile;
    JOCTET* pBuffer;
};

// Where JpegErrorExit leaves the library. The reader points the decompression object's
// client_data at one of these while a library call is in progress.
struct JpegJumpTarget {
    jmp_buf buf;
};

void JpegInitSource(j_decompress_ptr cinfo);
boolean JpegFillInputBuffer(j_decompress_ptr cinfo);
void JpegSkipInputData(j_decompress_ptr cinfo, long num_bytes);
void JpegTermSource(j_decompress_ptr cinfo);

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo);
void JpegOutputMessage(j_common_ptr cinfo);
