#include "planner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "fake_console.h"
#include "my-dropix.h"

namespace {

// A console that shows nothing: a try only moves, turns and removes rows.
class Quiet : public Console {
public:
    explicit Quiet(Platform& p) : Console(p) {}
    void attr(int, int) override {}
    void cursor(bool) override {}
    void move(int, int) override {}
    void clear() override {}
    void text(std::string_view) override {}
    void flush() override {}
};

} // namespace

Try try_move(int turns, int dx)
{
    // The well and the preview right of it are all that a try can change.
    static int board[M_N][M_N];
    const size_t cols = sizeof m[0] * static_cast<size_t>(std::min(M_N, X + 5));
    std::memcpy(board, m, cols);
    int cells[4][2];
    std::memcpy(cells, R, sizeof R);
    const int wx = Wx, wy = Wy, ox = Ox, oy = Oy, e = E, z = Z, f = F, j = J;
    Console* const shown = con;
    static FakePlatform none(80, 24, "UTF-8", false);
    static Quiet quiet(none);
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
    t.after.resize(static_cast<size_t>(X * Y));
    for (int x = 0; x < X; x++)
        std::copy(m[x], m[x] + Y, t.after.begin() + x * Y);

    std::memcpy(m, board, cols);
    std::memcpy(R, cells, sizeof R);
    Wx = wx, Wy = wy, Ox = ox, Oy = oy, E = e, Z = z, F = f, J = j;
    con = shown;
    return t;
}

std::string steer(double flat)
{
    double best = -1e18;
    int turns = 0, dx = 0, drop = 0;
    for (int r = 0; r < 4; r++)
        for (int d = 1 - Wx; d <= X - 2 - Wx; d++) {
            const Try t = try_move(r, d);
            if (t.x != Wx + d)
                continue; // the steps ran into something
            int holes = 0, height = 0, bumps = 0, last = -1, highest = 0;
            for (int x = 1; x <= X - 2; x++) {
                int top = Y - 1;
                for (int y = Y - 2; y >= 0; y--)
                    if (t.after[static_cast<size_t>(x * Y + y)] != 0)
                        top = y;
                height += Y - 1 - top;
                highest = std::max(highest, Y - 1 - top);
                for (int y = top + 1; y < Y - 1; y++)
                    holes += t.after[static_cast<size_t>(x * Y + y)] == 0;
                if (last >= 0)
                    bumps += std::abs(Y - 1 - top - last);
                last = Y - 1 - top;
            }
            const double score = 0.76 * t.gone - 0.51 * height - 0.36 * holes - 0.18 * bumps - flat * highest;
            if (score > best) {
                best = score;
                turns = r;
                dx = d;
                drop = t.y - Wy;
            }
        }
    std::string keys;
    for (int k = 0; k < turns; k++)
        keys += "\x1b[A";
    for (int k = std::abs(dx); k > 0; k--)
        keys += dx < 0 ? "\x1b[D" : "\x1b[C";
    for (int k = drop; k > 0; k--)
        keys += "\x1b[B";
    return keys;
}
