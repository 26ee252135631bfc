// The screen at the questions: text that scrolls as it is written, kept
// line by line with its colours so that it can be drawn again when the
// terminal lost it, and the line being typed, echoed and edited.
#pragma once

#include <deque>
#include <string>
#include <string_view>

class Painter;
class Typed;

class Questions {
public:
    explicit Questions(Painter& p) : p_(p) {}

    // Text at the cursor in colours `attr` (fore + 16 * back), kept.
    void text(std::string_view utf8, int attr);
    // The screen blank, nothing kept, the colours `attr` in force; the
    // cursor home.
    void clear(int attr);
    // The colours in force change to `attr` here.
    void recolour(int attr);
    // Where the terminal's cursor stands is not known any more.
    void forget() { at(-1); }
    // The terminal's cursor was put in column `col` (-1: not known).
    void at(int col)
    {
        col_ = col;
        unsure_ = false;
    }
    // Draws the screen again on a terminal of `rows` x `cols`: the last
    // lines kept, and the line being typed.
    void redraw(int rows, int cols, bool cursor_shown);

    // What typed() found.
    enum Typing { WAITING, ENTERED, STOPPED };
    // Takes what was typed from `in` into the line being typed, shown on
    // a terminal `cols` wide; ENTERED once a line was entered, its text
    // and a line break then added to `entered`; STOPPED once the end of
    // input was typed, WAITING while more is needed.
    Typing typed(Typed& in, int now, int cols, std::string& entered);

private:
    void emit(std::string_view s, int attr);
    void keep(std::string_view s);
    void edit(const std::string& bytes, int cols);
    void show_line(int cols);
    void enter(int cols, std::string& entered);
    std::string shown_line(int cols) const;

    Painter& p_;
    // What the questions showed since the last clear, line by line, the
    // colours in force marked where they change.
    std::deque<std::string> shown_ = {""};
    int attr_ = -1;         // the colours of the text kept last
    int col_ = -1;          // the terminal's cursor column, -1 not known
    bool unsure_ = false;   // the glyph before it may be drawn one column wide
    bool ended_ = false;    // the end of input was typed
    // The line being typed, and the columns each of its characters takes.
    std::string line_;
    std::string widths_;
    int line_cols_ = 0;
};
