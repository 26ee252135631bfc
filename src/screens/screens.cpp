#include "my-dropix.h"

#include "console/console.h"

// Prints the banner and the rules where the cursor stands.
void hollo()
{
    set_color(LIGHT_RED, BLACK);
    out("########################################\n");
    out("#Created At:20170906                   #\n");
    out("#                                      #\n");
    out("#                                      #\n");
    out("#Referenced By:https://example.com/drop#\n");
    out("########################################\n");
    set_color(WHITE, BLACK);
    out("游戏规则\n");
    out("由小方块组成的不同形状的板块陆续从屏幕上\n");
    out("方落下来，玩家通过调整板块的位置和方向，\n");
    out("使它们在屏幕底部拼出完整的一条或几条。这\n");
    out("些完整的横条会随即消失，给新落下来的板块\n");
    out("腾出空间，与此同时，玩家得到分数奖励。没\n");
    out("有被消除掉的方块不断堆积起来，一旦堆到屏\n");
    out("幕顶端，玩家便告输，游戏结束。\n");
    out("\n");
}

// Draws the side panel right of the well: key guide, score and speed.
void s_m()
{
    set_color(WHITE, BLACK);
    set_cocate(X + 1, 0); // row 0 of the panel stays empty
    set_cocate(X + 1, 9);
    out("游戏说明");
    set_cocate(X + 1, 10);
    out("↑:旋转");
    set_cocate(X + 1, 11);
    out("←:左移");
    set_cocate(X + 1, 12);
    out("→:右移");
    set_cocate(X + 1, 13);
    out("↓:下移");
    set_cocate(X + 1, 14);
    out("空格:暂停");
    set_color(LIGHT_RED, BLACK);
    set_cocate(X + 1, 2);
    out("分数:%4d", F);
    set_color(YELLOW, BLACK);
    set_cocate(X + 1, 3);
    out("速度:%4d", 1000 - F / 2);
}

// Waits until the terminal is large enough for the well and the side panel,
// or the player presses a key to go on anyway.
void f_ck()
{
    // The longest side-panel text, the next-piece label, takes 10 columns.
    const int need_c = 2 * X + 2 + 10, need_r = Y + 1;
    int c, r;
    while (con->size(&c, &r) && (c < need_c || r < need_r)) {
        command(1);
        set_color(WHITE, BLACK);
        out("窗口太小：本局需要至少 %d 列、%d 行，现在只有 %d 列、%d 行。\n", need_c, need_r, c, r);
        out("请放大窗口，或按任意键继续。\n");
        if (con->wait_resize_or_key())
            break;
    }
}

// Draws the whole game screen again from the game state, after the terminal
// lost it (resize, or back from a suspend).
void r_all()
{
    f_ck();
    d_m();
    for (int x = 1; x < X - 1; x++)
        for (int y = 0; y < Y - 1; y++)
            if (m[x][y] != 0) {
                x_ys(m[x][y]);
                set_cocate(x, y);
                out("■");
            }
    s_m();
    if (C >= 1 && C <= N_CODE) {
        x_ys(C);
        for (const auto& c : SH[C].c) {
            set_cocate(X + 1 + c[0], 5 + c[1]);
            out("■");
        }
        set_cocate(X + 1, 4);
        set_color(WHITE, BLACK);
        out("下一个方块");
    }
}
