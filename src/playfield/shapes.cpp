#include "my-dropix.h"

const Shape SH[N_CODE + 1] = {
    {{{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 0, 0, 0, 0},
    // straight bar
    {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 4, DARK_GREY, 2, 2},
    {{{0, 0}, {0, 1}, {0, 2}, {0, 3}}, 1, DARK_GREY, 1, 1},
    // corner
    {{{0, 0}, {0, 1}, {1, 1}, {2, 1}}, 3, LIGHT_BLUE, 4, 6},
    {{{0, 0}, {1, 0}, {0, 1}, {0, 2}}, 2, LIGHT_BLUE, 5, 3},
    {{{0, 0}, {1, 0}, {2, 0}, {2, 1}}, 3, LIGHT_BLUE, 6, 4},
    {{{1, 0}, {1, 1}, {0, 2}, {1, 2}}, 2, LIGHT_BLUE, 3, 5},
    // corner, mirrored
    {{{2, 0}, {0, 1}, {1, 1}, {2, 1}}, 3, LIGHT_GREEN, 8, 10},
    {{{0, 0}, {0, 1}, {0, 2}, {1, 2}}, 2, LIGHT_GREEN, 9, 7},
    {{{0, 0}, {1, 0}, {2, 0}, {0, 1}}, 3, LIGHT_GREEN, 10, 8},
    {{{0, 0}, {1, 0}, {1, 1}, {1, 2}}, 2, LIGHT_GREEN, 7, 9},
    // tee
    {{{1, 0}, {0, 1}, {1, 1}, {2, 1}}, 3, LIGHT_CYAN, 12, 14},
    {{{0, 0}, {0, 1}, {1, 1}, {0, 2}}, 2, LIGHT_CYAN, 13, 11},
    {{{0, 0}, {1, 0}, {2, 0}, {1, 1}}, 3, LIGHT_CYAN, 14, 12},
    {{{1, 0}, {0, 1}, {1, 1}, {1, 2}}, 2, LIGHT_CYAN, 11, 13},
    // step
    {{{0, 0}, {1, 0}, {1, 1}, {2, 1}}, 3, LIGHT_RED, 16, 16},
    {{{1, 0}, {0, 1}, {1, 1}, {0, 2}}, 2, LIGHT_RED, 15, 15},
    // step, mirrored
    {{{1, 0}, {2, 0}, {0, 1}, {1, 1}}, 3, LIGHT_MAGENTA, 18, 18},
    {{{0, 0}, {0, 1}, {1, 1}, {1, 2}}, 2, LIGHT_MAGENTA, 17, 17},
    // square
    {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}, 2, YELLOW, 19, 19},
};

static bool known(int code) { return code >= 1 && code <= N_CODE; }

// Stores four cells into R, in the given order.
void s_R(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3)
{
    R[0][0] = x0; R[0][1] = y0;
    R[1][0] = x1; R[1][1] = y1;
    R[2][0] = x2; R[2][1] = y2;
    R[3][0] = x3; R[3][1] = y3;
}

// Puts the cells of shape `code` at the anchor (Wx, Wy) into R.
void s_fk(int code)
{
    if (!known(code))
        return;
    const int(*c)[2] = SH[code].c;
    s_R(Wx + c[0][0], Wy + c[0][1], Wx + c[1][0], Wy + c[1][1],
        Wx + c[2][0], Wy + c[2][1], Wx + c[3][0], Wy + c[3][1]);
}

// Turns the falling piece one quarter clockwise.
void chang1()
{
    if (known(E))
        E = SH[E].turn;
}

// Turns the falling piece one quarter back.
void chang2()
{
    if (known(E))
        E = SH[E].back;
}

// Colour of a shape code, or 0 when it has none.
int s_ys(int code) { return known(code) ? SH[code].cl : 0; }

// Selects the colour of a shape code; leaves the colour alone when it has none.
void x_ys(int code)
{
    if (known(code))
        set_color(SH[code].cl, BLACK);
}
