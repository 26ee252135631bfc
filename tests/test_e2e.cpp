// The real game in a pseudo-terminal: what a player sees and what the
// terminal is left with.
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "e2e_play.h"
#include "log/reader.h"
#include "my-dropix.h"

namespace {

const char RIGHT[] = "\x1b[C";
const char UP[] = "\x1b[A";
const char HOME[] = "\x1b[H";
const char END[] = "\x1b[F";

// The viewer's notes under the floor.
const char GONE_NOTE[] = "记录已清空：新的一局；按 Home/End 观看";
const char EMPTY_NOTE[] = "新的一局还没有可看的快照";
const char CUT_NOTE[] = "最后一步只写了一半，没有列出";

// The snapshot the viewer says it shows, counted from 1; 0 when it says none.
long step_shown(const Screen& s)
{
    const std::string r = s.row(2);
    const size_t at = r.find("第 ");
    return at == std::string::npos ? 0 : std::atol(r.c_str() + at + 4);
}

// The viewer on `file` in `dir`, started by a shell line: `before` the
// program, `after` its arguments (redirections, a pipe).
PtyGame::Options viewer(const std::string& dir, const std::string& file, const std::string& before = "",
                        const std::string& after = "")
{
    PtyGame::Options o;
    o.cwd = dir;
    o.program = script(dir, "cd '" + dir + "'; " + before + " '" + game_path() + "' --replay '" + file + "' " + after);
    return o;
}

// The viewer shows snapshot k of the log: its number, and every cell of the
// well in the colour of what it holds.
void expect_shows(PtyGame& g, LogReader& log, long k)
{
    static int b[M_N][M_N];
    std::string why;
    ASSERT_EQ(log.read(k, b, &why), LogReader::Outcome::Ok) << why;
    const int w = log.width(), h = log.height();
    const std::string step = "第 " + std::to_string(k + 1) + " / " + std::to_string(log.count()) + " 步";
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.row(2, 2 * (w + 1)) == step; })) << step;
    for (int x = 0; x < w; x++)
        for (int y = 0; y < h; y++) {
            const int v = b[x][y];
            EXPECT_EQ(g.screen.glyph(2 * x, y), v == WALL ? 15 : v == 0 ? -1 : s_ys(v)) << x << "," << y << " of " << k;
        }
}

} // namespace


TEST(E2E, WholeGamesWithRestartEndWithStatusZeroAndTheTerminalBack)
{
    PtyGame g;
    ASSERT_TRUE(g.wait_text("宽度设置,建议20 请输入 10~100 的数值,并按回车确定;"));
    EXPECT_TRUE(g.screen.altscreen());
    g.type("9\n");
    ASSERT_TRUE(g.wait_text("输入错误，请重新输入 10~100 的数值,并按回车确定;"));
    g.type("10 15\n");
    ASSERT_TRUE(g.wait_text("是否开启数据记录 0=否 1=是"));
    g.type("0\n");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.cell(22, 14).ch == "空"; }));
    // The walls, white, at columns 0 and 18.
    for (int y = 0; y < 15; y++) {
        EXPECT_EQ(g.screen.cell(0, y).ch, "■");
        EXPECT_EQ(g.screen.cell(0, y).fg, 15);
        EXPECT_EQ(g.screen.cell(18, y).ch, "■");
    }
    EXPECT_FALSE(g.screen.cursor_visible());
    // Text typed during play is no answer to any later prompt.
    g.type("1\n");
    ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
    EXPECT_EQ(g.screen.row(0), "游戏结束");
    g.type("1\n");
    ASSERT_TRUE(g.wait_text("#Referenced By:"));
    EXPECT_EQ(g.screen.row(3), "1"); // the echo of the answer
    EXPECT_EQ(g.screen.row(4), "########################################");
    ASSERT_NO_FATAL_FAILURE(start(g, 12, 16));
    ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 16));
    g.type("0\n");
    EXPECT_EQ(g.wait_exit(), 0);
    expect_terminal_back(g);
    EXPECT_FALSE(g.screen.contains("游戏结束"));
}

