// The test double: the terminal console's own key queue, pause and
// question reader, fed from a script on a virtual millisecond clock, its
// output going to a libvterm screen that receives exactly the bytes a
// terminal would.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "console/posix/ansi.h"
#include "probe.h"

// Thrown where the real console would end the program.
struct FakeExit {
    int status;
    std::string why;
};

class FakeConsole : public AnsiConsole {
public:
    // `probe`: ask the terminal how wide it draws "■", as a real terminal
    // is asked; libvterm draws it one column wide.
    explicit FakeConsole(int cols = 240, int rows = 110, const char* codeset = "UTF-8", bool probe = true);

    // What the player types at the questions, a line whenever a question
    // waits for one ("20 20 0 0" answers four). Not echoed, as from a
    // pipe, unless typed(true).
    std::string lines;
    // The questions echo and edit what is typed, as at a terminal.
    void typed(bool on) { edit_ = on; }
    // Key bytes that arrive at virtual time `at` (ms).
    void press(int at, const std::string& bytes) { keys_.push_back({at, bytes}); }
    // The terminal is resized (and the screen lost) at virtual time `at`.
    void resize_at(int at, int cols, int rows) { resizes_.push_back({at, cols, rows}); }
    // Called at the start of every keyboard poll of the main loop.
    std::function<void()> on_poll;
    // Called as play begins (true) or ends (false), with everything drawn
    // so far on the screen.
    std::function<void(bool play)> on_mode;
    // Every text the game drew, in order, while `record` is set.
    std::string drawn;
    bool record = true;

    Screen screen;
    std::string raw;        // every byte written, in order
    int t = 0;              // the virtual clock, ms
    unsigned seed_v = 1;
    int flushes = 0;        // writes to the terminal
    long polls = 0;         // key() calls
    long waits = 0;         // waits that let time pass
    long limit = 20000000;  // polls before a test is declared hung

    // What the drawing looks like to the game at a cell of the play screen.
    using AnsiConsole::frame;

    Key key() override;
    void play(int cols, int rows) override;
    void ask() override;
    void text(std::string_view utf8) override;
    int now_ms() override { return t; }
    void sleep_ms(int ms) override { flush(); t += ms; }
    unsigned seed() override { return seed_v; }
    bool size(int* cols, int* rows) override;
    [[noreturn]] void quit(int status, const char* why) override;

protected:
    void emit(const char* p, size_t n) override;
    void fill() override;
    void block(int due_ms) override;
    bool lost() override;

private:
    struct Chunk {
        int at;
        std::string bytes;
    };
    struct Resize {
        int at, cols, rows;
    };
    int next_event() const;

    std::deque<Chunk> keys_;
    std::string replies_;  // what the terminal answered, not read yet
    std::deque<Resize> resizes_;
    int cols_, rows_;
};
