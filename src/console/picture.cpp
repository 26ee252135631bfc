#include "console/picture.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "console/utf8.h"

void Picture::resize(int cols, int rows)
{
    cols_ = std::max(cols, 0);
    rows_ = std::max(rows, 0);
    looks_ = {{u' ', 0}};
    slots_.clear();
    slots_[u' ' << 8] = 0;
    last_ = 0;
    const size_t n = static_cast<size_t>(cols_) * static_cast<size_t>(rows_);
    cells_.assign(n, blank(DEFAULT_BACK));
    kept_.assign((n + 7) / 8, 0);
    old_.clear();
    dirty_.assign(static_cast<size_t>(rows_), 1);
    prev_.assign(n, 0);
    was_.resize(static_cast<size_t>(cols_));
    now_.resize(static_cast<size_t>(cols_));
    lost_ = true;
}

Picture::Cell Picture::at(int col, int row) const
{
    const Look l = looks_[cells_[index(col, row)]];
    return {l.ch, l.a & 15, l.a >> 4};
}

// The slot of a look, added when new. The game's screens draw a few
// hundred characters in sixteen colours: far fewer looks than slots. Were
// they all taken, a glyph would show as "?", in debug builds not at all.
Picture::Slot Picture::intern(char16_t ch, uint8_t a)
{
    if (looks_[last_].ch == ch && looks_[last_].a == a)
        return last_;
    const auto found = slots_.find(static_cast<uint32_t>(ch) << 8 | a);
    if (found != slots_.end())
        return last_ = found->second;
    assert(looks_.size() < NOTHING - 1);
    if (looks_.size() >= NOTHING - 1)
        return ch == u'?' ? 0 : intern(u'?', a);
    looks_.push_back({ch, a});
    slots_[static_cast<uint32_t>(ch) << 8 | a] = static_cast<Slot>(looks_.size() - 1);
    return last_ = static_cast<Slot>(looks_.size() - 1);
}

void Picture::attr(int fore, int back) { attr_ = static_cast<uint8_t>((fore & 15) + 16 * (back & 15)); }

void Picture::move(int col, int row)
{
    col_ = col;
    row_at_ = row;
}

// Changes a cell; its look before the first change since the last send
// is kept, for the terminal still shows it.
void Picture::set(size_t at, Slot s)
{
    if (cells_[at] == s)
        return;
    // Painted in full at the next send, the terminal's old look is no use.
    if (!lost_ && !(kept_[at / 8] & (1u << (at % 8)))) {
        kept_[at / 8] = static_cast<uint8_t>(kept_[at / 8] | (1u << (at % 8)));
        old_.push_back({static_cast<uint32_t>(at), cells_[at]});
    }
    cells_[at] = s;
    uint8_t& d = dirty_[at / static_cast<size_t>(cols_)];
    d = std::max<uint8_t>(d, 1);
}

void Picture::clear()
{
    const Slot b = blank(DEFAULT_BACK);
    for (size_t k = 0; k < cells_.size(); k++)
        set(k, b);
    col_ = row_at_ = 0;
}

void Picture::text(std::string_view s)
{
    for (size_t k = 0; k < s.size();) {
        const char32_t ch = utf8_next(s, k);
        if (ch == '\n' || ch == '\r') {
            col_ = 0;
            row_at_ += ch == '\n';
        } else if (ch >= 0x20) {
            put(col_, row_at_, ch);
            col_ += layout_width(ch);
        }
    }
}

// A glyph overwrites half of a two-column one: the other half is blank now.
void Picture::unlink(int col, int row)
{
    if (half(cells_[index(col, row)]) && col > 0) {
        const size_t lead = index(col - 1, row);
        set(lead, blank(looks_[cells_[lead]].a >> 4));
    } else if (col + 1 < cols_ && half(cells_[index(col + 1, row)])) {
        const size_t right = index(col + 1, row);
        set(right, blank(looks_[cells_[right]].a >> 4));
    }
}

