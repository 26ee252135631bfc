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

// The key guide of the side panel, row by row.
static const struct {
    int row;
    const char* text;
} SM[] = {
    {9, "游戏说明"}, {10, "↑:旋转"}, {11, "←:左移"}, {12, "→:右移"}, {13, "↓:下移"}, {14, "空格:暂停"},
};

// Draws the score and the speed (the drop interval) on the side panel.
void d_fs()
{
    set_cocate(X + 1, 2);
    set_color(LIGHT_RED, BLACK);
    out("分数:%4d", F);
    set_cocate(X + 1, 3);
    set_color(YELLOW, BLACK);
    out("速度:%4d", x_jg());
}

// Draws the side panel right of the well: key guide, score and speed.
void s_m()
{
    set_color(WHITE, BLACK);
    set_cocate(X + 1, 0); // row 0 of the panel stays empty
    for (const auto& line : SM) {
        set_cocate(X + 1, line.row);
        out("%s", line.text);
    }
    d_fs();
}

// Waits until the terminal is large enough for the well and the side panel,
// or the player presses a key to go on anyway; then plays on it.
void f_ck()
{
    // The longest side-panel text, the next-piece label, takes 10 columns.
    w_ck(2 * X + 2 + 10, Y + 1);
}

// Waits until the terminal has need_c columns and need_r rows, or the player
// presses a key to go on anyway; then plays on it. In play, the console
// keeps the picture meanwhile and paints it again after.
void w_ck(int need_c, int need_r)
{
    int c, r;
    while (con->size(&c, &r) && (c < need_c || r < need_r)) {
        con->ask();
        command(CMD_CLS);
        set_color(WHITE, BLACK);
        out("窗口太小：本局需要至少 %d 列、%d 行，现在只有 %d 列、%d 行。\n", need_c, need_r, c, r);
        out("请放大窗口，或按任意键继续。\n");
        if (con->wait_resize_or_key())
            break;
    }
    con->play(need_c, need_r);
}
