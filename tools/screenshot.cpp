// Draws a picture of a game in progress for the docs: plays the real game in
// a pseudo-terminal, lands pieces where a simple planner likes them until a
// row has gone, and writes the terminal's screen as SVG. With a second file,
// also a picture of the game's log watched again at that moment.
//
//   dropix_screenshot OUT.svg [REPLAY.svg]
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "my-dropix.h"
#include "planner.h"
#include "pty_driver.h"

namespace {

// The well in the picture, and a terminal just large enough for it and the
// side panel, with a little room on the right.
constexpr int WW = 12;
constexpr int WH = 18;
constexpr int COLS = 2 * WW + 14;
constexpr int ROWS = WH + 1;

// The picture is taken once a row has gone, MIN_PIECES have landed and a
// stack of STACK cells stands (after ENOUGH pieces, whatever stands).
constexpr int MIN_PIECES = 14;
constexpr int STACK = 20;
constexpr int ENOUGH = 40;
constexpr int MAX_PIECES = 60;
constexpr long long GAME_MS = 120000;

const char KEY_UP[] = "\x1b[A";
const char KEY_DOWN[] = "\x1b[B";
const char KEY_RIGHT[] = "\x1b[C";
const char KEY_LEFT[] = "\x1b[D";

// ---- The well as the planner sees it ------------------------------------

// true: taken (wall, floor or a landed cell). Indexed [x][y] like the board.
using Grid = std::array<std::array<bool, WH>, WW>;

struct Piece {
    int code = 0; // shape code 1..19
    int x = 0;    // anchor
    int y = 0;
};

Grid walls()
{
    Grid g{};
    for (int y = 0; y < WH; y++)
        g[0][y] = g[WW - 1][y] = true;
    for (int x = 0; x < WW; x++)
        g[x][WH - 1] = true;
    return g;
}

// Puts the well as the screen shows it into the game's own state, the
// falling piece stamped in it, so that the game's rules can be tried on it.
void load(const Grid& ground, const Piece& p)
{
    X = WW;
    Y = WH;
    f_sz_m();
    r_gk();
    for (int x = 1; x <= WW - 2; x++)
        for (int y = 0; y < WH - 1; y++)
            if (ground[x][y])
                m[x][y] = N_CODE; // which shape landed there does not matter
    E = p.code;
    Wx = p.x;
    Wy = p.y;
    s_fk(E);
    r_fk_t_m(1);
}

// The row where the piece comes to rest when it only falls.
int rest_row(const Grid& ground, const Piece& p)
{
    load(ground, p);
    return try_move(0, 0).y;
}

// Higher is better: rows gone, a low and even stack without holes.
double rate(const Try& t)
{
    auto taken = [&](int x, int y) { return t.after[static_cast<size_t>(x * WH + y)] != 0; };
    int height_sum = 0, holes = 0, bumps = 0, last = -1;
    for (int x = 1; x <= WW - 2; x++) {
        int top = WH - 1;
        for (int y = 0; y < WH - 1; y++)
            if (taken(x, y)) {
                top = y;
                break;
            }
        int h = WH - 1 - top;
        for (int y = top + 1; y < WH - 1; y++)
            if (!taken(x, y))
                holes++;
        height_sum += h;
        if (last >= 0)
            bumps += std::abs(h - last);
        last = h;
    }
    return 0.76 * t.gone - 0.51 * height_sum - 0.36 * holes - 0.18 * bumps;
}

struct Plan {
    int turns = 0;
    int dx = 0;      // signed number of side steps
    Piece at;        // where the piece stands after them
    double score = -1e18;
};

// The turns and steps after which dropping the piece rates best, each tried
// with the game's own rules.
Plan best_plan(const Grid& ground, const Piece& now)
{
    load(ground, now);
    Plan best;
    for (int t = 0; t < 4; t++)
        for (int dx = 1 - now.x; dx <= WW - 2 - now.x; dx++) {
            const Try tr = try_move(t, dx);
            if (tr.x != now.x + dx)
                continue; // the steps ran into something
            const double s = rate(tr);
            if (s > best.score) {
                best.score = s;
                best.turns = t;
                best.dx = dx;
                best.at = {tr.code, tr.x, now.y};
            }
        }
    return best;
}

// ---- Reading the game's screen -----------------------------------------

bool taken(const Screen& s, int x, int y)
{
    Cell c = s.cell(2 * x, y);
    return c.ch == "■" && c.fg > 0;
}

std::vector<std::pair<int, int>> well_cells(const Screen& s)
{
    std::vector<std::pair<int, int>> v;
    for (int x = 1; x <= WW - 2; x++)
        for (int y = 0; y < WH - 1; y++)
            if (taken(s, x, y))
                v.emplace_back(x, y);
    return v;
}

bool covers(const std::vector<std::pair<int, int>>& cells, const Piece& p)
{
    for (const auto& c : SH[p.code].c) {
        bool found = false;
        for (const auto& q : cells)
            found = found || (q.first == p.x + c[0] && q.second == p.y + c[1]);
        if (!found)
            return false;
    }
    return true;
}

// The falling piece: shape `code` nearest the top among the taken cells
// (any shape when code is 0). Returns false when none is there.
bool find_piece(const std::vector<std::pair<int, int>>& cells, int code, Piece* out)
{
    for (int y = 0; y < WH - 1; y++)
        for (int c = code ? code : 1; c <= (code ? code : N_CODE); c++)
            for (int x = 1; x <= WW - 2; x++) {
                Piece p{c, x, y};
                if (covers(cells, p)) {
                    *out = p;
                    return true;
                }
            }
    return false;
}

// The falling piece of shape `code` on a screen whose landed cells are
// `ground`.
bool falling(const Screen& s, const Grid& ground, int code, Piece* out)
{
    std::vector<std::pair<int, int>> cells;
    for (const auto& q : well_cells(s))
        if (!ground[q.first][q.second])
            cells.push_back(q);
    return find_piece(cells, code, out);
}

Grid landed(const std::vector<std::pair<int, int>>& cells, const Piece& falling)
{
    Grid g = walls();
    for (const auto& q : cells)
        g[q.first][q.second] = true;
    for (const auto& c : SH[falling.code].c)
        g[falling.x + c[0]][falling.y + c[1]] = false;
    return g;
}

// Shape code shown as the next piece, 0 when none can be read.
int next_code(const Screen& s)
{
    for (int c = 1; c <= N_CODE; c++) {
        int n = 0;
        for (int dx = 0; dx < 4; dx++)
            for (int dy = 0; dy < 4; dy++)
                if (taken(s, WW + 1 + dx, 5 + dy)) {
                    bool in = false;
                    for (const auto& k : SH[c].c)
                        in = in || (k[0] == dx && k[1] == dy);
                    n += in ? 1 : 100;
                }
        if (n == 4)
            return c;
    }
    return 0;
}

int score(const Screen& s)
{
    std::string r = s.row(2, 2 * (WW + 1));
    size_t k = r.find(':');
    return k == std::string::npos ? -1 : std::atoi(r.c_str() + k + 1);
}

bool over(const Screen& s) { return s.contains("请按任意键继续") || s.contains("游戏结束"); }

// Reads output until the game has been silent for `ms` (it writes once per
// turn, so a silent screen is a whole one).
void settle(PtyGame& g, int ms = 250)
{
    long long end = now_ms() + 3000;
    for (;;) {
        size_t before = g.raw.size();
        g.wait_for([](const Screen&) { return false; }, ms);
        if (g.raw.size() == before || now_ms() > end)
            return;
    }
}

// ---- SVG -----------------------------------------------------------------

// The console's 16 colours, numbered as the game numbers them: bit 0 blue,
// bit 1 green, bit 2 red, bit 3 bright.
const char* const PALETTE[16] = {
    "#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000", "#c0c0c0",
    "#808080", "#0000ff", "#00ff00", "#00ffff", "#ff0000", "#ff00ff", "#ffff00", "#ffffff",
};
constexpr int DEFAULT_FG = 7;

constexpr int CW = 10;   // cell width, px
constexpr int CH = 20;   // cell height, px
constexpr int PAD = 10;

unsigned first_code_point(const std::string& s)
{
    auto b = [&](size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(s[k])); };
    if (s.empty())
        return 0;
    unsigned c = b(0);
    if (c < 0x80 || s.size() < 2)
        return c;
    if (c < 0xe0)
        return ((c & 0x1f) << 6) | (b(1) & 0x3f);
    if (c < 0xf0 || s.size() < 4)
        return s.size() < 3 ? 0 : ((c & 0x0f) << 12) | ((b(1) & 0x3f) << 6) | (b(2) & 0x3f);
    return ((c & 0x07) << 18) | ((b(1) & 0x3f) << 12) | ((b(2) & 0x3f) << 6) | (b(3) & 0x3f);
}

