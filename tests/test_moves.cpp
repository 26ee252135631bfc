// Moving, turning and landing the falling piece, seen on the board and on
// the screen.
#include "fixture.h"

class Moves : public GameTest {
protected:
    // Puts a piece of `code` at anchor (x, y), stamped and drawn.
    void place(int code, int x, int y)
    {
        E = code;
        Wx = x;
        Wy = y;
        s_fk(E);
        d_fk(1);
    }
    // The piece is in the board and on the screen at exactly its cells.
    void expect_shown()
    {
        fc->flush();
        for (int k = 0; k < 4; k++) {
            EXPECT_EQ(m[R[k][0]][R[k][1]], E) << "cell " << k;
            EXPECT_EQ(glyph(R[k][0], R[k][1]), s_ys(E)) << "cell " << k;
        }
    }
};

TEST_F(Moves, LeftWallStopsTheAnchorAtColumnOneWithoutLanding)
{
    well(10, 15);
    place(2, 1, 3);
    change(3);
    EXPECT_EQ(Wx, 1);
    EXPECT_EQ(Z, 0);
    expect_shown();
}

TEST_F(Moves, FlatBarStopsAtAnchorFiveInAWidthTenWell)
{
    well(10, 15);
    place(1, 3, 2);
    for (int k = 0; k < 4; k++)
        change(4);
    EXPECT_EQ(Wx, 5);
    EXPECT_EQ(Z, 0);
    expect_shown();
    for (int x = 5; x <= 8; x++)
        EXPECT_EQ(glyph(x, 2), 8);
    EXPECT_EQ(glyph(9, 2), -1); // the wall column was never drawn here
    // The cells it left are erased: nothing shows there.
    EXPECT_EQ(glyph(3, 2), -1);
    EXPECT_EQ(glyph(4, 2), -1);
    EXPECT_EQ(m[3][2], 0);
}

TEST_F(Moves, UprightBarBesideTheRightWallCannotTurn)
{
    well(10, 15);
    place(2, 8, 2);
    change(1);
    EXPECT_EQ(E, 2);
    EXPECT_EQ(Wx, 8);
    EXPECT_EQ(Wy, 2);
    EXPECT_EQ(Z, 0);
    expect_shown();
    // One column further in it turns, at the same anchor.
    change(3);
    change(1);
    EXPECT_EQ(E, 2);
    EXPECT_EQ(Wx, 7);
    // Two columns in, the flat bar fits: anchor 5 would be the bound, 6 is not.
    change(3);
    change(3);
    change(1);
    EXPECT_EQ(E, 1);
    EXPECT_EQ(Wx, 5);
    expect_shown();
}

TEST_F(Moves, RefusedDownMoveLandsThePieceWhereItStood)
{
    well(10, 15);
    place(19, 4, 12); // rows 12 and 13, floor in row 14
    change(2);
    EXPECT_EQ(Z, 1);
    EXPECT_EQ(Wy, 12);
    expect_shown();
    EXPECT_EQ(m[4][14], WALL);
}

TEST_F(Moves, SidewaysIntoALandedCellIsUndoneWithoutLanding)
{
    well(10, 15);
    m[6][5] = 3; // a landed cell
    place(2, 5, 4);
    change(4);
    EXPECT_EQ(Wx, 5);
    EXPECT_EQ(Z, 0);
    EXPECT_EQ(m[6][5], 3);
    expect_shown();
    // A turn that would cover a landed cell is refused and restores the code.
    d_fk(0);
    m[7][1] = 3;
    place(2, 5, 1);
    change(1);
    EXPECT_EQ(E, 2);
    EXPECT_EQ(Wx, 5);
    EXPECT_EQ(Z, 0);
    expect_shown();
}
