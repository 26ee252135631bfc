// Files that are written only when they are regular files.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

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
