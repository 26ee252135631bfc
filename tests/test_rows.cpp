// Full rows: removal, redraw, score and speed.
#include <cstdlib>
#include <string>
#include <vector>

#include "fixture.h"

class Rows : public GameTest {
protected:
    void fill_row(int y, int code, int gap = -1)
    {
        for (int x = 1; x <= X - 2; x++)
            m[x][y] = x == gap ? 0 : code;
    }
};

TEST_F(Rows, OneFullRowScoresItsWidthAndMovesTheRowsAboveDown)
{
    well(10, 15);
    fill_row(13, 3);
    m[4][12] = 19;
    m[2][1] = 7; // row 1 keeps its cells
    m[6][11] = 12;
    draw_board();
    c_h();
    fc->flush();
    EXPECT_EQ(F, 8);
    EXPECT_EQ(fc->screen.row(2, 22), "分数:   8");
    EXPECT_EQ(fc->screen.row(3, 22), "速度: 996");
    EXPECT_EQ(fc->screen.cell(22, 2).fg, 12);
    EXPECT_EQ(fc->screen.cell(22, 3).fg, 14);
    EXPECT_EQ(m[4][13], 19);
    EXPECT_EQ(glyph(4, 13), 14);
    EXPECT_EQ(m[4][12], 0);
    EXPECT_EQ(m[6][12], 12);
    EXPECT_EQ(m[6][11], 0);
    // Every cell that moved is drawn anew: what emptied shows nothing.
    expect_screen_is_board();
    EXPECT_EQ(m[2][1], 7);
    EXPECT_EQ(m[2][2], 7);      // row 2 now holds a copy of row 1
    EXPECT_EQ(glyph(2, 2), 10);
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(m[x][0], x == 0 || x == 9 ? WALL : 0);
    EXPECT_EQ(m[0][13], WALL);
    EXPECT_EQ(m[9][13], WALL);
    EXPECT_EQ(m[5][14], WALL);
}

TEST_F(Rows, TwoFullRowsScoreTwiceAndARowWithAGapStays)
{
    well(10, 15);
    fill_row(13, 5);
    fill_row(12, 6, 4);
    fill_row(11, 7);
    c_h();
    fc->flush();
    EXPECT_EQ(F, 16);
    // Rows 11 and 13 went; the gapped row moved down one, then stayed.
    for (int x = 1; x <= 8; x++)
        EXPECT_EQ(m[x][13], x == 4 ? 0 : 6) << x;
    for (int y = 0; y <= 12; y++)
        for (int x = 1; x <= 8; x++)
            EXPECT_EQ(m[x][y], 0) << x << "," << y;
    // Score and speed are drawn once per removed row.
    size_t n = 0;
    for (size_t p = fc->drawn.find("分数:"); p != std::string::npos; p = fc->drawn.find("分数:", p + 1))
        n++;
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(fc->screen.row(2, 22), "分数:  16");
}

TEST_F(Rows, AFullRowOneIsCountedEveryTimeAndNeverEmptied)
{
    well(10, 15);
    fill_row(1, 9);
    fill_row(13, 4);
    c_h();
    // Row 1 counted, row 13 removed: row 2 becomes a copy of row 1 and is
    // tested before it was filled.
    EXPECT_EQ(F, 16);
    for (int x = 1; x <= 8; x++) {
        EXPECT_EQ(m[x][1], 9);
        EXPECT_EQ(m[x][2], 9);
        EXPECT_EQ(m[x][13], 0);
    }
    c_h();
    EXPECT_EQ(F, 32); // rows 1 and 2 again
}

TEST_F(Rows, SpeedReachesZeroAndThenGoesNegative)
{
    well(10, 15);
    F = 1992;
    fill_row(13, 1);
    c_h();
    fc->flush();
    EXPECT_EQ(fc->screen.row(3, 22), "速度:   0");
    fill_row(13, 1);
    F = 1994;
    c_h();
    fc->flush();
    EXPECT_EQ(fc->screen.row(2, 22), "分数:2002");
    EXPECT_EQ(fc->screen.row(3, 22), "速度:  -1");
}

TEST_F(Rows, RowsThatGoDownAreScrolledWhereThatIsCheaperAndTheScreenIsThePictureAfter)
{
    // Each shape of removal, on a terminal that erases in colour (xterm)
    // and on one that erases to its own background (GNU screen, tmux): the
    // emulated screen then shows the picture cell for cell, black wherever
    // the game paints black.
    const TermCaps no_bce = {false, false, true, true, true};
    struct Shape {
        const char* what;
        int w, h;
        std::vector<int> full; // rows made full
        int stack;             // rows of random cells above the lowest full one
        bool panel;            // the side panel's texts change in the same frame
        bool scrolls;          // a scroll is cheaper here
    };
    const Shape shapes[] = {
        {"one row under a five-row stack, 100 x 100", 100, 100, {98}, 5, false, true},
        {"four rows at once", 20, 20, {15, 16, 17, 18}, 8, false, true},
        {"rows far apart", 20, 20, {10, 18}, 9, false, true},
        {"a removal under the side panel's text", 20, 20, {14}, 6, false, true},
        {"the panel's texts changing in the same frame", 20, 20, {18}, 10, true, true},
        {"one row with nothing above it to move", 10, 15, {13}, 0, false, false},
    };
    for (bool bce : {true, false})
        for (const Shape& s : shapes) {
            SCOPED_TRACE(std::string(s.what) + (bce ? "" : ", no background colour erase"));
            use(240, 110, "UTF-8", bce ? XTERM_CAPS : no_bce);
            fc->screen.bce = bce;
            well(s.w, s.h);
            s_m();
            std::srand(7);
            const int low = s.full.back();
            for (int y = low - s.stack; y <= low; y++)
                for (int x = 1; x <= X - 2; x++)
                    m[x][y] = std::rand() % 3 ? 1 + std::rand() % N_CODE : 0;
            for (int y : s.full)
                fill_row(y, 1 + y % N_CODE);
            draw_board();
            expect_screen_is_picture();
            const size_t before = fc->raw.size();
            c_h();
            if (s.panel) {
                set_color(WHITE, BLACK);
                set_cocate(X + 1, 4);
                out("下一个方块");
                d_yl(19, 1);
            }
            expect_screen_is_picture();
            expect_screen_is_board();
            const std::string sent = fc->raw.substr(before);
            EXPECT_EQ(sent.find("\x1b[L") != std::string::npos || sent.find("L\x1b[r") != std::string::npos, s.scrolls)
                << sent.size() << " bytes";
            for (int y = 0; y < Y; y++)
                for (int x = 0; x < X; x++)
                    EXPECT_EQ(at(x, y).bg, 0) << "cell " << x << "," << y;
        }
}
