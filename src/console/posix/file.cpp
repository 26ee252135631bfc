// Files that are written only when they are regular files.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/file.h"

namespace {

bool sole_regular(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink == 1; }

// The file opened for writing, or -1. What is no regular file is not even
// opened, so that a FIFO's reader does not see a writer come and go; the
// flags and the second look keep the race between the look and the open
// harmless.
int open_regular(const char* name, int flags, struct stat* st)
{
    if (lstat(name, st) == 0 && !sole_regular(*st))
        return -1;
    const int fd = open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags, 0666);
    if (fd < 0)
        return -1;
    if (fstat(fd, st) != 0 || !sole_regular(*st)) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool file_empty(const char* name)
{
    struct stat st;
    const int fd = open_regular(name, 0, &st);
    if (fd < 0)
        return false;
    const bool ok = ftruncate(fd, 0) == 0;
    close(fd);
    return ok;
}

bool file_append(const char* name, const char* p, size_t n)
{
    struct stat st;
    const int fd = open_regular(name, O_APPEND, &st);
    if (fd < 0)
        return false;
    // A full disk or the size limit may take part of the write: what was
    // written of it goes again, so that no torn snapshot stays.
    const ssize_t r = write(fd, p, n);
    const bool ok = r >= 0 && static_cast<size_t>(r) == n;
    if (!ok) {
        const int e = ftruncate(fd, st.st_size);
        (void)e;
    }
    close(fd);
    return ok;
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
