// Measures the board log's reader on a large log and prints a table of
// figures: opening, reading, counting pieces to the end and back, at once
// and in slices, and the reader's peak memory; then opening and reading the
// last snapshot of sparse files of 20 and 100 GB (a first snapshot, then
// nothing), which take no disk. The logs are written first, into a scratch
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

const char* said(LogReader::Outcome o)
{
    return o == LogReader::Outcome::Ok ? "read" : o == LogReader::Outcome::Fault ? "a fault" : "changed";
}

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

    // Counting from the start in slices, on a reader of its own: the first
    // slice of each size, and all of them to the last snapshot.
    const long budgets[] = {1000, 10000};
    double slice_ms[2] = {}, sliced_ms = 0;
    long slices = 0, sliced = -1;
    for (int i = 0; i < 2; i++) {
        LogReader s;
        s.open(name.c_str(), &fault);
        t0 = std::chrono::steady_clock::now();
        s.pieces(last, &fault, budgets[i]);
        slice_ms[i] = ms_since(t0);
        if (i == 0) {
            t0 = std::chrono::steady_clock::now();
            for (slices = 1; (sliced = s.pieces(last, &fault, budgets[i])) == LogReader::LATER;)
                slices++;
            sliced_ms = slice_ms[i] + ms_since(t0);
        }
    }
    unlink(name.c_str());

    // Sparse files: opening counts their snapshots, reading the last finds
    // nothing there, and neither reads what is before it.
    struct Sparse {
        long long gib;
        double open_ms, read_ms;
        long count;
        LogReader::Outcome got;
        std::string fault;
        long long bytes;
    } sparse[] = {{20, 0, 0, 0, LogReader::Outcome::Ok, "", 0}, {100, 0, 0, 0, LogReader::Outcome::Ok, "", 0}};
    for (Sparse& sp : sparse) {
        {
            std::ofstream f(name, std::ios::binary);
            f << walls;
        }
        if (truncate(name.c_str(), sp.gib << 30) != 0) {
            std::perror("truncate");
            unlink(name.c_str());
            rmdir(dir);
            return 1;
        }
        LogReader s;
        t0 = std::chrono::steady_clock::now();
        s.open(name.c_str(), &sp.fault);
        sp.open_ms = ms_since(t0);
        sp.count = s.count();
        t0 = std::chrono::steady_clock::now();
        sp.got = s.read(sp.count - 1, b, &sp.fault);
        sp.read_ms = ms_since(t0);
        sp.bytes = s.bytes_read();
        unlink(name.c_str());
    }

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
    for (int i = 0; i < 2; i++) {
        const std::string what = "pieces, a first slice of " + std::to_string(budgets[i]);
        std::printf("  %-40s %10.3f ms\n", what.c_str(), slice_ms[i]);
    }
    std::printf("  %-40s %10.3f ms (%ld slices, %ld pieces, %s)\n", "pieces to the last in slices of 1000", sliced_ms,
                slices, sliced, sliced == pieces ? "as at once" : "WRONG");
    for (const Sparse& sp : sparse) {
        std::printf("sparse file of %lld GiB (%ld snapshots)\n", sp.gib, sp.count);
        std::printf("  %-40s %10.3f ms\n", "open", sp.open_ms);
        std::printf("  %-40s %10.3f ms (%s, %lld bytes read in all)\n", "read the last snapshot", sp.read_ms,
                    said(sp.got), sp.bytes);
        std::printf("    %s\n", sp.fault.c_str());
    }
    rmdir(dir);
    return 0;
}
