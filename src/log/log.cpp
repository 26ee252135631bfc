#include "console/file.h"
#include "log/format.h"
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
    static char buf[LOG_MAX_SNAPSHOT];
    const size_t n = log_put(buf, m, X, Y);
    // Opened per snapshot and written in one call, so what was logged is on
    // disk even if the game is killed. A log that cannot be written is
    // given up quietly; the game goes on.
    if (!file_append(LOG_NAME, buf, n))
        d_off = true;
}
