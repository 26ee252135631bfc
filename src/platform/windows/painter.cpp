// Drawing on the Windows console: text written as UTF-16, colours and the
// cursor set through the console API.
#include <cstdlib>

#include "console/utf8.h"
#include "platform/windows/windows.h"

bool is_console(HANDLE h)
{
    DWORD mode;
    return GetConsoleMode(h, &mode) != 0;
}

bool missing(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }

bool write_out(DWORD which, const char* p, size_t n)
{
    HANDLE h = GetStdHandle(which);
    if (n == 0)
        return true;
    if (missing(h))
        return false;
    if (!is_console(h)) {
        while (n > 0) {
            DWORD w = 0;
            const DWORD chunk = n > 65536 ? 65536 : static_cast<DWORD>(n);
            if (!WriteFile(h, p, chunk, &w, nullptr) || w == 0)
                return false; // output gone
            p += w;
            n -= w;
        }
        return true;
    }
    const int len = static_cast<int>(n);
    const int wide = MultiByteToWideChar(CP_UTF8, 0, p, len, nullptr, 0);
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

void WindowsPainter::pen(int fore, int back)
{
    const int a = (fore & 15) + 16 * (back & 15);
    if (a == attr_)
        return;
    send();
    SetConsoleTextAttribute(out_handle(), static_cast<WORD>(a));
    attr_ = a;
}

void WindowsPainter::pen_back(int back)
{
    if (attr_ < 0 || attr_ >> 4 != back)
        pen(attr_ >= 0 ? attr_ & 15 : DEFAULT_FORE, back);
}

void WindowsPainter::go(int col, int row)
{
    if (col == col_ && (row < 0 || row == row_))
        return;
    send();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (row < 0) {
        if (!GetConsoleScreenBufferInfo(out_handle(), &info))
            return;
        row = info.dwCursorPosition.Y;
    }
    SetConsoleCursorPosition(out_handle(), {static_cast<SHORT>(col), static_cast<SHORT>(row)});
    col_ = col;
    row_ = row;
}

void WindowsPainter::put(std::string_view s)
{
    buf_.append(s.data(), s.size());
    col_ = cursor_after(col_, s, amb_);
    if (s.find('\n') != std::string_view::npos)
        row_ = -1;
}

void WindowsPainter::erase(int n) { fill(n, false); }

void WindowsPainter::wipe()
{
    send();
    const int r = std::system("cls");
    (void)r;
    col_ = row_ = 0;
}

void WindowsPainter::erase_line()
{
    go(0, -1);
    fill(0, true);
}

void WindowsPainter::show_cursor(bool visible)
{
    send();
    CONSOLE_CURSOR_INFO ci = {100, visible ? TRUE : FALSE};
    SetConsoleCursorInfo(out_handle(), &ci);
}

bool WindowsPainter::send()
{
    const bool ok = write_out(STD_OUTPUT_HANDLE, buf_.data(), buf_.size());
    buf_.clear();
    return ok;
}

// n blanks from the cursor, in the pen's colours, or the whole row in its own.
void WindowsPainter::fill(int n, bool row)
{
    send();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out_handle(), &info))
        return;
    const COORD at = row ? COORD{0, info.dwCursorPosition.Y} : info.dwCursorPosition;
    const DWORD len = static_cast<DWORD>(row ? info.dwSize.X : n);
    const WORD a = row ? info.wAttributes : static_cast<WORD>(attr_ >= 0 ? attr_ : DEFAULT_FORE);
    DWORD done = 0;
    FillConsoleOutputCharacterW(out_handle(), L' ', len, at, &done);
    FillConsoleOutputAttribute(out_handle(), a, len, at, &done);
}
