#include "games.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "fake_console.h"
#include "my-dropix.h"
#include "planner.h"

Look look(const Screen& s, int col, int row)
{
    const Cell c = s.cell(col, row);
    Look l{c.ch, c.fg, c.bg, c.width};
    if (l.ch != " " && l.fg == l.bg)
        l.ch = " ";
    return l;
}

void new_well(int w, int h)
{
    f_sz_m();
    f_R();
    f_bl();
    X = w;
    Y = h;
    r_gk();
#if __has_include("console/frame.h")
    con->play(2 * w + 12, h + 1);
#endif
    d_m();
    s_m();
}

void five_row_stack(int w, int h)
{
    std::mt19937 rng(20261208);
    for (int y = h - 6; y <= h - 2; y++)
        for (int x = 1; x <= w - 2; x++)
            if (y == h - 2 || rng() % 4 != 0) {
                m[x][y] = 1 + static_cast<int>(rng() % N_CODE);
                x_ys(m[x][y]);
                set_cocate(x, y);
                out("■");
            }
}

std::string steer(double flat)
{
    double best = -1e18;
    std::string keys;
    for (int r = 0; r < 4; r++)
        for (int d = 1 - Wx; d <= X - 2 - Wx; d++) {
            const Try t = try_move(r, d);
            if (t.x != Wx + d)
                continue;
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
                keys.assign(static_cast<size_t>(r) * 3, ' ');
                for (int k = 0; k < r; k++)
                    keys.replace(static_cast<size_t>(k) * 3, 3, "\x1b[A");
                for (int k = std::abs(d); k > 0; k--)
                    keys += d < 0 ? "\x1b[D" : "\x1b[C";
                for (int k = t.y - Wy; k > 0; k--)
                    keys += "\x1b[B";
            }
        }
    return keys;
}

void play_game(FakeConsole& fc, int w, int h, unsigned seed, long steered, const long& spawns, double flat)
{
    con = &fc;
    fc.seed_v = seed;
    fc.lines = std::to_string(w) + "\n" + std::to_string(h) + "\n0\n0\n";
    long seen = 0;
    fc.on_poll = [&] {
        if (spawns != seen && spawns <= steered)
            fc.press(fc.t, steer(flat));
        seen = spawns;
    };
    try {
        g_main();
    } catch (const FakeExit&) {
    }
    fc.on_poll = nullptr;
}

bool PlayWindow::take(std::string_view write)
{
    static const std::string last_question = "是否开启数据记录";
    if (state_ == BEFORE) {
        tail_.append(write.data(), write.size());
        asked_ = asked_ || tail_.find(last_question) != std::string::npos;
        tail_.erase(0, tail_.size() - std::min(tail_.size(), last_question.size()));
    }
    const bool clears = write.find("\x1b[2J") != std::string_view::npos;
    if (clears && state_ == BEFORE && asked_)
        state_ = PLAYING;
    else if (clears && state_ == PLAYING)
        state_ = AFTER; // the end screen
    return state_ == PLAYING;
}
