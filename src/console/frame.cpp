#include "console/frame.h"

#include <algorithm>

namespace {

const Frame::Cell GONE = {0xffff, 0xff, 0xff}; // matches nothing the game draws

Frame::Cell blank_of(uint8_t bg) { return {u' ', bg, bg}; }

// The next character of s from s[k] on; a broken sequence is one U+FFFD.
char32_t next_char(std::string_view s, size_t& k)
{
    const unsigned char b = static_cast<unsigned char>(s[k++]);
    if (b < 0x80)
        return b;
    const int more = b >= 0xf0 ? 3 : b >= 0xe0 ? 2 : b >= 0xc0 ? 1 : -1;
    if (more < 0)
        return 0xfffd;
    char32_t c = b & (0x3f >> more);
    for (int i = 0; i < more; i++) {
        if (k >= s.size() || (static_cast<unsigned char>(s[k]) & 0xc0) != 0x80)
            return 0xfffd;
        c = (c << 6) | (static_cast<unsigned char>(s[k++]) & 0x3f);
    }
    return c;
}

void utf8(char16_t c, char* out, size_t* n)
{
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        *n = 1;
    } else if (c < 0x800) {
        out[0] = static_cast<char>(0xc0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3f));
        *n = 2;
    } else {
        out[0] = static_cast<char>(0xe0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out[2] = static_cast<char>(0x80 | (c & 0x3f));
        *n = 3;
    }
}

} // namespace

bool ambiguous(char32_t ch) { return (ch >= 0x2190 && ch <= 0x21ff) || (ch >= 0x25a0 && ch <= 0x25ff); }

int cursor_after(int col, std::string_view s, int amb)
{
    for (size_t k = 0; k < s.size() && col >= 0;) {
        const char32_t ch = next_char(s, k);
        if (ch == '\r')
            col = 0;
        else if (ch < 0x20)
            col = -1;
        else
            col = !ambiguous(ch) ? col + layout_width(ch) : amb > 0 ? col + amb : -1;
    }
    return col;
}

void Frame::resize(int cols, int rows)
{
    cols_ = std::max(cols, 0);
    rows_ = std::max(rows, 0);
    want_.assign(static_cast<size_t>(cols_) * static_cast<size_t>(rows_), blank_of(0));
    have_ = want_;
    dirty_.assign(static_cast<size_t>(rows_), 1);
    row_.resize(static_cast<size_t>(cols_));
    lost_ = true;
}

void Frame::attr(int fore, int back)
{
    fg_ = static_cast<uint8_t>(fore & 15);
    bg_ = static_cast<uint8_t>(back & 15);
}

void Frame::move(int col, int row)
{
    col_ = col;
    row_at_ = row;
}

void Frame::clear()
{
    std::fill(want_.begin(), want_.end(), blank_of(0));
    std::fill(dirty_.begin(), dirty_.end(), 1);
    col_ = row_at_ = 0;
}

void Frame::text(std::string_view s)
{
    for (size_t k = 0; k < s.size();) {
        const char32_t ch = next_char(s, k);
        if (ch == '\n' || ch == '\r') {
            col_ = 0;
            row_at_ += ch == '\n';
        } else if (ch >= 0x20) {
            put(col_, row_at_, ch > 0xffff ? 0xfffd : ch);
            col_ += layout_width(ch);
        }
    }
}

// A glyph overwrites half of a two-column one: the other half is blank now.
void Frame::unlink(int col, int row)
{
    Cell& c = want_[index(col, row)];
    if (c.ch == 0 && col > 0) {
        Cell& lead = want_[index(col - 1, row)];
        lead = blank_of(lead.bg);
    } else if (col + 1 < cols_ && want_[index(col + 1, row)].ch == 0) {
        Cell& half = want_[index(col + 1, row)];
        half = blank_of(half.bg);
    }
}

void Frame::put(int col, int row, char32_t ch)
{
    const int w = layout_width(ch);
    if (row < 0 || row >= rows_ || col < 0 || col + w > cols_)
        return;
    for (int k = 0; k < w; k++)
        unlink(col + k, row);
    // A glyph in its own background colour looks like a blank of it.
    const bool seen = ch != ' ' && fg_ != bg_;
    Cell* c = &want_[index(col, row)];
    c[0] = seen ? Cell{static_cast<char16_t>(ch), fg_, bg_} : blank_of(bg_);
    if (w == 2)
        c[1] = seen ? Cell{0, fg_, bg_} : blank_of(bg_);
    dirty_[static_cast<size_t>(row)] = 1;
}

void Frame::lose() { lost_ = true; }