// Columns a character takes as the game lays it out: CJK and full-width
// forms, and also the arrows and "■", which the game treats as two wide.
int columns(unsigned c)
{
    bool wide = (c >= 0x2190 && c <= 0x21ff) || (c >= 0x25a0 && c <= 0x25ff) ||
                (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf) ||
                (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff) ||
                (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60) ||
                (c >= 0xffe0 && c <= 0xffe6) || c >= 0x20000;
    return wide ? 2 : 1;
}

std::string xml_escape(const std::string& s)
{
    std::string o;
    for (char k : s) {
        switch (k) {
        case '&': o += "&amp;"; break;
        case '<': o += "&lt;"; break;
        case '>': o += "&gt;"; break;
        case '"': o += "&quot;"; break;
        default: o += k;
        }
    }
    return o;
}

std::string colour(int n, int fallback) { return PALETTE[n >= 0 && n < 16 ? n : fallback]; }

std::string svg(const Screen& s, const char* title)
{
    int w = s.cols() * CW + 2 * PAD, h = s.rows() * CH + 2 * PAD;
    std::ostringstream o;
    o << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << w << "\" height=\"" << h
      << "\" viewBox=\"0 0 " << w << ' ' << h << "\" role=\"img\">\n"
      << "<title>my-dropix: " << title << "</title>\n"
      << "<rect width=\"100%\" height=\"100%\" rx=\"6\" fill=\"#000000\"/>\n"
      << "<g font-family=\"monospace\" font-size=\"16\" text-anchor=\"middle\">\n";
    for (int r = 0; r < s.rows(); r++) {
        for (int c = 0; c < s.cols();) {
            Cell cell = s.cell(c, r);
            int span = columns(first_code_point(cell.ch));
            int x = PAD + c * CW, y = PAD + r * CH;
            if (cell.bg > 0)
                o << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << span * CW
                  << "\" height=\"" << CH << "\" fill=\"" << colour(cell.bg, 0) << "\"/>\n";
            int fg = cell.fg < 0 ? DEFAULT_FG : cell.fg;
            bool visible = cell.ch != " " && fg != (cell.bg < 0 ? 0 : cell.bg);
            if (visible && cell.ch == "■") {
                // A square of the cell's colour looks the same in every font.
                o << "<rect x=\"" << x + 2 << "\" y=\"" << y + 2 << "\" width=\"" << span * CW - 4
                  << "\" height=\"" << CH - 4 << "\" fill=\"" << colour(fg, DEFAULT_FG) << "\"/>\n";
            } else if (visible) {
                o << "<text x=\"" << x + span * CW / 2 << "\" y=\"" << y + 15 << "\" fill=\""
                  << colour(fg, DEFAULT_FG) << "\">" << xml_escape(cell.ch) << "</text>\n";
            }
            c += span;
        }
    }
    o << "</g>\n</svg>\n";
    return o.str();
}

