// Walls in the board and on the screen.
#include "fixture.h"

using Board = GameTest;

TEST_F(Board, SmallestWellHasThirtyEightWallCellsAndAnOpenTop)
{
    well(10, 15);
    int walls = 0;
    for (int x = 0; x < M_N; x++)
        for (int y = 0; y < M_N; y++) {
            bool edge = x < 10 && y < 15 && (x == 0 || x == 9 || y == 14);
            EXPECT_EQ(m[x][y], edge ? WALL : 0) << x << "," << y;
            walls += m[x][y] == WALL;
        }
    EXPECT_EQ(walls, 38);
}

TEST_F(Board, WallsAreDrawnWhiteExactlyAtTheWallCells)
{
    for (auto [w, h] : {std::pair{10, 15}, std::pair{100, 100}}) {
        use(2 * w + 12, h + 1);
        well(w, h);
        d_m();
        fc->flush();
        for (int x = 0; x < w + 1; x++)
            for (int y = 0; y < h; y++) {
                bool edge = x == 0 || x == w - 1 || y == h - 1;
                EXPECT_EQ(glyph(x, y), edge && x < w ? 15 : -1) << w << "x" << h << " at " << x << "," << y;
            }
        // Left wall in column 0, right wall in column 2(X-1).
        EXPECT_EQ(fc->screen.cell(0, 0).ch, "■");
        EXPECT_EQ(fc->screen.cell(2 * (w - 1), 0).ch, "■");
        EXPECT_EQ(fc->screen.cell(2 * (w - 1) + 2, 0).ch, " ");
    }
}
