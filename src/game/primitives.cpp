// The game's console primitives: colour, cursor, cell placement, the two
// console commands and the bounded number question, over the console.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "console/console.h"
#include "my-dropix.h"

Console* con = nullptr;

// Sets the text colour, console numbering (1 blue, 4 red).
void set_color(int fore, int back) { con->attr(fore, back); }

// Shows (1) or hides (0) the cursor.
void set_cursor(int visible) { con->cursor(visible != 0); }

// Moves the cursor to board cell (x, y): console column 2x, row y.
void set_cocate(int x, int y) { con->move(2 * x, y); }

// CMD_CLS clears the screen, CMD_PAUSE pauses on the row below the floor;
// other values do nothing.
void command(int type)
{
    if (type == CMD_CLS) {
        con->clear();
    } else if (type == CMD_PAUSE) {
        set_cocate(0, Y);
        set_color(WHITE, BLACK);
        con->pause("请按任意键继续. . .");
    }
}

// Asks until a number in [low, high] is typed, and returns it.
int input_int(int low, int high)
{
    out("请输入 %d~%d 的数值,并按回车确定;\n", low, high);
    int value = -100;
    for (int tries = 0; value > high || value < low; tries++) {
        if (tries != 0)
            out("输入错误，请重新输入 %d~%d 的数值,并按回车确定;\n", low, high);
        // A wrong entry leaves the value as it was, out of range.
        if (con->read_int(&value) == ENDED)
            con->quit(1, "输入已结束");
    }
    return value;
}

// Formatted text at the cursor, in the colour in force.
void out(const char* fmt, ...)
{
    // Most texts are glyphs with nothing to format: a well's worth of them
    // is drawn at every row removal.
    if (!std::strchr(fmt, '%')) {
        con->text(fmt);
        return;
    }
    char small[256];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof small) {
        con->text(std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    va_start(ap, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    con->text(std::string_view(big.data(), static_cast<size_t>(n)));
}
