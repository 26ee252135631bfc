// The game's bytes against ncurses' on the same screens. Fixed-seed games
// run on the test console; after every write of the game, the screen a
// terminal (libvterm) shows is drawn into curses' stdscr and refreshed, and
// curses' output, read back through another libvterm, must show the same
// cells. No terminal is needed: curses writes to a file.
#include "curses_bench.h"

#include <cstdio>

#ifdef DROPIX_CURSES
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "curses_term.h"
#include "fake_console.h"
#include "games.h"
#include "my-dropix.h"
#include "platform/posix/posix.h"
#include "probe.h"

namespace {

enum class Part {
    OFF,     // not play: neither shown to curses nor counted
    SETUP,   // shown to curses, not counted
    COUNTED,
};

// The columns of each row changed since they were last taken.
class Changed {
public:
    Changed(int cols, int rows) : cols_(cols), spans_(static_cast<size_t>(rows), {cols, 0}) {}
    void add(int r0, int r1, int c0, int c1)
    {
        for (int r = std::max(r0, 0); r < std::min(r1, static_cast<int>(spans_.size())); r++) {
            Span& s = spans_[static_cast<size_t>(r)];
            s = {std::min(s.from, std::max(c0, 0)), std::max(s.to, std::min(c1, cols_))};
        }
    }
    void all() { add(0, static_cast<int>(spans_.size()), 0, cols_); }
    // Columns [from, to) of the row; from >= to when none changed.
    struct Span {
        int from, to;
    };
    Span take(int row)
    {
        const Span s = spans_[static_cast<size_t>(row)];
        spans_[static_cast<size_t>(row)] = {cols_, 0};
        return s;
    }

private:
    int cols_;
    std::vector<Span> spans_;
};

// The one place that knows the test console: the game's code on a terminal
// of cols x rows that answers the width probe, each write reported.
class GameTerm : public FakeConsole {
public:
    GameTerm(int cols, int rows, const TermCaps& caps) : FakeConsole(cols, rows, "UTF-8", true, caps), changed(cols, rows)
    {
        screen.bce = caps.bce;
        screen.on_damage = [this](int r0, int r1, int c0, int c1) { changed.add(r0, r1, c0, c1); };
        platform().before_write = [this](std::string_view bytes) {
            part_now_ = !window_ ? part_ : play_.take(bytes) ? Part::COUNTED : Part::OFF;
            if (part_now_ == Part::OFF && playing_ && ended)
                ended();
            playing_ = part_now_ != Part::OFF;
        };
        platform().on_write = [this](size_t n) {
            // Up, not changed: a new game sets the score back.
            const bool gone = F > score_;
            score_ = F;
            if (wrote)
                wrote(part_now_, n, gone);
        };
    }

    // Each write: its size, and whether the score went up since the last.
    std::function<void(Part, size_t bytes, bool rows_gone)> wrote;
    // Play ends: its last screen is still shown.
    std::function<void()> ended;
    Changed changed; // on `screen`

    // A whole game; its writes count from the play screen to the end screen.
    void game(int w, int h, unsigned seed, long steered, double flat)
    {
        window_ = true;
        play_game(*this, w, h, seed, steered, spawns_, flat);
        con = nullptr;
        if (playing_ && ended)
            ended(); // the game stopped in play
    }

    // The bottom row removed under a five-row stack; the writes that drew
    // the stack are shown, not counted.
    void removal(int w, int h)
    {
        con = this;
        key(); // the terminal's answer to how wide it draws "■" is read
        new_well(w, h);
        five_row_stack(w, h);
        flush();
        part_ = Part::COUNTED;
        c_h();
        flush();
        con = nullptr;
        if (ended)
            ended();
    }

protected:
    void sleep_ms(int ms) override
    {
        spawns_++; // the pause after each spawn
        FakeConsole::sleep_ms(ms);
    }

private:
    bool window_ = false;
    bool playing_ = false;
    PlayWindow play_;
    Part part_ = Part::SETUP;
    Part part_now_ = Part::SETUP; // of the write being made
    int score_ = 0;
    long spawns_ = 0;
};

struct Tally {
    long frames = 0;
    size_t game = 0, curses = 0;
    void add(size_t g, size_t c)
    {
        frames++;
        game += g;
        curses += c;
    }
};

double ratio(size_t game, size_t curses) { return curses > 0 ? static_cast<double>(game) / static_cast<double>(curses) : 0; }

struct Result {
    Tally all, removals;
    size_t worst_game = 0, worst_curses = 0; // the removal frame the game fares worst on
    size_t setup = 0;                        // curses' own start, not counted
    long differ = 0;                         // frames whose screens differed
    int rows = 0;                            // removed in the game
};

// The palette index curses takes for a console colour; -1 the default.
int palette(int c) { return c >= 0 && c < 16 ? console_colour(c) : -1; }

// Puts each screen the game showed through curses, and checks that what
// curses sends shows the same.
class Match {
public:
    Match(GameTerm& g, CursesTerm& c, int cols, int rows, std::string what)
        : g_(g), c_(c), shown_(cols, rows), check_(cols, rows), what_(std::move(what))
    {
        // libvterm reports every change, a scroll's too: only what changed
        // on either side can differ.
        shown_.on_damage = [this](int r0, int r1, int c0, int c1) { check_.add(r0, r1, c0, c1); };
    }

