// Files that are written only when they are regular files, and a long
// task's result written whole or not at all: the rules, once, over what
// each platform supplies (the end of platform.h).
#include <string>
#include <string_view>

#include "platform/platform.h"

struct FileOut {
    FileIn f;
    std::string temp; // empty: standard output
};

namespace {

// What stands at a name, or is open, that is no file of the game's to write.
FileFault refused(const FileInfo& i)
{
    return i.kind == FileInfo::Link ? FileFault::Link : i.kind != FileInfo::Regular ? FileFault::NotRegular
           : i.links != 1           ? FileFault::Shared : FileFault::None;
}

// The file opened for writing, with its size in *size, or -1 with *why.
// What is no regular file is not even opened, so that a FIFO's reader does
// not see a writer come and go; the open's care and the second look keep
// the race between the look and the open harmless.
FileIn open_regular(const char* name, long long* size, FileFault* why)
{
    FileInfo i;
    if (os_look(name, &i) && (*why = refused(i)) != FileFault::None)
        return -1;
    const FileIn f = os_open_write(name);
    if (f == -1) {
        *why = os_fault();
        return -1;
    }
    // What cannot be looked at once open is no file to write either.
    *why = os_stat(f, &i) ? refused(i) : FileFault::NotRegular;
    if (*why != FileFault::None) {
        os_close(f);
        return -1;
    }
    *size = i.size;
    return f;
}

// What stands at `name` may be replaced: nothing, or a regular file with a
// single name.
FileFault replaceable(const char* name)
{
    FileInfo i;
    if (os_look(name, &i))
        return refused(i);
    const FileFault why = os_fault();
    return why == FileFault::Missing ? FileFault::None : why;
}

// Writes p[0..n) in at most `tries` writes (-1: as many as it takes);
// FileFault::None when all of it was written.
FileFault put(FileIn f, const char* p, size_t n, int tries)
{
    for (; n > 0; tries--) {
        const long long r = tries == 0 ? 0 : os_write(f, p, n);
        if (r < 0)
            return os_fault();
        if (r == 0)
            return FileFault::Full;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return FileFault::None;
}

} // namespace

FileFault file_empty(const char* name)
{
    long long size = 0;
    FileFault why = FileFault::Other;
    const FileIn f = open_regular(name, &size, &why);
    if (f == -1)
        return why;
    why = os_cut(f, 0) ? FileFault::None : os_fault();
    os_close(f);
    return why;
}

FileFault file_append(const char* name, const char* p, size_t n)
{
    // The platform's line breaks, where they are not "\n"; kept between
    // calls, as the log is appended to at every turn.
    static std::string text;
    if (std::string_view(OS_LINE_BREAK) != "\n") {
        text.clear();
        for (size_t k = 0; k < n; k++)
            text += p[k] == '\n' ? std::string_view(OS_LINE_BREAK) : std::string_view(p + k, 1);
        p = text.data();
        n = text.size();
    }
    long long size = 0;
    FileFault why = FileFault::Other;
    const FileIn f = open_regular(name, &size, &why);
    if (f == -1)
        return why;
    // A full disk or the size limit may take part of the write: the rest is
    // tried once more, to learn why, and what was written of it goes again,
    // so that no torn snapshot stays.
    why = put(f, p, n, 2);
    if (why != FileFault::None)
        os_cut(f, size);
    os_close(f);
    return why;
}

FileIn file_open_in(const char* name, FileFault* why)
{
    *why = FileFault::None;
    const FileIn f = os_open_read(name);
    if (f == -1) {
        *why = os_fault() == FileFault::Missing ? FileFault::Missing : FileFault::Other;
        return -1;
    }
    FileInfo i;
    if (!os_stat(f, &i) || i.kind != FileInfo::Regular) {
        os_close(f);
        *why = FileFault::NotRegular;
        return -1;
    }
    return f;
}

long long file_size(FileIn f)
{
    FileInfo i;
    return os_stat(f, &i) ? i.size : -1;
}

long long file_read_at(FileIn f, long long at, char* p, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const long long r = os_read_at(f, at + static_cast<long long>(got), p + got, n - got);
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    return static_cast<long long>(got);
}

bool file_same(FileIn a, FileIn b)
{
    FileInfo ia, ib;
    return os_stat(a, &ia) && os_stat(b, &ib) && ia.volume == ib.volume && ia.id == ib.id;
}

void file_close(FileIn f)
{
    if (f != -1)
        os_close(f);
}

long long file_time(FileIn f)
{
    FileInfo i;
    return os_stat(f, &i) ? i.time : -1;
}

FileOut* file_begin(const char* name, FileFault* why)
{
    *why = FileFault::None;
    if (!name)
        return new FileOut{os_stdout(), ""};
    if ((*why = replaceable(name)) != FileFault::None)
        return nullptr;
    std::string temp;
    const FileIn f = os_create_beside(name, &temp);
    if (f == -1) {
        *why = os_fault();
        return nullptr;
    }
    return new FileOut{f, temp};
}

FileFault file_write(FileOut* f, const char* p, size_t n) { return put(f->f, p, n, -1); }

void file_drop(FileOut* f)
{
    // Standard output, where there is no new file, stays open.
    if (f && !f->temp.empty()) {
        if (f->f != -1)
            os_close(f->f);
        os_remove(f->temp.c_str());
    }
    delete f;
}

FileFault file_finish(FileOut* f, const char* name)
{
    if (f->temp.empty()) {
        delete f;
        return FileFault::None;
    }
    FileFault why = os_sync(f->f) ? FileFault::None : os_fault();
    if (!os_close(f->f) && why == FileFault::None)
        why = os_fault();
    f->f = -1;
    if (why == FileFault::None)
        why = replaceable(name);
    if (why == FileFault::None && !os_rename(f->temp.c_str(), name))
        why = os_fault();
    if (why == FileFault::None)
        f->temp.clear(); // in place: nothing to remove
    file_drop(f);
    return why;
}
