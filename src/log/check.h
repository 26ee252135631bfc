// Checking a snapshot's text as it is read back: what is wrong, on which of
// its lines, and the words that say it.
#pragma once

#include <cstddef>
#include <string>

#include "log/format.h"

struct LogFault {
    enum What {
        OK,
        OUT,        // the bytes end (first snapshot only)
        NO_BAR,     // a line does not start with "|"
        BAD_FIELD,  // field a is not as "%3d|" prints a value
        BAD_VALUE,  // field a holds b, outside 0..20
        SHORT_LINE, // a line of a fields where the first has b
        LONG_LINE,
        EOL_DIFF,   // a line break of a bytes, the first line's has b
        BAD_Y,      // a fields in a line (a > 100: more than 100)
        BAD_X,      // a lines in a snapshot (a > 100: more than 100)
        FEWER_LINES,
        MORE_LINES,
        NO_END,     // no empty line where the snapshot should end
    };
    What what = OK;
    int line = 0; // where, from 0 at the snapshot's first line
    int a = 0, b = 0;
};

// The first snapshot, at the start of p[0..n): its first line tells the
// height and the line break, its empty line the width. Its cells go to b.
LogFault log_first(const char* p, size_t n, int* x, int* y, size_t* eol, int (*b)[M_N]);
// Any other snapshot, p[0..log_snapshot(x, y, eol)).
LogFault log_later(const char* p, int x, int y, size_t eol, int (*b)[M_N]);
// What is wrong, in words (for a fault that is not OK).
std::string log_fault_text(const LogFault& f);
