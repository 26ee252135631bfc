#include <cstdio>

#include "console/file.h"
#include "my-dropix.h"

static const char LOG_NAME[] = "data.txt";

// Set once a snapshot could not be written whole: nothing more is appended
// in this game, so that the log never shows a gap. The player's answer J
// stays as it was.
static bool d_off = false;

// Empties the board log, creating it when missing.
void f_d()
{
    d_off = false;
    file_empty(LOG_NAME);
}

// Appends a snapshot of the board, one line per column, when the log is on.
void r_d()
{
    if (J == 0 || d_off)
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
    if (!file_append(LOG_NAME, buf, n))
        d_off = true;
}
