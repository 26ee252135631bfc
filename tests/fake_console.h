// The test double: a console with scripted prompt answers, keys that arrive
// at set times on a virtual millisecond clock, and a libvterm screen that
// receives exactly the bytes a terminal would.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "console/ansi.h"
#include "console/input.h"
#include "probe.h"

// Thrown where the real console would end the program.
struct FakeExit {
    int status;
    std::string why;
};

class FakeConsole : public AnsiConsole {
public:
    explicit FakeConsole(int cols = 240, int rows = 110, const char* codeset = "UTF-8");

    // Text typed at the prompts, consumed as a stream ("20 20 0 0").
    std::string lines;
    // Key bytes that arrive at virtual time `at` (ms).
    void key(int at, const std::string& bytes) { keys_.push_back({at, bytes}); }
    // The terminal is resized (and the screen lost) at virtual time `at`.
    void resize_at(int at, int cols, int rows) { resizes_.push_back({at, cols, rows}); }
    // Called at the start of every keyboard poll of the main loop.
    std::function<void()> on_poll;

    Screen screen;
    std::string raw;        // every byte written, in order
    int t = 0;              // the virtual clock, ms
    unsigned seed_v = 1;
    int flushes = 0;        // writes to the terminal
    long polls = 0;         // kbhit calls
    long waits = 0;         // wait_key calls that let time pass
    long limit = 20000000;  // polls before a test is declared hung

    void pause() override;
    int read_int(int* v) override;
    bool kbhit() override;
    int getch() override;
    void wait_key(int due_ms) override;
    int now_ms() override { return t; }
    void sleep_ms(int ms) override { flush(); t += ms; }
    unsigned seed() override { return seed_v; }
    bool size(int* cols, int* rows) override;
    bool wait_resize_or_key() override;
    [[noreturn]] void quit(int status, const char* why) override;

    // Codes a later getch() will return (second code of an arrow).
    int queued() const { return qn_ - qp_; }

protected:
    void emit(const char* p, size_t n) override;

private:
    struct Chunk {
        int at;
        std::string bytes;
    };
    void arrive();
    bool decode();
    int next_event() const;
    bool service_resize();

    std::deque<Chunk> keys_;
    std::string in_;
    int q_[2] = {0, 0};
    int qn_ = 0, qp_ = 0;
    bool take_resize();

    int cols_, rows_;
    struct Resize {
        int at, cols, rows;
    };
    std::deque<Resize> resizes_;
};
