// The real game where the world is unkind: input that ends at every
// question, no terminal at all, odd terminals and locales, a log that
// cannot be written, signals at every kind of wait.
#include <gtest/gtest.h>
#include <locale.h>
#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_play.h"

namespace {

// A whole game in a 10 x 15 well, then 0 at the end screen.
void play_whole_game(PtyGame& g, int log)
{
    ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, log));
    ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
    g.type("0\n");
    EXPECT_EQ(g.wait_exit(), 0);
    expect_terminal_back(g);
}

// The game is started with `shim` preloaded.
void preload(PtyGame::Options& o, const char* shim)
{
    const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    o.env.push_back({"LD_PRELOAD", shim});
    o.env.push_back({"ASAN_OPTIONS", asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0"});
}

// The line that says a log asked for was not written, or stopped being
// written, and why.
std::string unwritten(const char* why, bool cut = false)
{
    return std::string("my-dropix: ") + (cut ? "数据记录 data.txt 中途停止了写入：" : "没有写入数据记录 data.txt：") + why;
}

// `line` was said once, after the terminal was given back.
void expect_said_once(PtyGame& g, const std::string& line)
{
    size_t n = 0, at = std::string::npos;
    for (size_t k = g.raw.find(line); k != std::string::npos; k = g.raw.find(line, k + 1), n++)
        at = k;
    EXPECT_EQ(n, 1u) << line;
    EXPECT_TRUE(at != std::string::npos && at > g.raw.rfind("\x1b[?1049l")) << "said before the terminal went back";
    EXPECT_TRUE(g.screen.contains(line)) << g.screen.text();
}

// The same, in the working directory `dir`, the log not written for `why`.
void play_whole_game_in(const std::string& dir, int log, const char* why)
{
    PtyGame::Options o;
    o.cwd = dir;
    PtyGame g(o);
    ASSERT_NO_FATAL_FAILURE(play_whole_game(g, log));
    expect_said_once(g, unwritten(why));
}

} // namespace

TEST(Hostile, EndOfInputAtEveryQuestionEndsAtOnceWithStatusOne)
{
    // The height question is covered with the end-to-end tests. With a pipe
    // for input the game still has the terminal for its screen; with
    // standard input closed it reads the end of input at once.
    // Input that can give no answer ends too: a line of text longer than
    // what is read ahead is one wrong entry, and NUL bytes without end end
    // it. Blanks are skipped as they come, however many: a number after
    // them is still a number.
    for (const char* where : {"width, blanks then a number", "width", "log", "end screen", "width, no terminal",
                              "width, input closed", "width, input /dev/zero", "width, one long line",
                              "width, error closed", "replay, input closed", "replay, input /dev/null"}) {
        SCOPED_TRACE(where);
        PtyGame::Options o;
        o.stdin_pipe = std::strcmp(where, "width, no terminal") == 0;
        const bool blanks = std::strcmp(where, "width, blanks then a number") == 0;
        // The viewer too: closed, its input is no log read as keys.
        const bool replay = std::strncmp(where, "replay", 6) == 0;
        const char* from = std::strcmp(where, "width, input closed") == 0       ? "<&-"
                           : std::strcmp(where, "width, input /dev/zero") == 0  ? "</dev/zero"
                           : std::strcmp(where, "width, one long line") == 0    ? "<long"
                           : blanks                                            ? "<blanks"
                           : std::strcmp(where, "replay, input closed") == 0    ? "--replay g.txt <&-"
                           : std::strcmp(where, "replay, input /dev/null") == 0 ? "--replay g.txt </dev/null"
                                                                                : nullptr;
        const bool no_err = std::strcmp(where, "width, error closed") == 0;
        const std::string bin = from || no_err ? scratch_dir() : "";
        if (from || no_err) {
            std::string line;
            for (int k = 0; k < 400000; k++)
                line += "x ";
            std::ofstream(bin + "/long") << line << "\n";
            std::ofstream(bin + "/blanks") << std::string(5000, ' ') << "20\n";
            std::ofstream(bin + "/g.txt", std::ios::binary) << a_log(10, 15, 3);
            o.program = script(bin, "cd '" + bin + "'; exec '" + std::string(game_path()) + "' " + (from ? from : "2>&-"));
        }
        PtyGame g(o);
        if (from) {
            EXPECT_EQ(g.wait_exit(10000), 1);
            EXPECT_NE(g.raw.find(replay ? "第 1 / 3 步" : "宽度设置,建议20 请输入 10~100"), std::string::npos);
            EXPECT_EQ(g.raw.find("播放中"), std::string::npos);
            // The width read after the blanks: the height is asked.
            EXPECT_EQ(g.raw.find("高度设置") != std::string::npos, blanks);
            size_t errors = 0;
            for (size_t at = g.raw.find("输入错误"); at != std::string::npos; at = g.raw.find("输入错误", at + 1))
                errors++;
            EXPECT_EQ(errors, std::strcmp(from, "<&-") == 0 || blanks || replay ? 0u : 1u);
            EXPECT_TRUE(g.screen.contains("my-dropix: 输入已结束"));
            expect_terminal_back(g);
            remove_tree(bin);
            continue;
        }
        if (std::strncmp(where, "width", 5) == 0) {
            ASSERT_TRUE(g.wait_text("宽度设置,建议20 请输入 10~100"));
        } else if (std::strcmp(where, "log") == 0) {
            ASSERT_TRUE(g.wait_text("宽度设置"));
            g.type("10\n15\n");
            ASSERT_TRUE(g.wait_text("请输入 0~1 的数值"));
        } else {
            ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 0));
            ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
        }
        if (no_err) {
            // Standard error is no pipe of the game's own.
            char to[64] = {0};
            EXPECT_GT(readlink(("/proc/" + std::to_string(g.game()) + "/fd/2").c_str(), to, sizeof to - 1), 0);
            EXPECT_STREQ(to, "/dev/null");
        }
        const long long t0 = now_ms();
        g.close_input();
        const int status = g.wait_exit(10000);
        const long long took = now_ms() - t0;
        std::printf("end of input at the %s question: status %d after %lld ms\n", where, status, took);
        EXPECT_EQ(status, 1);
        EXPECT_LT(took, 5000);
        EXPECT_EQ(g.screen.contains("my-dropix: 输入已结束"), !no_err);
        expect_terminal_back(g);
        remove_tree(bin);
    }
}

