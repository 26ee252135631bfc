// Thousands of whole games on the test console: random wells over the whole
// range of sizes, random keys with junk among them, pieces steered to fill
// rows, the log on and off. After every command the board, the log and the
// screen must agree with one another and with the rules of play.
//
// DROPIX_SOAK_SEED=n reruns the one session seeded n (printed on failure);
// DROPIX_SOAK_BASE=n starts the run at base seed n (default: a fixed one, so
// that a red run recurs; "random" for a new one each run);
// DROPIX_SOAK_SESSIONS=n sets how many sessions run, and =n/d that share of
// the default count (1/4: a quarter).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "fixture.h"
#include "planner.h"
#include "console/utf8.h"

namespace {

struct Broken {
    std::string what;
};

[[noreturn]] void broken(const std::string& what) { throw Broken{what}; }

std::string at(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }

// The test console, told when the game has just made a command. run()
// samples the clock right after each one: after the first step of a
// spawned piece, after the move of an arrow key, and after a gravity step
// (the second sample of a turn). Nothing else changes the board in play.
class SoakConsole : public FakeConsole {
public:
    SoakConsole() : FakeConsole(240, 110) { record = false; }

    std::function<void(bool game_over)> after;
    long spawns = 0;
    long commands = 0;

    Key key() override
    {
        Key k;
        {
            Inside in(inside_);
            k = FakeConsole::key();
        }
        switch (k) {
        case Key::None: last_ = Ev::Poll; break;
        case Key::Space: last_ = Ev::Space; break;
        case Key::Left:
        case Key::Right:
        case Key::Up:
        case Key::Down: last_ = Ev::Arrow; break;
        default: last_ = Ev::Key; break; // keys the game has no use for
        }
        return k;
    }
    void wait_key(int due_ms) override
    {
        {
            Inside in(inside_);
            FakeConsole::wait_key(due_ms);
        }
        last_ = Ev::Poll;
    }
    void sleep_ms(int ms) override
    {
        spawns++;
        last_ = Ev::Spawn;
        FakeConsole::sleep_ms(ms);
    }
    int now_ms() override
    {
        if (inside_)
            return t;
        const bool command = last_ == Ev::Spawn || last_ == Ev::Arrow || last_ == Ev::Clock;
        last_ = Ev::Clock;
        if (command) {
            commands++;
            after(false);
        }
        return t;
    }
    void pause(std::string_view prompt) override
    {
        // Not asked for with the space key: the pause under the final board.
        if (last_ != Ev::Space)
            after(true);
        {
            Inside in(inside_);
            FakeConsole::pause(prompt);
        }
        last_ = Ev::Pause;
    }

private:
    // The console's own reads of the clock while it polls or waits are no
    // samples of the game's.
    struct Inside {
        bool& b;
        explicit Inside(bool& flag) : b(flag) { b = true; }
        ~Inside() { b = false; }
    };

    enum class Ev { Poll, Arrow, Space, Key, Spawn, Clock, Pause } last_ = Ev::Poll;
    bool inside_ = false;
};

struct Figures {
    long sessions = 0, games = 0, commands = 0, checks = 0, full_checks = 0, cells = 0;
    long keys = 0, rows = 0, snapshots = 0;
};

// One session: one or two games on one console, all drawn from one seed.
class Session {
public:
    Session(uint32_t seed, Figures& fig) : seed_(seed), rng_(seed), fig_(fig) {}

    // Plays the session; returns an empty string, or what broke.
    std::string play();
    const std::string& describe() const { return plan_; }

private:
    struct Well {
        int x, y, log;
        int steer; // percentage of pieces steered to a good place; 0: random keys only
    };

