// The board log's file, opened anew for every write. Only a regular file
// with a single name is written: a link could point anywhere, a second hard
// link is someone else's file too, a FIFO would hold the game up until a
// reader came, a device is no log. Whatever else stands there is left as
// it is, and the write is given up quietly.
#pragma once

#include <cstddef>

// Empties the file, creating it when missing; false when it was left alone.
bool file_empty(const char* name);
// Appends p[0..n) in one write, creating the file when missing; "\n" is the
// platform's line break in it. A write that fails or falls short is cut
// back off, so the file ends where it ended before. False then, or when the
// file was left alone.
bool file_append(const char* name, const char* p, size_t n);