TEST(E2E, EndOfInputAtAPromptEndsWithStatusOne)
{
    PtyGame g;
    ASSERT_TRUE(g.wait_text("宽度设置"));
    g.type("12\n");
    ASSERT_TRUE(g.wait_text("高度设置"));
    long long t0 = now_ms();
    g.close_input();
    EXPECT_EQ(g.wait_exit(5000), 1);
    EXPECT_LT(now_ms() - t0, 5000);
    expect_terminal_back(g);
    EXPECT_TRUE(g.screen.contains("my-dropix: 输入已结束"));
}

TEST(E2E, CtrlCAtAPromptAndInPlayGivesTheTerminalBack)
{
    {
        PtyGame g;
        ASSERT_TRUE(g.wait_text("宽度设置"));
        g.type("\x03");
        EXPECT_EQ(g.wait_exit(), 128 + SIGINT);
        expect_terminal_back(g);
    }
    // The other signals that end a process are tried at a question with the
    // hostile tests.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGRTMAX, SIGTRAP}) {
        PtyGame g;
        ASSERT_NO_FATAL_FAILURE(start(g, 10, 15));
        struct termios t = g.modes();
        EXPECT_FALSE(t.c_lflag & ICANON);
        EXPECT_FALSE(t.c_lflag & ECHO);
        if (sig == SIGINT)
            g.type("\x03");
        else
            g.signal(sig);
        EXPECT_EQ(g.wait_exit(), 128 + sig) << sig;
        expect_terminal_back(g);
    }
}

TEST(E2E, CtrlZRestoresTheTerminalAndFgRedrawsTheGame)
{
    PtyGame g;
    ASSERT_NO_FATAL_FAILURE(start(g, 10, 15));
    g.type(LEFT);
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.glyph(4, 1) == 8 || s.glyph(4, 2) == 8; }));
    g.type("\x1a");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return g.stopped() && !s.altscreen(); }));
    EXPECT_TRUE(g.screen.cursor_visible());
    EXPECT_TRUE(g.modes().c_lflag & ICANON);
    g.fg();
    ASSERT_TRUE(g.wait_for([](const Screen& s) {
        return s.altscreen() && s.cell(18, 0).ch == "■" && s.row(2, 22) == "分数:   0" &&
               s.row(4, 22) == "下一个方块";
    }));
    ASSERT_TRUE(g.wait_for([&](const Screen&) { return !(g.modes().c_lflag & ICANON); }));
    EXPECT_FALSE(g.screen.cursor_visible());
    // Play goes on: the piece still answers the keys.
    ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
    g.type("0\n");
    EXPECT_EQ(g.wait_exit(), 0);
}

TEST(E2E, ResizeRedrawsAndTooSmallATerminalIsExplained)
{
    PtyGame::Options o;
    o.cols = 100;
    o.rows = 12;
    PtyGame g(o);
    ASSERT_TRUE(g.wait_text("宽度设置"));
    g.type("10\n15\n0\n");
    ASSERT_TRUE(g.wait_text("窗口太小"));
    EXPECT_TRUE(g.screen.contains("32 列、16 行"));
    g.resize(80, 24);
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(14, 22) == "空格:暂停" && s.cell(18, 14).ch == "■"; }));
    g.resize(100, 30);
    g.screen.feed("\x1b[2J"); // forget the old picture: only a redraw brings it back
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(14, 22) == "空格:暂停" && s.cell(0, 0).ch == "■"; }));
    g.signal(SIGTERM);
    EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
}

TEST(E2E, ArrowSplitAcrossWritesIsOneKey)
{
    PtyGame g;
    ASSERT_NO_FATAL_FAILURE(start(g, 20, 20));
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.glyph(16, 1) == 8; }));
    g.type("\x1b[");
    usleep(5000);
    g.type("D");
    // The bar moves one column left; no stray "D" reaches anything.
    ASSERT_TRUE(g.wait_for([](const Screen& s) {
        for (int y = 0; y < 19; y++)
            if (s.glyph(14, y) == 8)
                return true;
        return false;
    }));
    EXPECT_FALSE(g.screen.contains("D"));
    g.signal(SIGTERM);
    EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
}