    int pick(int lo, int hi) { return lo + static_cast<int>(rng_() % static_cast<uint32_t>(hi - lo + 1)); }
    bool chance(int percent) { return pick(0, 99) < percent; }
    Well draw_well();
    std::string arrow(int dir);
    std::string junk();
    std::string chunk();
    void push(int when, const std::string& keys);
    std::string steer();
    void on_poll();
    void check(bool game_over);
    void check_board(bool full, bool game_over);
    void check_log(bool game_over);
    void check_cell(const Screen& s, int x, int y);
    void check_screen(bool full);
    void check_picture(bool full);

    uint32_t seed_;
    std::mt19937 rng_;
    Figures& fig_;
    std::string plan_;
    Well wells_[2] = {};
    int n_wells_ = 1;
    int game_ = 0;          // index of the game being played
    int played_ = 0;        // games that reached their end
    int pieces_ = 0;        // pieces spawned in this game
    bool fresh_ = true;     // no check yet in this game
    int last_f_ = 0;
    long seen_spawns_ = 0;
    long seen_log_spawns_ = 0;
    off_t log_seen_ = 0;    // bytes of data.txt already looked at
    int next_at_ = 0;       // when random keys come next
    int last_at_ = 0;       // latest arrival time given to the console
    SoakConsole* fc_ = nullptr;
    // What changed since the last look: board values, and the board cells
    // and side panel that libvterm redrew.
    int seen_[M_N][M_N] = {};
    bool dirty_[M_N][M_N] = {};
    bool panel_dirty_ = true;
    int redrawn_[M_N + 1][2] = {}; // columns [from, to) of each screen row libvterm redrew
    int panel_f_ = -1, panel_c_ = -1;
};

// Mostly small wells, whose games are short; the whole range and its
// edges often enough that a run covers them.
Session::Well Session::draw_well()
{
    Well w;
    const int kind = pick(0, 99);
    if (kind < 2) {
        // The edges of both ranges, and the widths whose preview leaves the array.
        const int xs[] = {10, 11, 95, 96, 97, 98, 99, 100};
        const int ys[] = {15, 16, 99, 100};
        w.x = xs[pick(0, 7)];
        w.y = ys[pick(0, 3)];
    } else if (kind < 7) {
        w.x = pick(10, 100);
        w.y = pick(15, 100);
    } else {
        w.x = pick(10, 24);
        w.y = pick(15, 24);
    }
    // A big well with the log on writes megabytes a game: now and then.
    w.log = chance(w.x * w.y <= 2500 ? 50 : 30);
    // Steering fills rows, and so makes long games: only in small wells.
    w.steer = w.x * w.y <= 600 && chance(60) ? pick(50, 95) : 0;
    return w;
}

std::string Session::arrow(int dir)
{
    const char code = "ABCD"[dir]; // up, down, right, left
    return chance(80) ? std::string("\x1b[") + code : std::string("\x1bO") + code;
}

std::string Session::junk()
{
    static const char* const JUNK[] = {
        "x", "q", "1", "\n", "\r", "\t", "\x7f", "\x1b", "\x1b[", "\x1bO", "\x1b[1;5A", "\x1b[15~",
        "\x1bOP", "\x1b[Z", "\x1b[200~", "\x1bx", "\xe4\xb8\xad", "\xe4\xb8", "\xff", "\x80", "\x1b\x1b[B",
    };
    if (chance(30))
        return std::string(1, static_cast<char>(rng_() & 0xff));
    return JUNK[pick(0, static_cast<int>(sizeof JUNK / sizeof JUNK[0]) - 1)];
}

// A few keys typed at once: mostly arrows, now and then a pause or junk.
// In big wells mostly down, so that the pieces pile up and the game ends.
std::string Session::chunk()
{
    const bool big = X * Y > 2500;
    std::string s;
    for (int n = pick(1, 3); n > 0; n--) {
        const int r = pick(0, 99);
        fig_.keys++;
        if (r < (big ? 70 : 40))
            s += arrow(1);
        else if (r < (big ? 74 : 55))
            s += arrow(3);
        else if (r < (big ? 78 : 70))
            s += arrow(2);
        else if (r < 82)
            s += arrow(0);
        else if (r < 85)
            s += ' ';
        else
            s += junk();
    }
    return s;
}

// Keys reach the console in the order they are given to it.
void Session::push(int when, const std::string& keys)
{
    if (keys.empty())
        return;
    last_at_ = std::max(when, last_at_);
    fc_->press(last_at_, keys);
    if (keys.find(' ') != std::string::npos) {
        // A pause: a key to end it comes later.
        last_at_ += 1 + pick(0, 1500);
        fc_->press(last_at_, chance(50) ? arrow(pick(0, 3)) : "x");
    }
}

// Keys that turn and move the new piece to the place that clears most rows
// and leaves fewest holes, then drop it there; the game's own rules say
// where each try ends.
std::string Session::steer()
{
    int best = -1000000, turns = 0, dx = 0, rest = 1;
    for (int r = 0; r < 4; r++)
        for (int d = 1 - Wx; d <= X - 2 - Wx; d++) {
            const Try t = try_move(r, d);
            if (t.x != Wx + d)
                continue; // the steps ran into something
            int score = 4 * t.y + 200 * t.gone + pick(0, 3);
            for (const auto& c : SH[t.code].c) {
                const int below = t.y + c[1] + 1;
                bool piece = false;
                for (const auto& o : SH[t.code].c)
                    piece |= o[0] == c[0] && o[1] == c[1] + 1;
                if (!piece && t.gone == 0 && below < Y - 1 && t.after[static_cast<size_t>((t.x + c[0]) * Y + below)] == 0)
                    score -= 40; // a hole under the piece
            }
            if (score > best) {
                best = score;
                turns = r;
                dx = d;
                rest = t.y;
            }
        }
    std::string keys;
    for (int k = 0; k < turns; k++)
        keys += arrow(0);
    for (int k = std::abs(dx); k > 0; k--)
        keys += arrow(dx < 0 ? 3 : 2);
    for (int k = rest; k > 0; k--)
        keys += arrow(1);
    return keys;
}

void Session::on_poll()
{
    const int t = fc_->t;
    const Well& w = wells_[game_];
    if (fc_->spawns != seen_spawns_) {
        seen_spawns_ = fc_->spawns;
        pieces_++;
        // Steered games stop steering after a while, so that they end.
        if (w.steer > 0 && pieces_ < 80) {
            std::string keys;
            if (chance(w.steer)) {
                keys = steer();
            } else {
                const int dx = pick(1, X - 2) - Wx;
                for (int k = std::abs(dx); k > 0; k--)
                    keys += arrow(dx < 0 ? 3 : 2);
            }
            if (chance(10))
                keys += junk();
            fig_.keys += static_cast<long>(keys.size() / 3);
            push(t, keys);
        }
    }
    if (w.steer > 0) {
        if (chance(2))
            push(t, chunk());
    } else if (next_at_ <= t) {
        next_at_ = t + (chance(30) ? 0 : pick(1, 1200));
        push(next_at_, chunk());
    }
}

// The board: walls, values, nothing outside the well, the falling piece
// stamped where R says, the score. Between two looks only what changed
// needs looking at again; `full` looks at everything.
void Session::check_board(bool full, bool game_over)
{
    for (int x = 0; x < M_N; x++) {
        if (!full && std::memcmp(m[x], seen_[x], sizeof m[x]) == 0)
            continue;
        for (int y = 0; y < M_N; y++) {
            const int v = m[x][y];
            if (!full && v == seen_[x][y])
                continue;
            dirty_[x][y] = true;
            if (x >= X || y >= Y) {
                // Outside the well nothing is ever written.
                if (v != 0)
                    broken("outside the well " + at(x, y) + " holds " + std::to_string(v));
            } else if (x == 0 || x == X - 1 || y == Y - 1) {
                if (v != WALL)
                    broken("wall or floor " + at(x, y) + " holds " + std::to_string(v));
            } else if (v < 0 || v > N_CODE) {
                broken("inside " + at(x, y) + " holds " + std::to_string(v));
            }
        }
    }
    std::memcpy(seen_, m, sizeof seen_);
    if (E < 1 || E > N_CODE)
        broken("falling code " + std::to_string(E));
    if (C < 1 || C > N_CODE)
        broken("next code " + std::to_string(C));
    if (!game_over) {
        for (const auto& c : R) {
            if (c[0] < 1 || c[0] > X - 2 || c[1] < 0 || c[1] > Y - 2)
                broken("piece cell " + at(c[0], c[1]) + " outside the well's inside");
            if (m[c[0]][c[1]] != E)
                broken("piece cell " + at(c[0], c[1]) + " holds " + std::to_string(m[c[0]][c[1]]) +
                       ", not the falling code " + std::to_string(E));
        }
    } else {
        // The game ends only when the new piece, at its spawn place, overlaps.
        const int want_x = std::min(X / 2 - 2, X - 1 - SH[E].w);
        if (Wx != want_x || Wy != 0)
            broken("last piece tried at " + at(Wx, Wy) + ", not at its spawn place");
        bool overlaps = false;
        for (const auto& c : SH[E].c)
            overlaps |= m[Wx + c[0]][Wy + c[1]] != 0;
        if (!overlaps)
            broken("game over, but the new piece fits");
    }
    if (F < 0 || F % (X - 2) != 0)
        broken("score " + std::to_string(F) + " is no multiple of " + std::to_string(X - 2));
    if (F < last_f_)
        broken("score went down from " + std::to_string(last_f_) + " to " + std::to_string(F));
    last_f_ = F;
}

// With the log on, data.txt gets a whole snapshot after every command (and
// one more after a spawn, and one at start-up), and the last one is the
// board as it stands.
void Session::check_log(bool game_over)
{
    struct stat st;
    if (stat("data.txt", &st) != 0)
        broken("data.txt is missing");
    if (fresh_)
        log_seen_ = 0; // emptied at the start of the game
    if (J == 0) {
        if (st.st_size != 0)
            broken("log off, but data.txt holds " + std::to_string(st.st_size) + " bytes");
        return;
    }
    const size_t grown = static_cast<size_t>(st.st_size - log_seen_);
    if (game_over) {
        // Row clearing and the spawn that does not fit write none.
        if (grown != 0)
            broken("snapshot written after the last command");
        return;
    }
    const size_t line = 1 + 4 * static_cast<size_t>(Y) + 1;
    const size_t snap = static_cast<size_t>(X) * line + 1;
    const size_t want = fresh_ ? 3 : fc_->spawns != seen_log_spawns_ ? 2 : 1;
    seen_log_spawns_ = fc_->spawns;
    if (grown != want * snap)
        broken("data.txt grew by " + std::to_string(grown) + " bytes, not " + std::to_string(want) +
               " snapshot(s) of " + std::to_string(snap));
    fig_.snapshots += static_cast<long>(want);
    std::string s(snap, '\0');
    const int fd = open("data.txt", O_RDONLY);
    const ssize_t got = fd < 0 ? -1 : pread(fd, &s[0], snap, st.st_size - static_cast<off_t>(snap));
    if (fd >= 0)
        close(fd);
    if (got != static_cast<ssize_t>(snap))
        broken("cannot read data.txt");
    log_seen_ = st.st_size;
    // Emptied now and then, so it stays small. (Emptying it after every
    // look would cost a disk flush at the game's next close.)
    if (log_seen_ > (8 << 20)) {
        if (truncate("data.txt", 0) != 0)
            broken("cannot empty data.txt");
        log_seen_ = 0;
    }
    static char field[WALL + 1][12];
    if (field[0][0] == 0)
        for (int v = 0; v <= WALL; v++)
            std::snprintf(field[v], sizeof field[v], "%3d", v);
    for (int x = 0; x < X; x++) {
        const char* l = s.data() + static_cast<size_t>(x) * line;
        if (l[0] != '|' || l[line - 1] != '\n')
            broken("log line " + std::to_string(x) + " is malformed");
        for (int y = 0; y < Y; y++) {
            const char* fld = l + 1 + 4 * y;
            if (std::memcmp(fld, field[m[x][y]], 3) != 0 || fld[3] != '|')
                broken("log shows \"" + std::string(fld, 4) + "\" at " + at(x, y) + ", the board " +
                       std::to_string(m[x][y]));
        }
    }
    if (s[snap - 1] != '\n')
        broken("snapshot does not end with an empty line");
}

void Session::check_cell(const Screen& s, int x, int y)
{
    const Cell c = s.cell(2 * x, y);
    const int v = m[x][y];
    const int colour = v == WALL ? WHITE : s_ys(v);
    fig_.cells++;
    bool ok = c.bg == 0 || c.bg == -1;
    if (v == 0)
        ok &= c.ch == " " || (c.ch == "■" && c.fg == 0);
    else
        ok &= c.ch == "■" && c.fg == colour;
    if (!ok)
        broken("screen at cell " + at(x, y) + " shows \"" + c.ch + "\" in colour " + std::to_string(c.fg) + " on " +
               std::to_string(c.bg) + ", the board holds " + std::to_string(v) +
               (v == 0 ? " (blank or erased)" : " (glyph in colour " + std::to_string(colour) + ")"));
}

// The screen shows every cell of the well as the board holds it, and the
// side panel the score, speed and next piece. A cell that libvterm did not
// redraw and whose board value did not change since the last look still
// agrees, so only those are looked at again; `full` looks at all.
void Session::check_screen(bool full)
{
    fc_->flush();
    const Screen& s = fc_->screen;
    for (int x = 0; x < X; x++)
        for (int y = 0; y < Y; y++)
            if (full || dirty_[x][y])
                check_cell(s, x, y);
    std::memset(dirty_, 0, sizeof dirty_);
    check_picture(full);
    if (!full && !panel_dirty_ && panel_f_ == F && panel_c_ == C)
        return;
    panel_dirty_ = false;
    panel_f_ = F;
    panel_c_ = C;
    char line[32];
    std::snprintf(line, sizeof line, "分数:%4d", F);
    if (s.row(2, 2 * (X + 1)) != line)
        broken("score line shows \"" + s.row(2, 2 * (X + 1)) + "\", not \"" + line + "\"");
    std::snprintf(line, sizeof line, "速度:%4d", 1000 - F / 2);
    if (s.row(3, 2 * (X + 1)) != line)
        broken("speed line shows \"" + s.row(3, 2 * (X + 1)) + "\", not \"" + line + "\"");
    if (s.row(4, 2 * (X + 1)) != "下一个方块")
        broken("next-piece label shows \"" + s.row(4, 2 * (X + 1)) + "\"");
    for (int dx = 0; dx < 4; dx++)
        for (int dy = 0; dy < 4; dy++) {
            bool in = false;
            for (const auto& c : SH[C].c)
                in |= c[0] == dx && c[1] == dy;
            const Cell c = s.cell(2 * (X + 1 + dx), 5 + dy);
            const bool shown = c.ch == "■" && c.fg != 0;
            if (shown != in || (in && c.fg != s_ys(C)))
                broken("preview of code " + std::to_string(C) + " wrong at " + at(dx, dy));
        }
}

// Every redrawn row of the terminal shows what the console's picture of
// the play screen holds: a terminal that draws "■" one column wide shows
// it with a blank beside it.
void Session::check_picture(bool full)
{
    const Picture& f = fc_->frame();
    const Screen& s = fc_->screen;
    for (int y = 0; y < std::min(f.rows(), s.rows()); y++) {
        // A glyph begins a column to the left of what was redrawn of it.
        const int from = full ? 0 : std::max(redrawn_[y][0] - 1, 0);
        const int to = full ? f.cols() : std::min(redrawn_[y][1], f.cols());
        redrawn_[y][0] = redrawn_[y][1] = 0;
        const std::string wrong = picture_mismatch(f, s, y, from, std::min(to, s.cols()));
        if (!wrong.empty())
            broken(wrong);
    }
}

void Session::check(bool game_over)
{
    // The first look at a game, and the last, take in everything.
    const bool full = fresh_ || game_over;
    fig_.checks++;
    fig_.full_checks += full;
    check_board(full, game_over);
    check_log(game_over);
    check_screen(full);
    fresh_ = false;
    if (game_over) {
        fig_.games++;
        fig_.rows += F / (X - 2);
        played_++;
        if (game_ + 1 < n_wells_)
            game_++;
        pieces_ = 0;
        last_f_ = 0;
        fresh_ = true;
    }
}

std::string Session::play()
{
    n_wells_ = chance(25) ? 2 : 1;
    std::string lines;
    for (int k = 0; k < n_wells_; k++) {
        wells_[k] = draw_well();
        // Now and then an unusable answer first, which is asked again.
        static const char* const WRONG[] = {"abc\n", "9\n", "101\n", "-1\n", "99999999999\n", "+\n"};
        for (int v : {wells_[k].x, wells_[k].y, wells_[k].log}) {
            if (chance(10))
                lines += WRONG[pick(0, 5)];
            lines += std::to_string(v) + "\n";
        }
        lines += k + 1 < n_wells_ ? "1\n" : "0\n";
        char d[96];
        std::snprintf(d, sizeof d, "%s%dx%d log %d, %s", k ? "; then " : "", wells_[k].x, wells_[k].y,
                      wells_[k].log, wells_[k].steer ? "steered" : "random keys");
        plan_ += d;
    }
    SoakConsole fc;
    fc_ = &fc;
    con = &fc;
    fc.seed_v = seed_;
    fc.lines = lines;
    fc.limit = 5000000;
    fc.on_poll = [this] { on_poll(); };
    fc.after = [this](bool over) { check(over); };
    fc.screen.on_damage = [this](int r0, int r1, int c0, int c1) {
        for (int y = std::max(r0, 0); y < std::min(r1, M_N); y++)
            for (int c = std::max(c0, 0) / 2; c < std::min((c1 + 1) / 2, M_N); c++)
                dirty_[c][y] = true;
        if (c1 > 2 * (X + 1) && r0 <= 8 && r1 > 2)
            panel_dirty_ = true;
        for (int y = std::max(r0, 0); y < std::min(r1, M_N + 1); y++) {
            int* d = redrawn_[y];
            d[0] = d[1] > d[0] ? std::min(d[0], c0) : c0;
            d[1] = std::max(d[1], c1);
        }
    };
    std::string what;
    try {
        const int status = g_main();
        if (status != 0)
            what = "exit status " + std::to_string(status);
        else if (played_ != n_wells_)
            what = "the session ended after " + std::to_string(played_) + " of its games";
    } catch (const Broken& b) {
        what = b.what;
    } catch (const FakeExit& e) {
        what = "the game quit: " + e.why;
    } catch (const std::exception& e) {
        what = e.what();
    }
    fig_.commands += fc.commands;
    fig_.sessions++;
    con = nullptr;
    return what;
}

uint32_t env_or(const char* name, uint32_t fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? static_cast<uint32_t>(std::strtoul(v, nullptr, 0)) : fallback;
}

constexpr uint32_t SOAK_SESSIONS = 1600;

// A count, or a share n/d of the default, rounded up so that a small share
// still plays; 0 for anything else, which the soak refuses.
uint32_t sessions_of(const char* v, uint32_t dflt)
{
    if (!v || !*v)
        return dflt;
    // strtoull would take a sign or spaces.
    const auto number = [](const char*& p, unsigned long long& n) {
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            return false;
        char* end;
        n = std::strtoull(p, &end, 10);
        p = end;
        return n <= UINT32_MAX;
    };
    unsigned long long n, d;
    if (!number(v, n))
        return 0;
    if (*v == '\0')
        return static_cast<uint32_t>(n);
    if (*v++ != '/' || !number(v, d) || *v != '\0' || d == 0 || n > d)
        return 0;
    return static_cast<uint32_t>((dflt * n + d - 1) / d);
}

} // namespace

