#include "my-dropix.h"

int X, Y;
int m[M_N][M_N];
int R[4][2];
int Wx, Wy;
int Ox, Oy;
int E;
int C = 1;
int Z;
int F;
int J;
int s_t_1, s_t_2;
int i, j;

// Writes one board cell; cells beyond the array (the preview of a very wide
// well reaches past it) are skipped. Returns 1 when written.
int w_m(int x, int y, int v)
{
    if (x < 0 || x >= M_N || y < 0 || y >= M_N)
        return 0;
    m[x][y] = v;
    return 1;
}

// Writes the walls and the floor into the board.
void r_gk()
{
    for (i = 0; i < X; i++)
        for (j = 0; j < Y; j++)
            if (i == 0 || i == X - 1 || j == Y - 1)
                m[i][j] = WALL;
}

// Clears the screen and draws the walls, column by column.
void d_m()
{
    command(1);
    set_color(WHITE, BLACK);
    for (i = 0; i < X; i++)
        for (j = 0; j < Y; j++)
            if (m[i][j] == WALL) {
                set_cocate(i, j);
                out("■");
            }
}
