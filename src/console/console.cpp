#include "console/console.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "my-dropix.h"

Console* con = nullptr;

void set_color(int fore, int back) { con->attr(fore, back); }

void set_cursor(int visible) { con->cursor(visible != 0); }

void set_cocate(int x, int y) { con->move(2 * x, y); }

void command(int type)
{
    if (type == 1) {
        con->clear();
    } else if (type == 2) {
        set_cocate(0, Y);
        set_color(WHITE, BLACK);
        con->pause();
    }
}

int input_int(int low, int high)
{
    out("请输入 %d~%d 的数值,并按回车确定;\n", low, high);
    int value = -100;
    for (int tries = 0; value > high || value < low; tries++) {
        if (tries != 0)
            out("输入错误，请重新输入 %d~%d 的数值,并按回车确定;\n", low, high);
        // An unusable entry leaves the value as it was, out of range.
        con->read_int(&value);
    }
    return value;
}

void out(const char* fmt, ...)
{
    char small[256];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
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