// ---- Playing -------------------------------------------------------------

void type_n(PtyGame& g, const char* key, int n)
{
    std::string keys;
    for (int k = 0; k < n; k++)
        keys += key;
    g.type(keys);
}

// Leaves the piece halfway from the top to where it would land, a row that
// the board alone decides, and returns while the screen shows it there.
// Gravity steps on its own time, so the keys go right after one of its steps
// and the screen is read long before the next.
bool hold_halfway(PtyGame& g, const Grid& ground, const Piece& p, std::string* why)
{
    const int row = rest_row(ground, p) / 2;
    Piece now = p;
    auto below = [&](int y) {
        return [&, y](const Screen& s) { return falling(s, ground, p.code, &now) && now.y >= y; };
    };
    if (!g.wait_for(below(p.y + 1), 3000)) {
        *why = "the piece did not fall";
        return false;
    }
    if (now.y > row) {
        *why = "the piece fell past the picture's row";
        return false;
    }
    type_n(g, KEY_DOWN, row - now.y);
    if (!g.wait_for(below(row), 500) || now.y != row) {
        *why = "the piece did not stop at the picture's row";
        return false;
    }
    return true;
}

// Plays one game until a row has gone and enough pieces have landed, then
// leaves the next piece part way down. True when that was reached.
bool play(PtyGame& g, std::string* why)
{
    if (!g.wait_text("宽度设置")) {
        *why = "no width prompt";
        return false;
    }
    g.type(std::to_string(WW) + "\n");
    if (!g.wait_text("高度设置")) {
        *why = "no height prompt";
        return false;
    }
    g.type(std::to_string(WH) + "\n");
    if (!g.wait_text("是否开启数据记录")) {
        *why = "no log prompt";
        return false;
    }
    g.type("1\n"); // the log, for the picture of it watched again
    if (!g.wait_for([](const Screen& s) { return s.row(14, 2 * (WW + 1)) == "空格:暂停"; })) {
        *why = "the game screen did not appear";
        return false;
    }

    long long end = now_ms() + GAME_MS;
    int expect = 1; // every game begins with shape 1
    for (int pieces = 0; pieces < MAX_PIECES && now_ms() < end;) {
        settle(g);
        if (over(g.screen)) {
            *why = "the game ended first";
            return false;
        }
        auto cells = well_cells(g.screen);
        Piece now;
        if (!find_piece(cells, expect, &now) && !find_piece(cells, 0, &now)) {
            *why = "no falling piece found";
            return false;
        }
        Grid ground = landed(cells, now);
        int following = next_code(g.screen);
        int standing = 0;
        for (int x = 1; x <= WW - 2; x++)
            for (int y = 0; y < WH - 1; y++)
                standing += ground[x][y] ? 1 : 0;
        bool last = score(g.screen) > 0 && pieces >= MIN_PIECES &&
                    (standing >= STACK || pieces >= ENOUGH);

        Plan plan = best_plan(ground, now);
        type_n(g, KEY_UP, plan.turns);
        type_n(g, plan.dx < 0 ? KEY_LEFT : KEY_RIGHT, std::abs(plan.dx));
        settle(g, 150);
        // Gravity may have moved it meanwhile; go down from where it is.
        Piece there;
        if (!falling(g.screen, ground, plan.at.code, &there))
            there = plan.at;
        int fall = rest_row(ground, there) - there.y;
        if (last)
            return hold_halfway(g, ground, there, why);
        // One more than the fall: the refused step is what lands it.
        type_n(g, KEY_DOWN, fall + 1);
        pieces++;
        expect = following;
    }
    *why = "no row cleared and stack built in time";
    return false;
}

} // namespace

