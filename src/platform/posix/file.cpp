// Files that are written only when they are regular files, and the end
// of a long task that leaves no half file behind.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix.h"

namespace {

// Why a write could not be made, from errno.
FileFault fault(int e)
{
    switch (e) {
    case ENOENT: case ENOTDIR: return FileFault::Missing;
    case ELOOP: return FileFault::Link;
    case EACCES: case EPERM: return FileFault::Denied;
    case EROFS: return FileFault::ReadOnly;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return FileFault::Full;
    case EFBIG: return FileFault::Limit;
    default: return FileFault::Other;
    }
}

// What stands at a name that is no file of the game's to write.
FileFault refused(const struct stat& st)
{
    return S_ISLNK(st.st_mode) ? FileFault::Link : !S_ISREG(st.st_mode) ? FileFault::NotRegular
           : st.st_nlink != 1  ? FileFault::Shared : FileFault::None;
}

// The file opened for writing, or -1 with *why. What is no regular file is
// not even opened, so that a FIFO's reader does not see a writer come and
// go; the flags and the second look keep the race between the look and
// the open harmless.
int open_regular(const char* name, int flags, struct stat* st, FileFault* why)
{
    if (lstat(name, st) == 0 && (*why = refused(*st)) != FileFault::None)
        return -1;
    const int fd = open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        *why = fault(errno);
        return -1;
    }
    if (fstat(fd, st) != 0 || (*why = refused(*st)) != FileFault::None) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FileFault file_empty(const char* name)
{
    struct stat st;
    FileFault why = FileFault::Other;
    const int fd = open_regular(name, 0, &st, &why);
    if (fd < 0)
        return why;
    why = ftruncate(fd, 0) == 0 ? FileFault::None : fault(errno);
    close(fd);
    return why;
}

FileFault file_append(const char* name, const char* p, size_t n)
{
    struct stat st;
    FileFault why = FileFault::Other;
    const int fd = open_regular(name, O_APPEND, &st, &why);
    if (fd < 0)
        return why;
    // A full disk or the size limit may take part of the write: the rest is
    // tried once more, to learn why, and what was written of it goes again,
    // so that no torn snapshot stays.
    size_t done = 0;
    ssize_t r = 0;
    for (int tries = 0; done < n && tries < 2 && r >= 0; tries++) {
        r = write(fd, p + done, n - done);
        if (r > 0)
            done += static_cast<size_t>(r);
    }
    why = done == n ? FileFault::None : r < 0 ? fault(errno) : FileFault::Full;
    if (why != FileFault::None) {
        const int e = ftruncate(fd, st.st_size);
        (void)e;
    }
    close(fd);
    return why;
}

FileIn file_open_in(const char* name, FileFault* why)
{
    *why = FileFault::None;
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ENOENT ? FileFault::Missing : FileFault::Other;
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *why = FileFault::NotRegular;
        return -1;
    }
    return fd;
}

long long file_size(FileIn f)
{
    struct stat st;
    return fstat(static_cast<int>(f), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long long file_read_at(FileIn f, long long at, char* p, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const ssize_t r = pread(static_cast<int>(f), p + got, n - got, static_cast<off_t>(at) + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    return static_cast<long long>(got);
}

bool file_same(FileIn a, FileIn b)
{
    struct stat sa, sb;
    return fstat(static_cast<int>(a), &sa) == 0 && fstat(static_cast<int>(b), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void file_close(FileIn f)
{
    if (f >= 0)
        close(static_cast<int>(f));
}

long long file_time(FileIn f)
{
    struct stat st;
    return fstat(static_cast<int>(f), &st) == 0 ? static_cast<long long>(st.st_mtime) : -1;
}

struct FileOut {
    int fd;
    std::string temp; // empty: standard output
};

namespace {

// What stands at `name` may be replaced: nothing, or a regular file with a
// single name.
FileFault replaceable(const char* name)
{
    struct stat st;
    if (lstat(name, &st) == 0)
        return refused(st);
    return errno == ENOENT ? FileFault::None : fault(errno);
}

} // namespace

FileOut* file_begin(const char* name, FileFault* why)
{
    *why = FileFault::None;
    if (!name)
        return new FileOut{STDOUT_FILENO, ""};
    if ((*why = replaceable(name)) != FileFault::None)
        return nullptr;
    std::string temp = std::string(name) + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        *why = fault(errno);
        return nullptr;
    }
    // mkstemp() makes it for its owner alone; a new file is as the umask says.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0 || fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        *why = fault(errno);
        close(fd);
        unlink(temp.c_str());
        return nullptr;
    }
    return new FileOut{fd, temp};
}

FileFault file_write(FileOut* f, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t r = write(f->fd, p, n);
        // A request to end cuts a blocked write short: it is seen between
        // two writes.
        if (r < 0 && errno == EINTR && !stop_noted())
            continue;
        if (r < 0)
            return fault(errno);
        if (r == 0)
            return FileFault::Full;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return FileFault::None;
}

void file_drop(FileOut* f)
{
    // Standard output, where there is no new file, stays open.
    if (f && !f->temp.empty()) {
        if (f->fd >= 0)
            close(f->fd);
        unlink(f->temp.c_str());
    }
    delete f;
}

FileFault file_finish(FileOut* f, const char* name)
{
    if (f->temp.empty()) {
        delete f;
        return FileFault::None;
    }
    FileFault why = fsync(f->fd) == 0 ? FileFault::None : fault(errno);
    if (close(f->fd) != 0 && why == FileFault::None)
        why = fault(errno);
    f->fd = -1;
    if (why == FileFault::None)
        why = replaceable(name);
    if (why == FileFault::None && rename(f->temp.c_str(), name) != 0)
        why = fault(errno);
    if (why == FileFault::None)
        f->temp.clear(); // in place: nothing to remove
    file_drop(f);
    return why;
}


namespace {

volatile sig_atomic_t g_noted = 0;

// Notes the request; a second one of the same kind, for a task that does
// not look, ends the program as usual.
void on_stop(int sig)
{
    if (g_noted == sig) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    g_noted = sig;
}

} // namespace

void stop_note()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction sa {}, old {};
        // Started with it ignored (nohup), it stays ignored.
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        sa.sa_handler = on_stop;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no restart: a blocked write ends, and the request is seen
        sigaction(sig, &sa, nullptr);
    }
    // A reader that went away, or the size limit, fail a write, which is said.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

int stop_noted() { return g_noted; }

void stop_now(int why) { die_of(why); }
