// What the game needs of the system it runs on, and all it asks of it: a
// screen to draw on and keys to read (a terminal, or the Windows console),
// the clock, signals, files, and the messages said before and after play.
// Each folder below implements this header for one platform, all but the
// file layer, which files.cpp writes once over the primitives at its end; a
// port is written from it alone. The test double implements it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class Painter;

// What happened since the last look, besides input; a bit set.
constexpr unsigned RESIZED = 1;     // the screen's size may have changed
constexpr unsigned SCREEN_LOST = 2; // what the screen shows is not known: draw it all again

class Platform {
public:
    virtual ~Platform() = default;

    // ---- The screen ----
    // What draws on it. Drawing is held until send().
    virtual Painter& painter() = 0;
    // Delivers what was drawn; false when the output is gone (closed, a
    // full disk, its reader away), what was drawn then dropped.
    virtual bool send() = 0;
    // The visible screen in columns and rows; false when not known (no
    // terminal).
    virtual bool size(int* cols, int* rows) = 0;
    // Columns the screen draws "■" and the arrows in: 1 or 2, 0 while not
    // known. Asked in play only: a platform may find out by drawing one.
    virtual int glyph_width() = 0;

    // ---- The keyboard ----
    // Whether input is typed at the screen, to be echoed and edited at a
    // question, rather than piped.
    virtual bool typed() const = 0;
    // Appends to `in` what the input holds now, at most `room` bytes,
    // without waiting; `lines`: a question waits for whole lines, which a
    // platform may wait for when the input is not typed. Replies of the
    // terminal to what the platform asked are kept out. False once the
    // input has ended.
    virtual bool read(std::string& in, size_t room, bool lines) = 0;
    // Waits until input may have come (when `input`), an event is pending,
    // or now_ms() reaches due_ms (-1: no limit), without burning the
    // processor.
    virtual void wait(int due_ms, bool input) = 0;
    // Acts on what came: a request to end ends the program (the screen
    // given back first); a stop gives the screen back and stops until
    // continued. Returns the events since the last call.
    virtual unsigned events() = 0;
    // Whether the platform has a pause of its own, which pause() runs:
    // its own prompt where the cursor stands, then one key, consumed
    // with every key typed before.
    virtual bool pauses() const = 0;
    virtual void pause() = 0;

    // ---- Time ----
    // Milliseconds since start, on a clock that never stops.
    virtual int now_ms() = 0;

    // ---- The end ----
    // Gives the screen and keyboard back as they were found; idempotent.
    virtual void restore() = 0;
};

// Made first thing in main(): closed standard descriptors are opened on
// the null device, so that no file of the program takes their place, and
// the locale is the user's.
void platform_prepare();
// Whether standard input (0) or output (1) was closed when the program
// started.
bool platform_was_closed(int fd);
// The platform of this build, taking the screen (the terminal's modes, its
// own screen, the signals); nullptr when it cannot.
std::unique_ptr<Platform> platform_open();

// Writes to standard output, or error, in the encoding the terminal
// expects (unless `encode` is false: then the bytes are taken as the
// terminal's own, and control characters and what is no character of it
// are escaped), without touching the terminal. False when the output
// could not be written.
bool say(bool error, std::string_view utf8, bool encode = true);

// ---- Files ----
// The board log's file, opened anew for every write. Only a regular file
// with a single name is written: a link could point anywhere, a second hard
// link is someone else's file too, a FIFO would hold the game up until a
// reader came, a device is no log. Whatever else stands there is left as
// it is.
enum class FileFault {
    None,
    Missing,    // no such file (reading), or no such folder
    NotRegular, // a folder, a FIFO, a device
    Link,       // a symbolic link
    Shared,     // a file with a second hard link
    Denied,     // no permission
    ReadOnly,   // on a file system mounted read-only
    Full,       // the disk is full
    Limit,      // past the size a file may have here
    Other,
};
// Empties the file, creating it when missing; FileFault::None when done.
FileFault file_empty(const char* name);
// Appends p[0..n) in one write, creating the file when missing; "\n" is
// the platform's line break in it. A write that fails or falls short is
// cut back off, so the file ends where it ended before.
FileFault file_append(const char* name, const char* p, size_t n);

