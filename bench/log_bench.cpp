// Measures the board log's reader on a large log and prints a table of
// figures: opening, reading, counting pieces to the end and back, and the
// reader's peak memory. The log is written first, into a scratch
// directory, and removed afterwards.
// Usage: dropix_log_bench [megabytes, 1024 by default]
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "log/format.h"
#include "log/reader.h"

namespace {

double ms_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

long peak_kib()
{
    std::ifstream f("/proc/self/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

int b[M_N][M_N];

} // namespace

int main(int argc, char** argv)
{
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    char dir[] = "/tmp/dropix-log-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string name = std::string(dir) + "/data.txt";

    // A game of the smallest well: the walls, then over and over two flat
    // bars, spawned, stepped to the left or right wall and dropped to the
    // floor, where they fill a row that goes.
    const int x = 10, y = 15;
    static char p[LOG_MAX_SNAPSHOT];
    for (int i = 0; i < x; i++)
        for (int j = 0; j < y; j++)
            b[i][j] = i == 0 || i == x - 1 || j == y - 1 ? WALL : 0;
    const std::string walls(p, log_put(p, b, x, y));
    std::string cycle;
    const long per_piece = 1 + 2 + (y - 2) + 1; // spawn, two steps, the fall, the refused step
    for (int side : {-1, 1}) {
        auto bar = [&](int at, int row, int v) {
            for (int i = at; i < at + 4; i++)
                b[i][row] = v;
        };
        int at = x / 2 - 2, row = 0;
        bar(at, row, 1);
        cycle.append(p, log_put(p, b, x, y));
        for (int k = 0; k < per_piece - 1; k++) {
            bar(at, row, 0);
            if (k < 2)
                at += side;
            else if (row < y - 2)
                row++;
            bar(at, row, 1);
            cycle.append(p, log_put(p, b, x, y));
        }
    }
    for (int i = 1; i < x - 1; i++)
        b[i][y - 2] = 0;
    {
        std::ofstream f(name, std::ios::binary);
        f << walls;
        for (long long n = 0; n < (mib << 20); n += static_cast<long long>(cycle.size()))
            f << cycle;
    }

    const long rss0 = peak_kib();
    LogReader r;
    std::string fault;
    auto t0 = std::chrono::steady_clock::now();
    const bool ok = r.open(name.c_str(), &fault);
    const double open_ms = ms_since(t0);
    if (!ok) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        return 1;
    }
    const long last = r.count() - 1;
    t0 = std::chrono::steady_clock::now();
    r.read(last, b, &fault);
    const double read_ms = ms_since(t0);
    t0 = std::chrono::steady_clock::now();
    const long pieces = r.pieces(last, &fault);
    const double scan_ms = ms_since(t0);
    t0 = std::chrono::steady_clock::now();
    r.pieces(last - 1, &fault);
    const double back_ms = ms_since(t0);
    t0 = std::chrono::steady_clock::now();
    r.pieces(last / 2, &fault);
    const double jump_ms = ms_since(t0);
    t0 = std::chrono::steady_clock::now();
    r.pieces(0, &fault);
    r.pieces(last, &fault);
    const double ends_ms = ms_since(t0);
    t0 = std::chrono::steady_clock::now();
    const LogReader::Change c = r.refresh();
    const double refresh_ms = ms_since(t0);
    const long rss1 = peak_kib();

    std::printf("board log reader on %lld MiB (%ld snapshots of %d x %d)\n", mib, r.count(), x, y);
    std::printf("  %-40s %10.3f ms\n", "open", open_ms);
    std::printf("  %-40s %10.3f ms\n", "read the last snapshot", read_ms);
    std::printf("  %-40s %10.3f ms (%ld pieces, %s)\n", "pieces to the last: a scan", scan_ms, pieces,
                pieces == (last - 1) / per_piece + 1 ? "right" : "WRONG");
    std::printf("  %-40s %10.3f ms\n", "pieces, one step back", back_ms);
    std::printf("  %-40s %10.3f ms\n", "pieces, a jump to the middle", jump_ms);
    std::printf("  %-40s %10.3f ms\n", "pieces, to the first and the last again", ends_ms);
    std::printf("  %-40s %10.3f ms (%s)\n", "refresh", refresh_ms, c == LogReader::Same ? "same" : "changed?");
    std::printf("  %-40s %10ld KiB (%ld KiB before opening)\n", "peak memory", rss1, rss0);
    unlink(name.c_str());
    rmdir(dir);
    return 0;
}
