#include "my-dropix.h"

// Removes every full row below row 1, moving the rows above down and
// redrawing them, and raises the score for each full row.
void c_h()
{
    for (j = 1; j <= Y - 2; j++) {
        int n = 0;
        for (i = 1; i <= X - 2; i++)
            if (m[i][j] != 0)
                n++;
        if (n != X - 2)
            continue;
        for (int y = j; y >= 2; y--)
            for (i = 1; i <= X - 2; i++) {
                m[i][y] = m[i][y - 1];
                if (m[i][y] != 0)
                    x_ys(m[i][y]);
                else
                    set_color(BLACK, BLACK);
                set_cocate(i, y);
                out("■");
            }
        F += X - 2;
        set_cocate(X + 1, 2);
        set_color(LIGHT_RED, BLACK);
        out("分数:%4d", F);
        set_cocate(X + 1, 3);
        set_color(YELLOW, BLACK);
        out("速度:%4d", 1000 - F / 2);
    }
}
