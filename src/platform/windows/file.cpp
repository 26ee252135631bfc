// The file primitives through the Windows API, and the end of a long task
// that leaves no half file behind. The board log is in text mode.
#include <string>

#include "platform/windows/windows.h"

const char OS_LINE_BREAK[] = "\r\n";

namespace {

// Others may read, write or delete the file while it is open: a viewer
// reading the log must not make the game's next write fail.
const DWORD SHARE = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The most one ReadFile or WriteFile is asked to move.
const size_t CHUNK = 1u << 30;

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

HANDLE handle(FileIn f) { return reinterpret_cast<HANDLE>(f); }
FileIn file(HANDLE h) { return reinterpret_cast<FileIn>(h); }

} // namespace

FileFault os_fault()
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

// A symbolic link or junction is opened itself rather than followed, and
// is refused once looked at, as are a device name (NUL, CON, COM1) and a
// file with a second hard link; a directory cannot be opened this way at all.
FileIn os_open_write(const char* name)
{
    HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, SHARE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    LARGE_INTEGER zero{};
    if (h != INVALID_HANDLE_VALUE && !SetFilePointerEx(h, zero, nullptr, FILE_END)) {
        CloseHandle(h);
        return -1;
    }
    return file(h);
}

FileIn os_open_read(const char* name)
{
    // Backup semantics let a directory open, so that it is told apart from
    // a file that cannot be read.
    return file(CreateFileW(wide(name).c_str(), GENERIC_READ, SHARE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

FileIn os_create_beside(const char* name, std::string* temp)
{
    // A name of its own beside the final one: the process and a count.
    for (unsigned k = 0; k < 100; k++) {
        *temp = std::string(name) + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(k) + ".tmp";
        HANDLE h = CreateFileW(wide(temp->c_str()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file(h);
    }
    return -1;
}

FileIn os_stdout() { return file(GetStdHandle(STD_OUTPUT_HANDLE)); }

bool os_look(const char* name, FileInfo* i)
{
    HANDLE h = CreateFileW(wide(name).c_str(), FILE_READ_ATTRIBUTES, SHARE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // A device is seen, but of another kind.
    if (!os_stat(file(h), i))
        *i = FileInfo{};
    CloseHandle(h);
    return true;
}

bool os_stat(FileIn f, FileInfo* i)
{
    BY_HANDLE_FILE_INFORMATION b;
    if (GetFileType(handle(f)) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle(f), &b))
        return false;
    i->kind = b.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? FileInfo::Link
              : b.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY   ? FileInfo::Other
                                                                : FileInfo::Regular;
    i->links = b.nNumberOfLinks;
    i->size = static_cast<long long>(static_cast<unsigned long long>(b.nFileSizeHigh) << 32 | b.nFileSizeLow);
    // Ticks of 100 ns since 1601.
    const unsigned long long t =
        static_cast<unsigned long long>(b.ftLastWriteTime.dwHighDateTime) << 32 | b.ftLastWriteTime.dwLowDateTime;
    i->time = static_cast<long long>(t / 10000000ULL) - 11644473600LL;
    i->volume = b.dwVolumeSerialNumber;
    i->id = static_cast<unsigned long long>(b.nFileIndexHigh) << 32 | b.nFileIndexLow;
    return true;
}

long long os_read_at(FileIn f, long long at, char* p, size_t n)
{
    OVERLAPPED o = {};
    o.Offset = static_cast<DWORD>(at);
    o.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(at) >> 32);
    DWORD r = 0;
    if (!ReadFile(handle(f), p, static_cast<DWORD>(n < CHUNK ? n : CHUNK), &r, &o))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return r;
}

long long os_write(FileIn f, const char* p, size_t n)
{
    DWORD put = 0;
    return WriteFile(handle(f), p, static_cast<DWORD>(n < CHUNK ? n : CHUNK), &put, nullptr) ? put : -1;
}

bool os_cut(FileIn f, long long size)
{
    LARGE_INTEGER li;
    li.QuadPart = size;
    return SetFilePointerEx(handle(f), li, nullptr, FILE_BEGIN) && SetEndOfFile(handle(f));
}

bool os_sync(FileIn f) { return FlushFileBuffers(handle(f)); }

bool os_close(FileIn f) { return CloseHandle(handle(f)); }

bool os_rename(const char* from, const char* to)
{
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

void os_remove(const char* name) { DeleteFileW(wide(name).c_str()); }

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