TEST(Hostile, PipedInAndFiledOutThePiecesFallToTheEnd)
{
    // No terminal on either side: answers and keys come down a pipe that
    // then ends; the screen goes to a file.
    const std::string dir = scratch_dir();
    PtyGame::Options o;
    o.stdin_pipe = true;
    o.stdout_file = dir + "/screen.out";
    o.cwd = dir;
    PtyGame g(o);
    std::string input = "10\n15\n1\n";
    for (int k = 0; k < 2000; k++)
        input += DOWN;
    g.type(input);
    g.close_input();
    EXPECT_EQ(g.wait_exit(120000), 1);
    EXPECT_TRUE(g.screen.contains("my-dropix: 输入已结束")); // standard error is still the terminal

    std::ifstream f(o.stdout_file, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    const std::string out = ss.str();
    const size_t end = out.rfind("\x1b[2J");
    ASSERT_NE(end, std::string::npos);
    // The final board under the pause prompt, pieces landed on the floor...
    Screen board(120, 40);
    board.feed_tty(out.substr(0, end));
    EXPECT_EQ(board.row(15), PAUSE_PROMPT);
    int landed = 0;
    for (int x = 1; x <= 8; x++)
        for (int y = 0; y < 14; y++)
            landed += board.cell(2 * x, y).ch == "■" && board.cell(2 * x, y).fg > 0;
    EXPECT_GE(landed, 16) << "pieces of the final board";
    // ...then the end screen, whose question met the end of input.
    Screen last(120, 40);
    last.feed_tty(out.substr(end));
    EXPECT_EQ(last.row(0), "游戏结束");
    EXPECT_EQ(last.row(1), END_PROMPT);
    // The log of every move made it to disk.
    std::ifstream log(dir + "/data.txt");
    std::string line;
    int lines = 0;
    while (std::getline(log, line))
        lines++;
    EXPECT_GT(lines, 11 * 30);
    remove_tree(dir);
}

TEST(Hostile, WithoutTermOrOnADumbTerminalItPlaysAsUsual)
{
    {
        SCOPED_TRACE("stty -onlcr");
        // A line feed that the terminal does not turn into a new line would
        // lay the text out as stairs; the modes found come back as found.
        const std::string bin = scratch_dir();
        PtyGame::Options o;
        o.program = script(bin, "stty -onlcr; exec '" + std::string(game_path()) + "'");
        PtyGame g(o);
        ASSERT_TRUE(g.wait_for([](const Screen& s) {
            return s.row(6) == "游戏规则" && s.row(15).rfind("宽度设置,建议20 请输入 10~100", 0) == 0;
        })) << g.screen.text();
        g.type("\x03");
        EXPECT_EQ(g.wait_exit(), 128 + SIGINT);
        struct termios found = pristine();
        found.c_oflag &= ~static_cast<tcflag_t>(ONLCR);
        expect_terminal_back(g, found);
        remove_tree(bin);
    }
    for (const char* term : {"", "dumb"}) {
        SCOPED_TRACE(*term ? term : "TERM unset");
        PtyGame::Options o;
        if (*term)
            o.env.push_back({"TERM", term});
        else
            o.unset.push_back("TERM");
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 0));
    }
}

