#include "console/posix/ansi.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// Bytes of the UTF-8 character starting with b.
size_t char_len(unsigned char b) { return b < 0x80 ? 1 : b >= 0xf0 ? 4 : b >= 0xe0 ? 3 : b >= 0xc0 ? 2 : 1; }

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

Encoder::Encoder(const char* codeset) : cd_(reinterpret_cast<iconv_t>(-1))
{
    if (!codeset)
        return;
    for (const char* gb : {"GBK", "GB18030", "GB2312"})
        if (strcasecmp(codeset, gb) == 0)
            cd_ = iconv_open(gb, "UTF-8");
}

Encoder::~Encoder()
{
    if (converting())
        iconv_close(cd_);
}

void Encoder::append(std::string& dst, const char* p, size_t n)
{
    if (!converting()) {
        dst.append(p, n);
        return;
    }
    char tmp[1024];
    char* in = const_cast<char*>(p);
    size_t left = n;
    while (left > 0) {
        char* o = tmp;
        size_t room = sizeof tmp;
        const size_t r = iconv(cd_, &in, &left, &o, &room);
        dst.append(tmp, static_cast<size_t>(o - tmp));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Not in the encoding, or broken: one "?" for the character.
            dst.push_back('?');
            size_t skip = std::min(left, char_len(static_cast<unsigned char>(*in)));
            for (size_t k = 1; k < skip; k++)
                if ((static_cast<unsigned char>(in[k]) & 0xc0) != 0x80)
                    skip = k;
            in += skip;
            left -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

bool Encoder::has(std::string_view ch)
{
    if (!converting())
        return true;
    char tmp[16];
    char* in = const_cast<char*>(ch.data());
    size_t left = ch.size(), room = sizeof tmp;
    char* o = tmp;
    const bool ok = iconv(cd_, &in, &left, &o, &room) != static_cast<size_t>(-1) && left == 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return ok;
}

AnsiConsole::~AnsiConsole() = default;

std::string AnsiConsole::sgr(int fore, int back)
{
    char s[32];
    std::snprintf(s, sizeof s, "\x1b[0;%d;%dm", fg_code(fore), bg_code(back));
    return s;
}

std::string AnsiConsole::probe()
{
    probing();
    std::string s = "\x1b[3;1H";
    enc_.append(s, "■", std::strlen("■"));
    s += "\x1b[6n\x1b[2J\x1b[H";
    return s;
}

// ---- Drawing --------------------------------------------------------------

void AnsiConsole::pen(int fore, int back)
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
    buf_ += s;
    fg_ = fore;
    bg_ = back;
}

void AnsiConsole::pen_back(int back)
{
    if (fg_ != -1 && bg_ == back)
        return;
    char s[32];
    std::snprintf(s, sizeof s, fg_ == -1 ? "\x1b[0;%dm" : "\x1b[%dm", bg_code(back));
    buf_ += s;
    if (fg_ == -1)
        fg_ = -2;
    bg_ = back;
}

int AnsiConsole::cost_pen(int fore, int back) const
{
    if (fg_ == fore && bg_ == back)
        return 0;
    if (fg_ == -1)
        return 11;
    return fg_ == fore || bg_ == back ? 5 : 8;
}

int AnsiConsole::cost_pen_back(int back) const { return fg_ != -1 && bg_ == back ? 0 : fg_ == -1 ? 7 : 5; }

// The shortest sequence that takes the cursor from where the terminal has
// it to (col, row); a row below 0 keeps the cursor's row.
std::string AnsiConsole::move_to(int col, int row) const
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

void AnsiConsole::go(int col, int row)
{
    buf_ += move_to(col, row);
    col_ = col;
    if (row >= 0)
        row_ = row;
}

int AnsiConsole::cost_go(int col, int row) const { return static_cast<int>(move_to(col, row).size()); }

void AnsiConsole::put(std::string_view s)
{
    enc_.append(buf_, s.data(), s.size());
    col_ = cursor_after(col_, s, amb_);
    if (s.find('\n') != std::string_view::npos)
        row_ = -1;
    // A glyph in the last column leaves the cursor where no count holds.
    if (term_cols() > 0 && col_ >= term_cols())
        col_ = -1;
}

int AnsiConsole::cost_put(char16_t ch) const { return ch < 0x80 ? 1 : enc_.converting() || ch < 0x800 ? 2 : 3; }

void AnsiConsole::blank(int n)
{
    char s[32];
    std::snprintf(s, sizeof s, n == 1 ? "\x1b[X" : "\x1b[%dX", n);
    buf_ += s;
}

int AnsiConsole::cost_blank(int n) const { return n == 1 ? 3 : 3 + digits(n); }

void AnsiConsole::wipe()
{
    buf_ += "\x1b[2J\x1b[H";
    col_ = row_ = 0;
}

void AnsiConsole::show_cursor(bool visible) { buf_ += visible ? "\x1b[?25h" : "\x1b[?25l"; }

void AnsiConsole::erase_line()
{
    buf_ += "\r\x1b[K";
    col_ = 0;
}

void AnsiConsole::send()
{
    if (buf_.empty())
        return;
    emit(buf_.data(), buf_.size());
    buf_.clear();
}

int AnsiConsole::echo_width(std::string_view ch)
{
    if (static_cast<unsigned char>(ch[0]) < 0x80)
        return 1;
    return enc_.has(ch) ? 2 : 1; // shown as "?" when the encoding lacks it
}

void AnsiConsole::forget()
{
    col_ = row_ = fg_ = bg_ = -1;
    BaseConsole::forget();
}
