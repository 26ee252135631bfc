// Files that are written only when they are regular files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/file.h"

namespace {

// The file opened for writing, or -1. What is no regular file is not even
// opened, so that a FIFO's reader does not see a writer come and go; the
// flags keep the race between the look and the open harmless.
int open_regular(const char* name, int flags, struct stat* st)
{
    if (lstat(name, st) == 0 && !S_ISREG(st->st_mode))
        return -1;
    const int fd = open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags, 0666);
    if (fd < 0)
        return -1;
    if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
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
    const ssize_t r = write(fd, p, n);
    const bool ok = r >= 0 && static_cast<size_t>(r) == n;
    close(fd);
    return ok;
}
