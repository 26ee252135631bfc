#include "console/console.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "console/painter.h"
#include "platform/platform.h"

namespace {

constexpr int DEFAULT_ATTR = DEFAULT_FORE + 16 * DEFAULT_BACK;
constexpr int NOTICE_FORE = 15; // the console's own words: the terminal is too small

} // namespace

Console::Console(Platform& pf) : pf_(pf), q_(pf.painter()), attr_(DEFAULT_ATTR) {}

Console::~Console() = default;

// ---- Output ---------------------------------------------------------------

void Console::attr(int fore, int back)
{
    const int a = (fore & 15) + 16 * (back & 15);
    if (playing_)
        pic_.attr(fore, back);
    else if (a != attr_)
        q_.recolour(a);
    attr_ = a;
}

void Console::cursor(bool visible)
{
    hidden_ = !visible;
    pf_.painter().show_cursor(visible);
}

void Console::move(int col, int row)
{
    if (playing_) {
        pic_.move(col, row);
        return;
    }
    assert(false && "move() at a question");
    pf_.painter().go(col, row);
    q_.at(col);
}

void Console::clear()
{
    if (playing_) {
        pic_.clear();
        return;
    }
    // Erasing paints with the background in force, which must be the default.
    if (attr_ >> 4 != DEFAULT_BACK)
        attr(DEFAULT_FORE, DEFAULT_BACK);
    q_.clear(attr_);
}

void Console::text(std::string_view s)
{
    if (playing_)
        pic_.text(s);
    else
        q_.text(s, attr_);
}

void Console::flush()
{
    if (playing_) {
        if (tcols_ == 0)
            measure();
        // What was drawn while the width was not known is right for either.
        const int w = pf_.glyph_width();
        if (w != glyph_width_) {
            glyph_width_ = w;
            pf_.painter().screen(tcols_, trows_, w);
        }
        pic_.send(pf_.painter(), tcols_, trows_, w);
    }
    if (!pf_.send() && !quitting_)
        quit(1, "无法写入标准输出");
}

// ---- Modes ----------------------------------------------------------------

void Console::play(int need_cols, int rows, int cols)
{
    need_cols_ = need_cols;
    need_rows_ = rows;
    if (pic_.cols() != cols || pic_.rows() != rows)
        pic_.resize(cols, rows);
    pic_.lose();
    pic_.attr(attr_ & 15, attr_ >> 4);
    playing_ = true;
    news_ = Key::None;
    measure();
    if (too_small())
        small_screen();
}

void Console::ask()
{
    playing_ = false;
    news_ = Key::None;
    pf_.painter().forget();
    q_.forget();
}

void Console::measure()
{
    sized_ = pf_.size(&tcols_, &trows_);
    if (!sized_) {
        // Not a terminal: as wide and tall as the picture.
        tcols_ = std::max(pic_.cols(), 80);
        trows_ = std::max(pic_.rows(), 24);
    }
    pf_.painter().screen(tcols_, trows_, std::max(glyph_width_, 0));
}

bool Console::too_small() const { return sized_ && (tcols_ < need_cols_ || trows_ < need_rows_); }

// While the terminal is smaller than play needs, says so on a screen of its
// own until it is made large enough, or a key is pressed: the player may go
// on anyway. The picture is painted again after.
void Console::small_screen()
{
    const int a = attr_;
    playing_ = false;
    do {
        char s[256];
        std::snprintf(s, sizeof s,
                      "窗口太小：本局需要至少 %d 列、%d 行，现在只有 %d 列、%d 行。\n请放大窗口，或按任意键继续。\n",
                      need_cols_, need_rows_, tcols_, trows_);
        clear();
        attr(NOTICE_FORE, DEFAULT_BACK);
        text(s);
    } while (next(-1, true) == Key::Resumed && too_small());
    attr_ = a;
    playing_ = true;
    pf_.painter().forget();
    q_.forget();
    pic_.lose();
}

// ---- The one loop ---------------------------------------------------------

// What the platform says came: the screen drawn again where it was lost
// (in play the picture, else the questions), the "too small" screen while
// the terminal is, and the screen told that it resumed.
void Console::serve()
{
    const unsigned ev = pf_.events() | events_;
    events_ = 0;
    if (ev == 0)
        return;
    measure();
    if (playing_) {
        if (ev & SCREEN_LOST)
            pf_.painter().show_cursor(!hidden_);
        if (too_small())
            small_screen();
        pic_.lose();
    } else if (ev & SCREEN_LOST) {
        q_.redraw(trows_, tcols_, !hidden_);
    }
    news_ = Key::Resumed;
}