TEST(E2E, CtrlZAtAPromptBringsThePromptBack)
{
    PtyGame g;
    ASSERT_TRUE(g.wait_text("宽度设置"));
    g.type("20\n");
    ASSERT_TRUE(g.wait_text("高度设置"));
    // Half an answer, and a sequence that would clear the screen were it
    // shown as it came.
    g.type("1\x1b[2J");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(18) == "1"; }));
    g.type("\x1a");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return g.stopped() && !s.altscreen(); }));
    EXPECT_TRUE(g.modes().c_lflag & ICANON);
    g.fg();
    // What was on screen comes back, the entered answer and the half one
    // with it, and the question still takes the rest of its answer.
    ASSERT_TRUE(g.wait_for([](const Screen& s) {
        return s.altscreen() && s.row(6) == "游戏规则" && s.row(15).rfind("宽度设置,建议20 请输入 10~100", 0) == 0 &&
               s.row(16) == "20" && s.row(17).rfind("高度设置,建议20 请输入 15~100", 0) == 0 && s.row(18) == "1";
    }));
    g.type("5\n0\n");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.cell(42, 14).ch == "空"; }));
    g.signal(SIGTERM);
    EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
}

TEST(E2E, CtrlSAndCtrlQAreKeysThatDoNothing)
{
    PtyGame g;
    ASSERT_NO_FATAL_FAILURE(start(g, 10, 15));
    // No flow control: the game goes on drawing, and the next key moves.
    g.type(std::string("\x13") + LEFT);
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.glyph(4, 1) == 8; }));
    g.type(std::string("\x11") + LEFT);
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.glyph(2, 1) == 8; }));
    g.type("\x03");
    EXPECT_EQ(g.wait_exit(), 128 + SIGINT);
    expect_terminal_back(g);
}

TEST(E2E, AnArrowRightAfterTheLastAnswerMovesTheFirstPiece)
{
    for (int delay : {0, 30, 80}) {
        SCOPED_TRACE(delay);
        PtyGame g;
        ASSERT_TRUE(g.wait_text("宽度设置"));
        g.type("10\n15\n");
        ASSERT_TRUE(g.wait_text("请输入 0~1 的数值"));
        if (delay == 0) {
            g.type(std::string("0\n") + LEFT);
        } else {
            g.type("0\n");
            usleep(static_cast<useconds_t>(delay) * 1000);
            g.type(LEFT);
        }
        // One cell left of the spawn place, in row 1, and nothing of the
        // key shown anywhere.
        ASSERT_TRUE(g.wait_for([](const Screen& s) {
            return s.glyph(4, 1) == 8 && s.glyph(10, 1) == 8 && s.glyph(12, 1) != 8;
        }));
        EXPECT_EQ(g.screen.text().find_first_of("[^D"), std::string::npos) << g.screen.text();
        g.signal(SIGTERM);
        EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
    }
}

TEST(E2E, KeysAtAQuestionEditTheLineAndArrowsInsertNothing)
{
    PtyGame g;
    ASSERT_TRUE(g.wait_text("宽度设置"));
    // 2, Left, Home, 5, 5, Backspace, ^H, 0, Ctrl-Right: the line reads 20.
    g.type(std::string("2") + LEFT + "\x1b[H" "55\x7f\x08" "0\x1b[1;5C");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(16) == "20"; }));
    g.type("\n");
    ASSERT_TRUE(g.wait_text("高度设置"));
    // Ctrl-U drops the line from the screen too.
    g.type("99");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(18) == "99"; }));
    g.type("\x15");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(18).empty(); }));
    // Read as "%d" reads: 15 is the height, and ".5" the next question's
    // one wrong entry.
    g.type("15.5\n");
    ASSERT_TRUE(g.wait_text("输入错误，请重新输入 0~1"));
    g.type("\x08\x1b[A0\n");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.cell(42, 14).ch == "空"; }));
    // Held down across the game over: the first press ends the final
    // pause, the others reach the end screen's question and do nothing.
    ASSERT_TRUE(play_to_end(g, 15));
    std::string held;
    for (int k = 0; k < 30; k++)
        held += DOWN;
    g.type(held);
    ASSERT_TRUE(g.wait_text(END_PROMPT));
    g.type("0\n");
    EXPECT_EQ(g.wait_exit(), 0);
    EXPECT_FALSE(g.screen.contains("输入错误"));
}

