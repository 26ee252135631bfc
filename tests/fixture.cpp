#include "fixture.h"

#include "console/utf8.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <random>
#include <sstream>

void GameTest::SetUp()
{
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_dir = cwd;
    char tmpl[] = "/tmp/dropix-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    ASSERT_EQ(chdir(dir.c_str()), 0);
    use(240, 110);
    f_sz_m();
    f_R();
    f_bl();
}

void GameTest::TearDown()
{
    con = nullptr;
    if (chdir(old_dir.c_str()) != 0)
        ADD_FAILURE() << "cannot go back to " << old_dir;
    std::string cmd = "rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0)
        ADD_FAILURE() << "cannot remove " << dir;
}

void GameTest::use(int cols, int rows, const char* codeset, const TermCaps& caps)
{
    fc = std::make_unique<FakeConsole>(cols, rows, codeset, true, caps);
    con = fc.get();
}

void GameTest::well(int x, int y) { walled_well(x, y); }

void walled_well(int x, int y)
{
    f_sz_m();
    f_R();
    f_bl();
    X = x;
    Y = y;
    r_gk();
    con->play(2 * x + 12, y + 1, 2 * x + 26);
}

void five_row_stack(int w, int h)
{
    std::mt19937 rng(20261208);
    for (int y = h - 6; y <= h - 2; y++)
        for (int x = 1; x <= w - 2; x++)
            if (y == h - 2 || rng() % 4 != 0) {
                m[x][y] = 1 + static_cast<int>(rng() % N_CODE);
                x_ys(m[x][y]);
                set_cocate(x, y);
                out("■");
            }
}

void GameTest::draw_board()
{
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            if (m[x][y] != 0) {
                if (m[x][y] == WALL)
                    set_color(WHITE, BLACK);
                else
                    x_ys(m[x][y]);
                set_cocate(x, y);
                out("■");
            }
}

void GameTest::expect_screen_is_board()
{
    fc->flush();
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++) {
            const int v = m[x][y];
            EXPECT_EQ(glyph(x, y), v == WALL ? 15 : v == 0 ? -1 : s_ys(v))
                << "cell " << x << "," << y << " holds " << v;
        }
}

void GameTest::expect_screen_is_picture()
{
    fc->flush();
    const Picture& f = fc->frame();
    for (int y = 0; y < std::min(f.rows(), fc->screen.rows()); y++)
        EXPECT_EQ(picture_mismatch(f, fc->screen, y, 0, std::min(f.cols(), fc->screen.cols())), "");
}

std::string picture_mismatch(const Picture& f, const Screen& s, int row, int c0, int c1)
{
    for (int c = c0; c < c1; c++) {
        const Picture::Cell want = f.at(c, row);
        if (want.ch == 0)
            continue;
        const Cell got = s.cell(c, row);
        std::string ch;
        utf8_put(ch, want.ch);
        const bool blank = ch == " ";
        const std::string at = "column " + std::to_string(c) + ", row " + std::to_string(row);
        if (got.ch != ch || got.bg != want.bg || (!blank && got.fg != want.fg))
            return "screen at " + at + " shows \"" + got.ch + "\" in " + std::to_string(got.fg) + " on " +
                   std::to_string(got.bg) + ", the picture \"" + ch + "\" in " + std::to_string(want.fg) + " on " +
                   std::to_string(want.bg);
        if (ambiguous(want.ch) && c + 1 < s.cols() && (s.cell(c + 1, row).ch != " " || s.cell(c + 1, row).bg != want.bg))
            return "no blank beside the glyph at " + at;
    }
    return "";
}

int GameTest::play()
{
    try {
        return g_main();
    } catch (const FakeExit& e) {
        return e.status;
    }
}

void GameTest::at_first_poll(const std::function<void()>& look)
{
    fc->on_poll = [this, look, done = false]() mutable {
        if (done)
            return;
        done = true;
        fc->flush();
        look();
    };
}

std::string GameTest::file(const char* name) const
{
    std::ifstream f(dir + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

int GameTest::glyph(int x, int y) const
{
    Cell c = at(x, y);
    return c.ch == "■" ? c.fg : -1;
}
