#include "console/ansi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/utf8.h"

namespace {

int digits(int n) { return n >= 100 ? 3 : n >= 10 ? 2 : 1; }

int fg_code(int c)
{
    const int f = ansi_colour(c & 15);
    return (f & 8 ? 90 : 30) + (f & 7);
}

int bg_code(int c)
{
    const int b = ansi_colour(c & 15);
    return (b & 8 ? 100 : 40) + (b & 7);
}

} // namespace

std::string glyph_probe(Encoding& enc)
{
    std::string s = "\x1b[3;1H";
    enc.append(s, "■");
    return s + "\x1b[6n\x1b[2J\x1b[H";
}

int take_glyph_answer(std::string& in)
{
    static const char HEAD[] = "\x1b[3;";
    for (size_t at = in.find(HEAD); at != std::string::npos; at = in.find(HEAD, at + 1)) {
        const size_t k = at + sizeof HEAD - 1;
        size_t d = k;
        while (d < in.size() && d - k < 4 && in[d] >= '0' && in[d] <= '9')
            d++;
        if (d == k || d >= in.size() || in[d] != 'R')
            continue;
        const int col = std::atoi(in.c_str() + k);
        in.erase(at, d + 1 - at);
        // Column 2 means one column wide, 3 two.
        return col == 2 ? 1 : col == 3 ? 2 : 0;
    }
    return -1;
}

std::string AnsiPainter::sgr(int fore, int back)
{
    char s[32];
    std::snprintf(s, sizeof s, "\x1b[0;%d;%dm", fg_code(fore), bg_code(back));
    return s;
}

void AnsiPainter::pen(int fore, int back)
{
    if (fg_ == fore && bg_ == back)
        return;
    char s[32];
    if (fg_ == -1)
        std::snprintf(s, sizeof s, "\x1b[0;%d;%dm", fg_code(fore), bg_code(back));
    else if (bg_ == back)
        std::snprintf(s, sizeof s, "\x1b[%dm", fg_code(fore));
    else if (fg_ == fore)
        std::snprintf(s, sizeof s, "\x1b[%dm", bg_code(back));
    else
        std::snprintf(s, sizeof s, "\x1b[%d;%dm", fg_code(fore), bg_code(back));
    out_ += s;
    fg_ = fore;
    bg_ = back;
}

void AnsiPainter::pen_back(int back)
{
    if (fg_ != -1 && bg_ == back)
        return;
    char s[32];
    std::snprintf(s, sizeof s, fg_ == -1 ? "\x1b[0;%dm" : "\x1b[%dm", bg_code(back));
    out_ += s;
    if (fg_ == -1)
        fg_ = -2;
    bg_ = back;
}

int AnsiPainter::cost_pen(int fore, int back) const
{
    if (fg_ == fore && bg_ == back)
        return 0;
    if (fg_ == -1)
        return 11;
    return fg_ == fore || bg_ == back ? 5 : 8;
}

int AnsiPainter::cost_pen_back(int back) const { return fg_ != -1 && bg_ == back ? 0 : fg_ == -1 ? 7 : 5; }

// The shortest sequence that takes the cursor from where the terminal has
// it to (col, row); a row below 0 keeps the cursor's row.
std::string AnsiPainter::move_to(int col, int row) const
{
    char s[32];
    if (row < 0 || (row == row_ && col_ < 0)) {
        std::snprintf(s, sizeof s, "\x1b[%dG", col + 1);
        return s;
    }
    if (col_ < 0 || row_ < 0) {
        std::snprintf(s, sizeof s, "\x1b[%d;%dH", row + 1, col + 1);
        return s;
    }
    if (col == col_ && row == row_)
        return "";
    std::string best;
    auto consider = [&best](const char* fmt, int a, int b = 0) {
        char t[32];
        std::snprintf(t, sizeof t, fmt, a, b);
        if (best.empty() || std::strlen(t) < best.size())
            best = t;
    };
    if (col == 0 && row == 0)
        best = "\x1b[H";
    else
        consider("\x1b[%d;%dH", row + 1, col + 1);
    if (row == row_) {
        if (col == 0)
            best = "\r";
        else if (col > col_)
            consider(col - col_ == 1 ? "\x1b[C" : "\x1b[%dC", col - col_);
        else
            consider(col_ - col == 1 ? "\x1b[D" : "\x1b[%dD", col_ - col);
        consider("\x1b[%dG", col + 1);
    } else if (col == col_) {
        if (row > row_)
            consider(row - row_ == 1 ? "\x1b[B" : "\x1b[%dB", row - row_);
        else
            consider(row_ - row == 1 ? "\x1b[A" : "\x1b[%dA", row_ - row);
    }
    return best;
}

void AnsiPainter::go(int col, int row)
{
    out_ += move_to(col, row);
    col_ = col;
    if (row >= 0)
        row_ = row;
}

int AnsiPainter::cost_go(int col, int row) const { return static_cast<int>(move_to(col, row).size()); }

void AnsiPainter::put(std::string_view s)
{
    enc_.append(out_, s);
    col_ = cursor_after(col_, s, amb_);
    if (s.find('\n') != std::string_view::npos)
        row_ = -1;
    // A glyph in the last column leaves the cursor where no count holds.
    if (tcols_ > 0 && col_ >= tcols_)
        col_ = -1;
}

int AnsiPainter::cost_put(char32_t ch) const { return enc_.bytes(ch); }

void AnsiPainter::blank(int n)
{
    char s[32];
    std::snprintf(s, sizeof s, n == 1 ? "\x1b[X" : "\x1b[%dX", n);
    out_ += s;
}

int AnsiPainter::cost_blank(int n) const { return n == 1 ? 3 : 3 + digits(n); }

void AnsiPainter::wipe()
{
    out_ += "\x1b[2J\x1b[H";
    col_ = row_ = 0;
}

void AnsiPainter::erase_line()
{
    out_ += "\r\x1b[K";
    col_ = 0;
}

void AnsiPainter::show_cursor(bool visible) { out_ += visible ? "\x1b[?25h" : "\x1b[?25l"; }

void AnsiPainter::screen(int cols, int glyph_width)
{
    tcols_ = cols;
    amb_ = glyph_width;
}

void AnsiPainter::forget() { col_ = row_ = fg_ = bg_ = -1; }

int AnsiPainter::width_of(std::string_view ch) const
{
    if (static_cast<unsigned char>(ch[0]) < 0x80)
        return 1;
    return enc_.has(ch) ? 2 : 1; // shown as "?" when the encoding lacks it
}
