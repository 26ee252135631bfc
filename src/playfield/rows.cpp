#include "my-dropix.h"

// Removes every full row below row 1, moving the rows above down and
// redrawing them, and raises the score for each full row.
void c_h()
{
    for (int j = 1; j <= Y - 2; j++) {
        int n = 0;
        for (int x = 1; x <= X - 2; x++)
            if (m[x][j] != 0)
                n++;
        if (n != X - 2)
            continue;
        // Row 1 is copied down but never emptied.
        for (int y = j; y >= 2; y--)
            for (int x = 1; x <= X - 2; x++) {
                m[x][y] = m[x][y - 1];
                if (m[x][y] != 0)
                    x_ys(m[x][y]);
                else
                    set_color(BLACK, BLACK);
                set_cocate(x, y);
                out("■");
            }
        F += X - 2;
        d_fs();
    }
}
