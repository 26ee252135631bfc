// The platform on a POSIX terminal: control sequences for the screen,
// termios for the key mode, pselect() to wait without burning the
// processor, and the manners of a full-screen program under job control.
#pragma once

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "console/ansi.h"
#include "platform/platform.h"
#include "platform/posix/encoding.h"

// What the signal handlers saw (signals.cpp); the platform acts on it.
extern volatile sig_atomic_t g_quit_sig; // a signal that ends the game
extern volatile sig_atomic_t g_stop;     // TSTP
extern volatile sig_atomic_t g_cont;     // CONT
extern volatile sig_atomic_t g_winch;    // WINCH
extern volatile sig_atomic_t g_held;     // the terminal is in the game's hands
extern volatile sig_atomic_t g_modes;    // g_found holds modes to give back
extern struct termios g_found;           // the modes the game found
// Installs the handlers; the end of the pipe they write to, -1 without one.
int catch_signals();
// The handler of Ctrl-Z again, after a stop of the game's own.
void catch_stop();
// Gives the terminal back; safe in a signal handler.
void hand_back();
// Ends the program as the signal would have ended it, unhandled.
[[noreturn]] void die_of(int sig);

// Writes all of p[0..n), unless a signal to quit cuts a blocked write short.
// False when the output is gone: closed, full, its reader away.
bool write_all(int fd, const char* p, size_t n);
// Nanoseconds on the monotonic clock; safe in a signal handler.
long long mono_ns();
// What the terminal named by TERM can do.
TermCaps terminal_caps();

class PosixPlatform : public Platform {
public:
    PosixPlatform();
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    Painter& painter() override { return paint_; }
    bool send() override;
    bool size(int* cols, int* rows) override;
    int glyph_width() override { return amb_; }
    bool typed() const override { return keys_in_; }
    bool read(std::string& in, size_t room, bool lines) override;
    void wait(int due_ms, bool input) override;
    unsigned events() override;
    bool pauses() const override { return false; }
    void pause() override {}
    int now_ms() override;
    void restore() override;

private:
    // terminal.cpp: modes, the game's own screen, signals, job control.
    bool foreground() const;
    void wait_foreground();
    void take();
    void give_back();
    void suspend();
    [[noreturn]] void die();
    // io.cpp: input, waiting, the terminal's answer about "■".
    bool wait_until(long long deadline_ns, bool input);
    bool answer(std::string& in);
    void swallow_answer();

    IconvEncoding enc_;
    AnsiPainter paint_;
    int wake_ = -1;            // read end of the pipe that signals write to
    int in_fd_ = STDIN_FILENO; // input as read: standard input, or its
                               // terminal opened anew, whose reads never wait
    int term_ = -1;            // the terminal (standard input, else output); -1: none
    bool keys_in_ = false;     // standard input is that terminal
    bool eof_ = false;         // standard input has ended
    struct termios keys_ {};   // the key mode, set for the whole run
    bool held_ = false;        // the terminal is in the game's hands
    bool restored_ = false;
    bool asked_ = false;       // the terminal was asked how wide it draws "■"
    bool probing_ = false;     // and its answer is awaited
    int amb_ = 0;              // its answer: 1 or 2 columns; 0 not known
    long long start_ns_ = 0;
};