    Result r;

    // Whether curses' terminal erases in the pen's colour, as the game's does.
    void erase_in_colour(bool bce) { shown_.bce = bce; }

    void frame(Part part, size_t bytes, bool rows_gone)
    {
        if (part == Part::OFF)
            return;
        if (frames_++ == 0) {
            const std::string start = c_.output();
            r.setup = start.size();
            shown_.feed_tty(start);
            g_.changed.all();
        }
        for (int row = 0; row < shown_.rows(); row++) {
            const Changed::Span s = g_.changed.take(row);
            if (s.from < s.to) {
                draw(row, s.from, s.to);
                check_.add(row, row + 1, s.from, s.to);
            }
        }
        const std::string out = c_.refresh();
        shown_.feed_tty(out);
        compare(false);
        if (part != Part::COUNTED)
            return;
        r.all.add(bytes, out.size());
        if (rows_gone) {
            r.removals.add(bytes, out.size());
            if (r.worst_game == 0 || bytes * r.worst_curses > r.worst_game * out.size()) {
                r.worst_game = bytes;
                r.worst_curses = out.size();
            }
        }
    }

    // The last screen, every row.
    void finish() { compare(true); }
    long frames() const { return frames_; }

private:
    // A blank's colour cannot be seen; it gets the one a curses program
    // would draw it in, so that curses pays for no colour change it need
    // not make: the glyph's before it (the blank half of "■ "), else the
    // background's pair.
    void draw(int row, int from, int to)
    {
        int k = from - 1;
        if (k >= 0 && look(g_.screen, k, row).width == 0)
            k--;
        const Look before = k >= 0 ? look(g_.screen, k, row) : Look{" ", -1, -1, 1};
        bool after_glyph = !before.blank();
        int fg = palette(before.fg);
        // The blank after a changed glyph, wide or not, changes with it.
        for (int col = from; col < std::min(to + 2, shown_.cols()); col++) {
            const Look l = look(g_.screen, col, row);
            if (l.width == 0)
                continue; // curses covers it with the wide glyph before
            const int bg = palette(l.bg);
            if (!l.blank())
                fg = palette(l.fg);
            else if (!after_glyph)
                fg = bg == -1 ? -1 : 7;
            c_.put(col, row, l.ch, fg, bg);
            after_glyph = !l.blank();
        }
    }

    void compare(bool all)
    {
        if (all)
            check_.all();
        bool differs = false;
        for (int row = 0; row < shown_.rows(); row++) {
            const Changed::Span s = check_.take(row);
            for (int col = s.from; col < s.to && !differs; col++) {
                const Look a = look(g_.screen, col, row), b = look(shown_, col, row);
                // The right half of a wide glyph shows the glyph's colours
                // on a terminal, whatever libvterm keeps for it.
                if (a == b || (a.width == 0 && b.width == 0))
                    continue;
                differs = true;
                if (r.differ < 3)
                    std::printf("FAIL: curses' output shows another screen than the game's: %s, frame %ld, row %d "
                                "column %d: the game \"%s\" %d on %d, curses \"%s\" %d on %d\n",
                                what_.c_str(), frames_, row, col, a.ch.c_str(), a.fg, a.bg, b.ch.c_str(), b.fg, b.bg);
            }
        }
        r.differ += differs;
    }

