// Measures the game and prints tables of figures. The real game in a
// pseudo-terminal: processor time while a piece falls untouched,
// key-to-screen latency, gravity timing, bytes per gravity step, start-up
// time and peak memory. The game's code on the test console, on a virtual
// clock: the bytes it writes for row removals and over a whole game,
// against the lean cost of the same screen changes, priced from what a
// terminal (libvterm) shows after each write, not from the game's own
// picture of the screen.
// Then the same screens priced by ncurses (curses_bench.cpp).
// Usage: dropix_bench [path-to-my-dropix]; dropix_bench --curses for the
// curses table alone.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "curses_bench.h"
#include "fake_console.h"
#include "lean.h"
#include "games.h"
#include "my-dropix.h"
#include "e2e_play.h"
#include "pty_driver.h"

namespace {

// The test console, its writes priced as they go.
class Meter : public FakeConsole {
public:
    Meter() : FakeConsole(240, 110), lean_(screen)
    {
        platform().on_write = [this](size_t n) {
            writes.push_back({n, lean_.settle(), F != last_f_});
            last_f_ = F;
        };
    }

    struct Write {
        size_t bytes;
        long lean;
        bool rows_gone; // the score went up since the write before
    };
    std::vector<Write> writes;
    long spawns = 0;

protected:
    void sleep_ms(int ms) override
    {
        spawns++;
        FakeConsole::sleep_ms(ms);
    }

private:
    Lean lean_;
    int last_f_ = 0;
};

struct Cost {
    size_t bytes = 0;
    long lean = 0;
    double ratio() const { return lean > 0 ? static_cast<double>(bytes) / static_cast<double>(lean) : 0; }
};

// One removal of the bottom row under a stack of five, drawn cell by cell
// as the game draws landed pieces; the stack's other rows are random.
Cost removal(int w, int h)
{
    Meter fc;
    con = &fc;
    fc.key(); // the terminal's answer to how wide it draws "■" is read
    new_well(w, h);
    five_row_stack(w, h);
    fc.flush();
    const size_t before = fc.writes.size();
    c_h();
    fc.flush();
    Cost c;
    for (size_t k = before; k < fc.writes.size(); k++) {
        c.bytes += fc.writes[k].bytes;
        c.lean += fc.writes[k].lean;
    }
    con = nullptr;
    return c;
}

struct Game {
    Cost all, removals;
    double worst = 0; // the largest ratio of a write that removed rows
    int rows = 0;
    int removal_writes = 0;
};

// A whole 20 x 20 game on a fixed seed: the first 60 pieces steered to
// fill rows, the rest left to fall, so that the game ends. Counted: the
// play screen, from the write that clears the questions away to the pause
// under the final board.
Game whole_game()
{
    Meter fc;
    play_game(fc, 20, 20, 7, 60, fc.spawns);
    Game g;
    PlayWindow play;
    size_t at = 0;
    for (const Meter::Write& w : fc.writes) {
        const bool shown = play.take(std::string_view(fc.raw).substr(at, w.bytes));
        at += w.bytes;
        if (!shown)
            continue;
        g.all.bytes += w.bytes;
        g.all.lean += w.lean;
        if (w.rows_gone) {
            g.removal_writes++;
            g.removals.bytes += w.bytes;
            g.removals.lean += w.lean;
            if (w.lean > 0)
                g.worst = std::max(g.worst, static_cast<double>(w.bytes) / static_cast<double>(w.lean));
        }
    }
    g.rows = F / (X - 2);
    con = nullptr;
    return g;
}

void bytes_table()
{
    const Cost small = removal(20, 20), big = removal(100, 100);
    const Game g = whole_game();
    std::printf("| bytes (the game's code on the test console: the same on every run, whatever the load) | written | "
                "lean cost | ratio |\n|---|---|---|---|\n");
    std::printf("| a row removal, 20 x 20 well, five-row stack | %zu | %ld | %.2f |\n", small.bytes, small.lean, small.ratio());
    std::printf("| a row removal, 100 x 100 well, five-row stack | %zu | %ld | %.2f |\n", big.bytes, big.lean, big.ratio());
    std::printf("| a whole 20 x 20 game, fixed seed (%d rows removed) | %zu | %ld | %.2f |\n", g.rows, g.all.bytes,
                g.all.lean, g.all.ratio());
    std::printf("| its %d writes that removed rows | %zu | %ld | %.2f (worst %.2f) |\n\n", g.removal_writes,
                g.removals.bytes, g.removals.lean, g.removals.ratio(), g.worst);
}

long long now_ns()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Processor time used by a process so far, in nanoseconds.
long long cpu_ns(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/schedstat");
    long long ns = -1;
    f >> ns;
    return ns;
}

long peak_kib(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Column of the falling bar's left end in row `row`, or -1.
int bar_col(const Screen& s, int row, int from, int to)
{
    for (int c = from; c < to; c += 2)
        if (s.cell(c, row).fg == 8 && s.cell(c, row).ch == "■")
            return c;
    return -1;
}

int falling_row(const Screen& s, int cols, int rows)
{
    for (int r = 0; r < rows; r++)
        if (bar_col(s, r, 2, cols) >= 0)
            return r;
    return -1;
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
}

} // namespace

// ---- The board log's viewer ---------------------------------------------

// The snapshot number the viewer shows, 0 when none can be read.
long shown_step(const Screen& s, int w)
{
    const std::string r = s.row(2, 2 * (w + 1));
    return r.rfind("第 ", 0) == 0 ? std::atol(r.c_str() + std::strlen("第 ")) : 0;
}

// The viewer in a pseudo-terminal: a 100 x 100 game's log of 100 MB opened
// and stepped through; a long log of a small well played at 60 a second.
void replay_table(const std::string& program)
{
    char tmpl[] = "/tmp/dropix-bench-XXXXXX";
    if (!mkdtemp(tmpl))
        return;
    const std::string dir = tmpl;
    const int W = 100, H = 100;
    {
        std::ofstream f(dir + "/big.txt", std::ios::binary);
        const std::string round = a_log(W, H, H - 2); // the square falls the whole well
        for (long long size = 0; size < 100LL << 20; size += static_cast<long long>(round.size()))
            f << round;
        std::ofstream(dir + "/long.txt", std::ios::binary) << a_log(10, 15, 3700);
    }
    PtyGame::Options o;
    o.cols = 240;
    o.rows = 110;
    o.cwd = dir;
    o.program = program;
    o.args = {"--replay", "big.txt"};
    const long long t0 = now_ms();
    PtyGame g(o);
    if (!g.wait_for([&](const Screen& s) { return shown_step(s, W) == 1 && s.glyph(0, H - 1) == 15; })) {
        std::fprintf(stderr, "the viewer showed nothing\n");
        return;
    }
    const long long open_ms = now_ms() - t0;
    // Steps: from the key to the screen, and the bytes against the lean
    // cost of the same change.
    Lean lean(g.screen);
    lean.settle();
    std::vector<double> step_ms;
    size_t bytes = 0;
    long cost = 0;
    for (long k = 2; k <= 201; k++) {
        const size_t before = g.raw.size();
        const long long a = now_ns();
        g.type("\x1b[C");
        if (!g.wait_for([&](const Screen& s) { return shown_step(s, W) == k; }, 5000))
            break;
        step_ms.push_back(static_cast<double>(g.last_read_ns - a) / 1e6);
        g.wait_for([](const Screen&) { return false; }, 2); // the rest of the step's bytes
        bytes += g.raw.size() - before;
        cost += lean.settle();
    }
    g.type("\x1b[F");
    g.wait_for([&](const Screen& s) { return shown_step(s, W) > 201; }, 30000);
    const long peak = peak_kib(g.game());
    g.type("q");
    g.wait_exit(5000);

    // At 60 a second the 3,600th snapshot after the first is due 60 s on.
    o.args = {"--replay", "long.txt"};
    PtyGame p(o);
    p.wait_for([&](const Screen& s) { return shown_step(s, 10) == 1; });
    p.type("\x1b[A\x1b[A\x1b[A\x1b[A\x1b[A");
    p.wait_text("每秒 60 步");
    const long long start = now_ns();
    p.type(" ");
    const bool reached = p.wait_for([&](const Screen& s) { return shown_step(s, 10) >= 3601; }, 70000);
    const double drift = static_cast<double>(p.last_read_ns - start) / 1e6 - 60000.0;
    p.type("q");
    p.wait_exit(5000);
    std::system(("rm -rf '" + dir + "'").c_str());

    std::printf("\n| the board log's viewer, in a pseudo-terminal (times depend on the machine's load; bytes and memory "
                "hardly) | value |\n|---|---|\n");
    std::printf("| a 100 MB log of a 100 x 100 game: start to the first snapshot on screen | %lld ms |\n", open_ms);
    std::printf("| one step on the 100 x 100 well, key to screen (%zu steps) | median %.2f ms, worst %.2f ms |\n",
                step_ms.size(), percentile(step_ms, 0.5), step_ms.empty() ? 0.0 : *std::max_element(step_ms.begin(), step_ms.end()));
    std::printf("| bytes written for those steps, against their lean cost | %zu, %ld (%.2f) |\n", bytes, cost,
                cost > 0 ? static_cast<double>(bytes) / static_cast<double>(cost) : 0.0);
    std::printf("| peak memory, after the steps and a jump to the last snapshot | %ld KiB |\n", peak);
    if (reached)
        std::printf("| at 60 a second, the 3,601st snapshot against 60 s after the first | %+.1f ms |\n", drift);
    else
        std::printf("| at 60 a second, the 3,601st snapshot | not reached in 70 s |\n");
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--curses") == 0)
        return curses_table() ? 0 : 1;
    bytes_table();
    const bool same = curses_table();
    std::fflush(stdout);

    PtyGame::Options o;
    o.cols = 220;
    o.rows = 105;
    if (argc > 1) {
        char* abs = realpath(argv[1], nullptr); // the game starts in a scratch directory
        o.program = abs ? abs : argv[1];
        free(abs);
    }

    // Start-up: from the start of the process to the first prompt on screen.
    long long t0 = now_ms();
    PtyGame g(o);
    if (!g.wait_text("宽度设置,建议20 请输入")) {
        std::fprintf(stderr, "no prompt\n");
        return 1;
    }
    long long startup = now_ms() - t0;

    // A tall, wide well: the first piece falls for long enough to measure.
    const int W = 100, H = 100;
    g.type("100\n100\n0\n");
    if (!g.wait_for([&](const Screen& s) { return falling_row(s, 2 * W, H) == 1; })) {
        std::fprintf(stderr, "no first piece\n");
        return 1;
    }
    pid_t pid = g.game();

    // Gravity: record when each row step shows up and how many bytes it took.
    std::vector<long long> step_at; // ns
    std::vector<size_t> step_bytes;
    long long cpu0 = cpu_ns(pid);
    long long w0 = now_ms();
    int row = 1;
    size_t mark = g.raw.size();
    while (now_ms() - w0 < 10500) {
        g.wait_for([&](const Screen& s) { return falling_row(s, 2 * W, H) != row; }, 1500);
        int r = falling_row(g.screen, 2 * W, H);
        if (r != row && r > 0) {
            step_at.push_back(g.last_read_ns);
            step_bytes.push_back(g.raw.size() - mark);
            mark = g.raw.size();
            row = r;
        }
    }
    long long cpu1 = cpu_ns(pid);
    double wall_s = static_cast<double>(now_ms() - w0) / 1000.0;
    double cpu_pct = 100.0 * static_cast<double>(cpu1 - cpu0) / 1e9 / wall_s;

    std::vector<double> gap_err;
    for (size_t k = 1; k < step_at.size(); k++)
        gap_err.push_back(static_cast<double>(step_at[k] - step_at[k - 1]) / 1e6 - 1001.0);
    double err_mean = 0, err_max = 0;
    for (double e : gap_err) {
        err_mean += e;
        err_max = std::max(err_max, std::abs(e));
    }
    if (!gap_err.empty())
        err_mean /= static_cast<double>(gap_err.size());
    double bytes = percentile(std::vector<double>(step_bytes.begin(), step_bytes.end()), 0.5);

    // Latency: arrow presses alternating left and right, each timed from the
    // write of the key to the screen showing the bar in its new column.
    std::vector<double> lat;
    for (int k = 0; k < 200; k++) {
        int r = falling_row(g.screen, 2 * W, H);
        int c = bar_col(g.screen, r, 2, 2 * W);
        const char* key = (k % 2 == 0) ? "\x1b[D" : "\x1b[C";
        int want = c + ((k % 2 == 0) ? -2 : 2);
        struct timespec a, b;
        clock_gettime(CLOCK_MONOTONIC, &a);
        g.type(key);
        bool ok = g.wait_for([&](const Screen& s) {
            for (int rr = std::max(0, r - 1); rr <= r + 2 && rr < H; rr++)
                if (bar_col(s, rr, 2, 2 * W) == want)
                    return true;
            return false;
        }, 5000);
        clock_gettime(CLOCK_MONOTONIC, &b);
        if (ok)
            lat.push_back(static_cast<double>(b.tv_sec - a.tv_sec) * 1e3 + static_cast<double>(b.tv_nsec - a.tv_nsec) / 1e6);
    }
    long peak = peak_kib(pid);
    g.signal(SIGTERM);
    g.wait_exit(5000);

    std::printf("| the game in a pseudo-terminal (times depend on the machine's load; bytes and memory hardly) | value "
                "|\n|---|---|\n");
    std::printf("| start to first prompt | %lld ms |\n", startup);
    std::printf("| processor time while a piece falls untouched (%.1f s) | %.3f %% of one core |\n", wall_s, cpu_pct);
    std::printf("| gravity steps seen | %zu |\n", step_at.size());
    std::printf("| gravity interval error (vs 1001 ms, as seen on screen) | mean %+.2f ms, worst %.2f ms |\n", err_mean, err_max);
    std::printf("| bytes written per gravity step (median) | %.0f |\n", bytes);
    std::printf("| key-to-screen latency (%zu arrow presses) | median %.2f ms, worst %.2f ms |\n", lat.size(),
                percentile(lat, 0.5), lat.empty() ? 0.0 : *std::max_element(lat.begin(), lat.end()));
    std::printf("| peak memory (VmHWM) | %ld KiB |\n", peak);
    std::fflush(stdout);
    replay_table(o.program.empty() ? DROPIX_BIN : o.program);
    return same ? 0 : 1;
}