TEST(Hostile, InsideGnuScreenBlackIsBlackThoughItErasesToTheTerminalsOwnBackground)
{
    // GNU screen erases to the terminal's default background, and passes
    // what its window shows on to the terminal outside, here xterm-like.
    const std::string screen = "/usr/bin/screen";
    if (access(screen.c_str(), X_OK) != 0)
        GTEST_SKIP() << "no GNU screen here (scripts/test.sh installs it)";
    PtyGame::Options o;
    o.program = screen;
    o.args = {"-q", "-c", "/dev/null", DROPIX_BIN};
    o.env.push_back({"SCREENDIR", ""}); // filled in below
    const std::string dir = scratch_dir(0700);
    o.env.back().second = dir;
    PtyGame g(o);
    ASSERT_NO_FATAL_FAILURE(start(g, 12, 16, 0));
    auto black = [](const Screen& s, int c0, int c1, int r0, int r1) {
        for (int r = r0; r < r1; r++)
            for (int c = c0; c < c1; c++)
                if (s.cell(c, r).bg != 0)
                    return "column " + std::to_string(c) + ", row " + std::to_string(r);
        return std::string();
    };
    // The well between its walls, the blank beside every glyph, the panel.
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return black(s, 0, 50, 0, 16).empty(); }))
        << black(g.screen, 0, 50, 0, 16);
    // The end screen, cleared: black all over.
    ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 16));
    EXPECT_TRUE(g.wait_for([&](const Screen& s) { return black(s, 0, 120, 2, 40).empty(); }))
        << black(g.screen, 0, 120, 2, 40);
    g.type("0\n");
    g.wait_exit();
    remove_tree(dir);
}

TEST(Hostile, TextIsUtf8InTheCLocaleAndGbkInAGbkLocale)
{
    {
        PtyGame::Options o;
        o.env.push_back({"LC_ALL", "C"});
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 0));
        EXPECT_NE(g.raw.find("宽度设置"), std::string::npos);
    }
    locale_t gbk = newlocale(LC_ALL_MASK, "zh_CN.GBK", nullptr);
    if (!gbk)
        GTEST_SKIP() << "no zh_CN.GBK locale here (scripts/test.sh makes one)";
    freelocale(gbk);
    // GBK bytes of 宽度设置, 空格:暂停, 请按任意键继续, 重新开始请按1，结束请按0, ■.
    const std::string width = "\xbf\xed\xb6\xc8\xc9\xe8\xd6\xc3";
    const std::string panel = "\xbf\xd5\xb8\xf1:\xd4\xdd\xcd\xa3";
    const std::string pause = "\xc7\xeb\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8";
    const std::string again = "\xd6\xd8\xd0\xc2\xbf\xaa\xca\xbc\xc7\xeb\xb0\xb4" "1\xa3\xac\xbd\xe1\xca\xf8\xc7\xeb\xb0\xb4" "0";
    const std::string cell = "\xa1\xf6";
    PtyGame::Options o;
    o.env.push_back({"LC_ALL", "zh_CN.GBK"});
    PtyGame g(o);
    auto has = [&](const std::string& s) { return [&g, s](const Screen&) { return g.raw.find(s) != std::string::npos; }; };
    ASSERT_TRUE(g.wait_for(has(width)));
    g.type("10\n15\n0\n");
    ASSERT_TRUE(g.wait_for(has(panel)));
    auto seen = [&](const std::string& s) { return g.raw.find(s) != std::string::npos; };
    ASSERT_TRUE(drop_until(g, [&] { return seen(pause) || seen(again); }));
    if (!seen(again))
        g.type("x");
    ASSERT_TRUE(g.wait_for(has(again)));
    g.type("0\n");
    EXPECT_EQ(g.wait_exit(), 0);
    expect_terminal_back(g);
    EXPECT_NE(g.raw.find(cell), std::string::npos);
    for (const char* utf8 : {"宽度设置", "空格", "■", "游戏"})
        EXPECT_EQ(g.raw.find(utf8), std::string::npos) << utf8 << " went out as UTF-8";
}

