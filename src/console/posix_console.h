#pragma once

#include <termios.h>

#include <string>

#include "console/ansi.h"
#include "console/input.h"

class PosixConsole : public AnsiConsole {
public:
    PosixConsole();
    ~PosixConsole() override;
    PosixConsole(const PosixConsole&) = delete;
    PosixConsole& operator=(const PosixConsole&) = delete;

    void clear() override;
    void pause() override;
    int read_int(int* v) override;
    bool kbhit() override;
    int getch() override;
    void wait_key(int due_ms) override;
    int now_ms() override;
    void sleep_ms(int ms) override;
    unsigned seed() override;
    bool size(int* cols, int* rows) override;
    bool wait_resize_or_key() override;
    [[noreturn]] void quit(int status, const char* why) override;

    // Gives the terminal back as it was found; idempotent.
    void restore();

protected:
    void emit(const char* p, size_t n) override;

private:
    enum class Mode { None, Line, Keys };

    void enter();
    void leave();
    void set_mode(Mode m);
    [[noreturn]] void die();
    void suspend();
    void check();
    void emit_clear_and(const std::string& r);
    void drain_wake();
    bool block(long long deadline_ns);
    void fill();
    bool decode();
    long long partial_deadline() const;

    bool tty_in_ = false;
    struct termios line_ {};
    struct termios keys_ {};
    Mode mode_ = Mode::None;
    bool applied_ = false;
    bool restored_ = false;

    std::string in_;           // bytes read and not yet used
    bool eof_ = false;
    int queue_[2] = {0, 0};    // codes of the decoded key not yet read
    int queue_n_ = 0;
    int queue_pos_ = 0;
    long long partial_since_ = -1; // when an incomplete sequence arrived

    long long start_ns_;
    std::string replay_;       // output since the last clear, to redraw a prompt
    bool replaying_ok_ = true;
};
