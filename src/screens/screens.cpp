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

// Plays on the terminal from here: it must show the well and the side panel,
// whose lines may run on past the longest text with a score of many digits.
void f_ck()
{
    // The next-piece label, the longest text, takes 10 columns; a score or
    // speed of ten digits and a sign, 16.
    con->play(2 * X + 2 + 10, Y + 1, 2 * X + 2 + 16);
}