// Reading, for a viewer of the log. Only a regular file is opened, and
// opening never waits: a FIFO or a device is refused, not waited on.
using FileIn = std::intptr_t; // -1: none
FileIn file_open_in(const char* name, FileFault* why);
// The file's size now, -1 when it cannot be told.
long long file_size(FileIn f);
// Reads up to n bytes from offset `at`; fewer only at the end of the file.
// The count read, or -1.
long long file_read_at(FileIn f, long long at, char* p, size_t n);
// Whether both are the same file, not merely files of the same name.
bool file_same(FileIn a, FileIn b);
void file_close(FileIn f);
// When the file was last written, in seconds since 1970 (UTC); -1 when it
// cannot be told.
long long file_time(FileIn f);

// Writing a file whole or not at all, for a long task's result: a new file
// is written beside `name` and put in its place only when whole, so that a
// failure or an end midway leaves whatever stood at `name` as it was, and
// nothing else behind. What stands at `name` is refused, as for the board
// log, unless it is a regular file with a single name: that file is
// replaced, not written through.
struct FileOut;
// Begins the new file: checks what stands at `name`, then creates a file
// no one else has in the same folder, readable as a new file is. A null
// `name` is standard output, written as it goes (in binary, with nothing
// to put in place). nullptr with *why when it cannot.
FileOut* file_begin(const char* name, FileFault* why);
// Appends p[0..n) as it is, "\n" included. FileFault::None when all of it
// was written; the file is left to file_drop() otherwise.
FileFault file_write(FileOut* f, const char* p, size_t n);
// Puts the file, on the disk first, in place of `name` (looked at again)
// and frees f; FileFault::None when done, else the new file is removed.
FileFault file_finish(FileOut* f, const char* name);
// Closes and removes the new file, and frees f; safe with nullptr.
void file_drop(FileOut* f);

// ---- Ending a long task ----
// From now on a request to end (an interrupt such as Ctrl-C, a hang-up, a
// termination) is only noted, for a task that leaves no half work behind
// and ends itself when it next looks. Writing past the size a file may
// have, or to a pipe whose reader left, fails as a write rather than
// ending the program.
void stop_note();
// The request noted, 0 for none: the signal's number where there are
// signals.
int stop_noted();
// Ends the program as that request would have ended it unnoted (on POSIX,
// killed by the signal: status 128 + n in a shell).
[[noreturn]] void stop_now(int why);

// ---- Beneath the files ----
// The file functions above are written once (files.cpp) over these, which
// each platform supplies; the game calls only those above. A FileIn is any
// open file here, read or written, and no program started inherits it. On
// failure each returns false, or -1, and os_fault() tells why.

// What stands at a name, or is open.
struct FileInfo {
    enum Kind { Regular, Link, Other } kind = Other; // Other: a folder, a FIFO, a device
    long long links = 0;                              // its names (hard links)
    long long size = 0;                               // in bytes
    long long time = 0;                               // last written, in seconds since 1970 (UTC)
    unsigned long long volume = 0, id = 0;            // the same pair, the same file
};
// "\n" as a text file here breaks lines.
extern const char OS_LINE_BREAK[];
// Why the last of these failed: FileFault::Missing when there is no such
// file or folder.
FileFault os_fault();
// Opens a file to write at its end, creating it when missing as a new file
// is made here, without following a symbolic link or waiting (for a FIFO's
// reader, say).
FileIn os_open_write(const char* name);
// Opens a file to read, without waiting; a folder may open.
FileIn os_open_read(const char* name);
// Creates, and opens to write, a file no one else has, named after `name`
// in its folder, as a new file is made here; *temp: its name.
FileIn os_create_beside(const char* name, std::string* temp);
// Standard output, in binary.
FileIn os_stdout();
// What stands at `name`, a link not followed.
bool os_look(const char* name, FileInfo* info);
// What is open.
bool os_stat(FileIn f, FileInfo* info);
// Reads up to n bytes from offset `at`, fewer when it will: the count read,
// 0 at the end of the file, or -1.
long long os_read_at(FileIn f, long long at, char* p, size_t n);
// Writes up to n bytes, fewer when it will: the count written, or -1. A
// request to end that stop_note() noted cuts a blocked write short.
long long os_write(FileIn f, const char* p, size_t n);
// Cuts the file to `size` bytes.
bool os_cut(FileIn f, long long size);
// Puts what was written on the disk.
bool os_sync(FileIn f);
// Closes f, which may report a failed write.
bool os_close(FileIn f);
// Puts `from` in place of `to`, whatever stood there, on the disk first.
bool os_rename(const char* from, const char* to);
// Removes the file named.
void os_remove(const char* name);
