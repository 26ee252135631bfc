// The console on Windows. Handles are fetched afresh on every call: the
// command interpreter started for clearing and pausing shares the console,
// and nothing here may outlive a change it makes.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <conio.h>
#include <mmsystem.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "console/windows/windows_console.h"

namespace {

// How the console was found, for the ways out that bypass the destructor.
CONSOLE_CURSOR_INFO g_cursor = {25, TRUE};
WORD g_attr = 7;
bool g_saved = false;

// Puts the cursor and colour back as they were found.
void give_back()
{
    if (!g_saved)
        return;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SetConsoleTextAttribute(out, g_attr);
    SetConsoleCursorInfo(out, &g_cursor);
}

// Ctrl-C, Ctrl-Break, a closed window: the console is given back, then the
// default handler ends the program.
BOOL WINAPI on_ctrl(DWORD)
{
    give_back();
    return FALSE;
}

// Ticks of the performance counter, a clock that never stops.
long long counter()
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

// Performance counter ticks per second.
long long frequency()
{
    static const long long f = [] {
        LARGE_INTEGER q;
        QueryPerformanceFrequency(&q);
        return q.QuadPart > 0 ? q.QuadPart : 1;
    }();
    return f;
}

// Whether a standard handle is a console rather than a file or pipe.
bool is_console(HANDLE h)
{
    DWORD mode;
    return GetConsoleMode(h, &mode) != 0;
}

// Writes UTF-8 to a standard handle: as UTF-16 to a console, so the text
// shows whatever its code page, and as the bytes themselves elsewhere.
// False when it could not all be written.
bool put(DWORD which, const char* p, size_t n)
{
    HANDLE h = GetStdHandle(which);
    if (n == 0)
        return true;
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return false;
    if (!is_console(h)) {
        while (n > 0) {
            DWORD w = 0;
            DWORD chunk = n > 65536 ? 65536 : static_cast<DWORD>(n);
            if (!WriteFile(h, p, chunk, &w, nullptr) || w == 0)
                return false; // output gone
            p += w;
            n -= w;
        }
        return true;
    }
    const int len = static_cast<int>(n);
    int wide = MultiByteToWideChar(CP_UTF8, 0, p, len, nullptr, 0);
    if (wide <= 0)
        return false;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, p, len, &w[0], wide);
    // Older consoles refuse very long writes; never split a surrogate pair.
    size_t at = 0;
    while (at < w.size()) {
        size_t chunk = w.size() - at;
        if (chunk > 8192) {
            chunk = 8192;
            if (w[at + chunk - 1] >= 0xd800 && w[at + chunk - 1] <= 0xdbff)
                chunk--;
        }
        DWORD done = 0;
        if (!WriteConsoleW(h, w.data() + at, static_cast<DWORD>(chunk), &done, nullptr) || done == 0)
            return false;
        at += done;
    }
    return true;
}

// Whether a console input event is a key that _getch returns: a key press
// with a character, or an arrow (which it gives as two codes).
bool is_key(const INPUT_RECORD& r)
{
    if (r.EventType != KEY_EVENT || !r.Event.KeyEvent.bKeyDown)
        return false;
    if (r.Event.KeyEvent.uChar.AsciiChar != 0)
        return true;
    const WORD vk = r.Event.KeyEvent.wVirtualKeyCode;
    return vk == VK_LEFT || vk == VK_UP || vk == VK_RIGHT || vk == VK_DOWN;
}

// Drops the events at the head of the console input that are no such key
// (key releases, a modifier alone, focus, mouse, buffer size): they keep the
// handle signalled and a wait on it would spin. Returns 1 when a key is
// waiting, 0 when the input is empty, -1 when it cannot be read this way.
int settle(HANDLE in)
{
    for (;;) {
        INPUT_RECORD r;
        DWORD n = 0;
        if (!PeekConsoleInputA(in, &r, 1, &n))
            return -1;
        if (n == 0)
            return 0;
        if (is_key(r))
            return 1;
        if (!ReadConsoleInputA(in, &r, 1, &n) || n == 0)
            return -1;
    }
}

} // namespace

bool say(bool error, std::string_view utf8, bool encode)
{
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    if (encode)
        return put(which, utf8.data(), utf8.size());
    DWORD done = 0;
    return WriteFile(GetStdHandle(which), utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr) &&
           done == utf8.size();
}

WindowsConsole::WindowsConsole() : start_(counter())
{
    std::setlocale(LC_ALL, "");
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleCursorInfo(out, &g_cursor) && GetConsoleScreenBufferInfo(out, &info)) {
        g_attr = info.wAttributes;
        g_saved = true;
    }
    SetConsoleCtrlHandler(on_ctrl, TRUE);
    // Waits end on the system tick, 15.6 ms by default; gravity is timed to
    // the millisecond.
    timeBeginPeriod(1);
}

WindowsConsole::~WindowsConsole() { restore(); }

void WindowsConsole::restore()
{
    if (restored_)
        return;
    flush();
    give_back();
    timeEndPeriod(1);
    restored_ = true;
}

void WindowsConsole::attr(int fore, int back)
{
    flush();
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), static_cast<WORD>(fore + 16 * back));
}

void WindowsConsole::cursor(bool visible)
{
    flush();
    CONSOLE_CURSOR_INFO ci = {100, visible ? TRUE : FALSE};
    SetConsoleCursorInfo(GetStdHandle(STD_OUTPUT_HANDLE), &ci);
}

void WindowsConsole::move(int col, int row)
{
    flush();
    COORD at = {static_cast<SHORT>(col), static_cast<SHORT>(row)};
    SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE), at);
    cols_.at(col);
}

