// The board log in data.txt, and its reader.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "e2e_play.h"
#include "fixture.h"
#include "log/format.h"
#include "log/reader.h"
#include "planner.h"
#include "screens/viewer.h"

// The recording's screen, as the command line has it.
#define SCREEN(option, most, terminal, synopsis, usage, open, main)           \
    bool open(const std::vector<const char*>& operands, std::string* fault); \
    int main();
#include "screens/list.h"
#undef SCREEN

using Log = GameTest;

namespace {

std::vector<std::string> split_lines(const std::string& s)
{
    std::vector<std::string> out;
    std::stringstream ss(s);
    for (std::string l; std::getline(ss, l);)
        out.push_back(l);
    return out;
}

} // namespace

TEST_F(Log, FirstSnapshotOfTheSmallestWellIsTransposedWallsOnly)
{
    f_d();
    well(10, 15);
    J = 1;
    r_d();
    std::vector<std::string> lines = split_lines(file("data.txt"));
    ASSERT_EQ(lines.size(), 11u);
    std::string wall = "|", inner = "|";
    for (int y = 0; y < 15; y++) {
        wall += " 20|";
        inner += y == 14 ? " 20|" : "  0|";
    }
    for (int x = 0; x < 10; x++) {
        EXPECT_EQ(lines[x].size(), 61u);
        EXPECT_EQ(lines[x], x == 0 || x == 9 ? wall : inner) << x;
    }
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(file("data.txt").back(), '\n');
}

TEST_F(Log, OffLeavesAnEmptyFileAndANewGameEmptiesIt)
{
    well(10, 15);
    J = 1;
    r_d();
    EXPECT_FALSE(file("data.txt").empty());
    f_d();
    EXPECT_EQ(access("data.txt", F_OK), 0);
    EXPECT_EQ(file("data.txt"), "");
    J = 0;
    r_d();
    EXPECT_EQ(file("data.txt"), "");
}

TEST_F(Log, EveryCommandAppendsOneSnapshotWithThePieceStamped)
{
    f_d();
    well(12, 16);
    J = 1;
    E = 19;
    Wx = 3;
    Wy = 0;
    s_fk(E);
    change(2);
    change(3);
    change(3);
    change(3); // held at the wall: still logged
    std::string s = file("data.txt");
    size_t snapshot = 12 * (1 + 4 * 16 + 1) + 1;
    ASSERT_EQ(s.size(), 4 * snapshot);
    std::vector<std::string> lines = split_lines(s.substr(3 * snapshot));
    // Square at anchor (1, 1): columns 1 and 2 hold 19 in rows 1 and 2.
    EXPECT_EQ(lines[1].substr(0, 13), "|  0| 19| 19|");
    EXPECT_EQ(lines[2].substr(0, 13), "|  0| 19| 19|");
    EXPECT_EQ(lines[3].substr(0, 13), "|  0|  0|  0|");
}

TEST_F(Log, AnUnwritableLogDoesNotStopTheGame)
{
    // A directory where the file should be.
    ASSERT_EQ(mkdir("data.txt", 0755), 0);
    fc->lines = "10 15 1 0";
    fc->press(0, "\x1b[B");
    EXPECT_EQ(play(), 0);
    fc->flush();
    EXPECT_TRUE(fc->screen.contains("游戏结束"));
    struct stat st;
    ASSERT_EQ(stat("data.txt", &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    // A second name of someone else's file: neither emptied nor written.
    ASSERT_EQ(rmdir("data.txt"), 0);
    std::ofstream("kept.txt") << "not a log\n";
    ASSERT_EQ(link("kept.txt", "data.txt"), 0);
    use(240, 110);
    fc->lines = "10 15 1 0";
    EXPECT_EQ(play(), 0);
    EXPECT_EQ(file("kept.txt"), "not a log\n");
}

TEST_F(Log, AWriteCutShortLeavesWholeSnapshotsAndNothingAfter)
{
    f_d();
    well(10, 15);
    J = 1;
    const size_t snap = 10 * (1 + 4 * 15 + 1) + 1;
    // The size limit takes half of the third snapshot; ignored, SIGXFSZ
    // would end the test instead.
    struct sigaction ign = {}, old_act;
    ign.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ign, &old_act), 0);
    struct rlimit was, lim;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
    lim = was;
    lim.rlim_cur = 2 * snap + snap / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
    for (int k = 0; k < 3; k++)
        r_d();
    setrlimit(RLIMIT_FSIZE, &was);
    sigaction(SIGXFSZ, &old_act, nullptr);
    EXPECT_EQ(file("data.txt").size(), 2 * snap);
    r_d(); // room again, but after a gap
    EXPECT_EQ(file("data.txt").size(), 2 * snap);
    EXPECT_EQ(J, 1);
    f_d(); // the next game logs again
    r_d();
    EXPECT_EQ(file("data.txt").size(), snap);
}

