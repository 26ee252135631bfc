#include "my-dropix.h"

#include <cstdlib>

#include "console/console.h"

// Empties the whole board array.
void f_sz_m()
{
    for (int x = 0; x < M_N; x++)
        for (int y = 0; y < M_N; y++)
            m[x][y] = 0;
}

// Empties the piece cells.
void f_R() { s_R(0, 0, 0, 0, 0, 0, 0, 0); }

// Resets the game variables; the next piece starts as the flat bar.
void f_bl()
{
    X = Y = Wx = Wy = E = Ox = Oy = Z = F = J = 0;
    C = 1;
}

// Asks for the well's width and height.
void s_gk()
{
    out("宽度设置,建议20 ");
    X = input_int(10, 100);
    out("高度设置,建议20 ");
    Y = input_int(15, 100);
}

// Asks whether the board log is wanted.
void s_j()
{
    out("是否开启数据记录 0=否 1=是 \n");
    J = input_int(0, 1);
}

// Drop interval in milliseconds: gravity steps once more than this has
// passed, so the game speeds up as the score grows.
int x_jg() { return 1000 - F / 2; }

// Draws the next-piece preview of `code` and its label (flag set), or
// blacks the preview out; neither the falling piece nor the board is
// touched.
void d_yl(int code, int flag)
{
    if (flag)
        x_ys(code);
    else
        set_color(BLACK, BLACK);
    for (const auto& c : SH[code].c) {
        set_cocate(X + 1 + c[0], 5 + c[1]);
        out("■");
    }
    if (flag) {
        set_cocate(X + 1, 4);
        set_color(WHITE, BLACK);
        out("下一个方块");
    }
}

// Spawns the next piece and draws a new next one; 1 when it does not fit.
int f_d_fx()
{
    Z = 0;
    E = C;
    d_yl(E, 0);
    C = 0;
    while (C == 0)
        C = std::rand() % 20;
    d_yl(C, 1);
    s_W(X / 2 - 2, 0);
    s_fk(E);
    if (c_pz())
        return 1;
    d_fk(1);
    r_d();
    con->sleep_ms(100);
    d_fk(0);
    return 0;
}

// Plays one game from the splash to the piece that no longer fits.
int run()
{
    set_cursor(0);
    hollo();
    f_sz_m();
    f_R();
    f_d();
    f_bl();
    s_gk();
    s_j();
    r_gk();
    r_d();
    f_ck();
    d_m();
    s_m();
    std::srand(con->seed());
    while (f_d_fx() == 0) {
        change(CH_DOWN);
        int s_t_1 = con->now_ms(); // clock after the last gravity step
        do {
            set_cocate(0, Y);
            set_color(WHITE, BLACK);
            out("                                ");
            bool busy = false;
            const Key ch = con->key(); // the key of this turn, if any
            if (ch != Key::None) {
                busy = true;
                switch (ch) {
                case Key::Space: command(CMD_PAUSE); break;
                case Key::Up: change(CH_TURN); break;
                case Key::Left: change(CH_LEFT); break;
                case Key::Right: change(CH_RIGHT); break;
                case Key::Down: change(CH_DOWN); break;
                default: break;
                }
            }
            const int s_t_2 = con->now_ms(); // this turn's clock sample
            if (s_t_2 - s_t_1 > x_jg()) {
                busy = true;
                change(CH_DOWN);
                s_t_1 = con->now_ms();
            }
            // Nothing happened: sleep until a key or the next gravity step.
            if (!busy && Z == 0)
                con->wait_key(s_t_1 + x_jg() + 1);
        } while (Z == 0);
        c_h();
    }
    return 1;
}

// Plays games until the player declines another; returns the exit status.
int g_main()
{
    for (;;) {
        run();
        command(CMD_PAUSE);
        con->ask();
        command(CMD_CLS);
        out("游戏结束\n");
        out("重新开始请按1，结束请按0\n");
        if (input_int(0, 1) == 0)
            return 0;
    }
}
