// The terminal in the game's hands: the key mode and the game's own screen
// are taken only while the game is the terminal's foreground job, and given
// back as they were found on every way out, suspend included.
#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/posix/posix_console.h"

namespace {

// What the signal handlers may touch.
int g_wake[2] = {-1, -1};               // self-pipe: a byte per signal
volatile sig_atomic_t g_quit_sig = 0;   // INT, TERM, HUP or QUIT seen
volatile sig_atomic_t g_stop = 0;       // TSTP seen
volatile sig_atomic_t g_cont = 0;       // CONT seen
volatile sig_atomic_t g_winch = 0;      // WINCH seen
volatile sig_atomic_t g_held = 0;       // the terminal is in the game's hands
volatile sig_atomic_t g_modes = 0;      // g_found holds modes to give back
struct termios g_found;                 // the modes the game found
// Cancels a sequence cut short, then default colours, the cursor shown,
// the main screen back.
const char GIVE_BACK[] = "\x18\x1b[0m\x1b[?25h\x1b[?1049l";

const int QUIT_SIGS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Under the address sanitizer its own handlers report crashes.
#if defined(__SANITIZE_ADDRESS__)
#define DROPIX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DROPIX_ASAN 1
#endif
#endif

void wake()
{
    const int e = errno;
    if (g_wake[1] >= 0) {
        const char b = 0;
        ssize_t r = write(g_wake[1], &b, 1);
        (void)r;
    }
    errno = e;
}

// Gives the terminal back; safe in a signal handler. SIGTTOU is held off:
// should the game be in the background by now, the modes must still go
// back rather than the game stop on its way out.
void hand_back()
{
    if (!g_held)
        return;
    g_held = 0;
    sigset_t s, old;
    sigemptyset(&s);
    sigaddset(&s, SIGTTOU);
    sigprocmask(SIG_BLOCK, &s, &old);
    ssize_t r = write(STDOUT_FILENO, GIVE_BACK, sizeof GIVE_BACK - 1);
    (void)r;
    if (g_modes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &g_found);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

void on_quit(int sig)
{
    if (g_quit_sig != 0) {
        // Asked twice and the game has not got round to it: leave now.
        hand_back();
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    g_quit_sig = sig;
    wake();
}

void on_stop(int) { g_stop = 1; wake(); }

void on_cont(int) { g_cont = 1; wake(); }

void on_winch(int) { g_winch = 1; wake(); }

// A crash still gives the terminal back before the process dies.
[[maybe_unused]] void on_crash(int sig)
{
    hand_back();
    signal(sig, SIG_DFL);
    raise(sig);
}

void handle(int sig, void (*fn)(int))
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = fn;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: blocking calls return to look at the flags
    sigaction(sig, &sa, nullptr);
}

// Runs before anything else is made: a standard descriptor that was closed
// is opened on /dev/null, so that no pipe or file of the game takes its
// number; then the locale, whose codeset the terminal's text is written in.
const char* prepare()
{
    for (int fd = 0; fd <= 2; fd++)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            const int n = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (n >= 0 && n != fd) {
                dup2(n, fd);
                close(n);
            }
        }
    std::setlocale(LC_ALL, "");
    return nl_langinfo(CODESET);
}

// Writes all of p[0..n), unless the output is gone (closed, full: nothing
// sensible to do) or a signal to quit cuts a blocked write short.
void write_all(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (!(w < 0 && errno == EINTR) || g_quit_sig) {
            return;
        }
    }
}

} // namespace

void say(bool error, std::string_view utf8, bool encode)
{
    Encoder enc(prepare());
    std::string out;
    if (encode)
        enc.append(out, utf8.data(), utf8.size());
    else
        out = utf8;
    write_all(error ? STDERR_FILENO : STDOUT_FILENO, out.data(), out.size());
}

PosixConsole::PosixConsole() : AnsiConsole(prepare())
{
    start_ns_ = mono_ns();
    keys_in_ = isatty(STDIN_FILENO) != 0;
    term_ = keys_in_ ? STDIN_FILENO : isatty(STDOUT_FILENO) ? STDOUT_FILENO : -1;
    edit_ = keys_in_;
    if (pipe(g_wake) == 0) {
        for (int fd : g_wake) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        wake_ = g_wake[0];
    }
    sigset_t mine;
    sigemptyset(&mine);
    for (int sig : QUIT_SIGS) {
        handle(sig, on_quit);
        sigaddset(&mine, sig);
    }
    handle(SIGTSTP, on_stop);
    handle(SIGCONT, on_cont);
    handle(SIGWINCH, on_winch);
    for (int sig : {SIGTSTP, SIGCONT, SIGWINCH, SIGTTOU, SIGTTIN})
        sigaddset(&mine, sig);
    sigprocmask(SIG_UNBLOCK, &mine, nullptr);
    // Output to a reader that went away is dropped, not fatal.
    signal(SIGPIPE, SIG_IGN);
#if !defined(DROPIX_ASAN)
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        handle(sig, on_crash);
#endif
    wait_foreground();
    take();
}

