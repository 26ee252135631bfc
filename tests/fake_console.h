// The test double: a platform fed from a script on a virtual millisecond
// clock, its output going to a libvterm screen that receives exactly the
// bytes a terminal would; and the game's own console over it.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "console/ansi.h"
#include "console/console.h"
#include "platform/platform.h"
#include "platform/posix/encoding.h"
#include "probe.h"

// Thrown where the real console would end the program.
struct FakeExit {
    int status;
    std::string why;
};

class FakePlatform : public Platform {
public:
    // `probe`: ask the terminal how wide it draws "■", as a real terminal
    // is asked; libvterm draws it one column wide.
    FakePlatform(int cols, int rows, const char* codeset, bool probe, const TermCaps& caps = XTERM_CAPS);

    // What the player types at the questions, a line whenever a question
    // waits for one ("20 20 0 0" answers four). Not echoed, as from a
    // pipe, unless `typing`.
    std::string lines;
    bool typing = false;
    // Key bytes that arrive at virtual time `at` (ms).
    void press(int at, const std::string& bytes) { keys_.push_back({at, bytes}); }
    // The terminal is resized (and the screen lost) at virtual time `at`.
    void resize_at(int at, int cols, int rows) { resizes_.push_back({at, cols, rows}); }
    // Called with every write to the terminal, before the screen takes it,
    // and after, with its length.
    std::function<void(std::string_view)> before_write;
    std::function<void(size_t)> on_write;
    // How long the terminal's answers take to come back, as over a slow
    // link: the probe's answer may then come after the first picture.
    int answer_ms = 0;

    Screen screen;
    std::string raw;       // every byte written, in order
    int t = 0;             // the virtual clock, ms
    int flushes = 0;       // writes to the terminal
    long waits = 0;        // waits that let time pass

    Painter& painter() override { return paint_; }
    bool send() override;
    bool size(int* cols, int* rows) override;
    int glyph_width() override { return amb_; }
    bool typed() const override { return typing; }
    bool read(std::string& in, size_t room, bool lines_wanted) override;
    void wait(int due_ms, bool input) override;
    unsigned events() override;
    bool pauses() const override { return false; }
    void pause() override {}
    int now_ms() override { return t; }
    void restore() override {}

private:
    struct Chunk {
        int at;
        std::string bytes;
    };
    struct Resize {
        int at, cols, rows;
    };

    IconvEncoding enc_;
    AnsiPainter paint_;
    std::deque<Chunk> keys_;
    std::deque<Resize> resizes_;
    std::deque<Chunk> replies_; // what the terminal answered, and when it comes
    int cols_, rows_;
    bool asking_ = false;  // the last read was for a question
    // The keys for play and the lines for the questions end apart.
    bool keys_ended_ = false, lines_ended_ = false;
    bool probing_ = false;
    int amb_ = 0;
};

// The platform first, so that it is made before the console over it.
struct FakeBase {
    FakeBase(int cols, int rows, const char* codeset, bool probe, const TermCaps& caps)
        : fake(cols, rows, codeset, probe, caps)
    {
    }
    FakePlatform fake;
};

class FakeConsole : private FakeBase, public Console {
public:
    explicit FakeConsole(int cols = 240, int rows = 110, const char* codeset = "UTF-8", bool probe = true,
                         const TermCaps& caps = XTERM_CAPS);

    // The platform's script and what it shows, at hand.
    std::string& lines;
    Screen& screen;
    std::string& raw;
    int& t;
    int& flushes;
    long& waits;
    FakePlatform& platform() { return fake; }
    void typed(bool on) { fake.typing = on; }
    void press(int at, const std::string& bytes) { fake.press(at, bytes); }
    void resize_at(int at, int cols, int rows) { fake.resize_at(at, cols, rows); }

    unsigned seed_v = 1;
    // Called at the start of every keyboard poll of the main loop.
    std::function<void()> on_poll;
    // Called as play begins (true) or ends (false), with everything drawn
    // so far on the screen.
    std::function<void(bool play)> on_mode;
    // Every text the game drew, in order, while `record` is set.
    std::string drawn;
    bool record = true;
    long polls = 0;         // key() calls
    long limit = 20000000;  // polls before a test is declared hung

    // What the drawing looks like to the game at a cell of the play screen.
    const Picture& frame() const { return picture(); }

    Key key() override;
    void play(int need_cols, int rows, int cols) override;
    void ask() override;
    void text(std::string_view utf8) override;
    unsigned seed() override { return seed_v; }
    [[noreturn]] void quit(int status, const char* why, const char* name = nullptr) override;
};
