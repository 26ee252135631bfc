// The board log's file, opened anew for every write. Only a regular file
// with a single name is written: a link could point anywhere, a second hard
// link is someone else's file too, a FIFO would hold the game up until a
// reader came, a device is no log. Whatever else stands there is left as
// it is, and the write is given up quietly.
#pragma once

#include <cstddef>
#include <cstdint>

// Empties the file, creating it when missing; false when it was left alone.
bool file_empty(const char* name);
// Appends p[0..n) in one write, creating the file when missing; "\n" is the
// platform's line break in it. A write that fails or falls short is cut
// back off, so the file ends where it ended before. False then, or when the
// file was left alone.
bool file_append(const char* name, const char* p, size_t n);

// Reading, for a viewer of the log. Only a regular file is opened, and
// opening never waits: a FIFO or a device is refused, not waited on.
using FileIn = std::intptr_t; // -1: none
enum class FileFault { None, Missing, NotRegular, Other };
FileIn file_open_in(const char* name, FileFault* why);
// The file's size now, -1 when it cannot be told.
long long file_size(FileIn f);
// Reads up to n bytes from offset `at`; fewer only at the end of the file.
// The count read, or -1.
long long file_read_at(FileIn f, long long at, char* p, size_t n);
// Whether both are the same file, not merely files of the same name.
bool file_same(FileIn a, FileIn b);
void file_close(FileIn f);
