#include "platform/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
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

// What the signal handler needs, where it can read it without allocating or
// locking: the path in a fixed buffer, valid while the flag is set.
char guardedPath[PATH_MAX + 16];
volatile sig_atomic_t guardArmed = 0;
const int guardedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeGuardedFile(int signalNumber)
{
    if (guardArmed) unlink(guardedPath);
    // Ended by the signal itself, so that the exit status tells what happened.
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigaction(signalNumber, &byDefault, nullptr);
    raise(signalNumber);
}

// Only over the default action: a signal the program ignores (nohup) or
// handles itself keeps that.
void installGuardHandlers()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signalNumber : guardedSignals) {
        struct sigaction old = {};
        if (sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction guard = {};
        guard.sa_handler = removeGuardedFile;
        sigemptyset(&guard.sa_mask);
        sigaction(signalNumber, &guard, nullptr);
    }
}

void disarmGuard(SafeWrite& write)
{
    if (write.guarded) guardArmed = 0;
    write.guarded = false;
}

}  // namespace

bool guardSafeWrite(SafeWrite& write)
{
    if (write.inPlace || write.fd < 0) return true;
    if (write.writePath.size() >= sizeof guardedPath) return false;
    installGuardHandlers();
    // A signal between the copy and the flag must not see half a path.
    sigset_t blocked, old;
    sigemptyset(&blocked);
    for (int signalNumber : guardedSignals) sigaddset(&blocked, signalNumber);
    sigprocmask(SIG_BLOCK, &blocked, &old);
    std::memcpy(guardedPath, write.writePath.c_str(), write.writePath.size() + 1);
    guardArmed = 1;
    write.guarded = true;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return true;
}

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
    // Only now: a signal before the rename must still remove the file, and
    // one after it finds no file of that name.
    disarmGuard(write);
    return ok;
}

void abortSafeWrite(SafeWrite& write)
{
    if (write.fd >= 0) close(write.fd);
    write.fd = -1;
    if (!write.inPlace && !write.writePath.empty()) unlink(write.writePath.c_str());
    disarmGuard(write);
}