TEST(E2E, TheLineOnScreenIsTheLineTypedWhateverTheWidth)
{
    // "8" is in no text of the splash or the question.
    auto rows_with_8 = [](const Screen& s) {
        int n = 0;
        for (int r = 0; r < s.rows(); r++)
            n += s.row(r).find('8') != std::string::npos;
        return n;
    };
    PtyGame::Options o;
    o.cols = 40;
    o.rows = 30;
    PtyGame g(o);
    ASSERT_TRUE(g.wait_text("宽度设置"));
    // The line stops one column short of the edge, so it never wraps.
    g.type(std::string(60, '8'));
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.find_row(std::string(39, '8')) >= 0; }));
    EXPECT_EQ(g.screen.find_row(std::string(40, '8')), -1);
    g.type("\x15");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return rows_with_8(s) == 0; }));
    // Typed wide, then narrowed under it: the line shows its end after a
    // mark, on one row, and erasing it leaves nothing behind.
    g.resize(80, 30);
    g.type(std::string(70, '8'));
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.find_row(std::string(70, '8')) >= 0; }));
    g.resize(40, 30);
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.find_row("<" + std::string(38, '8')) >= 0; }));
    g.type("\x7f\x7f");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.find_row("<" + std::string(38, '8')) >= 0; }));
    EXPECT_EQ(rows_with_8(g.screen), 1);
    g.type("\x15");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return rows_with_8(s) == 0; }));
    // Tab parts answers as a blank does: a 12 x 16 well, the log off.
    g.type("\n12\t16\t0\n");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.cell(26, 14).ch == "空" && s.cell(22, 15).ch == "■"; }));
    EXPECT_FALSE(g.screen.contains("输入错误"));
    EXPECT_EQ(rows_with_8(g.screen), 0);
    g.signal(SIGTERM);
    EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
}

TEST(E2E, StartedInTheBackgroundItWaitsUntilBroughtToTheForeground)
{
    PtyGame::Options o;
    o.background = true;
    PtyGame g(o);
    ASSERT_TRUE(g.wait_for([&](const Screen&) { return g.stops() == 1; }));
    EXPECT_EQ(g.raw, "");
    g.fg();
    ASSERT_TRUE(g.wait_text("宽度设置,建议20 请输入 10~100"));
    EXPECT_TRUE(g.screen.altscreen());
    g.type("\x03");
    EXPECT_EQ(g.wait_exit(), 128 + SIGINT);
    expect_terminal_back(g);
}

TEST(E2E, AStoppedGameContinuedInTheBackgroundStopsAgainAndKillEndsIt)
{
    for (bool ctrl_z : {true, false}) {
        SCOPED_TRACE(ctrl_z ? "Ctrl-Z" : "SIGSTOP");
        PtyGame g;
        ASSERT_NO_FATAL_FAILURE(start(g, 10, 15));
        // A stop the game cannot see leaves the terminal as it was; the
        // shell has it now, and sets it as it likes.
        ctrl_z ? g.type("\x1a") : g.signal(SIGSTOP);
        ASSERT_TRUE(g.wait_for([&](const Screen& s) { return g.stops() == 1 && s.altscreen() != ctrl_z; }));
        const std::string before = g.raw;
        const struct termios modes = g.modes();
        g.bg();
        ASSERT_TRUE(g.wait_for([&](const Screen&) { return g.stops() == 2; }));
        EXPECT_EQ(g.raw, before) << "drawn from the background";
        // As `kill %1` does: the signal, then a continue so that it can act.
        g.signal(SIGTERM);
        g.signal(SIGCONT);
        EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
        EXPECT_EQ(g.raw, before);
        ctrl_z ? expect_terminal_back(g) : expect_modes_back(g, modes);
    }
}

