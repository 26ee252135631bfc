// Measures the real game in a pseudo-terminal and prints a table of figures:
// processor time while a piece falls untouched, key-to-screen latency,
// gravity timing, bytes per gravity step, start-up time and peak memory.
// Usage: dropix_bench [path-to-my-dropix]
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pty_driver.h"

namespace {

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

int main(int argc, char** argv)
{
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

    std::printf("| figure | value |\n|---|---|\n");
    std::printf("| start to first prompt | %lld ms |\n", startup);
    std::printf("| processor time while a piece falls untouched (%.1f s) | %.3f %% of one core |\n", wall_s, cpu_pct);
    std::printf("| gravity steps seen | %zu |\n", step_at.size());
    std::printf("| gravity interval error (vs 1001 ms, as seen on screen) | mean %+.2f ms, worst %.2f ms |\n", err_mean, err_max);
    std::printf("| bytes written per gravity step (median) | %.0f |\n", bytes);
    std::printf("| key-to-screen latency (%zu arrow presses) | median %.2f ms, worst %.2f ms |\n", lat.size(),
                percentile(lat, 0.5), lat.empty() ? 0.0 : *std::max_element(lat.begin(), lat.end()));
    std::printf("| peak memory (VmHWM) | %ld KiB |\n", peak);
    return 0;
}
