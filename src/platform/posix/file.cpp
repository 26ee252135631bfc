// The file primitives over POSIX calls.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix.h"

const char OS_LINE_BREAK[] = "\n";

FileFault os_fault()
{
    switch (errno) {
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

FileIn os_open_write(const char* name)
{
    return open(name, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
}

FileIn os_open_read(const char* name) { return open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }

FileIn os_create_beside(const char* name, std::string* temp)
{
    *temp = std::string(name) + ".XXXXXX";
    const int fd = mkstemp(&(*temp)[0]);
    if (fd < 0)
        return -1;
    // mkstemp() makes it for its owner alone; a new file is as the umask says.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0 || fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        const int e = errno;
        close(fd);
        unlink(temp->c_str());
        errno = e;
        return -1;
    }
    return fd;
}

FileIn os_stdout() { return STDOUT_FILENO; }

namespace {

// What stat() told of a file; true.
bool told(const struct stat& st, FileInfo* i)
{
    i->kind = S_ISLNK(st.st_mode) ? FileInfo::Link : S_ISREG(st.st_mode) ? FileInfo::Regular : FileInfo::Other;
    i->links = static_cast<long long>(st.st_nlink);
    i->size = static_cast<long long>(st.st_size);
    i->time = static_cast<long long>(st.st_mtime);
    i->volume = static_cast<unsigned long long>(st.st_dev);
    i->id = static_cast<unsigned long long>(st.st_ino);
    return true;
}

} // namespace

bool os_look(const char* name, FileInfo* i)
{
    struct stat st;
    return lstat(name, &st) == 0 && told(st, i);
}

bool os_stat(FileIn f, FileInfo* i)
{
    struct stat st;
    return fstat(static_cast<int>(f), &st) == 0 && told(st, i);
}

long long os_read_at(FileIn f, long long at, char* p, size_t n)
{
    for (;;) {
        const ssize_t r = pread(static_cast<int>(f), p, n, static_cast<off_t>(at));
        if (!(r < 0 && errno == EINTR))
            return r;
    }
}

long long os_write(FileIn f, const char* p, size_t n)
{
    for (;;) {
        const ssize_t r = write(static_cast<int>(f), p, n);
        // A request to end cuts a blocked write short: it is seen between
        // two writes.
        if (!(r < 0 && errno == EINTR && !stop_noted()))
            return r;
    }
}

bool os_cut(FileIn f, long long size) { return ftruncate(static_cast<int>(f), static_cast<off_t>(size)) == 0; }

bool os_sync(FileIn f) { return fsync(static_cast<int>(f)) == 0; }

bool os_close(FileIn f) { return close(static_cast<int>(f)) == 0; }

bool os_rename(const char* from, const char* to) { return rename(from, to) == 0; }

void os_remove(const char* name) { unlink(name); }
