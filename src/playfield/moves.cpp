#include "my-dropix.h"

// Moves the anchor to (x, y), kept inside the walls for the piece's width.
void s_W(int x, int y)
{
    Ox = Wx;
    Oy = Wy;
    if (x <= 0)
        x = 1;
    if (E >= 1 && E <= N_CODE && x > X - 1 - SH[E].w)
        x = X - 1 - SH[E].w;
    Wx = x;
    Wy = y;
}

// 1 when any cell of R is taken on the board, else 0.
int c_pz()
{
    for (int k = 0; k < 4; k++) {
        const int x = R[k][0], y = R[k][1];
        // Past the array counts as taken; the walls stop every real move first.
        if (x < 0 || x >= M_N || y < 0 || y >= M_N || m[x][y] != 0)
            return 1;
    }
    return 0;
}

// Stamps the piece into the board (flag set) or clears its cells.
void r_fk_t_m(int flag)
{
    for (int k = 0; k < 4; k++)
        m[R[k][0]][R[k][1]] = flag ? E : 0;
}

// Shows the piece in its colour and stamps it (flag set), or erases both.
void d_fk(int flag)
{
    if (flag)
        x_ys(E);
    else
        set_color(BLACK, BLACK);
    r_fk_t_m(flag);
    for (int k = 0; k < 4; k++) {
        set_cocate(R[k][0], R[k][1]);
        out("■");
    }
}

// Applies one command (CH_TURN, CH_DOWN, CH_LEFT, CH_RIGHT) to the falling
// piece; undoes it when it does not fit, and a refused down move lands it.
void change(int type)
{
    d_fk(0);
    switch (type) {
    case CH_TURN: chang1(); break;
    case CH_DOWN: s_W(Wx, Wy + 1); break;
    case CH_LEFT: s_W(Wx - 1, Wy); break;
    case CH_RIGHT: s_W(Wx + 1, Wy); break;
    default: break;
    }
    s_fk(E);
    if (c_pz()) {
        if (type == CH_DOWN)
            Z = 1;
        if (type == CH_TURN) {
            chang2();
            s_W(Wx, Wy);
        } else {
            s_W(Ox, Oy);
        }
        s_fk(E);
    }
    d_fk(1);
    r_d();
}