// Input into the typed bytes, as much as they take; true when any came, or
// the end.
bool Console::pull(bool lines)
{
    const size_t before = typed_.bytes().size();
    const bool was = typed_.ended();
    typed_.set_ended(!pf_.read(typed_.bytes(), typed_.room(), lines));
    return typed_.ended() != was || typed_.bytes().size() != before;
}

// Serves the terminal until there is a key or news for the screen (taken
// when `consume`), or the clock reaches due_ms (-1: no limit). Every wait of
// every screen is this one. The end of input ends a wait without a limit
// every time, and is told once to a screen that waits with one.
Key Console::next(int due_ms, bool consume)
{
    for (;;) {
        serve();
        flush();
        pull(false);
        if (news_ != Key::None) {
            const Key k = news_;
            if (consume)
                news_ = Key::None;
            return k;
        }
        const KeyRead k = typed_.first(pf_.now_ms(), consume);
        if (k.key != Key::None)
            return k.key;
        if (typed_.ended() && typed_.empty() && (due_ms < 0 || !ended_told_)) {
            ended_told_ = ended_told_ || consume;
            return Key::Ended;
        }
        if (due_ms >= 0 && pf_.now_ms() >= due_ms)
            return Key::None;
        int until = typed_.due();
        if (until < 0 || (due_ms >= 0 && due_ms < until))
            until = due_ms;
        pf_.wait(until, !typed_.ended() && typed_.room() > 0);
    }
}

Key Console::key() { return next(0, true); }

void Console::wait_key(int due_ms) { next(std::max(due_ms, 0), false); }

void Console::pause(std::string_view prompt)
{
    // Keys typed before the pause do not end it. They go before the prompt
    // shows, so that a key pressed in answer to it cannot go with them.
    pull(false);
    typed_.clear();
    if (pf_.pauses()) {
        hand_over();
        pf_.pause();
        pf_.painter().forget();
        return;
    }
    text(prompt);
    while (next(-1, true) == Key::Resumed) {
    }
}

// The terminal's cursor and colours to where the game has put its own, for
// a platform that writes there itself; that row is not known after.
void Console::hand_over()
{
    flush();
    pf_.painter().go(pic_.cursor_col(), pic_.cursor_row());
    pf_.painter().pen(attr_ & 15, attr_ >> 4);
    pic_.lose_row(pic_.cursor_row());
    pf_.send();
}

// The answers come from the lines entered: typed at a terminal, through the
// line editor; piped, as they arrive. What is left of a line is for the next
// question, never a key of play.
int Console::read_int(int* v)
{
    flush();
    if (tcols_ == 0)
        measure();
    const bool typing = pf_.typed();
    for (;;) {
        serve();
        bool more = pull(true);
        if (typing) {
            const Questions::Typing t = q_.typed(typed_, pf_.now_ms(), tcols_, entered_);
            entered_ended_ = entered_ended_ || t == Questions::STOPPED;
            more = t != Questions::WAITING;
        } else {
            std::string& in = typed_.bytes();
            const size_t nl = in.find('\n');
            const size_t n = nl == std::string::npos ? in.size() : nl + 1;
            entered_.append(in, 0, n);
            in.erase(0, n);
            more = more || n > 0;
            entered_ended_ = typed_.ended() && in.empty();
        }
        const int r = answers_.next(entered_, entered_ended_, v);
        if (r != Answers::NONE)
            return r;
        if (more)
            continue;
        flush();
        pf_.wait(typed_.due(), !typed_.ended() && typed_.room() > 0);
    }
}

// ---- Time and the end -----------------------------------------------------

int Console::now_ms() { return pf_.now_ms(); }

void Console::sleep_ms(int ms)
{
    flush();
    const int until = pf_.now_ms() + ms;
    while (pf_.now_ms() < until) {
        pf_.wait(until, false);
        events_ |= pf_.events();
    }
}

unsigned Console::seed() { return static_cast<unsigned>(std::time(nullptr)); }

void Console::quit(int status, const char* why, const char* name)
{
    quitting_ = true;
    flush();
    pf_.restore();
    if (name) {
        say(true, "my-dropix: ");
        say(true, name, false); // as typed, control characters escaped
        say(true, std::string(why) + "\n");
    } else {
        say(true, std::string("my-dropix: ") + why + "\n");
    }
    std::exit(status);
}
