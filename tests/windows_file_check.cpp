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

#include "console/file.h"

namespace {

int failures = 0;

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
        check(!file_empty(dev) && !file_append(dev, "x\n", 2), std::string(dev) + " (a device) is left alone");
    }
    CreateDirectoryW(L"dir.txt", nullptr);
    check(!file_empty("dir.txt") && !file_append("dir.txt", "x\n", 2), "dir.txt (a directory) is left alone");
    check(GetFileAttributesW(L"dir.txt") & FILE_ATTRIBUTE_DIRECTORY, "dir.txt is still a directory");

    check(file_append("log.txt", "a\nb\n\n", 5), "log.txt is created and appended to");
    check(slurp("log.txt") == "a\r\nb\r\n\r\n", "log.txt is written in text mode");
    check(file_empty("log.txt") && slurp("log.txt").empty(), "log.txt is emptied");
    check(file_append("log.txt", "a\n", 2) && file_append("log.txt", "b\n", 2) && slurp("log.txt") == "a\r\nb\r\n",
          "log.txt holds both appends, in order");

    put("other.txt", "not a log\n");
    if (CreateHardLinkW(L"hard.txt", L"other.txt", nullptr)) {
        check(!file_empty("hard.txt") && !file_append("hard.txt", "x\n", 2), "hard.txt (a second hard link) is left alone");
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
        check(!file_empty("sym.txt") && !file_append("sym.txt", "x\n", 2), "sym.txt (a symbolic link) is left alone");
        check(slurp("other.txt") == "not a log\n", "the file sym.txt links to is untouched");
    } else {
        std::printf("skip: no symbolic link could be made here\n");
    }

    std::printf("file check: %s\n", failures ? "failed" : "passed");
    return failures ? 1 : 0;
}
