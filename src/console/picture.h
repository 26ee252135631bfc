// The picture of the play screen that the console keeps: what the player
// sees in every cell, and what the terminal was last made to show. The
// game draws into the picture only; each send puts on the terminal just
// the cells whose look changed, in as few bytes (or calls) as the platform
// allows, and a terminal that lost the screen gets it all again from here.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "console/painter.h"

class Picture {
public:
    // A blank picture of `cols` x `rows`; drawing beyond it is dropped.
    void resize(int cols, int rows);
    int cols() const { return cols_; }
    int rows() const { return rows_; }
    int cursor_col() const { return col_; }
    int cursor_row() const { return row_at_; }

    // The game's drawing: colours, the cursor, glyphs, clearing.
    void attr(int fore, int back);
    void move(int col, int row);
    void text(std::string_view utf8);
    void clear();

    // The terminal shows something else now: the next send paints it all.
    void lose();
    // The terminal's row may show something else (a platform wrote there).
    void lose_row(int row);
    // Sends what changed to a terminal of tcols x trows whose width for the
    // ambiguous glyphs is `amb` (1 or 2; 0 not known).
    void send(Painter& p, int tcols, int trows, int amb);

    // What the player sees at a cell: its glyph (' ' for a blank, 0 for the
    // right half of a two-column glyph), colour and background.
    struct Cell {
        char16_t ch = ' ';
        int fg = 0;
        int bg = 0;
    };
    Cell at(int col, int row) const;

private:
    // A cell in two bytes: which of the looks the picture holds it has, each
    // a glyph (' ' for a blank, 0 for the right half of a two-column one)
    // in colours fore + 16 * back (a blank's foreground is its background).
    using Slot = uint16_t;
    struct Look {
        char16_t ch;
        uint8_t a;
    };
    static constexpr Slot NOTHING = 0xffff; // a look the terminal may not have

    size_t index(int col, int row) const { return static_cast<size_t>(row) * static_cast<size_t>(cols_) + col; }
    Slot intern(char16_t ch, uint8_t a);
    Slot blank(int bg) { return intern(u' ', static_cast<uint8_t>(bg * 17)); }
    bool half(Slot s) const { return looks_[s].ch == 0; }
    void set(size_t at, Slot s);
    void put(int col, int row, char32_t ch);
    void unlink(int col, int row);
    // Rows from `top` to the last row changed went down `shift` rows.
    struct Scroll {
        int top = 0, shift = 0;
    };
    Scroll plan(Painter& p, int top, int bottom, int n, int amb);
    void send_rows(Painter& p, int top, int bottom, int n, int amb, const Scroll& sc);
    void layout(const Slot* from, Slot* to, int n, int amb);
    void send_row(Painter& p, int row, int n, int amb);
    void write(Painter& p, int row, int from, int to, int amb, bool last);

    int cols_ = 0, rows_ = 0;
    std::vector<Slot> cells_;   // the picture
    std::vector<Look> looks_;   // the looks it holds, by slot
    std::unordered_map<uint32_t, Slot> slots_; // and the slot of each
    Slot last_ = 0;             // the slot looked up last
    // What the terminal shows is the picture as last sent: a cell changed
    // since keeps its old look here, once, and its row is marked.
    std::vector<std::pair<uint32_t, Slot>> old_;
    std::vector<uint8_t> kept_;  // a bit a cell: its old look is in old_
    std::vector<uint8_t> dirty_; // a row: 1 drawn into, 2 not known on the terminal, 3 blank
    std::vector<Slot> prev_;     // the changed rows as the terminal shows them
    std::vector<int> gain_;      // what scrolls would put right, a row each
    static constexpr int MAX_SHIFT = 4; // rows a block may go down: a piece is four high
    static constexpr int MIN_GAIN = 20; // what a scroll must put right: a piece moving puts 20 at most
    bool lost_ = true;
    std::vector<Slot> was_, now_; // a row as the terminal shows it, and will
    std::vector<std::pair<int, int>> runs_; // of that row that must be written
    int col_ = 0, row_at_ = 0;
    uint8_t attr_ = DEFAULT_FORE + 16 * DEFAULT_BACK;
};