PosixConsole::~PosixConsole() { restore(); }

bool PosixConsole::foreground() const
{
    if (term_ < 0)
        return true;
    const pid_t pg = tcgetpgrp(term_);
    // Not the controlling terminal: there is no job control to heed.
    return pg < 0 || pg == getpgrp();
}

// Started or continued in the background, the game stops as a background
// job that touches its terminal is stopped, and goes on when it is brought
// to the foreground.
void PosixConsole::wait_foreground()
{
    while (!foreground()) {
        if (g_quit_sig)
            die();
        g_stop = 0;
        g_cont = 0;
        kill(0, SIGTTOU);
        // Not stopped (an orphaned group, or the stop is ignored): look
        // again a little later, still drawing nothing.
        if (!g_cont && !g_quit_sig)
            wait_until(mono_ns() + 200000000LL, false);
    }
    g_cont = 0;
}

// Sets the key mode and shows the game's own screen. The key mode is set
// once for the run and kept at the questions too, so that no switch of
// modes ever throws away what was typed.
void PosixConsole::take()
{
    if (keys_in_ && !held_ && tcgetattr(STDIN_FILENO, &g_found) == 0) {
        keys_ = g_found;
        // No line editing, echo or flow control: Ctrl-S and Ctrl-Q are keys
        // like any other. Ctrl-C, Ctrl-Z and Ctrl-\ keep their signals.
        keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        keys_.c_lflag |= ISIG;
        keys_.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
        keys_.c_cc[VMIN] = 1;
        keys_.c_cc[VTIME] = 0;
        g_modes = 1;
    }
    held_ = true;
    g_held = 1;
    if (g_modes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &keys_);
    std::string s = "\x1b[?1049h";
    if (hidden_)
        s += "\x1b[?25l";
    s += sgr(7, 0) + "\x1b[2J\x1b[H";
    // How wide the terminal draws "■" decides how pictures are sent; only
    // a terminal that both shows the output and types the input can say.
    if (keys_in_ && amb_ == 0 && !asked_ && isatty(STDOUT_FILENO)) {
        s += probe();
        asked_ = true;
    }
    write_all(STDOUT_FILENO, s.data(), s.size());
    forget();
}

void PosixConsole::give_back()
{
    hand_back();
    held_ = false;
}

void PosixConsole::restore()
{
    if (restored_)
        return;
    flush();
    give_back();
    restored_ = true;
}

void PosixConsole::emit(const char* p, size_t n)
{
    write_all(STDOUT_FILENO, p, n);
    if (g_quit_sig)
        die();
}

[[noreturn]] void PosixConsole::die()
{
    const int sig = g_quit_sig;
    buf_.clear();
    give_back();
    restored_ = true;
    signal(sig, SIG_DFL);
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, sig);
    sigprocmask(SIG_UNBLOCK, &s, nullptr);
    raise(sig);
    _exit(128 + sig);
}

// Ctrl-Z: the terminal goes back to the shell, then the game stops.
void PosixConsole::suspend()
{
    g_stop = 0;
    flush();
    give_back();
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    handle(SIGTSTP, on_stop);
    g_cont = 1; // what follows a continue, even had its signal come early
}

// Acts on the signals that came: quit, stop, continue, resize.
void PosixConsole::settle()
{
    if (g_quit_sig)
        die();
    if (g_stop)
        suspend();
    if (g_cont) {
        g_cont = 0;
        // Killed while stopped: `kill` continues the job to let it die.
        if (g_quit_sig)
            die();
        if (held_ && !foreground()) {
            // Stopped without a word and continued in the background: the
            // terminal is the shell's, as it has set it.
            held_ = false;
            g_held = 0;
        }
        wait_foreground();
        take();
        lost_ = true;
    }
    if (g_winch) {
        g_winch = 0;
        lost_ = true;
    }
}

bool PosixConsole::lost()
{
    settle();
    const bool l = lost_;
    lost_ = false;
    return l;
}

void PosixConsole::quit(int status, const char* why)
{
    restore();
    std::string msg = "my-dropix: ";
    enc_.append(msg, why, std::strlen(why));
    msg += '\n';
    write_all(STDERR_FILENO, msg.data(), msg.size());
    std::exit(status);
}
