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
bool write_out(DWORD which, const char* p, size_t n)
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
        return write_out(which, utf8.data(), utf8.size());
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
    console_in_ = is_console(GetStdHandle(STD_INPUT_HANDLE));
    edit_ = console_in_;
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

// ---- Drawing --------------------------------------------------------------

void WindowsConsole::pen(int fore, int back)
{
    const int a = (fore & 15) + 16 * (back & 15);
    if (a == attr_)
        return;
    send();
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), static_cast<WORD>(a));
    attr_ = a;
}

void WindowsConsole::pen_back(int back)
{
    if (attr_ >= 0 && attr_ >> 4 == back)
        return;
    pen(attr_ >= 0 ? attr_ & 15 : 7, back);
}

void WindowsConsole::go(int col, int row)
{
    if (col == col_ && (row < 0 || row == row_))
        return;
    send();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (row < 0) {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(out, &info))
            return;
        row = info.dwCursorPosition.Y;
    }
    const COORD at = {static_cast<SHORT>(col), static_cast<SHORT>(row)};
    SetConsoleCursorPosition(out, at);
    col_ = col;
    row_ = row;
}

void WindowsConsole::put(std::string_view s)
{
    buf_.append(s.data(), s.size());
    col_ = cursor_after(col_, s, amb_);
    if (s.find('\n') != std::string_view::npos)
        row_ = -1;
}

void WindowsConsole::blank(int n)
{
    send();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        return;
    DWORD done = 0;
    FillConsoleOutputCharacterW(out, L' ', static_cast<DWORD>(n), info.dwCursorPosition, &done);
    FillConsoleOutputAttribute(out, static_cast<WORD>(attr_ >= 0 ? attr_ : 7), static_cast<DWORD>(n),
                               info.dwCursorPosition, &done);
}

void WindowsConsole::wipe()
{
    send();
    int r = std::system("cls");
    (void)r;
    col_ = row_ = 0;
}

// A call to the console costs about as much as writing ten glyphs more.
int WindowsConsole::cost_go(int col, int row) const { return col == col_ && row == row_ ? 0 : 10; }

int WindowsConsole::cost_pen(int fore, int back) const { return (fore & 15) + 16 * (back & 15) == attr_ ? 0 : 10; }

int WindowsConsole::cost_pen_back(int back) const { return attr_ >= 0 && attr_ >> 4 == back ? 0 : 10; }

int WindowsConsole::cost_put(char16_t) const { return 1; }

int WindowsConsole::cost_blank(int) const { return 20; }

void WindowsConsole::show_cursor(bool visible)
{
    send();
    CONSOLE_CURSOR_INFO ci = {100, visible ? TRUE : FALSE};
    SetConsoleCursorInfo(GetStdHandle(STD_OUTPUT_HANDLE), &ci);
}

void WindowsConsole::erase_line()
{
    send();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        return;
    const COORD at = {0, info.dwCursorPosition.Y};
    DWORD done = 0;
    FillConsoleOutputCharacterW(out, L' ', static_cast<DWORD>(info.dwSize.X), at, &done);
    FillConsoleOutputAttribute(out, info.wAttributes, static_cast<DWORD>(info.dwSize.X), at, &done);
    SetConsoleCursorPosition(out, at);
    col_ = 0;
    row_ = at.Y;
}

void WindowsConsole::send()
{
    write_out(STD_OUTPUT_HANDLE, buf_.data(), buf_.size());
    buf_.clear();
}

// Only printable ASCII reaches the line being typed here.
int WindowsConsole::echo_width(std::string_view) { return 1; }

void WindowsConsole::forget()
{
    attr_ = col_ = row_ = -1;
    BaseConsole::forget();
}

