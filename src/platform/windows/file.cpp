// Files through the Windows API, in text mode: "\n" is written as "\r\n".
#include <string>

#include "platform/windows/windows.h"

namespace {

// Others may read, write or delete the file while it is open: a viewer
// reading the log must not make the game's next write fail.
const DWORD SHARE = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Names are in the code page the C runtime's fopen would read them in.
std::wstring wide(const char* name)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, &w[0], n);
    w.pop_back();
    return w;
}

bool disk_file(HANDLE h, BY_HANDLE_FILE_INFORMATION* info)
{
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, info) &&
           !(info->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// Why a file could not be written, from the last error.
FileFault fault()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: return FileFault::Missing;
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: return FileFault::Denied;
    case ERROR_WRITE_PROTECT: return FileFault::ReadOnly;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return FileFault::Full;
    case ERROR_FILE_TOO_LARGE: return FileFault::Limit;
    default: return FileFault::Other;
    }
}

// The file opened for writing, not truncated, or INVALID_HANDLE_VALUE with
// *why. A symbolic link or junction is opened itself rather than followed,
// and is refused once looked at, as are a device name (NUL, CON, COM1) and a
// file with a second hard link; a directory cannot be opened this way at all.
HANDLE open_regular(const char* name, FileFault* why)
{
    HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, SHARE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *why = fault();
        return h;
    }
    BY_HANDLE_FILE_INFORMATION info;
    *why = GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)
               ? FileFault::NotRegular
           : info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? FileFault::Link
           : info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY     ? FileFault::NotRegular
           : info.nNumberOfLinks != 1                             ? FileFault::Shared
                                                                  : FileFault::None;
    if (*why != FileFault::None) {
        CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool cut_at(HANDLE h, LONGLONG at)
{
    LARGE_INTEGER li;
    li.QuadPart = at;
    return SetFilePointerEx(h, li, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

HANDLE handle(FileIn f) { return reinterpret_cast<HANDLE>(f); }

} // namespace

FileFault file_empty(const char* name)
{
    FileFault why = FileFault::Other;
    HANDLE h = open_regular(name, &why);
    if (h == INVALID_HANDLE_VALUE)
        return why;
    why = cut_at(h, 0) ? FileFault::None : fault();
    CloseHandle(h);
    return why;
}

FileFault file_append(const char* name, const char* p, size_t n)
{
    static std::string text;
    text.clear();
    for (size_t k = 0; k < n; k++) {
        if (p[k] == '\n')
            text += '\r';
        text += p[k];
    }
    FileFault why = FileFault::Other;
    HANDLE h = open_regular(name, &why);
    if (h == INVALID_HANDLE_VALUE)
        return why;
    LARGE_INTEGER end;
    if (text.size() > MAXDWORD || !GetFileSizeEx(h, &end) || !SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) {
        why = FileFault::Other;
    } else {
        DWORD put = 0;
        const bool wrote = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
        const bool ok = wrote && put == text.size();
        why = ok ? FileFault::None : wrote ? FileFault::Full : fault();
        // A full disk may take part of it: no torn snapshot stays.
        if (!ok)
            cut_at(h, end.QuadPart);
    }
    CloseHandle(h);
    return why;
}

FileIn file_open_in(const char* name, FileFault* why)
{
    *why = FileFault::None;
    // Backup semantics let a directory open, so that it is told apart from
    // a file that cannot be read.
    HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_READ, SHARE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        *why = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? FileFault::Missing : FileFault::Other;
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!disk_file(h, &info)) {
        CloseHandle(h);
        *why = FileFault::NotRegular;
        return -1;
    }
    return reinterpret_cast<FileIn>(h);
}

long long file_size(FileIn f)
{
    LARGE_INTEGER n;
    return GetFileSizeEx(handle(f), &n) ? n.QuadPart : -1;
}

long long file_read_at(FileIn f, long long at, char* p, size_t n)
{
    size_t got = 0;
    while (got < n) {
        OVERLAPPED o = {};
        const unsigned long long off = static_cast<unsigned long long>(at) + got;
        o.Offset = static_cast<DWORD>(off);
        o.OffsetHigh = static_cast<DWORD>(off >> 32);
        const size_t want = n - got < 1u << 30 ? n - got : 1u << 30;
        DWORD r = 0;
        if (!ReadFile(handle(f), p + got, static_cast<DWORD>(want), &r, &o))
            return GetLastError() == ERROR_HANDLE_EOF ? static_cast<long long>(got) : -1;
        if (r == 0)
            break;
        got += r;
    }
    return static_cast<long long>(got);
}

bool file_same(FileIn a, FileIn b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileInformationByHandle(handle(a), &ia) && GetFileInformationByHandle(handle(b), &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

void file_close(FileIn f)
{
    if (f != -1)
        CloseHandle(handle(f));
}

long long file_time(FileIn f)
{
    FILETIME ft;
    if (!GetFileTime(handle(f), nullptr, nullptr, &ft))
        return -1;
    // Ticks of 100 ns since 1601.
    const unsigned long long t = static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
    return static_cast<long long>(t / 10000000ULL) - 11644473600LL;
}

struct FileOut {
    HANDLE h;
    std::wstring temp; // empty: standard output
};

namespace {

// What stands at `name` may be replaced: nothing, or a disk file with a
// single name that is no link or junction.
FileFault replaceable(const std::wstring& name)
{
    HANDLE h = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, SHARE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? FileFault::None : fault();
    BY_HANDLE_FILE_INFORMATION info;
    const FileFault why = GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)
                              ? FileFault::NotRegular
                          : info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? FileFault::Link
                          : info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY     ? FileFault::NotRegular
                          : info.nNumberOfLinks != 1                             ? FileFault::Shared
                                                                                 : FileFault::None;
    CloseHandle(h);
    return why;
}

} // namespace

FileOut* file_begin(const char* name, FileFault* why)
{
    *why = FileFault::None;
    if (!name)
        return new FileOut{GetStdHandle(STD_OUTPUT_HANDLE), std::wstring()};
    const std::wstring final_name = wide(name);
    if ((*why = replaceable(final_name)) != FileFault::None)
        return nullptr;
    // A name of its own beside the final one: the process and a count.
    for (unsigned k = 0; k < 100; k++) {
        const std::wstring temp =
            final_name + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(k) + L".tmp";
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return new FileOut{h, temp};
        if (GetLastError() != ERROR_FILE_EXISTS) {
            *why = fault();
            return nullptr;
        }
    }
    *why = FileFault::Other;
    return nullptr;
}

FileFault file_write(FileOut* f, const char* p, size_t n)
{
    while (n > 0) {
        const DWORD want = n < (1u << 30) ? static_cast<DWORD>(n) : (1u << 30);
        DWORD put = 0;
        if (!WriteFile(f->h, p, want, &put, nullptr))
            return fault();
        if (put == 0)
            return FileFault::Full;
        p += put;
        n -= put;
    }
    return FileFault::None;
}

FileFault file_finish(FileOut* f, const char* name)
{
    if (f->temp.empty()) {
        delete f;
        return FileFault::None;
    }
    FileFault why = FlushFileBuffers(f->h) ? FileFault::None : fault();
    CloseHandle(f->h);
    f->h = INVALID_HANDLE_VALUE;
    const std::wstring final_name = wide(name);
    if (why == FileFault::None)
        why = replaceable(final_name);
    if (why == FileFault::None &&
        !MoveFileExW(f->temp.c_str(), final_name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        why = fault();
    if (why == FileFault::None)
        f->temp.clear(); // in place: nothing to remove
    file_drop(f);
    return why;
}

void file_drop(FileOut* f)
{
    // Standard output, where there is no new file, stays open.
    if (f && !f->temp.empty()) {
        if (f->h != INVALID_HANDLE_VALUE)
            CloseHandle(f->h);
        DeleteFileW(f->temp.c_str());
    }
    delete f;
}

namespace {

volatile LONG g_noted = 0;

// Runs on a thread of its own. Ctrl-C and Ctrl-Break are noted; a closed
// console, a logoff or a shutdown end the process once this returns, so
// it waits a while here for the task to see the request and end itself.
BOOL WINAPI on_stop(DWORD type)
{
    InterlockedExchange(&g_noted, 2); // as SIGINT
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        Sleep(4000);
    return TRUE;
}

} // namespace

void stop_note() { SetConsoleCtrlHandler(on_stop, TRUE); }

int stop_noted() { return static_cast<int>(InterlockedCompareExchange(&g_noted, 0, 0)); }

void stop_now(int)
{
    // The status the system's own handler ends a process with.
    ExitProcess(0xC000013AUL);
}