TEST(E2E, ALoggedGameReplaysTheBoardsItLogged)
{
    char tmpl[] = "/tmp/dropix-replay-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    {
        PtyGame::Options o;
        o.cwd = dir;
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 1));
        ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
        g.type("0\n");
        ASSERT_EQ(g.wait_exit(), 0);
    }
    LogReader log;
    std::string why;
    ASSERT_TRUE(log.open((dir + "/data.txt").c_str(), &why)) << why;
    const long last = log.count() - 1;
    ASSERT_GT(last, 10);
    PtyGame::Options o;
    o.cwd = dir;
    o.args = {"--replay"};
    PtyGame g(o);
    // It opens paused on the walls; steps go one snapshot each way.
    ASSERT_NO_FATAL_FAILURE(expect_shows(g, log, 0));
    EXPECT_TRUE(g.screen.contains("已暂停"));
    g.type(std::string(RIGHT) + RIGHT + RIGHT);
    ASSERT_NO_FATAL_FAILURE(expect_shows(g, log, 3));
    g.type(LEFT);
    ASSERT_NO_FATAL_FAILURE(expect_shows(g, log, 2));
    g.type("\x1b[F");
    ASSERT_NO_FATAL_FAILURE(expect_shows(g, log, last));
    g.type("\x1b[H");
    ASSERT_NO_FATAL_FAILURE(expect_shows(g, log, 0));
    // Played at the fastest, it stops at the last snapshot and waits there.
    g.type(std::string(UP) + UP + UP + UP + UP + " ");
    ASSERT_TRUE(g.wait_text("每秒 60 步  播放中"));
    ASSERT_NO_FATAL_FAILURE(expect_shows(g, log, last));
    ASSERT_TRUE(g.wait_text("每秒 60 步  已暂停"));
    g.type("q");
    EXPECT_EQ(g.wait_exit(), 0);
    expect_terminal_back(g);
    // Recorded, it shows every board too, wherever "■" takes one column or two.
    ASSERT_EQ(std::system(("cd '" + dir + "' && '" DROPIX_BIN "' --cast </dev/null >/dev/null").c_str()), 0);
    std::ifstream f(dir + "/data.cast", std::ios::binary);
    const CastFile cast = read_cast(std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()));
    ASSERT_EQ(cast.fault, "");
    EXPECT_EQ(cast_shows_log(cast, log, false), "");
    EXPECT_EQ(cast_shows_log(cast, log, true), "");
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

