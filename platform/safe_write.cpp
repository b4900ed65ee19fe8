#include "platform/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Follows a symbolic link, so that the file it names is replaced, not the link.
std::string resolvedTarget(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return path;
    return resolved;
}

}  // namespace

bool beginSafeWrite(const std::string& path, SafeWrite& write)
{
    write = SafeWrite{};
    write.target = resolvedTarget(path);
    struct stat st;
    const bool exists = stat(write.target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        write.inPlace = true;
        write.writePath = write.target;
        // Non-blocking, so that a pipe nobody reads fails instead of hanging.
        write.fd = open(write.target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
        if (write.fd < 0) return false;
        fcntl(write.fd, F_SETFL, fcntl(write.fd, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    std::vector<char> name(write.target.begin(), write.target.end());
    const std::string suffix = ".partXXXXXX";
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    write.fd = mkstemp(name.data());
    if (write.fd < 0) return false;
    write.writePath = name.data();
    fchmod(write.fd, exists ? (st.st_mode & 07777) : newFileMode());
    return true;
}

bool writeAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool commitSafeWrite(SafeWrite& write)
{
    if (write.fd < 0) return false;
    bool ok = write.inPlace || fsync(write.fd) == 0;
    ok = close(write.fd) == 0 && ok;
    write.fd = -1;
    if (write.inPlace) return ok;
    if (ok) ok = rename(write.writePath.c_str(), write.target.c_str()) == 0;
    if (!ok) unlink(write.writePath.c_str());
    return ok;
}

void abortSafeWrite(SafeWrite& write)
{
    if (write.fd >= 0) close(write.fd);
    write.fd = -1;
    if (!write.inPlace && !write.writePath.empty()) unlink(write.writePath.c_str());
}
