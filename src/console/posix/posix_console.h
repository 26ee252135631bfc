// The console on a POSIX terminal: control sequences for the screen,
// termios for the key mode, poll() to wait without burning the processor,
// and the manners of a full-screen program under job control.
#pragma once

#include <termios.h>
#include <unistd.h>

#include "console/posix/ansi.h"

class PosixConsole : public AnsiConsole {
public:
    PosixConsole();
    ~PosixConsole() override;
    PosixConsole(const PosixConsole&) = delete;
    PosixConsole& operator=(const PosixConsole&) = delete;

    int now_ms() override;
    void sleep_ms(int ms) override;
    unsigned seed() override;
    bool size(int* cols, int* rows) override;
    [[noreturn]] void quit(int status, const char* why) override;

    // Gives the terminal back as it was found; idempotent.
    void restore();

protected:
    void emit(const char* p, size_t n) override;
    void fill() override;
    void block(int due_ms) override;
    bool lost() override;

private:
    // terminal.cpp: modes, the game's own screen, signals, job control.
    bool foreground() const;
    void wait_foreground();
    void take();
    void give_back();
    void settle();
    void suspend();
    [[noreturn]] void die();
    [[noreturn]] void gone();

    // io.cpp: waiting.
    static long long mono_ns();
    bool wait_until(long long deadline_ns, bool input);

    int wake_ = -1;            // read end of the pipe that signals write to
    int in_fd_ = STDIN_FILENO; // input as read: standard input, or its
                               // terminal opened anew, whose reads never wait
    int term_ = -1;            // the terminal (standard input, else output); -1: none
    bool keys_in_ = false;     // standard input is that terminal
    struct termios keys_ {};   // the key mode, set for the whole run
    bool held_ = false;        // the terminal is in the game's hands
    bool restored_ = false;
    bool asked_ = false;       // the terminal was asked how wide it draws "■"
    bool lost_ = false;        // the screen must be drawn again
    long long start_ns_ = 0;
};
