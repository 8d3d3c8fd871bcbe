#include "common/DatabaseLocks.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace nbx {

namespace {

using FcntlCall = int (*)(int, int, ...);
using CloseCall = int (*)(int);

FcntlCall g_nextFcntl = nullptr;
CloseCall g_nextClose = nullptr;

using FileKey = std::pair<dev_t, ino_t>;

// The one description through which every lock of a file is taken, and how many of SQLite's
// descriptors of that file have locked through it and are still open.
struct SharedFile {
    int fd = -1;
    int users = 0;
};

struct Registry {
    std::mutex mutex;
    std::map<FileKey, SharedFile> files;
    std::map<int, FileKey> owners; // SQLite's descriptor -> its file
};

Registry& registry()
{
    static Registry* r = new Registry; // never destroyed: SQLite may close files at exit
    return *r;
}

// A description of the file of `fd` of our own. Opened anew for reading and writing where the
// file allows it, so that a write lock can be taken through it even when the first connection to
// lock the file opened it read-only; otherwise a duplicate of `fd`.
int ownDescription(int fd, const struct stat& st)
{
    char path[40];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    const int reopened = ::open(path, O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (reopened >= 0) {
        struct stat again {};
        if (::fstat(reopened, &again) == 0 && again.st_dev == st.st_dev && again.st_ino == st.st_ino)
            return reopened;
        ::close(reopened);
    }
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// Forgets `fd` as a user of its file; returns the shared description to close when it was the
// file's last one, else -1. Called with the registry locked.
int forget(Registry& r, int fd)
{
    const auto owner = r.owners.find(fd);
    if (owner == r.owners.end())
        return -1;
    const auto file = r.files.find(owner->second);
    r.owners.erase(owner);
    if (file == r.files.end() || --file->second.users > 0)
        return -1;
    const int shared = file->second.fd;
    r.files.erase(file);
    return shared;
}

// The shared description for a lock call on `fd`, registering `fd` as one of its users; -1 with
// errno set when the file cannot be known or described.
int sharedDescription(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    const FileKey key{st.st_dev, st.st_ino};
    Registry& r = registry();
    int stale = -1;
    int shared = -1;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        const auto owner = r.owners.find(fd);
        if (owner != r.owners.end() && owner->second != key)
            stale = forget(r, fd); // a number closed behind SQLite's back and used again
        SharedFile& file = r.files[key];
        if (file.fd < 0) {
            file.fd = ownDescription(fd, st);
            if (file.fd < 0) {
                const int saved = errno;
                r.files.erase(key);
                errno = saved;
                return -1;
            }
        }
        if (r.owners.emplace(fd, key).second)
            ++file.users;
        shared = file.fd;
    }
    if (stale >= 0)
        ::close(stale);
    return shared;
}

int ofdCommand(int cmd)
{
    switch (cmd) {
    case F_SETLK: return F_OFD_SETLK;
    case F_SETLKW: return F_OFD_SETLKW;
    case F_GETLK: return F_OFD_GETLK;
    default: return 0;
    }
}

// SQLite's "fcntl": its record locks become locks of the file's shared description; every other
// command goes through unchanged.
int lockingFcntl(int fd, int cmd, ...)
{
    va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*); // as the C library reads it: one word, whatever the command
    va_end(args);
    const int ofd = ofdCommand(cmd);
    if (ofd == 0 || !arg)
        return g_nextFcntl(fd, cmd, arg);
    const int shared = sharedDescription(fd);
    if (shared < 0)
        return -1;
    auto* request = static_cast<struct flock*>(arg);
    struct flock l = *request;
    l.l_pid = 0; // required by the description's own lock calls
    const int rc = g_nextFcntl(shared, ofd, &l);
    if (rc != 0 && errno == EINVAL)
        return g_nextFcntl(fd, cmd, arg); // a system without description locks: as before
    if (rc == 0 && cmd == F_GETLK)
        *request = l;
    return rc;
}

// SQLite's "close": the file's shared description goes with SQLite's last descriptor of it, so
// that no file that SQLite has let go (a removed journal, a closed database) stays open.
int releasingClose(int fd)
{
    Registry& r = registry();
    int shared = -1;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        shared = forget(r, fd);
    }
    if (shared >= 0)
        ::close(shared);
    return g_nextClose(fd);
}

bool install()
{
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall || !vfs->xGetSystemCall)
        return false;
    g_nextFcntl = reinterpret_cast<FcntlCall>(vfs->xGetSystemCall(vfs, "fcntl"));
    g_nextClose = reinterpret_cast<CloseCall>(vfs->xGetSystemCall(vfs, "close"));
    if (!g_nextFcntl || !g_nextClose)
        return false;
    // "close" first: a descriptor is known from its first lock on, and must be forgotten when
    // SQLite closes it.
    if (vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(&releasingClose)) != SQLITE_OK)
        return false;
    if (vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(&lockingFcntl)) != SQLITE_OK) {
        vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(g_nextClose));
        return false;
    }
    return true;
}

// Before main: no connection of the process, whoever opens it first, takes a lock the old way.
[[maybe_unused]] const bool g_installedAtStart = shareDatabaseLocks();

} // namespace

bool shareDatabaseLocks()
{
    static const bool installed = install();
    return installed;
}

} // namespace nbx