// The reader.
using LogRead = GameTest;

namespace {

std::string written(const int (*b)[M_N], int x, int y, bool crlf = false)
{
    static char p[LOG_MAX_SNAPSHOT];
    std::string s(p, log_put(p, b, x, y));
    for (size_t k = 0; crlf && (k = s.find('\n', k)) != std::string::npos; k += 2)
        s.insert(k, "\r");
    return s;
}

// A snapshot of an x by y well: walls, and `v` in every inner cell.
std::string snapshot(int x, int y, int v = 0, bool crlf = false)
{
    static int b[M_N][M_N];
    for (int i = 0; i < x; i++)
        for (int j = 0; j < y; j++)
            b[i][j] = i == 0 || i == x - 1 || j == y - 1 ? WALL : v;
    return written(b, x, y, crlf);
}

std::string edit(std::string s, size_t at, size_t len, const std::string& with) { return s.replace(at, len, with); }

void put(const char* name, const std::string& s) { std::ofstream(name, std::ios::binary | std::ios::app) << s; }
// Empties the file, the same file, and writes s into it.
void write_over(const char* name, const std::string& s) { std::ofstream(name, std::ios::binary) << s; }

} // namespace

TEST_F(LogRead, EveryFaultNamesItsLine)
{
    const std::string ok = snapshot(10, 15);
    // Offset of line l (from 0) of a snapshot, and of field f (from 1) in it.
    auto line = [](int l) { return static_cast<size_t>(l) * log_line(15) + static_cast<size_t>(l); };
    auto field = [&](int l, int f) { return line(l) + 1 + LOG_FIELD * static_cast<size_t>(f - 1); };
    std::string inner = ok.substr(line(1), line(2) - line(1));
    std::string wide = ok.substr(0, line(9));
    for (int k = 0; k < 92; k++)
        wide += inner;
    std::string tall = "|";
    for (int k = 0; k < 101; k++)
        tall += "  0|";
    const std::string crlf = snapshot(10, 15, 0, true);
    struct Case {
        std::string bytes;
        long read; // the snapshot read after opening, -1 none
        int line;  // 0: the fault names none
        const char* word;
    } cases[] = {
        {"", -1, 0, "文件是空的"},
        {edit(ok, 0, 1, "x"), -1, 1, "行首不是"},
        {edit(ok, field(0, 3), 4, "20 |"), -1, 1, "第 3 个字段不是"},
        {edit(ok, field(0, 3), 4, "020|"), -1, 1, "第 3 个字段不是"},
        {edit(ok, field(1, 3), 4, " -0|"), -1, 2, "第 3 个字段不是"},
        {edit(ok, field(1, 3), 4, "  +|"), -1, 2, "第 3 个字段不是"},
        {edit(ok, field(1, 2), 4, " 21|"), -1, 2, "值 21 不在"},
        {edit(ok, field(1, 2), 4, " -1|"), -1, 2, "值 -1 不在"},
        {edit(ok, field(2, 5), 4, ""), -1, 3, "只有 14 个字段"},
        {edit(ok, field(2, 5), 0, "  0|"), -1, 3, "比第 1 行长"},
        {edit(crlf, crlf.find('\r', log_line(15) + 2), 1, ""), -1, 2, "行尾是 LF"},
        {ok.substr(0, ok.size() - 1), -1, 10, "写完之前"},
        {ok.substr(0, 30), -1, 1, "写完之前"},
        {snapshot(9, 15), -1, 10, "只有 9 行"},
        {wide, -1, 101, "超过 100 行"},
        {snapshot(10, 14), -1, 1, "只有 14 个字段"},
        {tall, -1, 1, "超过 100 个字段"},
        {ok + ok + edit(ok, field(4, 7), 4, " 99|"), 2, 27, "值 99"},
        // Snapshots before are taken as whole: a stray line break there
        // does not move the line named, as counting it would read them.
        {ok + edit(ok, line(2) + 5, 1, "\n") + edit(ok, field(4, 7), 4, " 99|"), 2, 27, "值 99"},
        {ok + edit(ok, line(9), 0, inner), 1, 22, "比第一个快照多"},
        {ok + edit(ok, line(3), 0, "\n"), 1, 15, "比第一个快照少"},
        {ok + ok.substr(0, ok.size() - 1) + "x", 1, 22, "结尾的空行"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        LogReader r;
        std::string fault;
        static int b[M_N][M_N];
        const bool opened = r.open_bytes("data.txt", &c.bytes, &fault);
        ASSERT_EQ(opened, c.read >= 0) << fault;
        if (opened) {
            EXPECT_EQ(r.read(c.read, b, &fault), LogReader::Outcome::Fault);
        }
        const std::string where = c.line ? "data.txt:" + std::to_string(c.line) + ": " : "data.txt: ";
        EXPECT_EQ(fault.rfind(where, 0), 0u) << fault;
        EXPECT_NE(fault.find(c.word), std::string::npos) << fault;
    }
}

TEST_F(LogRead, WhatIsReadIsWhatWasWritten)
{
    std::mt19937 rng(11);
    const int sizes[][2] = {{10, 15}, {100, 100}, {10, 100}, {100, 15}, {37, 61}, {23, 18}};
    static int b[3][M_N][M_N], got[M_N][M_N];
    for (const auto& size : sizes)
        for (bool crlf : {false, true}) {
            const int x = size[0], y = size[1];
            std::string bytes;
            for (auto& board : b) {
                for (int i = 0; i < x; i++)
                    for (int j = 0; j < y; j++)
                        board[i][j] = static_cast<int>(rng() % (WALL + 1));
                bytes += written(board, x, y, crlf);
            }
            LogReader r;
            std::string fault;
            ASSERT_TRUE(r.open_bytes("data.txt", &bytes, &fault)) << fault;
            EXPECT_EQ(r.width(), x);
            EXPECT_EQ(r.height(), y);
            EXPECT_EQ(r.crlf(), crlf);
            ASSERT_EQ(r.count(), 3);
            EXPECT_FALSE(r.cut_short());
            std::string again;
            for (long k = 2; k >= 0; k--) {
                ASSERT_EQ(r.read(k, got, &fault), LogReader::Outcome::Ok) << fault;
                for (int i = 0; i < x; i++)
                    for (int j = 0; j < y; j++)
                        ASSERT_EQ(got[i][j], b[k][i][j]) << k << ": " << i << "," << j;
                again.insert(0, written(got, x, y, crlf));
            }
            EXPECT_EQ(again, bytes);
        }
}

TEST_F(LogRead, OnlyARegularFileAndItsChangesAsAGameGoesOn)
{
    LogReader r;
    std::string fault;
    EXPECT_FALSE(r.open("data.txt", &fault));
    EXPECT_EQ(fault, "data.txt: 没有这个文件");
    ASSERT_EQ(mkdir("dir", 0755), 0);
    ASSERT_EQ(mkfifo("fifo", 0644), 0); // no writer: a blocking open would hang here
    for (const char* name : {"dir", "fifo", "/dev/null"}) {
        EXPECT_FALSE(r.open(name, &fault));
        EXPECT_EQ(fault, std::string(name) + ": 不是普通文件（目录、FIFO 或设备），不读");
    }
    put("data.txt", "");
    EXPECT_FALSE(r.open("data.txt", &fault));
    EXPECT_EQ(fault, "data.txt: 文件是空的");

    // A game in play: one snapshot and part of the next.
    const std::string a = snapshot(12, 16, 0), b = snapshot(12, 16, 7);
    put("data.txt", a + b.substr(0, 100));
    ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
    EXPECT_EQ(r.count(), 1);
    EXPECT_TRUE(r.cut_short());
    EXPECT_EQ(r.refresh(), LogReader::Same);
    put("data.txt", b.substr(100) + b);
    EXPECT_EQ(r.refresh(), LogReader::Grew);
    EXPECT_EQ(r.count(), 3);
    EXPECT_FALSE(r.cut_short());
    static int got[M_N][M_N];
    ASSERT_EQ(r.read(2, got, &fault), LogReader::Outcome::Ok) << fault;
    EXPECT_EQ(got[5][5], 7);

    // A new game, already longer than the last one was.
    ASSERT_EQ(truncate("data.txt", 0), 0);
    put("data.txt", a + a + a + a);
    EXPECT_EQ(r.refresh(), LogReader::Emptied);
    EXPECT_EQ(r.count(), 3);
    ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
    EXPECT_EQ(r.count(), 4);
    ASSERT_EQ(truncate("data.txt", 0), 0);
    EXPECT_EQ(r.refresh(), LogReader::Emptied);

    // Replaced by another file: the one being read still reads.
    ASSERT_EQ(truncate("data.txt", 0), 0);
    put("data.txt", b);
    ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
    put("new.txt", a + a);
    ASSERT_EQ(rename("new.txt", "data.txt"), 0);
    EXPECT_EQ(r.refresh(), LogReader::Emptied);
    ASSERT_EQ(r.read(0, got, &fault), LogReader::Outcome::Ok) << fault;
    EXPECT_EQ(got[5][5], 7);
}

TEST_F(LogRead, AFileWrittenOverWhileReadIsAChangeAndAFaultOnlyWhereItDidNot)
{
    // A game of 12 by 16 in three snapshots; then the file is written over
    // in place, as a new game empties it and logs its own.
    const std::string a = snapshot(12, 16, 0), b = snapshot(12, 16, 7), c = snapshot(12, 16, 3);
    const std::string small = snapshot(10, 15);
    std::string big;
    for (int k = 0; k < 20; k++)
        big += small;
    const struct {
        const char* what;
        std::string now;
        long ahead; // read before the change, -1 none
        long k;
    } cases[] = {
        {"emptied", "", -1, 1},
        {"emptied, read ahead", "", 0, 2},
        {"a smaller game", small + small, -1, 2},
        {"a smaller game, at its start", small + small, -1, 0},
        {"a larger game", big, -1, 2},
        {"the same well, from the start", c + b + b, -1, 1},
        {"the same well, a longer game", a + b + c + b, -1, 2},
    };
    static int got[M_N][M_N];
    for (const auto& w : cases) {
        SCOPED_TRACE(w.what);
        write_over("data.txt", a + b + b);
        LogReader r;
        std::string fault;
        ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
        if (w.ahead >= 0) {
            ASSERT_EQ(r.read(w.ahead, got, &fault), LogReader::Outcome::Ok) << fault;
        }
        write_over("data.txt", w.now);
        EXPECT_EQ(r.read(w.k, got, &fault), LogReader::Outcome::Changed) << fault;
        EXPECT_EQ(fault.rfind("data.txt: ", 0), 0u) << fault;
        EXPECT_EQ(r.pieces(2, &fault), LogReader::CHANGED) << fault;
        // The reader stays as it was, for what is shown.
        EXPECT_EQ(r.width(), 12);
        EXPECT_EQ(r.count(), 3);
        EXPECT_EQ(r.refresh(), LogReader::Emptied);
    }

    // A fault in a file that did not change is one, where it is.
    const size_t line4 = 4 * (log_line(16) + 1);
    write_over("data.txt", a + b + edit(b, line4 + 1 + 6 * LOG_FIELD, LOG_FIELD, " 99|"));
    LogReader r;
    std::string fault;
    ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
    const std::string at = "data.txt:" + std::to_string(2 * 13 + 4 + 1) + ": 第 7 个字段的值 99";
    EXPECT_EQ(r.read(2, got, &fault), LogReader::Outcome::Fault);
    EXPECT_EQ(fault.rfind(at, 0), 0u) << fault;
    EXPECT_EQ(r.pieces(2, &fault), LogReader::FAULT);
    EXPECT_EQ(fault.rfind(at, 0), 0u) << fault;
    EXPECT_EQ(r.read(1, got, &fault), LogReader::Outcome::Ok) << fault;
}

TEST_F(LogRead, AHugeSparseFileIsReadAtItsEndWithoutReadingWhatIsBefore)
{
    // The first snapshot of a game, then 20 GB of nothing: no disk is taken.
    put("data.txt", snapshot(10, 15));
    const long long size = 20LL << 30;
    ASSERT_EQ(truncate("data.txt", size), 0);
    LogReader r;
    std::string fault;
    ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
    const long n = static_cast<long>(size / 621);
    EXPECT_EQ(r.count(), n);
    EXPECT_EQ(r.cut_short(), size % 621 != 0);
    static int got[M_N][M_N];
    EXPECT_EQ(r.read(n - 1, got, &fault), LogReader::Outcome::Fault);
    EXPECT_EQ(fault, "data.txt:" + std::to_string((n - 1) * 11LL + 1) + ": 行首不是“|”");
    EXPECT_LT(r.bytes_read(), 1 << 20);
    EXPECT_EQ(r.pieces(n - 1, &fault, 1000), LogReader::FAULT);
    EXPECT_EQ(fault, "data.txt:12: 行首不是“|”");
    EXPECT_LT(r.bytes_read(), 1 << 20);
}

TEST_F(LogRead, ASpawnIsCountedWhenTheRowsItFollowsTookAsManyCells)
{
    // Row 1 is copied down but never emptied: with half of it taken,
    // removing a row of ten takes four cells, as many as the spawn brings.
    well(10, 15);
    for (int x = 1; x <= 8; x++) {
        m[x][13] = 5;
        m[x][12] = x <= 4 ? 3 : 0;
        m[x][1] = x >= 5 ? 2 : 0;
    }
    std::string bytes = written(m, X, Y);
    c_h();
    E = 1;
    s_W(X / 2 - 2, 0);
    s_fk(E);
    ASSERT_EQ(c_pz(), 0);
    r_fk_t_m(1);
    bytes += written(m, X, Y);
    LogReader r;
    std::string fault;
    ASSERT_TRUE(r.open_bytes("data.txt", &bytes, &fault)) << fault;
    EXPECT_EQ(r.pieces(1, &fault), 1) << fault;
}

namespace {

// The test console, told of every spawn: the game pauses only then, with
// the new piece stamped and logged.
class SpawnConsole : public FakeConsole {
public:
    std::function<void()> on_spawn;
    void sleep_ms(int ms) override
    {
        on_spawn();
        FakeConsole::sleep_ms(ms);
    }
};

} // namespace

TEST_F(LogRead, AGameReadsBackAsItWasPlayedAndItsPiecesAreCounted)
{
    auto sc = std::make_unique<SpawnConsole>();
    SpawnConsole* c = sc.get();
    fc = std::move(sc);
    con = c;
    fc->lines = "10 15 1 0";
    // The board as it stands whenever the game looks for a key or spawns
    // is the last snapshot logged.
    struct Seen {
        long k;
        long spawns;
        std::vector<int> board;
    };
    std::vector<Seen> seen;
    long spawns = 0;
    const size_t snap = log_snapshot(10, 15, 1);
    auto look = [&] {
        struct stat st;
        if (stat("data.txt", &st) != 0 || st.st_size == 0)
            return;
        const long k = static_cast<long>(static_cast<size_t>(st.st_size) / snap) - 1;
        if (!seen.empty() && seen.back().k == k)
            return;
        std::vector<int> b;
        for (int x = 0; x < X; x++)
            b.insert(b.end(), m[x], m[x] + Y);
        seen.push_back({k, spawns, b});
    };
    c->on_spawn = [&] {
        spawns++;
        look();
        // The first pieces are steered to where they remove the most rows
        // and lie lowest, so that rows go; then the stack grows to the top.
        if (spawns > 20)
            return;
        fc->press(fc->t + 100, steer());
    };
    fc->on_poll = look;
    EXPECT_EQ(play(), 0);
    EXPECT_GT(F, 0) << "no row was removed";

    LogReader r;
    std::string fault;
    ASSERT_TRUE(r.open("data.txt", &fault)) << fault;
    EXPECT_FALSE(r.cut_short());
    ASSERT_GT(seen.size(), 50u);
    // The landing that ends the game may come after the last look.
    EXPECT_LE(r.count() - 1 - seen.back().k, 1);
    static int got[M_N][M_N];
    for (const Seen& s : seen) {
        ASSERT_EQ(r.read(s.k, got, &fault), LogReader::Outcome::Ok) << fault;
        for (int x = 0; x < 10; x++)
            for (int y = 0; y < 15; y++)
                ASSERT_EQ(got[x][y], s.board[static_cast<size_t>(x * 15 + y)]) << s.k << ": " << x << "," << y;
    }
    // Counted forward, backward and by jumps, from a fresh reader or not.
    for (auto it = seen.rbegin(); it != seen.rend(); ++it)
        ASSERT_EQ(r.pieces(it->k, &fault), it->spawns) << it->k << fault;
    for (const Seen& s : seen)
        ASSERT_EQ(r.pieces(s.k, &fault), s.spawns) << s.k << fault;
    // Counted in slices: LATER until k is reached, each slice going on
    // from the last, then the count, whichever way it goes.
    const long last = r.count() - 1;
    LogReader sliced;
    ASSERT_TRUE(sliced.open("data.txt", &fault));
    long n = 0, slices = 0;
    while ((n = sliced.pieces(last, &fault, 10)) == LogReader::LATER && slices <= last)
        slices++;
    EXPECT_EQ(n, r.pieces(last, &fault));
    EXPECT_EQ(slices, (last + 9) / 10 - 1);
    for (size_t i = 0; i < seen.size(); i += 5) {
        const Seen& s = seen[i % 2 ? i : seen.size() - 1 - i];
        for (slices = 0; (n = sliced.pieces(s.k, &fault, 3)) == LogReader::LATER && slices <= last;)
            slices++;
        ASSERT_EQ(n, s.spawns) << s.k << fault;
    }
    for (size_t i = 0; i < seen.size(); i += 7) {
        LogReader fresh;
        ASSERT_TRUE(fresh.open("data.txt", &fault));
        EXPECT_EQ(fresh.pieces(seen[i].k, &fault), seen[i].spawns) << seen[i].k;
        EXPECT_EQ(fresh.pieces(seen[seen.size() - 1 - i].k, &fault), seen[seen.size() - 1 - i].spawns);
    }
}

// Recordings of a log (--cast), made in this process.
using Cast = GameTest;

namespace {

// my-dropix --cast [FILE [OUT]] at `rate`; the exit status, or -1 when it
// would not begin (*fault says why). What it notes of signals is undone.
int record(std::vector<const char*> operands, int rate = 10, std::string* fault = nullptr)
{
    std::string why;
    lz_rate = rate;
    const int status = lz_open(operands, fault ? fault : &why) ? lz_main() : -1;
    lz_rate = 10;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ})
        signal(sig, SIG_DFL);
    return status;
}

} // namespace

