// The board log's file layer on Windows, where only a Windows build can
// show it (scripts/cross-windows.sh runs it under Wine): device names, a
// directory, links and a regular file, each written the way the game
// writes data.txt. Run in an empty scratch directory; exits 1 on a wrong
// answer.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "log/format.h"
#include "log/reader.h"

namespace {

int failures = 0;

bool ok(FileFault f) { return f == FileFault::None; }

void check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    if (!ok)
        failures++;
}

std::string slurp(const char* name)
{
    std::string s;
    if (FILE* f = std::fopen(name, "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;)
            s += static_cast<char>(c);
        std::fclose(f);
    }
    return s;
}

void put(const char* name, const char* text)
{
    if (FILE* f = std::fopen(name, "wb")) {
        std::fputs(text, f);
        std::fclose(f);
    }
}

} // namespace

int main()
{
    const char* const devices[] = {"NUL", "CON", "COM1"};
    for (const char* dev : devices) {
        FILE* f = std::fopen(dev, "a");
        std::printf("note: fopen(\"%s\", \"a\") %s\n", dev, f ? "opens it" : "fails");
        if (f)
            std::fclose(f);
        check(!ok(file_empty(dev)) && !ok(file_append(dev, "x\n", 2)), std::string(dev) + " (a device) is left alone");
    }
    CreateDirectoryW(L"dir.txt", nullptr);
    check(!ok(file_empty("dir.txt")) && !ok(file_append("dir.txt", "x\n", 2)), "dir.txt (a directory) is left alone");
    check(GetFileAttributesW(L"dir.txt") & FILE_ATTRIBUTE_DIRECTORY, "dir.txt is still a directory");

    check(ok(file_append("log.txt", "a\nb\n\n", 5)), "log.txt is created and appended to");
    check(slurp("log.txt") == "a\r\nb\r\n\r\n", "log.txt is written in text mode");
    check(ok(file_empty("log.txt")) && slurp("log.txt").empty(), "log.txt is emptied");
    check(ok(file_append("log.txt", "a\n", 2)) && ok(file_append("log.txt", "b\n", 2)) && slurp("log.txt") == "a\r\nb\r\n",
          "log.txt holds both appends, in order");

    put("other.txt", "not a log\n");
    if (CreateHardLinkW(L"hard.txt", L"other.txt", nullptr)) {
        check(!ok(file_empty("hard.txt")) && !ok(file_append("hard.txt", "x\n", 2)), "hard.txt (a second hard link) is left alone");
        check(slurp("other.txt") == "not a log\n", "the file hard.txt links to is untouched");
    } else {
        std::printf("skip: no hard link could be made here (error %lu)\n", GetLastError());
    }
    // 2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, for systems in
    // developer mode; older ones need the privilege. Some Wine versions
    // say yes and make nothing.
    const bool sym = CreateSymbolicLinkW(L"sym.txt", L"other.txt", 2) || CreateSymbolicLinkW(L"sym.txt", L"other.txt", 0);
    const DWORD attrs = GetFileAttributesW(L"sym.txt");
    if (sym && attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        check(!ok(file_empty("sym.txt")) && !ok(file_append("sym.txt", "x\n", 2)), "sym.txt (a symbolic link) is left alone");
        check(slurp("other.txt") == "not a log\n", "the file sym.txt links to is untouched");
    } else {
        std::printf("skip: no symbolic link could be made here\n");
    }

    // Reading: only a disk file, and a log of the writer's text read back.
    FileFault why;
    for (const char* name : {"NUL", "CON", "COM1", "dir.txt"}) {
        const FileIn f = file_open_in(name, &why);
        check(f == -1 && why != FileFault::Missing, std::string(name) + " is not opened for reading");
        file_close(f);
    }
    static int b[M_N][M_N], got[M_N][M_N];
    for (int x = 0; x < 10; x++)
        for (int y = 0; y < 15; y++)
            b[x][y] = x == 0 || x == 9 || y == 14 ? WALL : (x + y) % WALL;
    static char snap[LOG_MAX_SNAPSHOT];
    const size_t n = log_put(snap, b, 10, 15);
    file_empty("log.txt");
    file_append("log.txt", snap, n);
    file_append("log.txt", snap, n / 2);
    LogReader r;
    std::string fault;
    bool same = r.open("log.txt", &fault) && r.read(0, got, &fault) == LogReader::Outcome::Ok && r.count() == 1 && r.cut_short() && r.crlf() &&
                r.width() == 10 && r.height() == 15;
    for (int x = 0; same && x < 10; x++)
        for (int y = 0; y < 15; y++)
            same = same && got[x][y] == b[x][y];
    check(same, "log.txt reads back as one snapshot of 10 x 15 with CRLF and part of another" +
                    (fault.empty() ? "" : ": " + fault));

    // A recording: put in place whole, in binary, or not at all; refused
    // where the log would be.
    put("old.cast", "old\n");
    FileOut* out = file_begin("old.cast", &why);
    check(out && ok(file_write(out, "new\n", 4)) && slurp("old.cast") == "old\n",
          "old.cast stays as it was while its new text is written");
    check(out && ok(file_finish(out, "old.cast")) && slurp("old.cast") == "new\n",
          "old.cast is replaced by the new text, byte for byte, once whole");
    out = file_begin("gone.cast", &why);
    check(out && ok(file_write(out, "x\n", 2)), "gone.cast is begun");
    file_drop(out);
    WIN32_FIND_DATAW found;
    const HANDLE left = FindFirstFileW(L"*.tmp", &found);
    check(GetFileAttributesW(L"gone.cast") == INVALID_FILE_ATTRIBUTES && left == INVALID_HANDLE_VALUE,
          "a recording given up leaves nothing behind");
    if (left != INVALID_HANDLE_VALUE)
        FindClose(left);
    for (const char* name : {"NUL", "dir.txt"})
        check(!file_begin(name, &why) && why == FileFault::NotRegular, std::string(name) + " is not replaced by a recording");

    std::printf("file check: %s\n", failures ? "failed" : "passed");
    return failures ? 1 : 0;
}
