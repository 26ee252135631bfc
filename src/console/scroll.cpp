// The picture's plans for rows that went down as a block, as when rows of
// the well vanish: the terminal's own scrolling moves them, when that
// costs fewer bytes in all than writing their cells again.
#include <algorithm>

#include "console/picture.h"

// The scroll that sends rows [top, bottom] in the fewest bytes, tried on
// the painter and taken back; a shift of 0 for none. For each shift the
// region tried ends at the last row changed and begins where what it puts
// right, less what it puts wrong, is the most: a block of rows gone down
// under a text that stayed is scrolled alone. It is tried only when that
// is more than a falling piece could put right.
Picture::Scroll Picture::plan(Painter& p, int top, int bottom, int n, int amb)
{
    auto before = [&](int r) { return dirty_[static_cast<size_t>(r)] ? &prev_[index(0, r)] : &cells_[index(0, r)]; };
    // A cell weighs about what writing it costs: a glyph more than a blank.
    auto weight = [&](Slot s) { return looks_[s].ch == u' ' ? 1 : looks_[s].ch == 0 ? 0 : 3; };
    // A first look, at the changed rows alone, for what a shift could put
    // right at most: most frames (a piece moved, a text changed) end here.
    bool could = false;
    for (int s = 1; s <= std::min(MAX_SHIFT, bottom - top) && !could; s++) {
        int most = 0;
        for (int r = top + s; r <= bottom; r++) {
            if (!dirty_[static_cast<size_t>(r)])
                continue;
            const Slot *now = &cells_[index(0, r)], *here = before(r), *from = before(r - s);
            for (int c = 0; c < n; c++)
                most += now[c] == from[c] && now[c] != here[c] ? weight(now[c]) : 0;
        }
        could = most > MIN_GAIN;
    }
    if (!could)
        return {};
    const Slot came = p.erases_in(DEFAULT_BACK) ? blank(DEFAULT_BACK) : NOTHING;
    const size_t rows = static_cast<size_t>(bottom - top + 1);
    // Per row: what coming in blank, and what coming down s rows, puts right.
    gain_.assign(2 * rows + 1, 0);
    int* blank_gain = gain_.data();
    int* down_gain = gain_.data() + rows;
    for (int r = top; r <= bottom; r++) {
        const Slot *now = &cells_[index(0, r)], *here = before(r);
        for (int c = 0; c < n; c++)
            blank_gain[r - top] += weight(now[c]) * ((now[c] == came) - (now[c] == here[c]));
    }
    Scroll tries[MAX_SHIFT + 1];
    int found = 0;
    for (int s = 1; s <= std::min(MAX_SHIFT, bottom - top); s++) {
        for (int r = top + s; r <= bottom; r++) {
            const Slot *now = &cells_[index(0, r)], *here = before(r), *from = before(r - s);
            int g = 0;
            for (int c = 0; c < n; c++)
                g += weight(now[c]) * ((now[c] == from[c]) - (now[c] == here[c]));
            down_gain[r - top] = g;
        }
        // From the lowest region up: rows [t, t+s) come in blank, the rest
        // come down. Blank rows cost little to write where the terminal
        // does not erase in colour, so only what comes down decides if the
        // best region is tried.
        int down = 0, best = 0, most = 0;
        for (int t = bottom - s; t >= top; t--) {
            down += down_gain[t + s - top];
            most = std::max(most, down);
            int in = 0;
            for (int r = t; r < t + s; r++)
                in += blank_gain[r - top];
            if (tries[s].shift == 0 || down + in > best) {
                best = down + in;
                tries[s] = {t, s};
            }
        }
        if (most <= MIN_GAIN)
            tries[s] = {};
        found += tries[s].shift > 0;
    }
    if (found == 0 || !p.try_begin())
        return {};
    send_rows(p, top, bottom, n, amb, {});
    long best = p.try_end();
    Scroll pick;
    for (const Scroll& sc : tries) {
        if (sc.shift == 0)
            continue;
        p.try_begin();
        p.pen_back(DEFAULT_BACK);
        if (!p.scroll_down(sc.top, bottom, sc.shift)) {
            p.try_end();
            break;
        }
        send_rows(p, top, bottom, n, amb, sc);
        const long cost = p.try_end();
        if (cost < best) {
            best = cost;
            pick = sc;
        }
    }
    return pick;
}
