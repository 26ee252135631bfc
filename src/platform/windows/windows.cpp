// The platform on the Windows console: the console API for colour, cursor
// and waiting, the command interpreter for clearing and pausing, the
// runtime's keyboard functions for keys, handed on as the bytes a terminal
// would send. Handles are fetched afresh on every call: the interpreter
// started for clearing and pausing shares the console, and nothing here may
// outlive a change it makes.
#include "platform/windows/windows.h"

#include "platform/windows/codes.h"

#include <conio.h>
#include <mmsystem.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

// How the console was found, for the ways out that bypass the destructor.
CONSOLE_CURSOR_INFO g_cursor = {25, TRUE};
WORD g_attr = DEFAULT_FORE + 16 * DEFAULT_BACK;
bool g_saved = false;
bool g_closed[2] = {false, false}; // standard input, output missing at start

// Puts the cursor and colour back as they were found.
void give_back()
{
    if (!g_saved)
        return;
    SetConsoleTextAttribute(out_handle(), g_attr);
    SetConsoleCursorInfo(out_handle(), &g_cursor);
}

// Ctrl-C, Ctrl-Break, a closed window: the console is given back, then the
// default handler ends the program.
BOOL WINAPI on_ctrl(DWORD)
{
    give_back();
    return FALSE;
}

// Ticks of the performance counter, a clock that never stops, and their rate.
long long counter()
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

long long frequency()
{
    static const long long f = [] {
        LARGE_INTEGER q;
        QueryPerformanceFrequency(&q);
        return q.QuadPart > 0 ? q.QuadPart : 1;
    }();
    return f;
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

class WindowsPlatform : public Platform {
public:
    WindowsPlatform() : start_(counter())
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleCursorInfo(out_handle(), &g_cursor) && GetConsoleScreenBufferInfo(out_handle(), &info)) {
            g_attr = info.wAttributes;
            g_saved = true;
        }
        console_in_ = is_console(GetStdHandle(STD_INPUT_HANDLE));
        SetConsoleCtrlHandler(on_ctrl, TRUE);
        // Waits end on the system tick, 15.6 ms by default; gravity is
        // timed to the millisecond.
        timeBeginPeriod(1);
        resized();
    }
    ~WindowsPlatform() override { restore(); }

    Painter& painter() override { return paint_; }
    bool send() override { return paint_.send(); }
    bool size(int* cols, int* rows) override
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(out_handle(), &info))
            return false;
        const int c = info.srWindow.Right - info.srWindow.Left + 1;
        const int r = info.srWindow.Bottom - info.srWindow.Top + 1;
        if (c <= 0 || r <= 0)
            return false;
        *cols = c;
        *rows = r;
        return true;
    }
    // Read off where "■" leaves the cursor, drawn at the start of the
    // cursor's row, which play then paints over.
    int glyph_width() override
    {
        if (amb_ != 0 || measured_)
            return amb_;
        measured_ = true;
        send();
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(out_handle(), &info))
            return 0;
        const COORD at = {0, info.dwCursorPosition.Y};
        SetConsoleCursorPosition(out_handle(), at);
        DWORD done = 0;
        WriteConsoleW(out_handle(), L"\x25a0", 1, &done, nullptr);
        if (GetConsoleScreenBufferInfo(out_handle(), &info) && info.dwCursorPosition.Y == at.Y)
            amb_ = info.dwCursorPosition.X == 1 ? 1 : info.dwCursorPosition.X == 2 ? 2 : 0;
        paint_.forget();
        return amb_;
    }
    bool typed() const override { return console_in_; }
    bool read(std::string& in, size_t room, bool lines) override
    {
        lines_ = lines && !console_in_;
        if (!lines_) {
            keys(in, room);
            return true;
        }
        // Redirected answers: a question waits for them.
        if (eof_ || room == 0)
            return !eof_;
        char b[4096];
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(room < sizeof b ? room : sizeof b);
        if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), b, want, &got, nullptr) && got > 0)
            in.append(b, got);
        else
            eof_ = true;
        return !eof_;
    }
    void wait(int due_ms, bool input) override
    {
        if (lines_ && input)
            return; // read() waits for redirected answers itself
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        for (;;) {
            const int left = due_ms < 0 ? -1 : due_ms - now_ms();
            if (due_ms >= 0 && left <= 0)
                return;
            // A resize is looked for now and then.
            const DWORD slice = left < 0 || left > 100 ? 100 : static_cast<DWORD>(left);
            if (input && console_in_) {
                const int s = settle(in);
                if (s > 0)
                    return;
                if (s == 0 && WaitForSingleObject(in, slice) != WAIT_FAILED) {
                    if (resized())
                        return;
                    continue;
                }
            }
            if (input && _kbhit())
                return;
            Sleep(slice > 10 && input ? 10 : slice);
            if (resized())
                return;
        }
    }
    unsigned events() override
    {
        // The console keeps its text when resized: only the size is news.
        resized();
        const unsigned ev = grew_ ? RESIZED : 0;
        grew_ = false;
        return ev;
    }
    bool pauses() const override { return true; }
    // The interpreter shows its own prompt, where the game put the cursor;
    // keys typed before the pause do not end it.
    void pause() override
    {
        FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
        const int r = std::system("pause");
        (void)r;
    }
    int now_ms() override
    {
        const long long d = counter() - start_, f = frequency();
        return static_cast<int>(d / f * 1000 + d % f * 1000 / f);
    }
    void restore() override
    {
        if (restored_)
            return;
        give_back();
        timeEndPeriod(1);
        restored_ = true;
    }

private:
    // The keys waiting at the console, as a terminal would send them.
    void keys(std::string& in, size_t room)
    {
        HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
        // Some C runtimes leave the arrows out of _kbhit, though _getch gives them.
        while (room > 8 && (_kbhit() || (console_in_ && settle(h) > 0))) {
            const int c = _getch();
            const std::string bytes = console_key(c, two_codes(c) ? _getch() : 0);
            in += bytes;
            room -= bytes.size();
        }
    }
    // Whether the window's size changed since the last look.
    bool resized()
    {
        int c = 0, r = 0;
        if (!size(&c, &r) || (c == wcols_ && r == wrows_))
            return false;
        const bool first = wcols_ == 0;
        wcols_ = c;
        wrows_ = r;
        grew_ = grew_ || !first;
        return !first;
    }

    WindowsPainter paint_;
    bool console_in_ = false;  // standard input is the console
    bool lines_ = false;       // a question reads redirected answers
    bool eof_ = false;
    int wcols_ = 0, wrows_ = 0; // the window's size when last looked at
    bool grew_ = false;        // and it changed since the last events()
    int amb_ = 0;
    bool measured_ = false;
    long long start_ = 0;      // performance counter at start
    bool restored_ = false;
};

} // namespace

void platform_prepare()
{
    std::setlocale(LC_ALL, "");
    for (int fd = 0; fd < 2; fd++)
        g_closed[fd] = missing(GetStdHandle(fd == 0 ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE));
}

bool platform_was_closed(int fd) { return fd >= 0 && fd < 2 && g_closed[fd]; }

std::unique_ptr<Platform> platform_open()
{
    if (g_closed[1])
        return nullptr;
    return std::make_unique<WindowsPlatform>();
}

bool say(bool error, std::string_view utf8, bool encode)
{
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    if (encode)
        return write_out(which, utf8.data(), utf8.size());
    DWORD done = 0;
    return WriteFile(GetStdHandle(which), utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr) &&
           done == utf8.size();
}