TEST(Hostile, ALogThatCannotBeWrittenDoesNotStopTheGame)
{
    {
        SCOPED_TRACE("data.txt is a directory");
        const std::string dir = scratch_dir();
        ASSERT_EQ(mkdir((dir + "/data.txt").c_str(), 0755), 0);
        ASSERT_NO_FATAL_FAILURE(play_whole_game_in(dir, 1, "它不是普通文件"));
        struct stat st;
        EXPECT_EQ(stat((dir + "/data.txt").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        remove_tree(dir);
    }
    {
        SCOPED_TRACE("data.txt is a link, two games");
        // Neither emptied nor written through: the file it leads to is the
        // player's, not the log. Said once for the run, not for each game.
        const std::string dir = scratch_dir();
        std::ofstream(dir + "/kept.txt") << "not a log\n";
        ASSERT_EQ(symlink("kept.txt", (dir + "/data.txt").c_str()), 0);
        PtyGame::Options o;
        o.cwd = dir;
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 1));
        ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
        g.type("1\n");
        ASSERT_TRUE(g.wait_text("#Referenced By:"));
        ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 1));
        expect_said_once(g, unwritten("它是符号链接，不写"));
        struct stat st;
        ASSERT_EQ(lstat((dir + "/data.txt").c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(slurp(dir + "/kept.txt"), "not a log\n");
        remove_tree(dir);
    }
    {
        SCOPED_TRACE("data.txt has a second hard link");
        const std::string dir = scratch_dir();
        std::ofstream(dir + "/kept.txt") << "not a log\n";
        ASSERT_EQ(link((dir + "/kept.txt").c_str(), (dir + "/data.txt").c_str()), 0);
        ASSERT_NO_FATAL_FAILURE(play_whole_game_in(dir, 1, "它还有别的硬链接，不写"));
        EXPECT_EQ(slurp(dir + "/kept.txt"), "not a log\n");
        remove_tree(dir);
    }
    {
        SCOPED_TRACE("a file size limit");
        // Writes past it fail, rather than kill the game with SIGXFSZ.
        const std::string dir = scratch_dir();
        PtyGame::Options o;
        o.cwd = dir;
        o.program = script(dir, "ulimit -f 20; exec '" + std::string(game_path()) + "'");
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 1));
        ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
        g.type("0\n");
        EXPECT_EQ(g.wait_exit(), 0);
        expect_terminal_back(g);
        expect_said_once(g, unwritten("超过了文件大小的限制", true));
        // The log holds the whole snapshots that fit under the limit.
        const size_t snapshot = 10 * (1 + 4 * 15 + 1) + 1;
        EXPECT_EQ(slurp(dir + "/data.txt").size(), 20 * 512 / snapshot * snapshot);
        remove_tree(dir);
    }
    for (bool reader : {false, true}) {
        SCOPED_TRACE(reader ? "data.txt is a FIFO with a reader" : "data.txt is a FIFO");
        // Without a reader, opening it would hold the game up before the
        // first question; with one, the reader must get nothing.
        const std::string dir = scratch_dir();
        const std::string fifo = dir + "/data.txt";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        const int rd = reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        ASSERT_NO_FATAL_FAILURE(play_whole_game_in(dir, 1, "它不是普通文件"));
        struct stat st;
        ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        if (reader) {
            char b[16];
            EXPECT_EQ(read(rd, b, sizeof b), 0) << "the game wrote to the FIFO";
            close(rd);
        }
        remove_tree(dir);
    }
    for (bool reader : {false, true}) {
        SCOPED_TRACE(reader ? "data.txt swapped for a FIFO with a reader" : "data.txt swapped for a FIFO");
        // The FIFO comes after the game's look at data.txt, before its open
        // (fifo_swap.cpp): only the open's own flags and a look at what it
        // opened keep the game from waiting or writing.
        const std::string dir = scratch_dir();
        const std::string fifo = dir + "/swap.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        const int rd = reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        PtyGame::Options o;
        o.cwd = dir;
        preload(o, DROPIX_FIFO_SWAP);
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 1));
        // Found at the open: with no reader, the open itself fails.
        expect_said_once(g, unwritten(reader ? "它不是普通文件" : "无法写入"));
        struct stat st;
        ASSERT_EQ(lstat((dir + "/data.txt").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was not swapped in";
        if (reader) {
            char b[16];
            EXPECT_EQ(read(rd, b, sizeof b), 0) << "the game wrote to the FIFO";
            close(rd);
        }
        remove_tree(dir);
    }
    {
        SCOPED_TRACE("a read-only file system");
        // Bound read-only over itself, in a mount namespace of the game's
        // own; where none can be made, not tried.
        const std::string dir = scratch_dir();
        if (system("unshare -m true 2>/dev/null") != 0) {
            std::printf("no mount namespace here: a read-only file system is not tried\n");
        } else {
            PtyGame::Options o;
            o.cwd = dir;
            o.program = script(dir, "exec unshare -m sh -c 'mount --bind \"$PWD\" \"$PWD\" && "
                                    "mount -o remount,bind,ro \"$PWD\" && cd \"$PWD\" && exec \"$0\"' '" +
                                        std::string(game_path()) + "'");
            PtyGame g(o);
            ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 1));
            expect_said_once(g, unwritten("文件系统是只读的"));
            EXPECT_NE(access((dir + "/data.txt").c_str(), F_OK), 0);
        }
        remove_tree(dir);
    }
    {
        SCOPED_TRACE("a read-only working directory");
        // Root writes anywhere: the game runs as nobody, from a copy of its
        // binary that nobody may run wherever the tree is checked out.
        if (geteuid() == 0 && access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "setpriv is needed to drop root";
        const std::string bin = scratch_dir(0755);
        const std::string dir = scratch_dir(0555);
        std::string run = game_path();
        if (geteuid() == 0) {
            ASSERT_EQ(system(("cp '" + std::string(game_path()) + "' '" + bin + "/my-dropix'").c_str()), 0);
            run = script(bin, "exec /usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups " + bin +
                                  "/my-dropix");
        }
        PtyGame::Options o;
        o.cwd = dir;
        o.program = run;
        PtyGame g(o);
        ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 1));
        expect_said_once(g, unwritten("没有写入的权限"));
        EXPECT_NE(access((dir + "/data.txt").c_str(), F_OK), 0) << "the game could write where it must not";
        remove_tree(dir);
        remove_tree(bin);
    }
}

