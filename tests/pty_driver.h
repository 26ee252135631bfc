// Runs the real game in a pseudo-terminal and watches its screen.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "probe.h"

class PtyGame {
public:
    struct Options {
        int cols = 120;
        int rows = 40;
        std::string cwd;                                   // empty: a fresh temp dir
        std::vector<std::pair<std::string, std::string>> env; // value "" with unset=true below
        std::vector<std::string> unset;
        bool stdin_pipe = false;   // feed standard input from a pipe instead
        std::string stdout_file;   // send standard output to a file instead
        std::string program;       // default: the game
        std::vector<std::string> args; // given to the program
        bool background = false;   // started as with `&`
        bool hold_replies = false; // the terminal answers only when answer_after() says
    };

    explicit PtyGame(const Options& o);
    PtyGame() : PtyGame(Options{}) {}
    ~PtyGame();

    void type(const std::string& s);
    void close_input(); // end of input: closes the pipe, or sends ^D on the terminal
    // Reads output until `ok` holds or the timeout passes; true when it held.
    bool wait_for(const std::function<bool(const Screen&)>& ok, int timeout_ms = 20000);
    bool wait_text(const std::string& s, int timeout_ms = 20000);
    // Waits for the game to end; returns its exit status (128 + signal when
    // a signal ended it), or -1 on timeout.
    int wait_exit(int timeout_ms = 20000);
    // Sends a signal to the game's process group.
    void signal(int sig);
    // As a shell's `fg` and `bg`: the game gets the terminal (or not) and
    // is continued.
    void fg();
    void bg();
    // The game's process, the leader of its process group.
    pid_t game();
    // True while the game is stopped; stops() counts the times it stopped.
    bool stopped();
    int stops();
    // True while the game waits in a write to standard output.
    bool blocked_in_write();
    void resize(int cols, int rows);
    // The terminal's modes as the game left them.
    struct termios modes() const;
    // With hold_replies: the answers asked for so far and later go out `ms`
    // from now, as from a slow link; answered() once they went.
    void answer_after(int ms);
    bool answered() const { return answered_; }
    // What was typed at the terminal and read by no one: what the next
    // program in it would read, waiting up to `ms` for it.
    std::string unread_input(int ms);

    Screen screen;
    std::string raw;     // all output read so far
    bool stalled = false; // the terminal reads nothing while set
    long long last_read_ns = 0; // monotonic time of the last read that brought output
    std::string dir;     // working directory of the game
    pid_t pid = -1;

private:
    bool pump(int timeout_ms);
    int master_ = -1;
    int slave_ = -1;   // kept open so the modes can be read after the game ends
    int in_pipe_ = -1;
    int stops_pipe_ = -1; // a byte from the shell each time the game stops
    int stops_ = 0;
    pid_t game_ = -1;
    int status_ = -1;
    bool own_dir_ = false; // made here, so removed here
    bool hold_ = false;
    long long answer_at_ = -1; // when held answers go, ms; -1 not yet
    bool answered_ = false;
};

// Milliseconds on a monotonic clock.
long long now_ms();
// The game under test: DROPIX_BIN_UNDER_TEST when set (another build, such
// as an older one), else the one built here.
const char* game_path();
