// sheetconv INPUT OUTPUT: loads a sheet the way the viewer does and writes what it then holds
// as an uncompressed 8-bit bottom-up BMP, so the loader can be checked from outside.
#include "dib.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr DWORD kHeaderBytes = 14 + 40 + 256 * 4;

void PutWord(std::vector<BYTE>& out, WORD v) {
    out.push_back((BYTE)v);
    out.push_back((BYTE)(v >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back((BYTE)(v >> shift));
}

std::vector<BYTE> EncodeBmp(const CDIB& dib) {
    const int nWidth = dib.GetWidth(), nHeight = dib.GetHeight(), nStride = dib.GetStride();
    const DWORD nPixelBytes = (DWORD)nStride * (DWORD)nHeight;
    std::vector<BYTE> out;
    out.reserve(kHeaderBytes + nPixelBytes);
    PutWord(out, 0x4D42);
    PutDword(out, kHeaderBytes + nPixelBytes);
    PutDword(out, 0);
    PutDword(out, kHeaderBytes);

    PutDword(out, 40);
    PutDword(out, (DWORD)nWidth);
    PutDword(out, (DWORD)nHeight);
    PutWord(out, 1);
    PutWord(out, 8);
    PutDword(out, BI_RGB);
    PutDword(out, nPixelBytes);
    for (int i = 0; i < 4; ++i) // resolution and colour counts: 0, the whole table is used
        PutDword(out, 0);

    const BYTE* pTable = reinterpret_cast<const BYTE*>(dib.m_pBMI) + sizeof(BITMAPINFOHEADER);
    out.insert(out.end(), pTable, pTable + 256 * 4);
    for (int y = 0; y < nHeight; ++y) {
        const BYTE* pRow = dib.m_pBits + (size_t)y * nStride;
        out.insert(out.end(), pRow, pRow + nWidth);
        out.insert(out.end(), (size_t)(nStride - nWidth), 0);
    }
    return out;
}

// Follows symbolic links to the file they name, even one not made yet; a relative target
// counts from the link's own folder. Empty for a loop.
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof(target) - 1);
        if (n < 0)
            return path;
        target[n] = 0;
        const size_t slash = path.rfind('/');
        if (target[0] == '/' || slash == std::string::npos)
            path = target;
        else
            path = path.substr(0, slash + 1) + target;
    }
    return std::string();
}

bool WriteAll(int fd, const std::vector<BYTE>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += (size_t)n;
    }
    return true;
}

// A device or a pipe is written as it stands: replacing it would put an ordinary file in its
// place.
bool WriteInPlace(const std::string& path, const std::vector<BYTE>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, bytes);
    return close(fd) == 0 && ok;
}

// Writes beside the file, then renames over it, so a failed write never leaves a partial file.
bool ReplaceAtomically(const std::string& path, const std::vector<BYTE>& bytes) {
    const std::string temp = path + ".part";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes);
    ok = close(fd) == 0 && ok;
    if (ok && rename(temp.c_str(), path.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

// OUTPUT may be a symbolic link: the file it names receives the sheet and the link stays.
bool WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
    const std::string target = ResolveLinks(path);
    if (target.empty())
        return false;
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return !S_ISDIR(st.st_mode) && WriteInPlace(target, bytes);
    return ReplaceAtomically(target, bytes);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: sheetconv INPUT OUTPUT\n");
        return 2;
    }
    CDIB dib;
    if (!dib.Load(argv[1], nullptr)) {
        fprintf(stderr, "sheetconv: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!WriteFile(argv[2], EncodeBmp(dib))) {
        fprintf(stderr, "sheetconv: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
