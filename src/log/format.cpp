#include "log/format.h"

#include <cstdio>
#include <cstring>

size_t log_put(char* p, const int (*b)[M_N], int x, int y)
{
    size_t n = 0;
    for (int i = 0; i < x; i++) {
        p[n++] = LOG_SEP;
        for (int j = 0; j < y; j++) {
            // Every board value (0..WALL) takes LOG_DIGITS characters. A
            // snapshot of a large well has ten thousand fields: they are
            // set down by hand, as "%3d|" would print them.
            const int v = b[i][j];
            if (v >= 0 && v <= 999) {
                p[n] = v >= 100 ? static_cast<char>('0' + v / 100) : ' ';
                p[n + 1] = v >= 10 ? static_cast<char>('0' + v / 10 % 10) : ' ';
                p[n + 2] = static_cast<char>('0' + v % 10);
                p[n + 3] = LOG_SEP;
                n += LOG_FIELD;
                continue;
            }
            char f[16];
            const int k = std::snprintf(f, sizeof f, "%*d%c", LOG_DIGITS, v, LOG_SEP);
            std::memcpy(p + n, f, static_cast<size_t>(k));
            n += static_cast<size_t>(k);
        }
        p[n++] = '\n';
    }
    p[n++] = '\n';
    return n;
}

int log_field(const char* p)
{
    // printf pads with blanks on the left, then an optional minus, then the
    // digits without a leading zero.
    int k = 0;
    while (k < LOG_DIGITS && p[k] == ' ')
        k++;
    const bool neg = k < LOG_DIGITS && p[k] == '-';
    if (neg)
        k++;
    if (k == LOG_DIGITS || p[LOG_DIGITS] != LOG_SEP)
        return LOG_BAD_FIELD;
    if (p[k] == '0' && (neg || k < LOG_DIGITS - 1))
        return LOG_BAD_FIELD;
    int v = 0;
    for (; k < LOG_DIGITS; k++) {
        if (p[k] < '0' || p[k] > '9')
            return LOG_BAD_FIELD;
        v = 10 * v + (p[k] - '0');
    }
    return neg ? -v : v;
}
