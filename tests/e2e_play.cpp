#include "e2e_play.h"

#include "log/format.h"
#include "log/reader.h"
#include "my-dropix.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

const char DOWN[] = "\x1b[B";
const char LEFT[] = "\x1b[D";
const char PAUSE_PROMPT[] = "请按任意键继续. . .";
const char END_PROMPT[] = "重新开始请按1，结束请按0";

struct termios pristine()
{
    int master = -1, slave = -1;
    struct termios t;
    std::memset(&t, 0, sizeof t);
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
        tcgetattr(slave, &t);
        close(slave);
        close(master);
    }
    return t;
}

void expect_modes_back(PtyGame& g, const struct termios& want)
{
    const struct termios got = g.modes();
    EXPECT_EQ(got.c_iflag, want.c_iflag);
    EXPECT_EQ(got.c_oflag, want.c_oflag);
    EXPECT_EQ(got.c_cflag, want.c_cflag);
    EXPECT_EQ(got.c_lflag, want.c_lflag);
    EXPECT_EQ(std::memcmp(got.c_cc, want.c_cc, sizeof want.c_cc), 0);
}

void expect_terminal_back(PtyGame& g, const struct termios& want)
{
    expect_modes_back(g, want);
    EXPECT_FALSE(g.screen.altscreen());
    // Many terminals, unlike the probe, keep a cursor hidden on the
    // alternate screen hidden on the main one: the bytes must show it.
    const size_t hide = g.raw.rfind("\x1b[?25l");
    EXPECT_TRUE(hide == std::string::npos || g.raw.find("\x1b[?25h", hide) != std::string::npos)
        << "the cursor is left hidden";
    EXPECT_TRUE(g.screen.cursor_visible());
    EXPECT_TRUE(g.screen.pen_default());
}

void start(PtyGame& g, int w, int h, int log)
{
    ASSERT_TRUE(g.wait_text("宽度设置,建议20 请输入 10~100 的数值,并按回车确定;"));
    g.type(std::to_string(w) + "\n");
    ASSERT_TRUE(g.wait_text("高度设置,建议20 请输入 15~100 的数值,并按回车确定;"));
    g.type(std::to_string(h) + "\n");
    ASSERT_TRUE(g.wait_text("是否开启数据记录 0=否 1=是"));
    g.type(std::to_string(log) + "\n");
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.cell(2 * (w + 1), 14).ch == "空"; }));
    ASSERT_TRUE(g.wait_for([&](const Screen& s) { return s.glyph(2 * (w / 2 - 2), 1) == 8; }));
}

bool drop_until(PtyGame& g, const std::function<bool()>& over)
{
    const long long end = now_ms() + 120000;
    while (now_ms() < end) {
        // Let the last burst be used up before looking.
        std::string before;
        do {
            before = g.raw;
            g.wait_for([](const Screen&) { return false; }, 120);
        } while (g.raw != before);
        if (over())
            return true;
        std::string burst;
        for (int k = 0; k < 8; k++)
            burst += DOWN;
        g.type(burst);
    }
    return false;
}

bool play_to_end(PtyGame& g, int h)
{
    return drop_until(g, [&] { return g.screen.row(h).rfind(PAUSE_PROMPT, 0) == 0 || g.screen.contains(END_PROMPT); });
}

std::string a_log(int w, int h, int n)
{
    static int b[M_N][M_N];
    static char buf[LOG_MAX_SNAPSHOT];
    std::string log;
    for (int k = 0; k < n; k++) {
        std::memset(b, 0, sizeof b);
        for (int x = 0; x < w; x++)
            for (int y = 0; y < h; y++)
                b[x][y] = x == 0 || x == w - 1 || y == h - 1 ? WALL : 0;
        const int top = k % (h - 2);
        for (const auto& c : SH[19].c)
            b[w / 2 - 1 + c[0]][top + c[1]] = 19;
        log.append(buf, log_put(buf, b, w, h));
    }
    return log;
}

void to_end_prompt(PtyGame& g, int h)
{
    ASSERT_TRUE(play_to_end(g, h));
    if (!g.screen.contains(END_PROMPT))
        g.type("x");
    ASSERT_TRUE(g.wait_text(END_PROMPT));
    ASSERT_TRUE(g.wait_text("请输入 0~1 的数值,并按回车确定;"));
}


std::string scratch_dir(mode_t mode)
{
    char tmpl[] = "/tmp/dropix-e2e-XXXXXX";
    if (!mkdtemp(tmpl))
        return "";
    chmod(tmpl, mode);
    return tmpl;
}

std::string script(const std::string& dir, const std::string& body)
{
    const std::string path = dir + "/run.sh";
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
}

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void remove_tree(const std::string& dir)
{
    if (dir.empty())
        return;
    const std::string cmd = "chmod -R u+w '" + dir + "' 2>/dev/null; rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0)
        ADD_FAILURE() << "cannot remove " << dir;
}

std::string cast_shows_log(const CastFile& c, LogReader& log, bool two_columns)
{
    static int b[M_N][M_N];
    const int w = log.width(), h = log.height();
    Screen screen(static_cast<int>(c.width), static_cast<int>(c.height));
    const std::string wide = "田"; // two columns wide on every terminal
    if (static_cast<long>(c.events.size()) != log.count())
        return std::to_string(c.events.size()) + " events for " + std::to_string(log.count()) + " snapshots";
    for (long k = 0; k < log.count(); k++) {
        std::string text = c.events[static_cast<size_t>(k)].second;
        for (size_t at = 0; two_columns && (at = text.find("■", at)) != std::string::npos;)
            text.replace(at, std::strlen("■"), wide);
        screen.feed(text);
        std::string why;
        if (log.read(k, b, &why) != LogReader::Outcome::Ok)
            return why;
        const std::string at = " at snapshot " + std::to_string(k + 1);
        const std::string step = "第 " + std::to_string(k + 1) + " / " + std::to_string(log.count()) + " 步";
        if (screen.row(2, 2 * (w + 1)) != step)
            return "\"" + screen.row(2, 2 * (w + 1)) + "\" beside the well" + at;
        for (int x = 0; x < w; x++)
            for (int y = 0; y < h; y++) {
                const int v = b[x][y], want = v == WALL ? 15 : v == 0 ? -1 : s_ys(v);
                const Cell l = screen.cell(2 * x, y), r = screen.cell(2 * x + 1, y);
                const bool right = want < 0 ? l.ch == " " && r.ch == " "
                                   : two_columns ? l.ch == wide && l.fg == want && l.width == 2
                                                 : l.ch == "■" && l.fg == want && r.ch == " ";
                if (!right)
                    return "cell " + std::to_string(x) + "," + std::to_string(y) + " shows \"" + l.ch + r.ch +
                           "\" in " + std::to_string(l.fg) + ", not " + std::to_string(v) + at;
            }
    }
    return "";
}