TEST_F(Cast, AGameRecordedShowsEverySnapshotWhereGlyphsTakeOneColumnOrTwo)
{
    // A game of a fixed seed, played by gravity alone to its end.
    fc->seed_v = 7;
    fc->lines = "20 20 1 0";
    ASSERT_EQ(play(), 0);
    LogReader log;
    std::string why;
    ASSERT_TRUE(log.open("data.txt", &why)) << why;
    ASSERT_GT(log.count(), 100);
    ASSERT_EQ(record({}), 0);
    const std::string bytes = file("data.cast");
    const CastFile c = read_cast(bytes);
    ASSERT_EQ(c.fault, "");
    struct stat st;
    ASSERT_EQ(stat("data.txt", &st), 0);
    EXPECT_EQ(c.version, 2);
    EXPECT_EQ(c.width, 2 * 20 + 2 + HF_PANEL_COLS);
    EXPECT_EQ(c.height, 21);
    EXPECT_EQ(c.timestamp, static_cast<double>(st.st_mtime));
    EXPECT_EQ(c.title, "my-dropix 回放：井宽 20，井高 20");
    EXPECT_EQ(c.term, "xterm-256color");
    // One event a snapshot, ten a second; each shows its snapshot.
    ASSERT_EQ(static_cast<long>(c.events.size()), log.count());
    for (size_t k = 0; k < c.events.size(); k++)
        ASSERT_NEAR(c.events[k].first, static_cast<double>(k) / 10, 1e-9) << k;
    EXPECT_EQ(cast_shows_log(c, log, false), "");
    EXPECT_EQ(cast_shows_log(c, log, true), "");
    // At the end: the pieces of the whole game, stopped at the last
    // snapshot; no key guide, no cursor.
    Screen end(static_cast<int>(c.width), static_cast<int>(c.height));
    for (const auto& e : c.events)
        end.feed(e.second);
    EXPECT_EQ(end.row(4, 42), "方块: " + std::to_string(log.pieces(log.count() - 1, &why)) + " 个");
    EXPECT_EQ(end.row(5, 42), "每秒 10 步  已暂停");
    EXPECT_EQ(end.find_row("空格"), -1);
    EXPECT_FALSE(end.cursor_visible());

    // The same log gives the same bytes; at another rate, the same events
    // at other times.
    ASSERT_EQ(record({"data.txt"}), 0);
    EXPECT_TRUE(file("data.cast") == bytes);
    ASSERT_EQ(record({"data.txt", "fast.cast"}, 60), 0);
    const CastFile fast = read_cast(file("fast.cast"));
    ASSERT_EQ(fast.events.size(), c.events.size());
    EXPECT_NEAR(fast.events.back().first, static_cast<double>(c.events.size() - 1) / 60, 1e-6);
    Screen at60(static_cast<int>(fast.width), static_cast<int>(fast.height));
    at60.feed(fast.events[1].second);
    EXPECT_EQ(at60.row(5, 42), "");
    at60.feed(fast.events[0].second);
    EXPECT_EQ(at60.row(5, 42), "每秒 60 步  播放中");
}

