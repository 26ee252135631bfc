// The shape catalogue against its geometry.
#include <algorithm>
#include <set>
#include <utility>

#include "fixture.h"

namespace {

using Cells = std::set<std::pair<int, int>>;

Cells cells(int code)
{
    Cells s;
    for (const auto& c : SH[code].c)
        s.insert({c[0], c[1]});
    return s;
}

// A quarter turn clockwise on a screen whose rows grow downwards, moved back
// to the top-left corner.
Cells turned(const Cells& in)
{
    int h = 0;
    for (auto [x, y] : in)
        h = std::max(h, y + 1);
    Cells out;
    for (auto [x, y] : in)
        out.insert({h - 1 - y, x});
    return out;
}

} // namespace

using Shapes = GameTest;

TEST_F(Shapes, EachTurnIsAClockwiseQuarterTurnAndWidthsFit)
{
    for (int code = 1; code <= N_CODE; code++) {
        Cells c = cells(code);
        ASSERT_EQ(c.size(), 4u) << code;
        EXPECT_EQ(turned(c), cells(SH[code].turn)) << code;
        int w = 0, top = 9, left = 9;
        for (auto [x, y] : c) {
            w = std::max(w, x + 1);
            top = std::min(top, y);
            left = std::min(left, x);
        }
        EXPECT_EQ(SH[code].w, w) << code;
        EXPECT_EQ(top, 0) << code;
        EXPECT_EQ(left, 0) << code;
        EXPECT_EQ(SH[SH[code].turn].back, code) << code;
    }
}

TEST_F(Shapes, TurnsComeBackAndTurningBackUndoesATurn)
{
    for (int code = 1; code <= N_CODE; code++) {
        int period = code == 19 ? 1 : (code <= 2 || code >= 15) ? 2 : 4;
        E = code;
        for (int k = 0; k < period; k++) {
            chang1();
            if (k + 1 < period) {
                EXPECT_NE(E, code) << code << " after " << k + 1;
            }
        }
        EXPECT_EQ(E, code);
        chang1();
        chang2();
        EXPECT_EQ(E, code);
    }
    for (int code : {0, 20, -1}) {
        E = code;
        chang1();
        EXPECT_EQ(E, code);
        chang2();
        EXPECT_EQ(E, code);
    }
}

TEST_F(Shapes, CellsAtTheAnchorInCatalogueOrder)
{
    Wx = 4;
    Wy = 0;
    s_fk(7);
    int want[4][2] = {{6, 0}, {4, 1}, {5, 1}, {6, 1}};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(R[k][0], want[k][0]);
        EXPECT_EQ(R[k][1], want[k][1]);
    }
    s_fk(0);
    s_fk(20);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(R[k][0], want[k][0]);
}

TEST_F(Shapes, ColourClasses)
{
    const int want[] = {0, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 13, 13, 14, 0};
    for (int code = 0; code <= 20; code++)
        EXPECT_EQ(s_ys(code), want[code]) << code;
    // A code without a colour leaves the colour in force.
    set_color(5, 0);
    x_ys(0);
    out("■");
    fc->flush();
    EXPECT_EQ(fc->screen.cell(0, 0).fg, 5);
}
