// ncurses as a program of the game would use it, on a terminal that is a
// file: whole screens drawn into stdscr, each refresh's output handed back.
// Kept apart so that curses' macros never meet the game's headers.
#pragma once

#include <cstdio>
#include <string>

struct screen;

class CursesTerm {
public:
    // A terminal of `cols` x `rows` of the terminfo type `term`; ok() is
    // false, and `why` says why, when curses cannot drive it.
    CursesTerm(const char* term, int cols, int rows);
    ~CursesTerm();
    CursesTerm(const CursesTerm&) = delete;
    CursesTerm& operator=(const CursesTerm&) = delete;

    bool ok() const { return ready_; }
    std::string why;
    static const char* version();

    // A cell of stdscr: its glyph (UTF-8; " " a blank) in console colours
    // 0-15, -1 the terminal's default.
    void put(int col, int row, const std::string& ch, int fg, int bg);
    // What curses writes to bring the terminal to stdscr, and what it wrote
    // since the last call before that.
    std::string refresh();
    std::string output();

private:
    short pair(int fg, int bg);

    screen* sp_ = nullptr;
    FILE* out_ = nullptr;
    FILE* in_ = nullptr;
    long read_ = 0;
    bool ready_ = false;
    short pairs_[17][17] = {}; // by colours + 1: 0 not made yet
    short pairs_used_ = 0;
};