void Frame::lose_row(int row)
{
    if (row < 0 || row >= rows_)
        return;
    std::fill_n(have_.begin() + static_cast<long>(index(0, row)), cols_, GONE);
    dirty_[static_cast<size_t>(row)] = 1;
}

void Frame::send(Painter& p, int tcols, int trows, int amb)
{
    if (cols_ == 0 || rows_ == 0)
        return;
    if (lost_) {
        p.pen_back(0);
        p.wipe();
        std::fill(have_.begin(), have_.end(), blank_of(0));
        std::fill(dirty_.begin(), dirty_.end(), 1);
        lost_ = false;
    }
    const int n = std::min(cols_, tcols), m = std::min(rows_, trows);
    for (int r = 0; r < rows_; r++) {
        if (dirty_[static_cast<size_t>(r)] && r < m && n > 0)
            send_row(p, r, n, amb);
        dirty_[static_cast<size_t>(r)] = 0;
    }
}

// Row `row` of the picture as a terminal n columns wide lays it out: an
// ambiguous glyph drawn one column wide leaves a blank beside it, and a
// two-column glyph with no room for its right half is left out.
void Frame::target(int row, int n, int amb)
{
    const Cell* w = &want_[index(0, row)];
    for (int c = 0; c < n;) {
        if (w[c].ch != u' ' && w[c].ch != 0 && layout_width(w[c].ch) == 2) {
            if (c + 1 >= n) {
                row_[static_cast<size_t>(c)] = blank_of(w[c].bg);
                c++;
                continue;
            }
            row_[static_cast<size_t>(c)] = w[c];
            row_[static_cast<size_t>(c) + 1] = amb == 1 && ambiguous(w[c].ch) ? blank_of(w[c].bg) : w[c + 1];
            c += 2;
        } else {
            row_[static_cast<size_t>(c)] = w[c].ch == 0 ? blank_of(w[c].bg) : w[c];
            c++;
        }
    }
}

void Frame::send_row(Painter& p, int row, int n, int amb)
{
    target(row, n, amb);
    const Cell* t = row_.data();
    const Cell* h = &have_[index(0, row)];
    int done = -1; // the last column written in this row
    for (int c = 0; c < n;) {
        if (t[c] == h[c]) {
            c++;
            continue;
        }
        // A run starts at the left half of a glyph, in the picture and on
        // the terminal, and takes in every column whose glyph it breaks.
        int a = c;
        while (a > 0 && (t[a].ch == 0 || h[a].ch == 0))
            a--;
        int b = c;
        for (;;) {
            while (b + 1 < n && (t[b + 1].ch == 0 || h[b + 1].ch == 0))
                b++;
            if (b + 1 < n && t[b + 1] != h[b + 1]) {
                b++;
                continue;
            }
            break;
        }
        // An unchanged gap since the last run is written again when that
        // costs less than moving over it.
        if (done >= 0 && a > done + 1) {
            int gap = 0;
            for (int g = done + 1; g < a; g++)
                if (t[g].ch != 0)
                    gap += p.cost_put(t[g].ch) + (t[g].ch == u' ' ? p.cost_pen_back(t[g].bg) : p.cost_pen(t[g].fg, t[g].bg));
            if (gap <= p.cost_go(a, row))
                a = done + 1;
        }
        write(p, row, a, b, amb);
        done = b;
        c = b + 1;
    }
}

// Writes columns [from, to] of the row as the picture has them.
void Frame::write(Painter& p, int row, int from, int to, int amb)
{
    const Cell* t = row_.data();
    // Blanks that end the run are erased in one go when that is cheaper.
    int tail = to + 1;
    while (tail > from && t[tail - 1].ch == u' ' && t[tail - 1].bg == t[to].bg)
        tail--;
    const int blanks = to + 1 - tail;
    const bool erase = blanks > 1 && p.cost_blank(blanks) < blanks * p.cost_put(u' ');
    const int stop = erase ? tail : to + 1;
    char buf[4];
    size_t len;
    for (int c = from; c < stop; c++) {
        const Cell& x = t[c];
        if (x.ch == 0)
            continue;
        p.go(c, row);
        if (x.ch == u' ') {
            p.pen_back(x.bg);
            p.put(" ");
            continue;
        }
        p.pen(x.fg, x.bg);
        if (amb == 0 && ambiguous(x.ch)) {
            // How wide the terminal draws it is not known: both its columns
            // are blanked first, so that either way the picture is right.
            p.put("  ");
            p.go(c, row);
        }
        utf8(x.ch, buf, &len);
        p.put(std::string_view(buf, len));
    }
    if (erase) {
        p.go(tail, row);
        p.pen_back(t[to].bg);
        p.blank(blanks);
    }
    std::copy(t + from, t + to + 1, &have_[index(from, row)]);
}