void Picture::put(int col, int row, char32_t ch)
{
    const int w = layout_width(ch);
    if (row < 0 || row >= rows_ || col < 0 || col + w > cols_)
        return;
    for (int k = 0; k < w; k++)
        unlink(col + k, row);
    // A glyph in its own background colour looks like a blank of it.
    const int bg = attr_ >> 4;
    const bool seen = ch != ' ' && (attr_ & 15) != bg;
    const size_t at = index(col, row);
    set(at, seen ? intern(ch > 0xffff ? u'?' : static_cast<char16_t>(ch), attr_) : blank(bg));
    if (w == 2)
        set(at + 1, seen ? intern(0, attr_) : blank(bg));
}

void Picture::lose() { lost_ = true; }

void Picture::lose_row(int row)
{
    if (row >= 0 && row < rows_)
        dirty_[static_cast<size_t>(row)] = 2;
}

void Picture::send(Painter& p, int tcols, int trows, int amb)
{
    if (cols_ == 0 || rows_ == 0)
        return;
    const bool lost = lost_;
    if (lost) {
        p.pen_back(DEFAULT_BACK);
        p.wipe();
    }
    // What each changed row looked like on the terminal: its cells now,
    // with the kept looks put back; and which rows changed.
    std::sort(old_.begin(), old_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const int n = std::min(cols_, tcols), m = std::min(rows_, trows);
    int top = -1, bottom = -1;
    size_t k = 0;
    for (int r = 0; r < rows_; r++) {
        const size_t first = index(0, r), end = first + static_cast<size_t>(cols_);
        const uint8_t d = lost ? 3 : dirty_[static_cast<size_t>(r)];
        dirty_[static_cast<size_t>(r)] = d;
        Slot* before = &prev_[first];
        if (d == 3)
            std::fill(before, before + cols_, blank(DEFAULT_BACK));
        else if (d == 2)
            std::fill(before, before + cols_, NOTHING);
        else if (d == 1)
            std::copy(&cells_[first], &cells_[first] + cols_, before);
        for (; k < old_.size() && old_[k].first < end; k++)
            if (d == 1)
                before[old_[k].first - first] = old_[k].second;
        if (d != 0 && r < m) {
            top = top < 0 ? r : top;
            bottom = r;
        }
    }
    // Rows that moved down as a block, as when rows of the well vanish, go
    // down by the terminal's own scrolling when that costs less in all.
    const Scroll sc = !lost && n > 0 && bottom > top ? plan(p, top, bottom, n, amb) : Scroll{};
    if (sc.shift > 0) {
        p.pen_back(DEFAULT_BACK);
        p.scroll_down(sc.top, bottom, sc.shift);
    }
    send_rows(p, top < 0 ? 0 : top, bottom, n, amb, sc);
    std::fill(dirty_.begin(), dirty_.end(), 0);
    // Only the cells kept have their bit set: a turn clears a few, not all.
    for (const auto& o : old_)
        kept_[o.first / 8] = static_cast<uint8_t>(kept_[o.first / 8] & ~(1u << (o.first % 8)));
    old_.clear();
    lost_ = false;
}

// Sends rows [top, bottom] that changed, or that moved with the terminal's
// rows when `sc` scrolled them; what the terminal shows of each is what it
// showed before, moved.
void Picture::send_rows(Painter& p, int top, int bottom, int n, int amb, const Scroll& sc)
{
    const Slot came = p.erases_in(DEFAULT_BACK) ? blank(DEFAULT_BACK) : NOTHING;
    for (int r = top; r <= bottom; r++) {
        const bool moved = sc.shift > 0 && r >= sc.top;
        if (dirty_[static_cast<size_t>(r)] == 0 && !moved)
            continue;
        if (moved && r < sc.top + sc.shift) {
            std::fill(was_.begin(), was_.end(), came);
        } else {
            const int from = moved ? r - sc.shift : r;
            const size_t at = index(0, from);
            const Slot* before = dirty_[static_cast<size_t>(from)] ? &prev_[at] : &cells_[at];
            std::copy(before, before + cols_, was_.begin());
        }
        layout(was_.data(), was_.data(), n, amb);
        layout(&cells_[index(0, r)], now_.data(), n, amb);
        send_row(p, r, n, amb);
    }
}

// A row of the picture as a terminal n columns wide lays it out: an
// ambiguous glyph drawn one column wide leaves a blank beside it, and a
// two-column glyph with no room for its right half is left out.
void Picture::layout(const Slot* from, Slot* to, int n, int amb)
{
    for (int c = 0; c < n;) {
        const Slot w = from[c];
        const char16_t ch = w == NOTHING ? u'?' : looks_[w].ch;
        if (w != NOTHING && ch != u' ' && ch != 0 && layout_width(ch) == 2) {
            const Slot beside = blank(looks_[w].a >> 4);
            if (c + 1 >= n) {
                to[c++] = beside;
                continue;
            }
            const Slot right = amb == 1 && ambiguous(ch) ? beside : from[c + 1];
            to[c] = w;
            to[c + 1] = right;
            c += 2;
        } else {
            to[c] = w != NOTHING && ch == 0 ? blank(looks_[w].a >> 4) : w;
            c++;
        }
    }
}

void Picture::send_row(Painter& p, int row, int n, int amb)
{
    const Slot* t = now_.data();
    const Slot* h = was_.data();
    runs_.clear();
    for (int c = 0; c < n;) {
        if (t[c] == h[c]) {
            c++;
            continue;
        }
        // A run starts at the left half of a glyph, in the picture and on
        // the terminal, and takes in every column whose glyph it breaks.
        int a = c;
        while (a > 0 && (half(t[a]) || (h[a] != NOTHING && half(h[a]))))
            a--;
        int b = c;
        for (;;) {
            while (b + 1 < n && (half(t[b + 1]) || (h[b + 1] != NOTHING && half(h[b + 1]))))
                b++;
            if (b + 1 < n && t[b + 1] != h[b + 1]) {
                b++;
                continue;
            }
            break;
        }
        runs_.push_back({a, b});
        c = b + 1;
    }
    for (size_t k = 0; k < runs_.size(); k++) {
        int a = runs_[k].first;
        const int b = runs_[k].second;
        // An unchanged gap since the last run is written again when that
        // costs less than moving over it.
        if (k > 0) {
            const int done = runs_[k - 1].second;
            int gap = 0;
            for (int g = done + 1; g < a; g++) {
                const Look l = looks_[t[g]];
                if (l.ch != 0)
                    gap += p.cost_put(l.ch) + (l.ch == u' ' ? p.cost_pen_back(l.a >> 4) : p.cost_pen(l.a & 15, l.a >> 4));
            }
            if (gap <= p.cost_go(a, row))
                a = done + 1;
        }
        write(p, row, a, b, amb, k + 1 == runs_.size());
    }
}

// Writes columns [from, to] of the row as the picture has them; `last`:
// nothing after them in the row is written.
void Picture::write(Painter& p, int row, int from, int to, int amb, bool last)
{
    const Slot* t = now_.data();
    // Blanks that end the run are erased in one go when that is cheaper,
    // counting the move over them that erasing may then take.
    int tail = to + 1;
    while (tail > from && looks_[t[tail - 1]].ch == u' ' && t[tail - 1] == t[to])
        tail--;
    const int blanks = to + 1 - tail;
    const bool erase = blanks > 1 && p.cost_erase(blanks) + (last ? 0 : p.cost_erase(blanks)) < blanks * p.cost_put(u' ');
    const int stop = erase ? tail : to + 1;
    std::string glyph;
    for (int c = from; c < stop; c++) {
        const Look x = looks_[t[c]];
        if (x.ch == 0)
            continue;
        p.go(c, row);
        if (x.ch == u' ') {
            p.pen_back(x.a >> 4);
            p.put(" ");
            continue;
        }
        const char16_t ch = x.ch;
        p.pen(x.a & 15, x.a >> 4);
        if (amb == 0 && ambiguous(ch)) {
            // How wide the terminal draws it is not known: both its columns
            // are blanked first, so that either way the picture is right.
            p.put("  ");
            p.go(c, row);
        }
        glyph.clear();
        utf8_put(glyph, ch);
        p.put(glyph);
    }
    if (erase) {
        p.go(tail, row);
        p.pen_back(looks_[t[to]].a >> 4);
        p.erase(blanks);
    }
}
