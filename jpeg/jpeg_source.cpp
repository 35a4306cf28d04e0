// Data source and error routines for the JPEG library. They are called from the library's C
// frames, so no C++ exception may leave any of them.
#include "jpeg_source.h"

namespace {

JpegFileSource* SourceOf(j_decompress_ptr cinfo) {
    return reinterpret_cast<JpegFileSource*>(cinfo->src);
}

// A failed read counts as the end of the file: the decoder then finishes with what it has.
long ReadBlock(JpegFileSource* pSource) {
    try {
        return (long)pSource->pFile->Read(pSource->pBuffer, JPEG_INPUT_BUFFER_SIZE);
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
    return -1;
}

void SeekForward(JpegFileSource* pSource, long nBytes) {
    try {
        pSource->pFile->Seek(nBytes, CFile::current);
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
}

} // namespace

void JpegInitSource(j_decompress_ptr) {}

boolean JpegFillInputBuffer(j_decompress_ptr cinfo) {
    JpegFileSource* pSource = SourceOf(cinfo);
    long n = ReadBlock(pSource);
    if (n <= 0) {
        // A fresh end-of-image marker wherever the data stop, so the decoder never starves.
        pSource->pBuffer[0] = (JOCTET)0xFF;
        pSource->pBuffer[1] = (JOCTET)JPEG_EOI;
        n = 2;
    }
    pSource->base.next_input_byte = pSource->pBuffer;
    pSource->base.bytes_in_buffer = (size_t)n;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr cinfo, long num_bytes) {
    if (num_bytes <= 0)
        return;
    JpegFileSource* pSource = SourceOf(cinfo);
    size_t buffered = pSource->base.bytes_in_buffer;
    if ((unsigned long)num_bytes <= buffered) {
        pSource->base.next_input_byte += num_bytes;
        pSource->base.bytes_in_buffer -= (size_t)num_bytes;
        return;
    }
    // The file stands just past the buffered bytes, so only the difference is left to skip.
    SeekForward(pSource, num_bytes - (long)buffered);
    JpegFillInputBuffer(cinfo);
}

void JpegTermSource(j_decompress_ptr) {}

void JpegOutputMessage(j_common_ptr cinfo) {
    char buffer[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, buffer);
}

// Every library call runs inside the reader's guarded region, which set the target.
void JpegErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    longjmp(static_cast<JpegJumpTarget*>(cinfo->client_data)->buf, 1);
}
