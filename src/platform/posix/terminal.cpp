// The terminal in the game's hands: the key mode and the game's own screen
// are taken only while the game is the terminal's foreground job, and given
// back as they were found on every way out, suspend included.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/posix.h"

namespace {

// What the signal handlers may touch.
int g_wake[2] = {-1, -1};               // self-pipe: a byte per signal
volatile sig_atomic_t g_quit_sig = 0;   // a signal that ends the game seen
volatile sig_atomic_t g_stop = 0;       // TSTP seen
volatile sig_atomic_t g_cont = 0;       // CONT seen
volatile sig_atomic_t g_winch = 0;      // WINCH seen
volatile sig_atomic_t g_held = 0;       // the terminal is in the game's hands
volatile sig_atomic_t g_modes = 0;      // g_found holds modes to give back
struct termios g_found;                 // the modes the game found
// Cancels a sequence cut short, then default colours, the cursor shown,
// the main screen back.
const char GIVE_BACK[] = "\x18\x1b[0m\x1b[?25h\x1b[?1049l";

// Every signal whose default is to end the process, but for the faults
// below and for PIPE and XFSZ, which are ignored: a failed write says more.
const int QUIT_SIGS[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
};

// Faults of the program itself: the terminal is given back from the handler.
const int CRASH_SIGS[] = {SIGTRAP, SIGSYS};

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

long long mono_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// Writes what standard output takes of p[0..n) within 100 ms: a terminal
// that reads nothing must not keep the game from ending. Safe in a signal
// handler.
void put_bounded(const char* p, size_t n)
{
    const int fl = fcntl(STDOUT_FILENO, F_GETFL);
    if (fl >= 0 && !(fl & O_NONBLOCK))
        fcntl(STDOUT_FILENO, F_SETFL, fl | O_NONBLOCK);
    const long long end = mono_ms() + 100;
    while (n > 0) {
        const ssize_t w = write(STDOUT_FILENO, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
            continue;
        }
        const long long left = end - mono_ms();
        if ((w < 0 && errno != EAGAIN && errno != EINTR) || left <= 0)
            break;
        struct pollfd pf = {STDOUT_FILENO, POLLOUT, 0};
        poll(&pf, 1, static_cast<int>(left));
    }
    if (fl >= 0 && !(fl & O_NONBLOCK))
        fcntl(STDOUT_FILENO, F_SETFL, fl);
}

// Gives the terminal back; safe in a signal handler. Every signal is held
// off meanwhile: SIGTTOU, so that a game in the background by now still
// puts the modes back rather than stop on its way out, and the others so
// that the output's flags are put back too. The modes go back at once, not
// after output that may never drain.
void hand_back()
{
    if (!g_held)
        return;
    g_held = 0;
    sigset_t s, old;
    sigfillset(&s);
    sigprocmask(SIG_BLOCK, &s, &old);
    const int e = errno;
    put_bounded(GIVE_BACK, sizeof GIVE_BACK - 1);
    if (g_modes)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_found);
    errno = e;
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
void on_crash(int sig)
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

// As handle(), but for a signal the game was started with ignored (a
// nohup'd HUP, what a shell ignores for its background jobs): it stays so.
bool heed(int sig, void (*fn)(int))
{
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
        return false;
    handle(sig, fn);
    return true;
}

} // namespace

