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
    if (at_.fg == fore && at_.bg == back)
        return;
    char s[32];
    if (at_.fg == -1)
        std::snprintf(s, sizeof s, "\x1b[0;%d;%dm", fg_code(fore), bg_code(back));
    else if (at_.bg == back)
        std::snprintf(s, sizeof s, "\x1b[%dm", fg_code(fore));
    else if (at_.fg == fore)
        std::snprintf(s, sizeof s, "\x1b[%dm", bg_code(back));
    else
        std::snprintf(s, sizeof s, "\x1b[%d;%dm", fg_code(fore), bg_code(back));
    out_ += s;
    at_.fg = fore;
    at_.bg = back;
}

void AnsiPainter::pen_back(int back)
{
    if (at_.fg != -1 && at_.bg == back)
        return;
    char s[32];
    std::snprintf(s, sizeof s, at_.fg == -1 ? "\x1b[0;%dm" : "\x1b[%dm", bg_code(back));
    out_ += s;
    if (at_.fg == -1)
        at_.fg = -2;
    at_.bg = back;
}

int AnsiPainter::cost_pen(int fore, int back) const
{
    if (at_.fg == fore && at_.bg == back)
        return 0;
    if (at_.fg == -1)
        return 11;
    return at_.fg == fore || at_.bg == back ? 5 : 8;
}

int AnsiPainter::cost_pen_back(int back) const { return at_.fg != -1 && at_.bg == back ? 0 : at_.fg == -1 ? 7 : 5; }

// The shortest sequence that takes the cursor from where the terminal has
// it to (col, row); a row below 0 keeps the cursor's row.
std::string AnsiPainter::move_to(int col, int row) const
{
    char s[32];
    if (row < 0 || (row == at_.row && at_.col < 0)) {
        std::snprintf(s, sizeof s, "\x1b[%dG", col + 1);
        return s;
    }
    if (at_.col < 0 || at_.row < 0) {
        std::snprintf(s, sizeof s, "\x1b[%d;%dH", row + 1, col + 1);
        return s;
    }
    if (col == at_.col && row == at_.row)
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
    if (row == at_.row) {
        if (col == 0)
            best = "\r";
        else if (col > at_.col)
            consider(col - at_.col == 1 ? "\x1b[C" : "\x1b[%dC", col - at_.col);
        else
            consider(at_.col - col == 1 ? "\x1b[D" : "\x1b[%dD", at_.col - col);
        consider("\x1b[%dG", col + 1);
    } else if (col == at_.col) {
        if (row > at_.row)
            consider(row - at_.row == 1 ? "\x1b[B" : "\x1b[%dB", row - at_.row);
        else
            consider(at_.row - row == 1 ? "\x1b[A" : "\x1b[%dA", at_.row - row);
    }
    return best;
}

void AnsiPainter::go(int col, int row)
{
    out_ += move_to(col, row);
    at_.col = col;
    if (row >= 0)
        at_.row = row;
}

int AnsiPainter::cost_go(int col, int row) const { return static_cast<int>(move_to(col, row).size()); }

void AnsiPainter::put(std::string_view s)
{
    if (s.find('\n') != std::string_view::npos) {
        at_.row = -1;
        // A line that text scrolls in shows the terminal's own background
        // where erasing does not paint the pen's: it is painted with blanks.
        for (size_t nl; !erases_in(at_.bg) && (nl = s.find('\n')) != std::string_view::npos; s.remove_prefix(nl + 1)) {
            enc_.append(out_, s.substr(0, nl + 1));
            spaces(tcols_);
            out_ += '\r';
            at_.col = 0;
        }
    }
    enc_.append(out_, s);
    at_.col = cursor_after(at_.col, s, amb_);
    // A glyph in the last column leaves the cursor where no count holds.
    if (tcols_ > 0 && at_.col >= tcols_)
        at_.col = -1;
}

void AnsiPainter::spaces(int n)
{
    if (n > 0)
        out_.append(static_cast<size_t>(n), ' ');
}

int AnsiPainter::cost_put(char32_t ch) const { return enc_.bytes(ch); }

void AnsiPainter::erase(int n)
{
    if (!caps_.ech || !erases_in(at_.bg)) {
        // Blanks written out, and the cursor put back.
        const State was = at_;
        spaces(n);
        at_.col = -1;
        if (was.col >= 0 && was.row >= 0)
            go(was.col, was.row);
        return;
    }
    char s[32];
    std::snprintf(s, sizeof s, n == 1 ? "\x1b[X" : "\x1b[%dX", n);
    out_ += s;
}

// Where erasing cannot paint the pen's background, blanks are written: the
// picture then writes them itself.
int AnsiPainter::cost_erase(int n) const
{
    return caps_.ech && caps_.bce ? (n == 1 ? 3 : 3 + digits(n)) : 1 << 20;
}

void AnsiPainter::wipe()
{
    out_ += "\x1b[2J\x1b[H";
    if (!erases_in(at_.bg)) {
        for (int r = 0; r < trows_; r++) {
            out_ += r ? "\r\n" : "";
            spaces(tcols_);
        }
        out_ += "\x1b[H";
    }
    at_.col = at_.row = 0;
}

void AnsiPainter::erase_line()
{
    if (erases_in(at_.bg)) {
        out_ += "\r\x1b[K";
    } else {
        out_ += '\r';
        spaces(tcols_ - 1);
        out_ += '\r';
    }
    at_.col = 0;
}

bool AnsiPainter::scroll_down(int top, int bottom, int n)
{
    if (!caps_.csr || !(caps_.il || caps_.ri) || n <= 0 || top < 0 || bottom <= top)
        return false;
    char s[32];
    // Setting the region, and setting it back, puts the cursor home.
    std::snprintf(s, sizeof s, "\x1b[%d;%dr", top + 1, bottom + 1);
    out_ += s;
    at_.col = at_.row = 0;
    go(0, top);
    if (caps_.il) {
        std::snprintf(s, sizeof s, n == 1 ? "\x1b[L" : "\x1b[%dL", n);
        out_ += s;
    } else {
        for (int k = 0; k < n; k++)
            out_ += "\x1bM";
    }
    out_ += "\x1b[r";
    at_.col = at_.row = 0;
    return true;
}

// Without background colour erase a terminal erases to its own background,
// which the game never asks for: it always names the colours it draws in.
bool AnsiPainter::erases_in(int) const { return caps_.bce; }

bool AnsiPainter::try_begin()
{
    tried_ = at_;
    tried_from_ = out_.size();
    return true;
}

long AnsiPainter::try_end()
{
    const long cost = static_cast<long>(out_.size() - tried_from_);
    out_.resize(tried_from_);
    at_ = tried_;
    return cost;
}

void AnsiPainter::show_cursor(bool visible) { out_ += visible ? "\x1b[?25h" : "\x1b[?25l"; }

void AnsiPainter::screen(int cols, int rows, int glyph_width)
{
    tcols_ = cols;
    trows_ = rows;
    amb_ = glyph_width;
}

void AnsiPainter::forget() { at_ = State{}; }

int AnsiPainter::width_of(std::string_view ch) const
{
    size_t k = 0;
    // Shown as "?" when the encoding lacks it.
    return layout_width(utf8_next(ch, k)) == 2 && enc_.has(ch) ? 2 : 1;
}