TEST_F(Cast, ALastSnapshotCutShortIsLeftOutAndOneAtFaultLeavesNoRecording)
{
    std::string log = a_log(10, 15, 5);
    put("game.txt", log + log.substr(0, 100));
    ASSERT_EQ(record({"game.txt"}), 0);
    const CastFile c = read_cast(file("game.cast"));
    ASSERT_EQ(c.fault, "");
    ASSERT_EQ(c.events.size(), 5u);
    Screen s(static_cast<int>(c.width), static_cast<int>(c.height));
    for (const auto& e : c.events)
        s.feed(e.second);
    EXPECT_EQ(s.row(15), HF_CUT_NOTE);

    // Snapshot 3 at fault, found only when it is read: no recording, and an
    // older one of that name stays as it was.
    write_over("bad.txt", log.substr(0, 2 * log.size() / 5) + edit(log.substr(2 * log.size() / 5), 1, 3, "  x"));
    put("bad.cast", "older");
    std::string fault;
    EXPECT_EQ(record({"bad.txt"}), 1);
    EXPECT_EQ(file("bad.cast"), "older");
    // Named by the log itself: refused before anything is written.
    EXPECT_EQ(record({"game.txt", "./game.txt"}, 10, &fault), -1);
    EXPECT_EQ(fault, "./game.txt: 这是要录制的数据记录本身，不能写成录像");
    EXPECT_EQ(file("game.txt"), log + log.substr(0, 100));
    // Nothing else was left behind.
    EXPECT_EQ(std::system("test \"$(ls | sort | tr '\\n' ' ')\" = 'bad.cast bad.txt game.cast game.txt '"), 0);
}