    GameTerm& g_;
    CursesTerm& c_;
    Screen shown_; // curses' output as a terminal shows it
    Changed check_; // where the screens may differ
    std::string what_;
    long frames_ = 0;
};

// The game played by `play` on a terminal that fits its play screen, every
// screen put through curses as well; false when curses cannot drive `term`.
bool measure(const char* term, const TermCaps& caps, int w, int h, const std::string& what,
             const std::function<void(GameTerm&)>& play, Result* r, std::string* why)
{
    // The play screen and room for a long score right of the side panel.
    const int cols = 2 * w + 26, rows = h + 1;
    CursesTerm curses(term, cols, rows);
    if (!curses.ok()) {
        *why = curses.why;
        return false;
    }
    GameTerm g(cols, rows, caps);
    Match m(g, curses, cols, rows, what + ", TERM=" + term);
    m.erase_in_colour(caps.bce);
    g.wrote = [&m](Part p, size_t n, bool gone) { m.frame(p, n, gone); };
    g.ended = [&m] { m.finish(); };
    play(g);
    *r = m.r;
    r->rows = F / (w - 2);
    if (r->differ > 0)
        std::printf("FAIL: curses' output showed another screen than the game's on %ld of %ld frames: %s, TERM=%s\n",
                    r->differ, m.frames(), what.c_str(), term);
    return true;
}

struct Well {
    int w, h;
    unsigned seed;
    long steered; // pieces steered to fill rows before the rest fall
    double flat;  // how much the stack's highest column counts in steering
};

} // namespace
#endif

bool curses_table()
{
#ifndef DROPIX_CURSES
    std::printf("The game against curses: skipped, the bench was built without ncurses "
                "(ncursesw was not found when it was configured).\n\n");
    return true;
#else
    // Curses writes "■" and the well's text as UTF-8 only in such a locale.
    const std::string was = std::setlocale(LC_CTYPE, nullptr);
    if (!std::setlocale(LC_CTYPE, "C.UTF-8") && !std::setlocale(LC_CTYPE, "en_US.UTF-8")) {
        std::printf("The game against curses: skipped, no UTF-8 locale (C.UTF-8) for curses to write in.\n\n");
        return true;
    }
    // The 20 x 20 game is the one the table of lean costs plays.
    const Well wells[] = {{20, 20, 7, 60, 0}, {30, 25, 7, 80, 0}, {12, 40, 7, 60, 0}, {100, 100, 7, 100, 2}};
    bool same = true;
    for (const char* term : {"xterm-256color", "screen-256color"}) {
        // The game is told what its terminfo entry says, as the game reads it.
        const char* had = std::getenv("TERM");
        const std::string old = had ? had : "";
        setenv("TERM", term, 1);
        const TermCaps caps = terminal_caps();
        had ? setenv("TERM", old.c_str(), 1) : unsetenv("TERM");
        std::printf("| the game against %s, TERM=%s, the same screens (the same on every run, whatever the load) | "
                    "frames | game B | curses B | game / curses |\n"
                    "|---|---|---|---|---|\n",
                    CursesTerm::version(), term);
        std::string why;
        Result r;
        for (const Well& k : wells) {
            char what[64];
            std::snprintf(what, sizeof what, "%d x %d well, seed %u", k.w, k.h, k.seed);
            const auto game = [&k](GameTerm& g) { g.game(k.w, k.h, k.seed, k.steered, k.flat); };
            if (!measure(term, caps, k.w, k.h, what, game, &r, &why))
                break;
            same = same && r.differ == 0;
            std::printf("| %s, whole game (%d rows removed) | %ld | %zu | %zu | %.2fx |\n", what, r.rows,
                        r.all.frames, r.all.game, r.all.curses, ratio(r.all.game, r.all.curses));
            if (r.removals.frames > 0)
                std::printf("| its frames that removed rows; the worst %zu B against %zu B (%.2fx) | %ld | %zu | %zu | "
                            "%.2fx |\n",
                            r.worst_game, r.worst_curses, ratio(r.worst_game, r.worst_curses), r.removals.frames,
                            r.removals.game, r.removals.curses, ratio(r.removals.game, r.removals.curses));
        }
        const auto removal = [](GameTerm& g) { g.removal(100, 100); };
        if (why.empty() && measure(term, caps, 100, 100, "a row removed, 100 x 100 well", removal, &r, &why)) {
            same = same && r.differ == 0;
            std::printf("| one row removed under a five-row stack, 100 x 100 well | %ld | %zu | %zu | %.2fx |\n",
                        r.all.frames, r.all.game, r.all.curses, ratio(r.all.game, r.all.curses));
        }
        if (why.empty())
            std::printf("\nCurses' own start before the first screen, not counted: %zu B.\n\n", r.setup);
        else
            std::printf("| skipped for TERM=%s: %s | | | | |\n\n", term, why.c_str());
    }
    std::setlocale(LC_CTYPE, was.c_str());
    return same;
#endif
}
