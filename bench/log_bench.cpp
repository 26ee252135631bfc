// Measures the board log's reader on a large log and prints a table of
// figures: opening, reading, counting pieces to the end and back, at once
// and in slices, and the reader's peak memory; then opening and reading the
// last snapshot of sparse files of 20 and 100 GB (a first snapshot, then
// nothing), which take no disk. Then recordings made of logs by the
// program itself (my-dropix --cast, of the build the bench is in): the size
// of one of a 20 x 20 game of 200 snapshots, played by the game's own
// procedures, and the speed and peak memory of the conversion of 100 MB
// and 1 GB logs of a 100 x 100 well. The logs are written first, into a
// scratch directory, and removed afterwards.
// Usage: dropix_log_bench [megabytes, 1024 by default]
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "console/console.h"
#include "log/cast.h"
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

// Writes `name`: the walls of an x by y well, then over and over a flat
// bar spawned at the top, stepped to a side and dropped to the floor, until
// the file holds `bytes`.
void bars(const std::string& name, int x, int y, long long bytes)
{
    static char p[LOG_MAX_SNAPSHOT];
    for (int i = 0; i < x; i++)
        for (int j = 0; j < y; j++)
            b[i][j] = i == 0 || i == x - 1 || j == y - 1 ? WALL : 0;
    std::ofstream f(name, std::ios::binary);
    long long n = static_cast<long long>(log_put(p, b, x, y));
    f.write(p, n);
    for (int piece = 0; n < bytes; piece++) {
        int at = x / 2 - 2, row = 0;
        const int side = piece % 2 ? 1 : -1, code = 1 + piece % N_CODE;
        auto bar = [&](int v) {
            for (int i = at; i < at + 4; i++)
                b[i][row] = v;
        };
        for (int k = 0; n < bytes && row < y - 2; k++) {
            if (k > 0) {
                bar(0);
                if (k <= 3)
                    at += side;
                else
                    row++;
            }
            bar(code);
            const size_t len = log_put(p, b, x, y);
            f.write(p, static_cast<std::streamsize>(len));
            n += static_cast<long long>(len);
        }
        bar(0);
    }
}

// Plays a game of an x by y well with the log on, by the game's own
// procedures, on a console that draws into nothing: every piece turned and
// stepped at random, then dropped, until `snapshots` are logged in
// data.txt (in the working directory) or the game ends.
void a_game(int x, int y, long snapshots, unsigned seed)
{
    CastRecorder nowhere(2 * x + 2 + 16, y + 1, 2);
    Console console(nowhere);
    con = &console;
    f_sz_m();
    f_R();
    f_d();
    f_bl();
    X = x;
    Y = y;
    J = 1;
    r_gk();
    r_d();
    f_ck();
    d_m();
    s_m();
    std::srand(seed);
    const size_t snap = log_snapshot(x, y, 1);
    auto logged = [snap] {
        struct stat st;
        return stat("data.txt", &st) == 0 ? static_cast<long>(static_cast<size_t>(st.st_size) / snap) : 0L;
    };
    while (logged() < snapshots && f_d_fx() == 0) {
        change(CH_DOWN);
        for (int t = std::rand() % 4; t > 0; t--)
            change(CH_TURN);
        const int dx = std::rand() % (x - 4) - (x - 4) / 2;
        for (int k = std::abs(dx); k > 0; k--)
            change(dx < 0 ? CH_LEFT : CH_RIGHT);
        while (Z == 0 && logged() < snapshots)
            change(CH_DOWN);
        c_h();
    }
    con = nullptr;
    const long n = logged();
    if (n > snapshots && truncate("data.txt", static_cast<off_t>(static_cast<size_t>(snapshots) * snap)) != 0)
        std::perror("truncate");
}

struct Run {
    int status = -1;
    double ms = 0;
    double cpu_ms = 0; // of the processor, the program's and the system's for it
    long peak_kib = 0; // the program's own peak (VmHWM), from the system's count
    long long out_bytes = 0;
};

// Runs my-dropix --cast FILE OUT, its messages thrown away.
Run cast(const std::string& file, const std::string& out, const char* rate = "10")
{
    Run r;
    std::fflush(stdout);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(126);
        execl(DROPIX_BIN, DROPIX_BIN, "--cast", file.c_str(), out.c_str(), "--rate", rate, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid)
        return r;
    r.ms = ms_since(t0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.peak_kib = ru.ru_maxrss;
    const long long us = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000LL + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
    r.cpu_ms = static_cast<double>(us) / 1e3;
    struct stat st;
    r.out_bytes = stat(out.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    return r;
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

    std::printf("(times depend on the machine's load; bytes, counts and memory do not)\n");
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

    // Recordings.
    const std::string out = std::string(dir) + "/data.cast";
    if (chdir(dir) != 0)
        return 1;
    a_game(20, 20, 200, 7);
    LogReader g;
    if (!g.open("data.txt", &fault)) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        return 1;
    }
    const long game_n = g.count();
    const Run small = cast(name, out);
    unlink(out.c_str());
    std::printf("recordings made by %s --cast\n", DROPIX_BIN);
    std::printf("  %-40s %10lld bytes (%ld snapshots, status %d)\n", "a 20 x 20 game, fixed seed", small.out_bytes,
                game_n, small.status);
    for (const long long big_mib : {100LL, mib}) {
        bars(name, 100, 100, big_mib << 20);
        LogReader l;
        l.open(name.c_str(), &fault);
        const Run big = cast(name, out);
        const std::string what = "a 100 x 100 log of " + std::to_string(big_mib) + " MiB";
        const double n = static_cast<double>(l.count());
        std::printf("  %-40s %10.0f ms (%ld snapshots, %.0f a second, status %d)\n", what.c_str(), big.ms, l.count(),
                    n / (big.ms / 1000), big.status);
        std::printf("  %-40s %10.0f ms (%.0f snapshots a second)\n", "  of processor time", big.cpu_ms,
                    n / (big.cpu_ms / 1000));
        std::printf("  %-40s %10lld bytes\n", "  its recording", big.out_bytes);
        std::printf("  %-40s %10ld KiB\n", "  peak memory of the program", big.peak_kib);
        unlink(out.c_str());
        unlink(name.c_str());
    }
    rmdir(dir);
    return 0;
}
