#include "my-dropix.h"

#include <cstdio>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

static const char LOG_NAME[] = "data.txt";

#ifdef _WIN32

static void log_empty()
{
    FILE* f = std::fopen(LOG_NAME, "w");
    if (f)
        std::fclose(f);
}

static void log_append(const char* p, size_t n)
{
    FILE* f = std::fopen(LOG_NAME, "a");
    if (!f)
        return;
    std::setvbuf(f, nullptr, _IONBF, 0);
    std::fwrite(p, 1, n, f);
    std::fclose(f);
}

#else

// data.txt opened for writing, or -1. Only a regular file is written: a
// link could point anywhere, a FIFO would hold the game up until a reader
// came, a device is not a log. Whatever else stands there is not even
// opened, so that a FIFO's reader does not see a writer come and go; the
// flags keep the race between the look and the open harmless.
static int log_open(int flags)
{
    struct stat st;
    if (lstat(LOG_NAME, &st) == 0 && !S_ISREG(st.st_mode))
        return -1;
    int fd = open(LOG_NAME, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags, 0666);
    if (fd < 0)
        return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

static void log_empty()
{
    int fd = log_open(0);
    if (fd < 0)
        return;
    int r = ftruncate(fd, 0);
    (void)r;
    close(fd);
}

static void log_append(const char* p, size_t n)
{
    int fd = log_open(O_APPEND);
    if (fd < 0)
        return;
    ssize_t r = write(fd, p, n);
    (void)r;
    close(fd);
}

#endif

// Empties the board log, creating it when missing.
void f_d() { log_empty(); }

// Appends a snapshot of the board, one line per column, when the log is on.
void r_d()
{
    if (J == 0)
        return;
    // Largest snapshot: M_N lines of "|" + M_N fields of "%3d|" + newline,
    // then the empty line.
    static char buf[M_N * (1 + 4 * M_N + 1) + 2];
    size_t n = 0;
    for (int x = 0; x < X; x++) {
        buf[n++] = '|';
        for (int y = 0; y < Y; y++)
            n += static_cast<size_t>(std::snprintf(buf + n, sizeof buf - n, "%3d|", m[x][y]));
        buf[n++] = '\n';
    }
    buf[n++] = '\n';
    // Opened per snapshot and written in one call, so what was logged is on
    // disk even if the game is killed. A log that cannot be written is
    // given up quietly; the game goes on.
    log_append(buf, n);
}
