// A terminal screen for tests: bytes in, cells out, as libvterm shows them.
#pragma once

#include <functional>
#include <string>

struct VTerm;
struct VTermScreen;

struct Cell {
    std::string ch; // UTF-8; " " for an empty cell
    int fg;         // console colour number, -1 for the terminal's default
    int bg;
    int width = 1;  // columns; 0 for the right half of a two-column glyph
};

class Screen {
public:
    Screen(int cols, int rows);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void feed(const char* p, size_t n);
    void feed(const std::string& s) { feed(s.data(), s.size()); }
    // As a terminal's line discipline delivers program output: LF as CR LF.
    void feed_tty(const std::string& s);
    void resize(int cols, int rows);

    Cell cell(int col, int row) const;
    // The colour of the "■" shown at a cell; -1 when none is.
    int glyph(int col, int row) const;
    // Text of a row from `col` on, trailing blanks dropped; a wide character
    // is given once.
    std::string row(int r, int col = 0) const;
    // Whole screen, rows joined by '\n'.
    std::string text() const;
    bool contains(const std::string& s) const { return text().find(s) != std::string::npos; }
    // Row that holds `s`, or -1.
    int find_row(const std::string& s) const;

    int cursor_col() const;
    int cursor_row() const;
    bool cursor_visible() const { return cursor_visible_; }
    bool altscreen() const { return alt_; }
    // The pen that text would be written with uses the default colours.
    bool pen_default() const;
    int cols() const { return cols_; }
    // The palette index of a cell's colour as the terminal was told it.
    int palette(int col, int row) const;

    // What the terminal answered (to a report of the cursor's place).
    std::string replies;
    int rows() const { return rows_; }

    // Called for every rectangle of cells that changed: rows [row0, row1),
    // columns [col0, col1). Lets a test look again only where it must.
    std::function<void(int row0, int row1, int col0, int col1)> on_damage;

    // Used by the libvterm callbacks.
    bool cursor_visible_ = true;
    bool alt_ = false;

private:
    VTerm* vt_;
    VTermScreen* vs_;
    int cols_, rows_;
};

// Console number of an ANSI palette index (red and blue bits swapped).
int console_colour(int ansi_index);
