#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// A new file beside path, under a name no one else uses; O_EXCL with mode 0666 lets the
// umask decide the bits, as for any new file.
int CreateTemp(const std::string& path, std::string& tempPath) {
    std::random_device seed;
    std::mt19937_64 random(((unsigned long long)seed() << 32) ^ seed() ^ (unsigned)getpid());
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
        char suffix[32];
        snprintf(suffix, sizeof(suffix), ".%016llx.part", (unsigned long long)random());
        tempPath = folder + "/." + name + suffix;
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool ReplaceAtomically(const std::string& path, const struct stat* pOld,
                       std::span<const unsigned char> bytes) {
    std::string tempPath;
    int fd = CreateTemp(path, tempPath);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes);
    if (ok && pOld)
        ok = fchmod(fd, pOld->st_mode & 07777) == 0;
    // The bytes reach the disk before the name does, so a crash leaves the old file or the
    // new one, never an empty one.
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(tempPath.c_str(), path.c_str()) == 0)
        return true;
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
