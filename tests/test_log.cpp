// The board log in data.txt.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "fixture.h"

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