// The log of the game just played, watched again at its last snapshot.
bool view_log(const std::string& dir, const PtyGame::Options& like, const char* out)
{
    PtyGame::Options o = like;
    o.cols = 2 * WW + 2 + 26; // the viewer's panel is wider than the game's
    o.cwd = dir;
    o.args = {"--replay"};
    PtyGame g(o);
    g.type("\x1b[F");
    const bool ok = g.wait_for([](const Screen& s) { return s.contains(" 步") && !s.contains("第 1 / "); }, 5000);
    settle(g);
    if (ok) {
        std::ofstream f(out, std::ios::binary);
        f << svg(g.screen, "a logged game watched again");
        std::fputs(g.screen.text().c_str(), stdout);
        std::printf("picture of the log written to %s\n", out);
    }
    g.type("q");
    g.wait_exit(5000);
    return ok;
}

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUT.svg [REPLAY.svg]\n", argv[0]);
        return 2;
    }
    for (int attempt = 1; attempt <= 3; attempt++) {
        PtyGame::Options o;
        o.cols = COLS;
        o.rows = ROWS;
        // UTF-8 on the wire, whatever the caller's locale, and the same
        // pieces on every run.
        const char* asan = std::getenv("ASAN_OPTIONS");
        o.env = {{"LC_ALL", "C.UTF-8"},
                 {"LD_PRELOAD", DROPIX_FIXED_TIME},
                 {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}};
        PtyGame g(o);
        std::string why;
        bool ok = play(g, &why);
        if (ok) {
            std::ofstream f(argv[1], std::ios::binary);
            f << svg(g.screen, "a game in progress");
            if (!f.flush()) {
                std::fprintf(stderr, "cannot write %s\n", argv[1]);
                return 1;
            }
            std::fputs(g.screen.text().c_str(), stdout);
            std::printf("score %d; picture written to %s\n", score(g.screen), argv[1]);
        } else {
            std::fprintf(stderr, "attempt %d: %s\n", attempt, why.c_str());
        }
        g.signal(SIGTERM);
        g.wait_exit(5000);
        if (ok && argc == 3 && !view_log(g.dir, o, argv[2])) {
            std::fprintf(stderr, "the log was not shown\n");
            ok = false;
        }
        std::remove((g.dir + "/data.txt").c_str());
        rmdir(g.dir.c_str());
        if (ok)
            return 0;
    }
    return 1;
}