// Writes all of p[0..n), unless a signal to quit cuts a blocked write
// short (the write then returns what it took, or fails). False when the
// output is gone: closed, full, its reader away.
bool write_all(int fd, const char* p, size_t n)
{
    while (n > 0 && !g_quit_sig) {
        const ssize_t w = write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (w < 0 && errno == EAGAIN) {
            struct pollfd pf = {fd, POLLOUT, 0};
            poll(&pf, 1, -1);
        } else if (!(w < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}


std::unique_ptr<Platform> platform_open()
{
    if (platform_was_closed(STDOUT_FILENO))
        return nullptr;
    return std::make_unique<PosixPlatform>();
}

PosixPlatform::PosixPlatform() : enc_(locale_codeset()), paint_(enc_)
{
    start_ns_ = mono_ns();
    keys_in_ = isatty(STDIN_FILENO) != 0;
    term_ = keys_in_ ? STDIN_FILENO : isatty(STDOUT_FILENO) ? STDOUT_FILENO : -1;
    // A Ctrl-C flushes what the terminal holds: had that come between the
    // look that saw keys and the read, a read that may wait would wait for
    // good. The terminal's own description of its own, not the shell's, is
    // made not to wait.
    if (keys_in_)
        if (const char* name = ttyname(STDIN_FILENO)) {
            const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0)
                in_fd_ = fd;
        }
    if (pipe(g_wake) == 0) {
        for (int fd : g_wake) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        wake_ = g_wake[0];
    }
    sigset_t mine;
    sigemptyset(&mine);
    for (int sig : QUIT_SIGS)
        if (heed(sig, on_quit))
            sigaddset(&mine, sig);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        if (heed(sig, on_quit))
            sigaddset(&mine, sig);
#endif
    for (int sig : CRASH_SIGS)
        if (heed(sig, on_crash))
            sigaddset(&mine, sig);
    handle(SIGTSTP, on_stop);
    handle(SIGCONT, on_cont);
    handle(SIGWINCH, on_winch);
    for (int sig : {SIGTSTP, SIGCONT, SIGWINCH, SIGTTOU, SIGTTIN})
        sigaddset(&mine, sig);
    sigprocmask(SIG_UNBLOCK, &mine, nullptr);
    // A reader that went away or a file over its size limit make a write
    // fail, which the game answers, rather than kill it.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
#if !defined(DROPIX_ASAN)
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        handle(sig, on_crash);
#endif
    wait_foreground();
    take();
}

PosixPlatform::~PosixPlatform()
{
    restore();
    if (in_fd_ != STDIN_FILENO)
        close(in_fd_);
}

bool PosixPlatform::foreground() const
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
void PosixPlatform::wait_foreground()
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
void PosixPlatform::take()
{
    if (keys_in_ && !held_ && tcgetattr(STDIN_FILENO, &g_found) == 0) {
        keys_ = g_found;
        // No line editing, echo or flow control: Ctrl-S and Ctrl-Q are keys
        // like any other. Ctrl-C, Ctrl-Z and Ctrl-\ keep their signals.
        keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        keys_.c_lflag |= ISIG;
        keys_.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
        // Output as the game writes it, whatever `stty` was told: a line
        // feed starts the next line at its first column.
        keys_.c_oflag |= OPOST | ONLCR;
        keys_.c_oflag &= ~static_cast<tcflag_t>(OCRNL);
#ifdef OLCUC
        keys_.c_oflag &= ~static_cast<tcflag_t>(OLCUC);
#endif
        keys_.c_cc[VMIN] = 1;
        keys_.c_cc[VTIME] = 0;
        g_modes = 1;
    }
    held_ = true;
    g_held = 1;
    if (g_modes)
        tcsetattr(STDIN_FILENO, TCSADRAIN, &keys_);
    std::string s = "\x1b[?1049h" + AnsiPainter::sgr(DEFAULT_FORE, DEFAULT_BACK) + "\x1b[2J\x1b[H";
    // How wide the terminal draws "■" decides how pictures are sent; only
    // a terminal that both shows the output and types the input can say.
    if (keys_in_ && amb_ == 0 && !asked_ && isatty(STDOUT_FILENO)) {
        s += glyph_probe(enc_);
        asked_ = probing_ = true;
    }
    // What was drawn for the screen before is of no use on this one.
    paint_.forget();
    paint_.out() = s;
}

void PosixPlatform::give_back()
{
    hand_back();
    held_ = false;
}

void PosixPlatform::restore()
{
    if (restored_)
        return;
    paint_.out().clear();
    swallow_answer();
    give_back();
    restored_ = true;
}

bool PosixPlatform::send()
{
    std::string& out = paint_.out();
    // Stopped unawares and continued in the background: the terminal is
    // the shell's until the game acts on the continue.
    if (out.empty() || (g_cont && held_ && !foreground()))
        return true;
    const bool ok = write_all(STDOUT_FILENO, out.data(), out.size());
    out.clear();
    if (g_quit_sig)
        die();
    return ok;
}

[[noreturn]] void PosixPlatform::die()
{
    const int sig = g_quit_sig;
    paint_.out().clear();
    swallow_answer(); // a signal right after start leaves by here
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
void PosixPlatform::suspend()
{
    g_stop = 0;
    send();
    give_back();
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    handle(SIGTSTP, on_stop);
    g_cont = 1; // what follows a continue, even had its signal come early
}

unsigned PosixPlatform::events()
{
    unsigned ev = 0;
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
        ev |= SCREEN_LOST | RESIZED;
    }
    if (g_winch) {
        g_winch = 0;
        ev |= SCREEN_LOST | RESIZED;
    }
    return ev;
}
