#include "lean.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

Look look(const Screen& s, int col, int row)
{
    const Cell c = s.cell(col, row);
    Look l{c.ch, c.fg, c.bg, c.width};
    if (l.ch != " " && l.fg == l.bg)
        l.ch = " ";
    return l;
}

namespace {

int len(const char* fmt, int a, int b = 0)
{
    char t[32];
    return std::snprintf(t, sizeof t, fmt, a, b);
}

} // namespace

Lean::Lean(Screen& s) : s_(s), prev_(static_cast<size_t>(s.cols() * s.rows())), dirty_(static_cast<size_t>(s.rows()), 1)
{
    s_.on_damage = [this](int r0, int r1, int, int) {
        for (int r = std::max(r0, 0); r < std::min(r1, s_.rows()); r++)
            dirty_[static_cast<size_t>(r)] = 1;
    };
}

long Lean::settle()
{
    const size_t n = prev_.size();
    std::vector<Look> now(prev_);
    size_t blanked = 0;
    for (int r = 0; r < s_.rows(); r++)
        if (dirty_[static_cast<size_t>(r)])
            for (int c = 0; c < s_.cols(); c++) {
                Look& l = now[static_cast<size_t>(r * s_.cols() + c)];
                const bool was = l == look(s_, c, r);
                l = look(s_, c, r);
                blanked += !was && l.blank() && l.bg == 0;
            }
    long cost = 0;
    if (blanked > n / 2) {
        cost += colour(Look{" ", 0, 0, 1}) + 4; // SGR, then ESC [ 2 J
        fg_ = fg_ == -1 ? -2 : fg_;
        bg_ = 0;
        col_ = row_ = 0;
        std::fill(prev_.begin(), prev_.end(), Look{" ", 0, 0, 1});
        std::fill(dirty_.begin(), dirty_.end(), 1);
    }
    std::vector<Look> line(static_cast<size_t>(s_.cols()));
    for (int r = 0; r < s_.rows(); r++) {
        if (!dirty_[static_cast<size_t>(r)])
            continue;
        dirty_[static_cast<size_t>(r)] = 0;
        std::copy_n(now.begin() + static_cast<long>(r * s_.cols()), s_.cols(), line.begin());
        cost += row(r, line);
        std::copy(line.begin(), line.end(), prev_.begin() + static_cast<long>(r * s_.cols()));
    }
    return cost;
}

int Lean::move(int col, int row) const
{
    if (col == col_ && row == row_)
        return 0;
    int best = col == 0 && row == 0 ? 3 : len("\x1b[%d;%dH", row + 1, col + 1);
    if (row == row_ && col_ >= 0) {
        best = std::min(best, col == 0 ? 1 : len("\x1b[%dG", col + 1));
        if (col > col_)
            best = std::min(best, col - col_ == 1 ? 3 : len("\x1b[%dC", col - col_));
        else
            best = std::min(best, col_ - col == 1 ? 3 : len("\x1b[%dD", col_ - col));
    } else if (col == col_ && row_ >= 0) {
        best = std::min(best, std::abs(row - row_) == 1 ? 3 : len("\x1b[%dB", std::abs(row - row_)));
    }
    return best;
}

int Lean::colour(const Look& l) const
{
    if (l.blank())
        return l.bg == bg_ ? 0 : fg_ == -1 ? 7 : 5;
    if (l.fg == fg_ && l.bg == bg_)
        return 0;
    if (fg_ == -1)
        return 10;
    return l.fg == fg_ || l.bg == bg_ ? 5 : 8;
}

long Lean::put(const Look& l, int col)
{
    const long c = colour(l) + static_cast<long>(l.ch.size());
    if (!l.blank())
        fg_ = l.fg;
    bg_ = l.bg;
    col_ = col + std::max(l.width, 1);
    return c;
}

long Lean::row(int r, const std::vector<Look>& now)
{
    const Look* was = &prev_[static_cast<size_t>(r * s_.cols())];
    long cost = 0;
    for (int c = 0; c < s_.cols(); c++) {
        if (now[static_cast<size_t>(c)].width == 0 || now[static_cast<size_t>(c)] == was[c])
            continue;
        // Over the gap from where the cursor stands, or a move.
        long gap = 0;
        bool bridge = row_ == r && col_ >= 0 && col_ < c;
        if (bridge) {
            int f = fg_, b = bg_;
            for (int g = col_; g < c; g++)
                if (now[static_cast<size_t>(g)].width != 0)
                    gap += colour(now[static_cast<size_t>(g)]) + static_cast<long>(now[static_cast<size_t>(g)].ch.size());
            fg_ = f;
            bg_ = b;
            bridge = gap < move(c, r);
        }
        if (bridge) {
            for (int g = col_; g < c; g++)
                if (now[static_cast<size_t>(g)].width != 0)
                    put(now[static_cast<size_t>(g)], g);
            cost += gap;
        } else {
            cost += move(c, r);
        }
        col_ = c;
        row_ = r;
        cost += put(now[static_cast<size_t>(c)], c);
    }
    return cost;
}