TEST(E2E, TheViewerFollowsAGrowingLogAndMindsTheTerminalAsTheGameDoes)
{
    char tmpl[] = "/tmp/dropix-replay-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, file = dir + "/data.txt";
    std::ofstream(file, std::ios::binary) << a_log(20, 20, 5);
    PtyGame::Options o;
    o.cwd = dir;
    o.args = {"--replay"};
    o.cols = 60; // the well and the panel take 66
    o.rows = 30;
    PtyGame g(o);
    ASSERT_TRUE(g.wait_text("窗口太小：本局需要至少 66 列、21 行"));
    g.resize(100, 30);
    ASSERT_TRUE(g.wait_text("第 1 / 5 步"));
    g.type(RIGHT);
    ASSERT_TRUE(g.wait_text("第 2 / 5 步"));
    g.type("\x1a");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return g.stopped() && !s.altscreen(); }));
    EXPECT_TRUE(g.modes().c_lflag & ICANON);
    g.fg();
    ASSERT_TRUE(g.wait_for([](const Screen& s) {
        return s.altscreen() && s.contains("第 2 / 5 步") && s.glyph(38, 19) == 15 && s.glyph(20, 1) == 14;
    }));
    // A game still being played: End shows what was added since.
    std::ofstream(file, std::ios::binary | std::ios::app) << a_log(20, 20, 2);
    g.type("\x1b[F");
    ASSERT_TRUE(g.wait_text("第 7 / 7 步"));
    // Emptied for a new game: said so, and the new game is there to watch.
    std::ofstream(file, std::ios::binary | std::ios::trunc).flush();
    ASSERT_TRUE(g.wait_text("记录已清空"));
    EXPECT_TRUE(g.screen.contains("第 7 / 7 步"));
    std::ofstream(file, std::ios::binary) << a_log(10, 15, 3);
    g.type("\x1b[F");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.contains("第 3 / 3 步") && s.contains("井宽 10，井高 15"); }));
    // A snapshot at fault, found as it is shown: the terminal goes back,
    // then the fault is said.
    std::string bad = a_log(10, 15, 1);
    bad.replace(2 * 62 + 1, 3, "  x");
    std::ofstream(file, std::ios::binary | std::ios::app) << bad;
    g.type("\x1b[F");
    EXPECT_EQ(g.wait_exit(), 1);
    expect_terminal_back(g);
    EXPECT_TRUE(g.screen.contains("my-dropix: data.txt:36: 第 1 个字段")) << g.screen.text();
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

TEST(E2E, AFileEmptiedOrRewrittenUnderTheViewerIsANewGameNeverAFault)
{
    const std::string dir = scratch_dir(), file = dir + "/w.txt";
    auto watched = [&](bool emptied) {
        std::ofstream(file, std::ios::binary) << a_log(20, 20, 60);
        PtyGame g(viewer(dir, "w.txt"));
        ASSERT_TRUE(g.wait_text("第 1 / 60 步"));
        // Far from what was read ahead, so that going back reads the file.
        g.type(END);
        ASSERT_TRUE(g.wait_text("第 60 / 60 步"));
        // A game whose first snapshot is shorter than the one asked for.
        std::ofstream(file, std::ios::binary | std::ios::trunc) << (emptied ? "" : a_log(10, 15, 8));
        g.type(HOME);
        ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.row(20) == GONE_NOTE || g.wait_exit(0) != -1; }, 5000))
            << g.screen.text();
        ASSERT_EQ(g.wait_exit(0), -1) << g.screen.text();
        if (!emptied) {
            g.type(END);
            ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.contains("第 8 / 8 步") && s.contains("井宽 10，井高 15"); }));
        } else {
            // Nothing to show yet, then no file at all: every key answers,
            // and what is shown stays.
            auto note = [&](const char* key, const char* want) {
                g.type(key);
                EXPECT_TRUE(g.wait_for([&](const Screen& s) { return s.row(20) == want && s.contains("第 60 / 60 步"); }, 5000))
                    << "after " << key + 1 << ": " << g.screen.text();
            };
            note(HOME, EMPTY_NOTE);
            note(" ", GONE_NOTE);
            note(END, EMPTY_NOTE);
            note(RIGHT, GONE_NOTE);
            ASSERT_EQ(unlink(file.c_str()), 0);
            note(END, EMPTY_NOTE);
            note(LEFT, GONE_NOTE);
            note(HOME, EMPTY_NOTE);
            g.type(std::string(DOWN) + UP + UP);
            EXPECT_TRUE(g.wait_text("每秒 15 步", 5000));
        }
        g.type("q");
        EXPECT_EQ(g.wait_exit(), 0);
        expect_terminal_back(g);
    };
    for (bool emptied : {false, true}) {
        SCOPED_TRACE(emptied ? "emptied" : "rewritten in place by a game in a smaller well");
        watched(emptied);
    }
    remove_tree(dir);
}

