// Loads with each of their allocations failing in turn, through a replaced operator new.
#include "read_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

namespace {

// Allocations on this thread still to succeed before one fails; negative: none fails.
thread_local long t_nAllowed = -1;
thread_local bool t_bFailed = false;

void* Allocate(size_t nBytes) {
    if (t_nAllowed == 0) {
        t_nAllowed = -1;
        t_bFailed = true;
        throw std::bad_alloc();
    }
    if (t_nAllowed > 0)
        --t_nAllowed;
    if (void* p = malloc(nBytes ? nBytes : 1))
        return p;
    throw std::bad_alloc();
}

void* AllocateOrNull(size_t nBytes) noexcept {
    try {
        return Allocate(nBytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

void* operator new(size_t n) {
    return Allocate(n);
}
void* operator new[](size_t n) {
    return Allocate(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return AllocateOrNull(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return AllocateOrNull(n);
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete[](void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}
void operator delete[](void* p, size_t) noexcept {
    free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    free(p);
}

namespace {

std::string WriteFile(const std::string& name, const std::vector<BYTE>& bytes) {
    std::string path = ::testing::TempDir() + "oom_" + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    return path;
}

// Fails the first, then the second, ... allocation of a whole Load until one runs through.
// Returns how many allocations it failed.
int LoadFailingEachAllocation(const std::string& path, int nWidth) {
    const DWORD nObjects = AfxGdiLiveObjectCount();
    for (long n = 0;; ++n) {
        BOOL bLoaded = FALSE;
        int nLoadedWidth = 0;
        {
            CDIB dib;
            t_bFailed = false;
            t_nAllowed = n;
            EXPECT_NO_THROW(bLoaded = dib.Load(path.c_str(), nullptr)) << "allocation " << n;
            t_nAllowed = -1;
            nLoadedWidth = dib.GetWidth();
        }
        EXPECT_EQ(AfxGdiLiveObjectCount(), nObjects) << "allocation " << n;
        if (!t_bFailed) {
            EXPECT_TRUE(bLoaded);
            EXPECT_EQ(nLoadedWidth, nWidth);
            return (int)n;
        }
        if (::testing::Test::HasFailure())
            return (int)n;
    }
}

} // namespace

// Memory running out is one more way for a load to fail: it answers FALSE, throws nothing and
// leaves nothing behind (the leak checker sees the rest at exit).
TEST(OutOfMemory, LoadFailsCleanlyAtEveryAllocation) {
    readtest::BmpBuilder bmp;
    bmp.info.biWidth = 5;
    bmp.info.biHeight = 3;
    bmp.table.assign(256, RGBQUAD{1, 2, 3, 0});
    bmp.pixels.assign(8 * 3, 7);
    EXPECT_GT(LoadFailingEachAllocation(WriteFile("a.bmp", bmp.Build()), 5), 0);

    const std::vector<BYTE> jpeg = readtest::EncodeJpeg(readtest::SpritePicture(40, 24), 40, 24, 3);
    EXPECT_GT(LoadFailingEachAllocation(WriteFile("a.jpg", jpeg), 40), 0);
}