void WindowsConsole::clear()
{
    flush();
    int r = std::system("cls");
    (void)r;
    cols_.at(0);
}

void WindowsConsole::text(std::string_view s)
{
    size_t from = 0;
    for (size_t k = 0; k < s.size();) {
        if (cols_.realign_before(s[k])) {
            buf_.append(s.data() + from, k - from);
            from = k;
            realign();
        }
        k += cols_.advance(s, k);
    }
    if (from < s.size())
        buf_.append(s.data() + from, s.size() - from);
}

// Moves the cursor to the column the layout expects, on the row it is in.
void WindowsConsole::realign()
{
    flush();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (cols_.col >= 0 && GetConsoleScreenBufferInfo(out, &info)) {
        COORD at = {static_cast<SHORT>(cols_.col), info.dwCursorPosition.Y};
        SetConsoleCursorPosition(out, at);
    }
}

void WindowsConsole::flush()
{
    put(STD_OUTPUT_HANDLE, buf_.data(), buf_.size());
    buf_.clear();
}

void WindowsConsole::pause(std::string_view)
{
    flush();
    // Keys typed before the pause do not end it. The interpreter shows its
    // own prompt.
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    int r = std::system("pause");
    (void)r;
    cols_.at(-1);
}

// Reads redirected input, waiting for it, until a line is complete; at its
// end, ends the questions.
void WindowsConsole::read_lines()
{
    while (!answers_.take(in_, eof_)) {
        if (eof_) {
            ended_ = true;
            return;
        }
        char b[4096];
        DWORD got = 0;
        if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), b, static_cast<DWORD>(sizeof b), &got, nullptr) && got > 0)
            in_.append(b, got);
        else
            eof_ = true;
    }
}

// A line typed at the console, edited here rather than by the console, so
// that arrows and function keys insert nothing and recall no earlier line.
void WindowsConsole::type_line()
{
    for (;;) {
        flush();
        const int c = _getch();
        if (c == 0 || c == 224) {
            _getch(); // the second code of an arrow, Home, a function key...
        } else if (c == '\r' || c == '\n') {
            answers_.add(line_.text());
            line_.clear();
            text("\n");
            return;
        } else if (c == 8) {
            if (line_.erase())
                text("\b \b");
        } else if (c == 21) {
            while (line_.erase())
                text("\b \b");
        } else if ((c == 26 || c == 4) && line_.empty()) {
            // Ctrl-Z, the console's end of input, or Ctrl-D, on an empty line.
            ended_ = true;
            return;
        } else if (c >= 0x20 && c < 0x7f) {
            const char ch = static_cast<char>(c);
            int cols = 0, rows = 0;
            if (line_.add(std::string_view(&ch, 1), size(&cols, &rows) && cols > 1 ? cols - 1 : 79))
                text(std::string_view(&ch, 1));
        }
    }
}

int WindowsConsole::read_int(int* v)
{
    flush();
    cols_.at(-1);
    const bool console = is_console(GetStdHandle(STD_INPUT_HANDLE));
    for (;;) {
        const int r = answers_.next(v);
        if (r != Answers::NONE)
            return r;
        if (ended_)
            return ENDED;
        if (console)
            type_line();
        else
            read_lines();
    }
}

Key WindowsConsole::key()
{
    flush();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    // Some C runtimes leave the arrows out of _kbhit, though _getch gives them.
    if (!_kbhit() && !(is_console(in) && settle(in) > 0))
        return Key::None;
    // The console's codes: space 32, an arrow 224 then 72/75/77/80. A
    // first code of 0 is a key of its own, and so is the code after it.
    const int c = _getch();
    if (c == 32)
        return Key::Space;
    if (c != 224)
        return Key::Other;
    switch (_getch()) {
    case 72: return Key::Up;
    case 75: return Key::Left;
    case 77: return Key::Right;
    case 80: return Key::Down;
    default: return Key::Other;
    }
}

void WindowsConsole::wait_key(int due_ms)
{
    flush();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    bool console = is_console(in);
    for (;;) {
        int left = due_ms - now_ms();
        if (left <= 0)
            return;
        if (console) {
            int s = settle(in);
            if (s > 0)
                return;
            if (s == 0 && WaitForSingleObject(in, static_cast<DWORD>(left)) != WAIT_FAILED)
                continue;
            console = false; // cannot wait on it: time alone ends the wait
            continue;
        }
        Sleep(static_cast<DWORD>(left));
    }
}

int WindowsConsole::now_ms()
{
    const long long d = counter() - start_, f = frequency();
    return static_cast<int>(d / f * 1000 + d % f * 1000 / f);
}

void WindowsConsole::sleep_ms(int ms)
{
    flush();
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

unsigned WindowsConsole::seed() { return static_cast<unsigned>(std::time(nullptr)); }

bool WindowsConsole::size(int* cols, int* rows)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return false;
    const int c = info.srWindow.Right - info.srWindow.Left + 1;
    const int r = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (c <= 0 || r <= 0)
        return false;
    *cols = c;
    *rows = r;
    return true;
}

bool WindowsConsole::wait_resize_or_key()
{
    flush();
    // The console reports no resize while we wait; a key is all there is.
    const int c = _getch();
    if (c == 0 || c == 224)
        _getch();
    return true;
}

void WindowsConsole::quit(int status, const char* why)
{
    restore();
    std::string msg = "my-dropix: ";
    msg += why;
    msg += '\n';
    put(STD_ERROR_HANDLE, msg.data(), msg.size());
    std::exit(status);
}