// How wide the console draws "■" is read off where it leaves the cursor.
void WindowsConsole::play(int cols, int rows)
{
    BaseConsole::play(cols, rows);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (amb_ != 0 || !GetConsoleScreenBufferInfo(out, &info))
        return;
    const COORD at = {0, info.dwCursorPosition.Y};
    SetConsoleCursorPosition(out, at);
    DWORD done = 0;
    WriteConsoleW(out, L"\x25a0", 1, &done, nullptr);
    if (GetConsoleScreenBufferInfo(out, &info) && info.dwCursorPosition.Y == at.Y)
        amb_ = info.dwCursorPosition.X == 1 ? 1 : info.dwCursorPosition.X == 2 ? 2 : 0;
    forget();
}

void WindowsConsole::pause(std::string_view)
{
    // The interpreter shows its own prompt, where the game put the cursor;
    // keys typed before the pause do not end it.
    hand_over();
    in_.clear();
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    int r = std::system("pause");
    (void)r;
    forget();
}

// ---- Input ----------------------------------------------------------------

// The keys waiting at the console, as a terminal would send them: arrows,
// Home and End as control sequences, any other key of two codes as one
// that means nothing, Ctrl-Z (the console's end of input) as Ctrl-D.
void WindowsConsole::keys()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    // Some C runtimes leave the arrows out of _kbhit, though _getch gives them.
    while (room() > 8 && (_kbhit() || (console_in_ && settle(in) > 0))) {
        const int c = _getch();
        if (c == 0 || c == 224) {
            switch (_getch()) {
            case 72: in_ += "\x1b[A"; break;
            case 80: in_ += "\x1b[B"; break;
            case 77: in_ += "\x1b[C"; break;
            case 75: in_ += "\x1b[D"; break;
            case 71: in_ += "\x1b[H"; break;
            case 79: in_ += "\x1b[F"; break;
            default: in_ += "\x1b[~"; break;
            }
        } else if (c == 26) {
            in_ += '\x04';
        } else if (c >= 0x80) {
            in_ += "\x1b[~"; // a character of the console's code page
        } else {
            in_ += static_cast<char>(c);
        }
    }
}

void WindowsConsole::fill()
{
    if (!asking_ || console_in_) {
        keys();
        return;
    }
    // Redirected answers: a question waits for them.
    if (eof_ || room() == 0)
        return;
    char b[4096];
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(room() < sizeof b ? room() : sizeof b);
    if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), b, want, &got, nullptr) && got > 0)
        in_.append(b, got);
    else
        eof_ = true;
}

void WindowsConsole::block(int due_ms)
{
    if (asking_ && !console_in_)
        return; // fill() waits for redirected answers itself
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        const int left = due_ms < 0 ? -1 : due_ms - now_ms();
        if (due_ms >= 0 && left <= 0)
            return;
        // In play a resize is looked for now and then.
        const DWORD wait = playing() && (left < 0 || left > 100) ? 100 : left < 0 ? INFINITE : static_cast<DWORD>(left);
        if (console_in_) {
            const int s = settle(in);
            if (s > 0)
                return;
            if (s == 0 && WaitForSingleObject(in, wait) != WAIT_FAILED) {
                if (playing() && resized())
                    return;
                continue;
            }
        }
        if (_kbhit())
            return;
        Sleep(wait == INFINITE ? 100 : wait > 10 ? 10 : wait);
        if (playing() && resized())
            return;
    }
}

// Whether the window's size changed since the last look.
bool WindowsConsole::resized()
{
    int c = 0, r = 0;
    if (!size(&c, &r) || (c == wcols_ && r == wrows_))
        return false;
    const bool first = wcols_ == 0;
    wcols_ = c;
    wrows_ = r;
    return !first;
}

// The console keeps its text when resized; only the play screen, which
// may have been cut, is painted again.
bool WindowsConsole::lost() { return playing() && resized(); }

bool WindowsConsole::wait_resize_or_key()
{
    flush();
    resized();
    for (;;) {
        fill();
        if (!in_.empty()) {
            in_.clear();
            return true;
        }
        if (resized()) {
            forget();
            return false;
        }
        Sleep(50);
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

void WindowsConsole::quit(int status, const char* why)
{
    restore();
    std::string msg = "my-dropix: ";
    msg += why;
    msg += '\n';
    write_out(STD_ERROR_HANDLE, msg.data(), msg.size());
    std::exit(status);
}