TEST(E2E, TheViewerEndsAtTheEndOfInput)
{
    // Closed and /dev/null are with the hostile tests.
    const std::string dir = scratch_dir();
    std::ofstream(dir + "/g.txt", std::ios::binary) << a_log(10, 15, 3);
    for (const char* pipe : {"printf '' |", "printf ' ' |"}) {
        SCOPED_TRACE(pipe);
        PtyGame g(viewer(dir, "g.txt", pipe));
        EXPECT_EQ(g.wait_exit(5000), 1);
        EXPECT_TRUE(g.screen.contains("my-dropix: 输入已结束")) << g.screen.text();
        expect_terminal_back(g);
    }
    remove_tree(dir);
}

TEST(E2E, TheViewersClockStandsStillWhileStoppedOrTooSmall)
{
    const std::string dir = scratch_dir();
    std::ofstream(dir + "/g.txt", std::ios::binary) << a_log(20, 20, 30);
    PtyGame::Options o = viewer(dir, "g.txt");
    o.cols = 100;
    o.rows = 30;
    PtyGame g(o);
    ASSERT_TRUE(g.wait_text("第 1 / 30 步"));
    // One snapshot a second.
    g.type(std::string(DOWN) + DOWN + DOWN + DOWN + " ");
    ASSERT_TRUE(g.wait_text("每秒 1 步  播放中"));
    // Time goes by while the viewer cannot show it: when it can again, it
    // goes on from where it was, the next snapshot a second later.
    auto goes_on_from = [&](long k) {
        ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.altscreen() && step_shown(s) > 0; }));
        EXPECT_EQ(step_shown(g.screen), k);
        EXPECT_FALSE(g.wait_for([&](const Screen& s) { return step_shown(s) > k + 1; }, 1000))
            << "shown " << step_shown(g.screen) << " instead of " << k << " or " << k + 1;
    };
    ASSERT_TRUE(g.wait_text("第 3 / 30 步"));
    g.type("\x1a");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return g.stopped() && !s.altscreen(); }));
    g.wait_for([](const Screen&) { return false; }, 2500);
    g.fg();
    ASSERT_NO_FATAL_FAILURE(goes_on_from(3));
    ASSERT_TRUE(g.wait_text("第 5 / 30 步"));
    g.resize(40, 30);
    ASSERT_TRUE(g.wait_text("窗口太小"));
    g.wait_for([](const Screen&) { return false; }, 2500);
    g.resize(100, 30);
    ASSERT_NO_FATAL_FAILURE(goes_on_from(5));
    g.type("q");
    EXPECT_EQ(g.wait_exit(), 0);
    remove_tree(dir);
}

TEST(E2E, TheViewerAnswersAtOnceOnAHugeLogAndCtrlCEndsALongCount)
{
    const std::string dir = scratch_dir();
    {
        // One snapshot, then nothing but a hole up to 20 GB: the last one is
        // found by its place, not by reading up to it.
        const std::string file = dir + "/s.txt";
        std::ofstream(file, std::ios::binary) << a_log(10, 15, 1);
        ASSERT_EQ(truncate(file.c_str(), 20LL << 30), 0);
        const long count = (20L << 30) / 621;
        PtyGame g(viewer(dir, "s.txt"));
        ASSERT_TRUE(g.wait_text("第 1 / "));
        const long long t0 = now_ms();
        g.type(END);
        const int status = g.wait_exit(3000);
        std::printf("End on a 20 GB sparse log: status %d after %lld ms\n", status, now_ms() - t0);
        EXPECT_EQ(status, 1);
        expect_terminal_back(g);
        EXPECT_TRUE(g.screen.contains("my-dropix: s.txt:" + std::to_string((count - 1) * 11 + 1) + ": 行首不是“|”"))
            << g.screen.text();
    }
    {
        // About 130 MB of whole snapshots: their pieces take a while to count.
        const std::string chunk = a_log(10, 15, 1300);
        {
            std::ofstream f(dir + "/big.txt", std::ios::binary);
            for (int k = 0; k < 160; k++)
                f << chunk;
        }
        PtyGame g(viewer(dir, "big.txt"));
        ASSERT_TRUE(g.wait_text("第 1 / "));
        g.type(END);
        ASSERT_TRUE(g.wait_text("方块: 计算中", 10000));
        g.type("\x03");
        bool counting = true;
        ASSERT_TRUE(g.wait_for([&](const Screen& s) {
            counting = s.altscreen() ? s.contains("计算中") : counting;
            return !s.altscreen();
        }));
        EXPECT_TRUE(counting) << "the count ended before the Ctrl-C";
        EXPECT_EQ(g.wait_exit(), 128 + SIGINT);
        expect_terminal_back(g);
    }
    remove_tree(dir);
}

