// The lean cost of what a screen shows: each write priced by what it
// changed on the terminal's screen, as the fewest bytes an encoder that
// knew the screen would need: one cursor move per run of changed cells in
// a row (the shortest move there is), a colour change only where the
// colour differs from the one last sent (short forms), the glyphs' bytes,
// and a short unchanged gap written over when that costs less than a move.
// Priced from what a terminal (libvterm) shows, not from the game's own
// picture of the screen.
#pragma once

#include <string>
#include <vector>

#include "probe.h"

// What a cell looks like: a glyph in its own background colour is a blank,
// and a blank's foreground cannot be seen.
struct Look {
    std::string ch;
    int fg = -1, bg = -1, width = 1;
    bool blank() const { return ch == " "; }
    bool operator==(const Look& o) const { return ch == o.ch && bg == o.bg && (blank() || fg == o.fg); }
    bool operator!=(const Look& o) const { return !(*this == o); }
};
Look look(const Screen& s, int col, int row);

class Lean {
public:
    // Prices the changes of `s` from here on; the screen starts blank.
    explicit Lean(Screen& s);

    // The cost of what changed since the last call. A screen mostly
    // blanked is cleared first, in one sequence.
    long settle();

private:
    int move(int col, int row) const;
    int colour(const Look& l) const;
    // Writes a cell: its colours, its glyph; the cursor moves past it.
    long put(const Look& l, int col);
    long row(int r, const std::vector<Look>& now);

    Screen& s_;
    std::vector<Look> prev_;
    std::vector<char> dirty_;
    int col_ = -1, row_ = -1, fg_ = -1, bg_ = -1;
};
