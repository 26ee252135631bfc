#include "planner.h"

#include <cstring>

#include "console/console.h"
#include "my-dropix.h"

namespace {

// A console that shows nothing and is never waited on.
class Quiet : public Console {
public:
    void attr(int, int) override {}
    void cursor(bool) override {}
    void move(int, int) override {}
    void clear() override {}
    void text(std::string_view) override {}
    void flush() override {}
    void play(int, int) override {}
    void ask() override {}
    bool playing() const override { return true; }
    Key key() override { return Key::None; }
    void wait_key(int) override {}
    void pause(std::string_view) override {}
    int read_int(int*) override { return ENDED; }
    int now_ms() override { return 0; }
    void sleep_ms(int) override {}
    unsigned seed() override { return 0; }
    bool size(int*, int*) override { return false; }
    bool wait_resize_or_key() override { return true; }
    [[noreturn]] void quit(int, const char*) override { throw 0; }
};

} // namespace

Try try_move(int turns, int dx)
{
    static int board[M_N][M_N];
    std::memcpy(board, m, sizeof m);
    int cells[4][2];
    std::memcpy(cells, R, sizeof R);
    const int wx = Wx, wy = Wy, ox = Ox, oy = Oy, e = E, z = Z, f = F, j = J;
    Console* const shown = con;
    Quiet quiet;
    con = &quiet;
    J = 0;

    for (int k = 0; k < turns; k++)
        change(CH_TURN);
    for (int k = dx < 0 ? -dx : dx; k > 0; k--)
        change(dx < 0 ? CH_LEFT : CH_RIGHT);
    for (Z = 0; Z == 0;)
        change(CH_DOWN);
    Try t;
    t.code = E;
    t.x = Wx;
    t.y = Wy;
    c_h();
    t.gone = (F - f) / (X - 2);
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            t.after.push_back(m[x][y]);

    std::memcpy(m, board, sizeof m);
    std::memcpy(R, cells, sizeof R);
    Wx = wx, Wy = wy, Ox = ox, Oy = oy, E = e, Z = z, F = f, J = j;
    con = shown;
    return t;
}
