// The board log's text, written by r_d and read back by LogReader. A
// snapshot is a line per column x of the well: "|", then every row y from
// the top as a field "%3d|", then a line break; after the last column one
// more line break. A file is snapshots one after another, all of one size.
#pragma once

#include <cstddef>

#include "my-dropix.h"

constexpr char LOG_SEP = '|';  // starts a line and ends every field
constexpr int LOG_DIGITS = 3;  // a value, right-aligned in this many characters
constexpr int LOG_FIELD = LOG_DIGITS + 1;
constexpr int LOG_MIN_X = 10, LOG_MAX_X = M_N;
constexpr int LOG_MIN_Y = 15, LOG_MAX_Y = M_N;
constexpr int LOG_MAX_VALUE = WALL;

// Characters of a line before its break, for a well `y` rows high.
constexpr size_t log_line(int y) { return 1 + LOG_FIELD * static_cast<size_t>(y); }
// Bytes of a snapshot of an x by y well whose line breaks take `eol` bytes.
constexpr size_t log_snapshot(int x, int y, size_t eol)
{
    return static_cast<size_t>(x) * (log_line(y) + eol) + eol;
}
constexpr size_t LOG_MAX_SNAPSHOT = log_snapshot(LOG_MAX_X, LOG_MAX_Y, 1);

// Writes the snapshot of board b, x columns by y rows, into p (room for
// log_snapshot(x, y, 1) bytes) with "\n" line breaks; returns its length.
size_t log_put(char* p, const int (*b)[M_N], int x, int y);

// The value of the field at p[0..LOG_FIELD), LOG_BAD_FIELD when it is not
// what "%3d|" prints for any number (the value's range is not checked).
constexpr int LOG_BAD_FIELD = -1000;
int log_field(const char* p);
