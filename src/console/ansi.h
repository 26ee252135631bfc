// Drawing on a terminal that speaks ECMA-48 control sequences, into a
// buffer of bytes that the platform delivers: each sequence the shortest
// that does the job from what the terminal was last told; text in the
// terminal's own encoding. Portable: the POSIX terminal, the test double
// and recordings of a game all draw with it.
#pragma once

#include <string>
#include <string_view>

#include "console/painter.h"
#include "console/utf8.h"

// The encoding a terminal takes its text in; the game's text is UTF-8.
class Encoding {
public:
    virtual ~Encoding() = default;
    // Appends utf8 in this encoding; a character it lacks becomes one "?".
    virtual void append(std::string& dst, std::string_view utf8) = 0;
    // Whether it has the character ch (its UTF-8 bytes).
    virtual bool has(std::string_view ch) = 0;
    // Bytes a character takes in it.
    virtual int bytes(char32_t ch) const = 0;
};

// UTF-8 itself, unchanged.
class Utf8Encoding : public Encoding {
public:
    void append(std::string& dst, std::string_view utf8) override { dst.append(utf8.data(), utf8.size()); }
    bool has(std::string_view) override { return true; }
    int bytes(char32_t ch) const override { return utf8_bytes(ch); }
};

// The terminal's palette index of a console colour. The console keeps red in
// bit 2 and blue in bit 0, terminals the other way round; swapping them back
// is the same step, so this also maps a palette index to the console's.
constexpr int ansi_colour(int c) { return (c & 8) | ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2); }

// Asks the terminal where "■" leaves the cursor, drawn on row 3 from column
// 1, which is blanked again after; the answer comes among the typed bytes.
std::string glyph_probe(Encoding& enc);
// Takes the terminal's answer out of `in`: the columns "■" took (1 or 2;
// 0 for an answer that says neither), or -1 when `in` holds none.
int take_glyph_answer(std::string& in);

// What a terminal does beyond what every VT100-like one does, as its
// terminfo entry says.
struct TermCaps {
    bool bce = false; // erasing paints the background in force, not the terminal's own
    bool ech = false; // erases characters in place (ECH)
    bool csr = false; // a scroll region (DECSTBM)
    bool il = false;  // inserts lines (IL)
    bool ri = false;  // scrolls down at the top of the region (RI)
};
// What xterm and its kind can do.
constexpr TermCaps XTERM_CAPS = {true, true, true, true, true};

class AnsiPainter : public Painter {
public:
    AnsiPainter(Encoding& enc, const TermCaps& caps) : enc_(enc), caps_(caps) {}

    // The bytes drawn and not delivered yet.
    std::string& out() { return out_; }
    // The SGR sequence that selects console colours from any state.
    static std::string sgr(int fore, int back);

    void pen(int fore, int back) override;
    void pen_back(int back) override;
    void go(int col, int row) override;
    void put(std::string_view utf8) override;
    void erase(int n) override;
    void wipe() override;
    void erase_line() override;
    void show_cursor(bool visible) override;
    bool scroll_down(int top, int bottom, int n) override;
    bool erases_in(int back) const override;
    bool try_begin() override;
    long try_end() override;
    void screen(int cols, int rows, int glyph_width) override;
    void forget() override;
    int width_of(std::string_view ch) const override;
    int cost_go(int col, int row) const override;
    int cost_pen(int fore, int back) const override;
    int cost_pen_back(int back) const override;
    int cost_put(char32_t ch) const override;
    int cost_erase(int n) const override;

private:
    std::string move_to(int col, int row) const;
    void spaces(int n);

    Encoding& enc_;
    TermCaps caps_;
    std::string out_;
    int tcols_ = 0, trows_ = 0, amb_ = 0;
    // What the terminal was last told: the cursor (-1 not known) and the
    // colours (-1 not known; a foreground of -2 is the terminal's own).
    struct State {
        int col = -1, row = -1;
        int fg = -1, bg = -1;
    };
    State at_, tried_;
    size_t tried_from_ = 0;
};
