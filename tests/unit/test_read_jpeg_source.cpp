#include "dib_exception.h"
#include "jpeg_source.h"
#include "read_test_support.h"

#include <gtest/gtest.h>

#include <jerror.h>

using namespace readtest;

namespace {

// A decompression object wired to a source over `file`, as the reader wires it.
struct SourceFixture {
    explicit SourceFixture(CFile* pFile) {
        memset(&cinfo, 0, sizeof(cinfo));
        source.base.next_input_byte = nullptr;
        source.base.bytes_in_buffer = 0;
        source.pFile = pFile;
        source.pBuffer = buffer;
        cinfo.src = &source.base;
    }
    jpeg_decompress_struct cinfo;
    JpegFileSource source;
    JOCTET buffer[JPEG_INPUT_BUFFER_SIZE];
};

std::vector<BYTE> Counting(size_t n) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = (BYTE)(i * 31 + i / 256);
    return bytes;
}

} // namespace

TEST(JpegSource, FillReadsBlocksThenEndsEveryReadWithAnEndOfImageMarker) {
    std::vector<BYTE> data = Counting(5000);
    CMemFile file(data);
    SourceFixture f(&file);

    ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo));
    EXPECT_EQ(f.source.base.bytes_in_buffer, 4096u);
    EXPECT_EQ(f.source.base.next_input_byte, f.buffer);
    EXPECT_EQ(memcmp(f.buffer, data.data(), 4096), 0);

    ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo)); // the short tail is passed on as it is
    EXPECT_EQ(f.source.base.bytes_in_buffer, 904u);
    EXPECT_EQ(f.buffer[0], data[4096]);

    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo));
        ASSERT_EQ(f.source.base.bytes_in_buffer, 2u);
        EXPECT_EQ(f.buffer[0], 0xFF);
        EXPECT_EQ(f.buffer[1], 0xD9);
    }
}

TEST(JpegSource, AReadThatThrowsActsLikeTheEndOfTheFile) {
    FailingFile file(Counting(100), 0);
    SourceFixture f(&file);
    ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo));
    EXPECT_EQ(f.source.base.bytes_in_buffer, 2u);
    EXPECT_EQ(f.buffer[0], 0xFF);
    EXPECT_EQ(f.buffer[1], 0xD9);
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(JpegSource, SkipsStayInTheBufferUntilTheyPassItsEnd) {
    std::vector<BYTE> data = Counting(10000);
    FailingFile file(data, data.size());
    SourceFixture f(&file);
    ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo));

    JpegSkipInputData(&f.cinfo, 0);
    JpegSkipInputData(&f.cinfo, -7);
    EXPECT_EQ(f.source.base.bytes_in_buffer, 4096u);
    EXPECT_EQ(f.source.base.next_input_byte, f.buffer);

    JpegSkipInputData(&f.cinfo, 96);
    EXPECT_EQ(f.source.base.bytes_in_buffer, 4000u);
    EXPECT_EQ(*f.source.base.next_input_byte, data[96]);

    JpegSkipInputData(&f.cinfo, 4000); // exactly what is buffered: no I/O, buffer empty
    EXPECT_EQ(f.source.base.bytes_in_buffer, 0u);
    EXPECT_EQ(file.seeks, 0);
    EXPECT_EQ(file.GetPosition(), 4096u);

    ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo));
    JpegSkipInputData(&f.cinfo, 4096 + 500); // past the buffer: seek the rest and refill
    EXPECT_EQ(file.seeks, 1);
    EXPECT_EQ(f.source.base.bytes_in_buffer, 10000u - 8192 - 500);
    EXPECT_EQ(*f.source.base.next_input_byte, data[8192 + 500]);
}

TEST(JpegSource, ASeekThatThrowsIsIgnoredAndTheRefillReadsOn) {
    std::vector<BYTE> data = Counting(6000);
    FailingFile file(data, data.size(), true);
    SourceFixture f(&file);
    ASSERT_TRUE(JpegFillInputBuffer(&f.cinfo));
    JpegSkipInputData(&f.cinfo, 5000);
    EXPECT_EQ(f.source.base.bytes_in_buffer, 6000u - 4096);
    EXPECT_EQ(*f.source.base.next_input_byte, data[4096]);
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(JpegErrors, AFatalErrorJumpsBackToTheReadersTarget) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    memset(&cinfo, 0, sizeof(cinfo));
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = JpegErrorExit;
    err.output_message = JpegOutputMessage;
    err.msg_code = JERR_NO_SOI;
    JpegJumpTarget target;
    cinfo.client_data = &target;
    volatile bool jumped = false;
    if (setjmp(target.buf) == 0)
        JpegErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    else
        jumped = true;
    EXPECT_TRUE(jumped);
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}