TEST(Hostile, ArgumentsAreAnsweredWithoutTouchingTheTerminalOrTheLog)
{
    struct Case {
        const char* args;
        int status;
        const char* out; // how standard output ends
        const char* err; // on the terminal: standard error
    } cases[] = {
        {"--help", 0, "详细说明见 man 6 my-dropix。\n", ""},
        {"--version", 0, "my-dropix " DROPIX_VERSION "\n", ""},
        {"-x", 2, "", "my-dropix: 无法识别的参数“-x”；用法见 my-dropix --help"},
        {"--help extra", 2, "", "my-dropix: 无法识别的参数“extra”；用法见 my-dropix --help"},
        // Output that cannot be written is an error, a closed one too.
        {"--version >/dev/full", 1, "", "my-dropix: 无法写入标准输出"},
        {"--help >&-", 1, "", "my-dropix: 无法写入标准输出"},
        // So is a game or a viewer's, before the terminal is touched.
        {">&-", 1, "", "my-dropix: 无法写入标准输出"},
        {"--replay g.txt >&-", 1, "", "my-dropix: 无法写入标准输出"},
        // Control characters and broken UTF-8 are shown, not sent.
        {"\"$(printf '\\033[31mX')\"", 2, "", "my-dropix: 无法识别的参数“\\033[31mX”；用法见 my-dropix --help"},
        {"\"$(printf '宽\\302\\233\\377\\\\')\"", 2, "",
         "my-dropix: 无法识别的参数“宽\\302\\233\\377\\\\”；用法见 my-dropix --help"},
        // A log that cannot be watched: one line, status 1, the terminal untouched.
        {"--replay", 1, "", "my-dropix: data.txt:1: 行首不是“|”"},
        {"--replay nothere.txt", 1, "", "my-dropix: nothere.txt: 没有这个文件"},
        {"--replay /", 1, "", "my-dropix: /: 不是普通文件（目录、FIFO 或设备），不读"},
        {"--replay \"$(mkfifo f; echo f)\"", 1, "", "my-dropix: f: 不是普通文件（目录、FIFO 或设备），不读"},
        {"--replay \"$(: >e; echo e)\"", 1, "", "my-dropix: e: 文件是空的"},
        {"--replay \"$(printf '\\033[31m')\"", 1, "", "my-dropix: \\033[31m: 没有这个文件"},
        {"--replay data.txt extra", 2, "", "my-dropix: 无法识别的参数“extra”；用法见 my-dropix --help"},
        // Nor recorded, and no recording is left.
        {"--cast", 1, "", "my-dropix: data.txt:1: 行首不是“|”"},
        {"--cast nothere.txt", 1, "", "my-dropix: nothere.txt: 没有这个文件"},
        {"--cast / x.cast", 1, "", "my-dropix: /: 不是普通文件（目录、FIFO 或设备），不读"},
        {"--cast \"$(: >e; echo e)\" -", 1, "", "my-dropix: e: 文件是空的"},
        {"--cast data.txt x.cast extra", 2, "", "my-dropix: 无法识别的参数“extra”；用法见 my-dropix --help"},
        {"--cast --rate 7", 2, "", "my-dropix: --rate 7：每秒的步数只能是 1、2、3、5、10、15、20、30 或 60"},
        {"--rate 010 --cast", 2, "", "my-dropix: --rate 010：每秒的步数只能是 1、2、3、5、10、15、20、30 或 60"},
        {"--replay --rate 5", 2, "", "my-dropix: --rate 5：只用于 --cast；用法见 my-dropix --help"},
    };
    const std::string bin = scratch_dir();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string dir = scratch_dir();
        std::ofstream(dir + "/data.txt") << "kept\n";
        std::ofstream(dir + "/g.txt", std::ios::binary) << a_log(10, 15, 3);
        PtyGame::Options o;
        o.cwd = dir;
        o.stdout_file = dir + "/out";
        o.program = script(bin, "exec '" + std::string(game_path()) + "' " + c.args);
        PtyGame g(o);
        EXPECT_EQ(g.wait_exit(), c.status);
        const std::string out = slurp(o.stdout_file), tail = c.out;
        EXPECT_TRUE(out.size() >= tail.size() && out.compare(out.size() - tail.size(), tail.size(), tail) == 0) << out;
        EXPECT_EQ(out.empty(), tail.empty());
        EXPECT_EQ(g.screen.row(0), c.err);
        EXPECT_EQ(g.raw.find('\x1b'), std::string::npos) << "control sequences sent";
        expect_terminal_back(g);
        EXPECT_EQ(slurp(dir + "/data.txt"), "kept\n");
        EXPECT_NE(std::system(("ls '" + dir + "' | grep -q cast").c_str()), 0) << "a recording was left";
        remove_tree(dir);
    }
    remove_tree(bin);
}

