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

// Writes the walls and the floor into the board.
void r_gk()
{
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            if (x == 0 || x == X - 1 || y == Y - 1)
                m[x][y] = WALL;
}

// Clears the screen and draws the walls, column by column.
void d_m()
{
    command(CMD_CLS);
    set_color(WHITE, BLACK);
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            if (m[x][y] == WALL) {
                set_cocate(x, y);
                out("■");
            }
}