class Soak : public GameTest {};

TEST_F(Soak, WholeGamesKeepBoardLogAndScreenInAgreement)
{
    const bool rerun = std::getenv("DROPIX_SOAK_SEED") != nullptr;
    const char* asked = std::getenv("DROPIX_SOAK_BASE");
    const uint32_t base = rerun ? env_or("DROPIX_SOAK_SEED", 0)
                          : asked && std::strcmp(asked, "random") == 0 ? std::random_device{}()
                                                                     : env_or("DROPIX_SOAK_BASE", 20261208);
    const char* asked_n = std::getenv("DROPIX_SOAK_SESSIONS");
    const uint32_t sessions = rerun ? 1 : sessions_of(asked_n, SOAK_SESSIONS);
    ASSERT_GT(sessions, 0u) << "DROPIX_SOAK_SESSIONS=" << asked_n << ": give a count, or a share such as 1/4";
    std::printf("soak: base seed %" PRIu32 ", %" PRIu32 " sessions\n", base, sessions);
    std::fflush(stdout);
    Figures fig;
    const auto t0 = std::chrono::steady_clock::now();
    int failures = 0;
    for (uint32_t k = 0; k < sessions && failures < 3; k++) {
        const uint32_t seed = base + k;
        // Sessions share the scratch directory; every game empties data.txt first.
        Session s(seed, fig);
        const std::string what = s.play();
        if (!what.empty()) {
            failures++;
            ADD_FAILURE() << "seed " << seed << " (" << s.describe() << "): " << what
                          << "\n  rerun with DROPIX_SOAK_SEED=" << seed;
        }
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("soak: %ld games in %ld sessions, %ld commands, %ld checks (%ld of them full), "
                "%ld screen cells compared, %ld log snapshots compared, %ld keys, %ld rows cleared, %.1f s\n",
                fig.games, fig.sessions, fig.commands, fig.checks, fig.full_checks, fig.cells, fig.snapshots,
                fig.keys, fig.rows, secs);
    RecordProperty("games", std::to_string(fig.games));
    RecordProperty("commands", std::to_string(fig.commands));
    RecordProperty("checks", std::to_string(fig.checks));
    RecordProperty("rows_cleared", std::to_string(fig.rows));
    if (!rerun) {
        EXPECT_GT(fig.games, 0);
        EXPECT_GT(fig.rows, 0) << "no row was ever cleared: the score was never put to the test";
    }
}

TEST(SoakSessions, CountOrShareOfTheDefault)
{
    EXPECT_EQ(sessions_of(nullptr, 1600), 1600u);
    EXPECT_EQ(sessions_of("", 1600), 1600u);
    EXPECT_EQ(sessions_of("37", 1600), 37u);
    EXPECT_EQ(sessions_of("1/4", 1600), 400u);
    EXPECT_EQ(sessions_of("1/3", 1600), 534u);
    EXPECT_EQ(sessions_of("1/100000", 1600), 1u);
    EXPECT_EQ(sessions_of("4/4", 1600), 1600u);
    for (const char* bad : {"abc", "1/0", "5/4", "1/", "/4", "40x", "1/4x", "-1/4", " 7", "+7", "99999999999"})
        EXPECT_EQ(sessions_of(bad, 1600), 0u) << bad;
}
