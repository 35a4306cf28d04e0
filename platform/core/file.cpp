#include "file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string g_dataFolderOverride;

std::string ExecutableFolder() {
    std::string path = AfxGetExecutablePath();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string HomeFolder() {
    const char* home = getenv("HOME");
    return home && *home ? home : "/";
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Finds a name in a folder regardless of case; empty when there is none.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder.empty() ? "/" : folder, error), end;
         !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename();
        if (strcasecmp(entry.c_str(), name.c_str()) == 0)
            return entry;
    }
    return {};
}

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    size_t begin = 0;
    while ((begin = path.find_first_not_of("/\\", begin)) != std::string::npos) {
        size_t end = path.find_first_of("/\\", begin);
        parts.push_back(path.substr(begin, end - begin));
        begin = end;
    }
    return parts;
}

bool IsDriveLetter(const std::string& part) {
    return part.size() >= 2 && part[1] == ':' &&
           ((part[0] >= 'a' && part[0] <= 'z') || (part[0] >= 'A' && part[0] <= 'Z'));
}

} // namespace

std::string AfxGetExecutablePath() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::string AfxGetDataFolder() {
    if (!g_dataFolderOverride.empty())
        return g_dataFolderOverride;
    return ExecutableFolder() + "/../share/kyrattack";
}

void AfxSetDataFolder(const std::string& folder) {
    g_dataFolderOverride = folder;
}

std::string AfxResolvePath(LPCTSTR lpszPath) {
    if (!lpszPath)
        return {};
    std::string text(lpszPath);
    std::vector<std::string> parts = SplitComponents(text);
    bool absolute = !text.empty() && (text[0] == '/' || text[0] == '\\');
    std::string path = absolute ? "" : ".";
    size_t first = 0;
    if (!parts.empty() && IsDriveLetter(parts[0])) {
        char letter = (char)(parts[0][0] | 0x20);
        path = AfxGetDataFolder() + "/drive_" + letter;
        std::string rest = parts[0].substr(2); // "c:foo" names foo on drive c
        if (rest.empty())
            first = 1;
        else
            parts[0] = rest;
    } else if (!parts.empty() && parts[0] == "~" && !absolute) {
        path = HomeFolder();
        first = 1;
    }

    for (size_t i = first; i < parts.size(); ++i) {
        std::string candidate = path + "/" + parts[i];
        if (parts[i] != "." && parts[i] != ".." && !Exists(candidate)) {
            std::string match = FindIgnoringCase(path, parts[i]);
            if (!match.empty())
                candidate = path + "/" + match;
        }
        path = candidate;
    }
    return path.empty() ? "/" : path;
}

CFile::CFile() : m_fd(-1) {}

CFile::~CFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    auto fail = [&](int cause, int osError) {
        if (pError) {
            pError->m_cause = cause;
            pError->m_lOsError = osError;
        }
        return FALSE;
    };
    if (m_fd >= 0)
        Close();
    if (!lpszFileName || !*lpszFileName)
        return fail(CFileException::badPath, ENOENT);
    if ((nOpenFlags & (modeWrite | modeReadWrite | modeCreate)) != 0)
        return fail(CFileException::accessDenied, EACCES);

    std::string path = AfxResolvePath(lpszFileName);
    // Non-blocking, so that naming a pipe can never hang the caller; checked below.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fail(errno == ENOENT ? CFileException::fileNotFound : CFileException::accessDenied,
                    errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(CFileException::accessDenied, EISDIR);
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_strFileName = path;
    return TRUE;
}

void CFile::ThrowFileException(int cause, int osError) const {
    throw new CFileException(cause, osError, m_strFileName.c_str());
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0)
        return 0;
    if (m_fd < 0 || !lpBuf)
        ThrowFileException(CFileException::invalidFile, EBADF);
    UINT total = 0;
    BYTE* out = static_cast<BYTE*>(lpBuf);
    while (total < nCount) {
        ssize_t n = ::read(m_fd, out + total, nCount - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowFileException(CFileException::hardIO, errno);
        }
        if (n == 0)
            break;
        total += (UINT)n;
    }
    return total;
}

// An origin the host does not know (-1) fails there, as a bad seek with EINVAL.
ULONGLONG CFile::SeekHost(LONGLONG lOff, int whence) const {
    if (m_fd < 0)
        ThrowFileException(CFileException::invalidFile, EBADF);
    off_t pos = ::lseek(m_fd, (off_t)lOff, whence);
    if (pos < 0)
        ThrowFileException(CFileException::badSeek, errno);
    return (ULONGLONG)pos;
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END}; // begin, current, end
    return SeekHost(lOff, nFrom <= end ? kWhence[nFrom] : -1);
}

ULONGLONG CFile::GetPosition() const {
    return SeekHost(0, SEEK_CUR);
}

ULONGLONG CFile::GetLength() const {
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        ThrowFileException(CFileException::invalidFile, EBADF);
    return (ULONGLONG)st.st_size;
}

void CFile::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_strFileName.clear();
}