TEST(E2E, TheViewersNotesStayTrueAndItsFaultsNameTheFileEscaped)
{
    const std::string dir = scratch_dir();
    {
        SCOPED_TRACE("cut short, then written whole");
        const std::string log = a_log(20, 20, 8), file = dir + "/c.txt";
        const size_t snap = log.size() / 8;
        std::ofstream(file, std::ios::binary) << log.substr(0, 7 * snap + snap / 2);
        PtyGame g(viewer(dir, "c.txt"));
        ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.contains("第 1 / 7 步") && s.row(20) == CUT_NOTE; }));
        std::ofstream(file, std::ios::binary | std::ios::app) << log.substr(7 * snap + snap / 2);
        g.type(END);
        EXPECT_TRUE(g.wait_for([](const Screen& s) { return s.contains("第 8 / 8 步") && s.row(20).empty(); }, 5000))
            << g.screen.text();
        g.type("q");
        EXPECT_EQ(g.wait_exit(), 0);
    }
    {
        SCOPED_TRACE("a fault found after opening, in a file whose name holds ESC");
        std::string bad = a_log(10, 15, 2);
        bad.replace(621 + 2 * 62 + 1, 3, "  x");
        std::ofstream(dir + "/\x1b[31mg", std::ios::binary) << bad;
        PtyGame g(viewer(dir, "\x1b[31mg", "", "2>err"));
        ASSERT_TRUE(g.wait_text("第 1 / 2 步"));
        g.type(RIGHT);
        EXPECT_EQ(g.wait_exit(), 1);
        expect_terminal_back(g);
        EXPECT_EQ(slurp(dir + "/err"), "my-dropix: \\033[31mg:14: 第 1 个字段不是“%3d|”的格式\n");
    }
    remove_tree(dir);
}

TEST(E2E, ALateAnswerToTheWidthProbeIsNotLeftForTheNextProgram)
{
    // A slow link: the terminal answers the probe only after the player has
    // left. The next program in the terminal must not read the answer.
    const std::string dir = scratch_dir();
    std::ofstream(dir + "/data.txt", std::ios::binary) << a_log(10, 15, 3);
    struct Case {
        const char* how;
        bool viewer;
        const char* key;
        int status;
    } cases[] = {
        {"q in the viewer", true, "q", 0},
        {"Ctrl-C at a question", false, "\x03", 128 + SIGINT},
        {"Ctrl-D at a question", false, "\x04", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        PtyGame::Options o;
        o.cwd = dir;
        o.hold_replies = true;
        if (c.viewer)
            o.args = {"--replay"};
        PtyGame g(o);
        ASSERT_TRUE(g.wait_text(c.viewer ? "第 1 / 3 步" : "宽度设置"));
        ASSERT_FALSE(g.screen.replies.empty()) << "no probe asked";
        g.type(c.key);
        g.answer_after(50);
        EXPECT_EQ(g.wait_exit(), c.status);
        ASSERT_TRUE(g.wait_for([&](const Screen&) { return g.answered(); }));
        expect_terminal_back(g);
        const std::string left = g.unread_input(300);
        EXPECT_EQ(left.find("\x1b[3;"), std::string::npos) << "the next program reads " << left.substr(1);
    }
    remove_tree(dir);
}