namespace {

// The names in `dir`, sorted, each followed by a blank.
std::string names_in(const std::string& dir)
{
    std::string s;
    FILE* p = popen(("ls -A '" + dir + "' | sort").c_str(), "r");
    for (int c; p && (c = std::fgetc(p)) != EOF;)
        s += c == '\n' ? ' ' : static_cast<char>(c);
    if (p)
        pclose(p);
    return s;
}

} // namespace

TEST(Hostile, ARecordingIsPutInPlaceWholeOrNotAtAllAndNeedsNoTerminal)
{
    const std::string dir = scratch_dir();
    std::ofstream(dir + "/data.txt", std::ios::binary) << a_log(20, 20, 30);
    // The program without a terminal: status, standard output and error.
    std::string out, err;
    auto sh = [&](const std::string& command) {
        const int st = std::system(("cd '" + dir + "' && (" + command + ") </dev/null >out 2>err").c_str());
        out = slurp(dir + "/out");
        err = slurp(dir + "/err");
        std::remove((dir + "/out").c_str());
        std::remove((dir + "/err").c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    };
    auto run = [&](const std::string& args) { return sh("exec '" DROPIX_BIN "' " + args); };
    ASSERT_EQ(run("--cast"), 0);
    const std::string cast = slurp(dir + "/data.cast");
    const std::string said = "：30 个快照，2.9 秒，" + std::to_string(cast.size()) + " 字节\n";
    EXPECT_EQ(out, "my-dropix: 录像 data.cast" + said);
    EXPECT_EQ(err, "");
    EXPECT_EQ(read_cast(cast).events.size(), 30u);
    // "-": the same bytes on standard output, the last line on error.
    ASSERT_EQ(run("--cast data.txt -"), 0);
    EXPECT_TRUE(out == cast);
    EXPECT_EQ(err, "my-dropix: 录像（标准输出）" + said);

    // What stands at OUT and is no regular file of a single name is left
    // as it is; so is an older recording when the log is at fault.
    std::ofstream(dir + "/old.cast") << "older";
    ASSERT_EQ(std::system(("cd '" + dir + "' && ln -s data.txt l.cast && mkfifo f.cast && mkdir d.cast && ln old.cast h.cast").c_str()), 0);
    struct Refused {
        const char* args;
        const char* err;
    } refused[] = {
        {"--cast data.txt l.cast", "my-dropix: l.cast: 它是符号链接，不写\n"},
        {"--cast data.txt f.cast", "my-dropix: f.cast: 它不是普通文件\n"},
        {"--cast data.txt d.cast", "my-dropix: d.cast: 它不是普通文件\n"},
        {"--cast data.txt h.cast", "my-dropix: h.cast: 它还有别的硬链接，不写\n"},
        {"--cast data.txt no/x.cast", "my-dropix: no/x.cast: 所在的目录已不存在\n"},
        {"--cast data.txt ./data.txt", "my-dropix: ./data.txt: 这是要录制的数据记录本身，不能写成录像\n"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.args);
        EXPECT_EQ(run(r.args), 1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, r.err);
    }
    std::ofstream(dir + "/kept.cast") << "older";
    std::string bad = a_log(20, 20, 30);
    bad.replace(bad.size() / 2 + 1, 3, "  x");
    std::ofstream(dir + "/bad.txt", std::ios::binary) << bad;
    EXPECT_EQ(run("--cast bad.txt kept.cast"), 1);
    EXPECT_EQ(err, "my-dropix: bad.txt:316: 第 1 个字段不是“%3d|”的格式\n");
    // Past the size a file may have (ulimit -f counts blocks of 512 bytes).
    EXPECT_EQ(sh("ulimit -f 4; exec '" DROPIX_BIN "' --cast data.txt kept.cast"), 1);
    EXPECT_EQ(err, "my-dropix: kept.cast: 超过了文件大小的限制，没有留下录像\n");
    EXPECT_EQ(slurp(dir + "/kept.cast"), "older");
    EXPECT_EQ(slurp(dir + "/old.cast"), "older");
    EXPECT_EQ(slurp(dir + "/data.txt"), a_log(20, 20, 30));
    EXPECT_EQ(names_in(dir), "bad.txt d.cast data.cast data.txt f.cast h.cast kept.cast l.cast old.cast ");

    // Interrupted midway (a long log): ended as Ctrl-C ends it, the new
    // file gone, the old one as it was.
    std::ofstream(dir + "/long.txt", std::ios::binary) << a_log(100, 100, 1000);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !freopen("/dev/null", "w", stdout))
            _exit(126);
        execl(DROPIX_BIN, DROPIX_BIN, "--cast", "long.txt", "kept.cast", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    int st = 0;
    bool begun = false, ended = false;
    for (long long until = now_ms() + 20000; !begun && !ended && now_ms() < until;) {
        DIR* d = opendir(dir.c_str());
        for (struct dirent* e; d && !begun && (e = readdir(d));)
            begun = std::strncmp(e->d_name, "kept.cast.", 10) == 0;
        if (d)
            closedir(d);
        ended = !begun && waitpid(pid, &st, WNOHANG) == pid;
    }
    ASSERT_TRUE(begun) << "the recording was not begun";
    kill(pid, SIGINT);
    ASSERT_EQ(waitpid(pid, &st, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGINT) << st;
    EXPECT_EQ(slurp(dir + "/kept.cast"), "older");
    EXPECT_EQ(names_in(dir), "bad.txt d.cast data.cast data.txt f.cast h.cast kept.cast l.cast long.txt old.cast ");

    // On a terminal it leaves the terminal alone.
    PtyGame::Options o;
    o.cwd = dir;
    o.stdout_file = dir + "/out";
    o.program = script(dir, "exec '" DROPIX_BIN "' --cast data.txt t.cast");
    PtyGame g(o);
    EXPECT_EQ(g.wait_exit(), 0);
    EXPECT_EQ(g.raw, "");
    expect_terminal_back(g);
    EXPECT_TRUE(slurp(dir + "/t.cast") == cast);
    remove_tree(dir);
}

TEST(Hostile, SignalsAtQuestionsAndInAPauseGiveTheTerminalBack)
{
    // SIGINT at a question and all three in play are covered with the
    // end-to-end tests. A shell prints a line first: the screen that comes
    // back must be that one.
    const std::string bin = scratch_dir();
    const std::string run = script(bin, "echo before the game; exec '" + std::string(game_path()) + "'");
    struct Case {
        const char* where;
        int sig;
    };
    std::vector<Case> cases = {
        {"width", SIGTERM}, {"log", SIGHUP}, {"end screen", SIGTERM}, {"end screen", SIGHUP},
        {"pause", SIGINT},  {"pause", SIGTERM}, {"pause", SIGHUP}, {"pause", SIGUSR2},
    };
    // Every other signal whose default ends a process.
    for (int sig : {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPOLL, SIGXCPU, SIGSYS, SIGTRAP, SIGSTKFLT, SIGPWR})
        cases.push_back({"width", sig});
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        cases.push_back({"width", sig});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.where) + ", signal " + std::to_string(c.sig));
        PtyGame::Options o;
        o.program = run;
        PtyGame g(o);
        ASSERT_TRUE(g.wait_text("宽度设置"));
        if (std::strcmp(c.where, "log") == 0) {
            g.type("10\n15\n");
            ASSERT_TRUE(g.wait_text("请输入 0~1 的数值"));
        } else if (std::strcmp(c.where, "end screen") == 0) {
            ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 0));
            ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
        } else if (std::strcmp(c.where, "pause") == 0) {
            ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 0));
            g.type(" ");
            ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(15) == PAUSE_PROMPT; }));
        }
        if (c.sig == SIGINT)
            g.type("\x03");
        else
            g.signal(c.sig);
        EXPECT_EQ(g.wait_exit(), 128 + c.sig);
        expect_terminal_back(g);
        EXPECT_EQ(g.screen.row(0), "before the game");
        EXPECT_FALSE(g.screen.contains("宽度设置"));
    }
    {
        SCOPED_TRACE("ignored when the game started");
        // As nohup and a shell's `trap ''` leave them: they stay ignored.
        PtyGame::Options o;
        o.program = script(bin, "trap '' HUP USR1 " + std::to_string(SIGRTMIN) + "; exec '" + std::string(game_path()) + "'");
        PtyGame g(o);
        ASSERT_TRUE(g.wait_text("宽度设置"));
        for (int sig : {SIGHUP, SIGUSR1, SIGRTMIN})
            g.signal(sig);
        g.type("10\n");
        ASSERT_TRUE(g.wait_text("高度设置"));
        g.signal(SIGTERM);
        EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
        expect_terminal_back(g);
    }
    remove_tree(bin);
}

