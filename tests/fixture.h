// Common ground for tests that drive the game on the test console.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "fake_console.h"
#include "console/console.h"
#include "my-dropix.h"

// Where row `row` of the screen, columns [c0, c1), does not show what the
// picture holds; empty where it does. A terminal that draws "■" one column
// wide shows it with a blank beside it.
std::string picture_mismatch(const Picture& f, const Screen& s, int row, int c0, int c1);

// An empty walled well of x by y, the game's state reset, and the console
// in play on it; nothing drawn.
void walled_well(int x, int y);
// A stack of five rows at the bottom of the well, drawn cell by cell as the
// game draws landed pieces: the lowest row full, the others random (a
// fixed seed).
void five_row_stack(int w, int h);

// A fresh test console, a scratch working directory (for data.txt) and a
// reset game state for every test.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes a console of another size, encoding or terminal.
    void use(int cols, int rows, const char* codeset = "UTF-8", const TermCaps& caps = XTERM_CAPS);
    // An empty walled well of the given size, without any drawing, and the
    // console in play on it.
    void well(int x, int y);
    // Draws every cell of the well that the board holds, as the game does.
    void draw_board();
    // The screen shows every cell of the well as the board holds it.
    void expect_screen_is_board();
    // The screen shows every cell of the play screen as the picture holds it.
    void expect_screen_is_picture();
    // Runs whole games until the player declines; returns the exit status,
    // or the status of a FakeExit.
    int play();
    // Runs `look` once, at the first keyboard poll of the main loop, with
    // the output on the screen.
    void at_first_poll(const std::function<void()>& look);
    // Contents of a file in the scratch directory.
    std::string file(const char* name) const;

    // Screen cell of board cell (x, y).
    Cell at(int x, int y) const { return fc->screen.cell(2 * x, y); }
    // Colour of the glyph shown at board cell (x, y); -1 when none is (an
    // erased cell shows a blank, never a glyph in black).
    int glyph(int x, int y) const;

    std::unique_ptr<FakeConsole> fc;
    std::string dir;
    std::string old_dir;
};
