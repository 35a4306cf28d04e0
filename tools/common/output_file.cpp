#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <random>

namespace {

// Linux gives up on a chain of links after 40 hops; so do we.
constexpr int kMaxLinkHops = 40;
constexpr int kTempNameTries = 100;

bool WriteAll(int fd, std::span<const unsigned char> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += (size_t)n;
    }
    return true;
}

std::optional<std::string> ReadLink(const std::string& path, size_t sizeHint) {
    std::string target(sizeHint + 1, '\0');
    for (;;) {
        ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            return std::nullopt;
        if ((size_t)n < target.size()) {
            target.resize((size_t)n);
            return target;
        }
        target.resize(target.size() * 2); // the link changed under us and grew
    }
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path at the end of a chain of symbolic links, as open() would follow it, also when
// the last link points at a file that does not exist yet.
std::optional<std::string> FollowLinks(std::string path) {
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
        if (!S_ISLNK(st.st_mode))
            return path;
        std::optional<std::string> target = ReadLink(path, (size_t)st.st_size);
        if (!target || target->empty())
            return std::nullopt;
        path = (*target)[0] == '/' ? *target : FolderOf(path) + "/" + *target;
    }
    return std::nullopt;
}

bool WriteInPlace(const std::string& path, std::span<const unsigned char> bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes);
    return close(fd) == 0 && ok;
}

// The name of the temporary file while it has one, for the signal handler to remove: a tool
// stopped by Ctrl+C, a logout or kill leaves nothing behind.
char g_szTempPath[PATH_MAX];
volatile sig_atomic_t g_bTempNamed = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTempAndDie(int nSignal) {
    if (g_bTempNamed)
        unlink(g_szTempPath);
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

// Holds the handlers for as long as a temporary file may have a name, and puts the previous
// ones back afterwards.
class TempNameGuard {
public:
    TempNameGuard() {
        struct sigaction action {};
        action.sa_handler = RemoveTempAndDie;
        sigemptyset(&action.sa_mask);
        // A signal the tool was told to ignore (nohup) stays ignored.
        for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
            if (sigaction(kCleanupSignals[i], nullptr, &m_previous[i]) == 0 &&
                m_previous[i].sa_handler != SIG_IGN)
                sigaction(kCleanupSignals[i], &action, nullptr);
    }
    ~TempNameGuard() {
        Forget();
        for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
            sigaction(kCleanupSignals[i], &m_previous[i], nullptr);
    }
    TempNameGuard(const TempNameGuard&) = delete;
    TempNameGuard& operator=(const TempNameGuard&) = delete;

    // False for a name too long to keep, which the caller then does not create.
    bool Remember(const std::string& path) {
        if (path.size() >= sizeof(g_szTempPath))
            return false;
        g_bTempNamed = 0;
        memcpy(g_szTempPath, path.c_str(), path.size() + 1);
        g_bTempNamed = 1;
        return true;
    }
    void Forget() { g_bTempNamed = 0; }

private:
    struct sigaction m_previous[std::size(kCleanupSignals)];
};

std::string RandomTempName(const std::string& path, std::mt19937_64& random) {
    char suffix[32];
    snprintf(suffix, sizeof(suffix), ".%016llx.part", (unsigned long long)random());
    return FolderOf(path) + "/." + path.substr(path.rfind('/') + 1) + suffix;
}

std::mt19937_64 SeededRandom() {
    std::random_device seed;
    return std::mt19937_64(((unsigned long long)seed() << 32) ^ seed() ^ (unsigned)getpid());
}

// Gives the unnamed file fd (made with O_TMPFILE) a unique name beside path.
bool NameUnnamed(int fd, const std::string& path, TempNameGuard& guard, std::string& tempPath) {
    std::mt19937_64 random = SeededRandom();
    char szSelf[64];
    snprintf(szSelf, sizeof(szSelf), "/proc/self/fd/%d", fd);
    for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
        tempPath = RandomTempName(path, random);
        if (!guard.Remember(tempPath))
            return false;
        if (linkat(AT_FDCWD, szSelf, AT_FDCWD, tempPath.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        guard.Forget();
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// A new named file beside path, for file systems without unnamed files; O_EXCL, so no one
// else's file is taken.
int CreateNamedTemp(const std::string& path, TempNameGuard& guard, std::string& tempPath) {
    std::mt19937_64 random = SeededRandom();
    for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
        tempPath = RandomTempName(path, random);
        if (!guard.Remember(tempPath))
            return -1;
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        guard.Forget();
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Writes the bytes to a new file and puts it at path in one rename. The file has no name
// while it is written where the file system allows it (nothing is left even on SIGKILL), and
// otherwise a name that a stopping signal removes. Mode 0666 lets the umask decide a new
// file's bits; a replaced file's permission bits are kept, but never setuid, setgid or sticky,
// which would hand the new contents its owner's or group's rights.
bool ReplaceAtomically(const std::string& path, const struct stat* pOld,
                       std::span<const unsigned char> bytes) {
    TempNameGuard guard;
    std::string tempPath;
    int fd = open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    const bool bUnnamed = fd >= 0;
    if (!bUnnamed)
        fd = CreateNamedTemp(path, guard, tempPath);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes);
    if (ok && pOld)
        ok = fchmod(fd, pOld->st_mode & 0777) == 0;
    // The bytes reach the disk before the name does, so a crash leaves the old file or the
    // new one, never an empty one.
    ok = ok && fsync(fd) == 0;
    if (ok && bUnnamed)
        ok = NameUnnamed(fd, path, guard, tempPath);
    ok = close(fd) == 0 && ok;
    if (ok && rename(tempPath.c_str(), path.c_str()) == 0)
        return true;
    if (!tempPath.empty())
        unlink(tempPath.c_str());
    return false;
}

} // namespace

bool WriteOutputFile(const std::string& path, std::span<const unsigned char> bytes) {
    if (path.empty())
        return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return false;
        // Opened by its own name, so that the kernel follows links such as /dev/stdout
        // (whose target, "pipe:[n]", is no path) as it does for any program.
        if (!S_ISREG(st.st_mode))
            return WriteInPlace(path, bytes);
        std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
        return real && ReplaceAtomically(real.get(), &st, bytes);
    }
    if (errno != ENOENT)
        return false;
    // A new file, or a link to one not made yet.
    std::optional<std::string> target = FollowLinks(path);
    return target && ReplaceAtomically(*target, nullptr, bytes);
}