TEST(Hostile, OneTermEndsAGameWhoseTerminalReadsNothing)
{
    // The terminal stops reading while a big well is drawn again and again:
    // the game waits in a write. A TERM must end it however little of the
    // way back the terminal takes, with the modes back at once.
    PtyGame::Options o;
    o.cols = 240;
    o.rows = 110;
    PtyGame g(o);
    ASSERT_NO_FATAL_FAILURE(start(g, 100, 100));
    g.stalled = true;
    for (int k = 0; k < 50 && !g.blocked_in_write(); k++) {
        g.resize(k % 2 ? 240 : 239, 110);
        g.wait_for([&](const Screen&) { return g.blocked_in_write(); }, 200);
    }
    ASSERT_TRUE(g.blocked_in_write());
    const long long t0 = now_ms();
    g.signal(SIGTERM);
    EXPECT_EQ(g.wait_exit(1000), 128 + SIGTERM);
    std::printf("one TERM to a terminal that reads nothing: ended after %lld ms\n", now_ms() - t0);
    expect_modes_back(g);
}

TEST(Hostile, AStandardOutputThatGoesAwayEndsTheGameWithStatusOne)
{
    // The keys still come from the terminal, the screen goes elsewhere.
    const std::string dir = scratch_dir();
    for (const char* how : {"| head -c 50 >/dev/null", ">/dev/full"}) {
        SCOPED_TRACE(how);
        PtyGame::Options o;
        o.cwd = dir;
        o.program = script(dir, "{ '" + std::string(game_path()) + "'; echo $? >status; } " + how);
        PtyGame g(o);
        // Keys echo at the question: written at last once the reader is gone.
        for (int k = 0; k < 100 && g.wait_exit(100) == -1; k++)
            g.type("1");
        EXPECT_EQ(slurp(dir + "/status"), "1\n");
        EXPECT_TRUE(g.screen.contains("my-dropix: 无法写入标准输出"));
        expect_terminal_back(g);
    }
    remove_tree(dir);
}

