// How a platform draws: the one thing the picture of the play screen and
// the questions need of a screen. Positions are columns and rows from the
// top left. What is drawn is held until the platform sends it.
#pragma once

#include <string_view>

// The colours a screen starts in and is cleared to, console numbers.
constexpr int DEFAULT_FORE = 7;
constexpr int DEFAULT_BACK = 0;

class Painter {
public:
    virtual ~Painter() = default;

    // Colours for the glyphs that follow; pen_back() sets the background
    // only, for blanks.
    virtual void pen(int fore, int back) = 0;
    virtual void pen_back(int back) = 0;
    // A row below 0 is the row the cursor is in.
    virtual void go(int col, int row) = 0;
    // Glyphs at the cursor, which moves past them.
    virtual void put(std::string_view utf8) = 0;
    // n blanks in the pen's background from the cursor on; it stays.
    virtual void erase(int n) = 0;
    // The whole screen blank in the pen's background, the cursor home.
    virtual void wipe() = 0;
    // The cursor to the start of its row, which is left blank.
    virtual void erase_line() = 0;
    virtual void show_cursor(bool visible) = 0;

    // Rows [top, bottom] move down n rows, n blank rows coming in at the
    // top in the pen's background, the rest of the screen left alone; the
    // cursor's place is not known after. False when the screen cannot.
    virtual bool scroll_down(int top, int bottom, int n) = 0;
    // Whether erasing and scrolling leave the background `back` behind
    // them (else the terminal's own).
    virtual bool erases_in(int back) const = 0;
    // Trying a plan: what is drawn after try_begin() is taken back by
    // try_end(), which says what it would have cost. False from
    // try_begin() where drawing cannot be taken back.
    virtual bool try_begin() = 0;
    virtual long try_end() = 0;

    // The terminal's size, and how wide it draws the glyphs of uncertain
    // width (1 or 2; 0 not known), as last measured.
    virtual void screen(int cols, int rows, int glyph_width) = 0;
    // The terminal may have been reset: what it was last told is unknown.
    virtual void forget() = 0;
    // Columns the terminal echoes a typed character in.
    virtual int width_of(std::string_view ch) const = 0;

    // What each of the drawing calls costs here, in one unit (bytes, or calls).
    virtual int cost_go(int col, int row) const = 0;
    virtual int cost_pen(int fore, int back) const = 0;
    virtual int cost_pen_back(int back) const = 0;
    virtual int cost_put(char32_t ch) const = 0;
    virtual int cost_erase(int n) const = 0;
};