TEST(Hostile, AKeyPressedAsThePauseShowsIsNotThrownAway)
{
    // The game is held up just after the pause prompt reaches the screen,
    // as on a busy machine; the key typed on seeing it must end the pause.
    PtyGame::Options o;
    preload(o, DROPIX_SLOW_PROMPT);
    PtyGame g(o);
    ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 0));
    g.type(" ");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(15) == PAUSE_PROMPT; }));
    g.type("x");
    EXPECT_TRUE(g.wait_for([](const Screen& s) { return s.row(15).empty(); }, 10000)) << "the key was lost";
    g.signal(SIGTERM);
    EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
}

TEST(Hostile, CtrlZInAPauseAndFgBringTheBoardAndThePauseBack)
{
    PtyGame g;
    ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 0));
    g.type(" ");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(15) == PAUSE_PROMPT; }));
    g.type("\x1a");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return g.stopped() && !s.altscreen(); }));
    expect_terminal_back(g);
    g.fg();
    // The board, the panel and the pause prompt, and the pause still waits.
    ASSERT_TRUE(g.wait_for([](const Screen& s) {
        return s.altscreen() && s.cell(18, 14).ch == "■" && s.row(14, 22) == "空格:暂停" && s.row(15) == PAUSE_PROMPT;
    })) << g.screen.text();
    bool piece = false;
    for (int y = 0; y < 14; y++)
        piece |= g.screen.glyph(8, y) == 8;
    EXPECT_TRUE(piece) << "the falling bar is drawn again";
    g.type("x");
    ASSERT_TRUE(g.wait_for([](const Screen& s) { return s.row(15).empty(); }));
    ASSERT_NO_FATAL_FAILURE(to_end_prompt(g, 15));
    g.type("0\n");
    EXPECT_EQ(g.wait_exit(), 0);
    expect_terminal_back(g);
}

TEST(Hostile, TheModesGoBackAtOnceOnEveryWayOut)
{
    // With TCSANOW: a drain first would wait on a terminal that reads
    // nothing (tcsetattr_log.cpp notes each call).
    const std::string dir = scratch_dir(), calls = dir + "/calls";
    std::ofstream(dir + "/g.txt", std::ios::binary) << a_log(10, 15, 3);
    for (const char* how : {"Ctrl-C at a question", "TERM in play", "0 at the end screen", "q in the viewer"}) {
        SCOPED_TRACE(how);
        unlink(calls.c_str());
        const bool viewer = std::strcmp(how, "q in the viewer") == 0;
        PtyGame::Options o;
        o.cwd = dir;
        preload(o, DROPIX_TCSETATTR_LOG);
        o.env.push_back({"DROPIX_TCSETATTR_LOG", calls});
        if (viewer)
            o.args = {"--replay", "g.txt"};
        PtyGame g(o);
        if (viewer) {
            ASSERT_TRUE(g.wait_text("第 1 / 3 步"));
            g.type("q");
            EXPECT_EQ(g.wait_exit(), 0);
        } else if (std::strcmp(how, "0 at the end screen") == 0) {
            ASSERT_NO_FATAL_FAILURE(play_whole_game(g, 0));
        } else if (std::strcmp(how, "TERM in play") == 0) {
            ASSERT_NO_FATAL_FAILURE(start(g, 10, 15, 0));
            g.signal(SIGTERM);
            EXPECT_EQ(g.wait_exit(), 128 + SIGTERM);
        } else {
            ASSERT_TRUE(g.wait_text("宽度设置"));
            g.type("\x03");
            EXPECT_EQ(g.wait_exit(), 128 + SIGINT);
        }
        expect_terminal_back(g);
        // The key mode set, then line editing put back at once, last.
        const std::string set = slurp(calls);
        ASSERT_GE(set.size(), 8u) << set;
        EXPECT_NE(set.find(" 0\n"), std::string::npos) << set;
        EXPECT_EQ(set.substr(set.size() - 4), "0 1\n") << set;
    }
    remove_tree(dir);
}
